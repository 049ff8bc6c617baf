// Pictures to OpenGL: turns a 24-bit BMP file into a mipmapped 2D texture.
// Every call makes a new texture object; textures live until the process
// ends. Decoding the file needs no GL, so it is offered on its own too.
#ifndef FIREFLIES_TEXTURE_H
#define FIREFLIES_TEXTURE_H

#include <cstddef>
#include <string>
#include <vector>

// Longest side of a picture the game takes, in pixels. GL implementations
// offer 8192 or more; anything larger is no picture of this game, and a
// header alone must not make SDL set aside gigabytes.
constexpr int kMaxPictureSide = 8192;
// Largest BMP file the game reads, in bytes: the pixels of the largest
// picture it takes (kMaxPictureSide a side, 3 bytes a pixel, so rows need no
// padding) and 64 kB for the headers before them (about 192 MB in all).
constexpr std::size_t kMaxBmpBytes =
    std::size_t{kMaxPictureSide} * kMaxPictureSide * 3 + (std::size_t{1} << 16);

// A decoded 24-bit picture, the top row of the picture first.
struct BmpPicture {
    int width = 0;                    // pixels, 1 or more
    int height = 0;                   // pixels, 1 or more
    std::vector<unsigned char> bytes; // width * height * 3 bytes, blue-green-red, rows packed
};

// Reads the BMP file fileName and checks that it is a 24-bit picture. Needs
// no GL context. Throws LoadError ("fileName: what is wrong") when the file
// is missing, larger than kMaxBmpBytes or not a usable 24-bit BMP. Reading
// stops as soon as that is plain, so a pipe or device that never ends (such
// as /dev/zero) costs no more memory than the largest picture.
BmpPicture readBmp(const std::string& fileName);

// The same for the size bytes of a BMP file at data; name stands for the
// file in messages. More than kMaxBmpBytes are turned away unread.
BmpPicture decodeBmp(const void* data, std::size_t size, const std::string& name);

// Reads the BMP fileName (relative to the working directory) into a new
// GL_TEXTURE_2D with linear / trilinear filtering and repeat wrapping, and
// writes its GL name to textureId. A side that is not a power of two is
// scaled to the nearest one (the larger when halfway), at most the largest
// texture GL takes. The new texture stays bound to the active unit. Needs a
// current GL context. Throws LoadError as readBmp does, or when GL cannot
// take the picture.
void loadTexture(std::string fileName, unsigned int& textureId);

// Switches 1D, 2D, 3D and cube-map texturing off on every fixed-function
// texture unit from firstUnit (0-based) up, so that what is drawn next takes
// no texture from a unit it does not set up itself. Changes the active unit:
// callers save it (GL_TEXTURE_BIT) or choose one afterwards. The number of
// units is asked of the first context it runs in, once.
void disableTexturing(int firstUnit);

#endif
