#include "texture.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools.h"

namespace {

// The side a picture's side is scaled to, as gluBuild2DMipmaps chooses it:
// the nearest power of two (the larger one when size lies exactly between
// two), but no more than limit (itself a power of two).
int nearestPowerOfTwo(int size, int limit) {
    int lower = 1;
    while (lower * 2 <= size && lower < limit) {
        lower *= 2;
    }
    if (lower >= limit || lower == size) {
        return lower;
    }
    int upper = lower * 2;
    return size - lower < upper - size ? lower : upper;
}

// Bytes of the longest picture header SDL reads; a file's first this many
// bytes decide whether checkBmpHeader takes it.
constexpr std::size_t kBmpHeaderBytes = 54;

unsigned readLe16(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

unsigned long readLe32(const unsigned char* p) {
    return static_cast<unsigned long>(readLe16(p)) | static_cast<unsigned long>(readLe16(p + 2))
                                                         << 16;
}

std::string pictureSize(long long width, long long height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// Checks the header of a BMP file before SDL reads it, so that SDL only ever
// decodes a whole header of a 24-bit picture of a sensible size (SDL takes
// whatever a short file leaves in its header fields). Files without the "BM"
// mark are left for SDL to turn away.
void checkBmpHeader(const unsigned char* data, std::size_t size, const std::string& name) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M') {
        return;
    }
    // The file header, then the picture header: 12 bytes in the old OS/2
    // form, otherwise at least the 40 bytes SDL reads.
    bool oldForm = size >= 18 && readLe32(data + 14) == 12;
    if (size < (oldForm ? 26u : kBmpHeaderBytes)) {
        throw LoadError{name + ": the file ends inside the picture's header", false, name};
    }
    long long width;
    long long height;
    unsigned bits;
    if (oldForm) { // 16-bit sizes
        width = readLe16(data + 18);
        height = readLe16(data + 20);
        bits = readLe16(data + 24);
    } else {
        width = static_cast<std::int32_t>(readLe32(data + 18));
        height = static_cast<std::int32_t>(readLe32(data + 22)); // negative: top row first
        bits = readLe16(data + 28);
    }
    long long rows = height < 0 ? -height : height;
    if (bits != 24) {
        throw LoadError{name + ": a " + std::to_string(bits) + "-bit " + pictureSize(width, rows) +
                            " picture; the game needs a 24-bit BMP",
                        false, name};
    }
    if (width < 1 || rows < 1) {
        throw LoadError{name + ": a " + pictureSize(width, height) + " picture has no pixels",
                        false, name};
    }
    if (width > kMaxPictureSide || rows > kMaxPictureSide) {
        throw LoadError{name + ": a " + pictureSize(width, rows) +
                            " picture is larger than the game can use (at most " +
                            std::to_string(kMaxPictureSide) + " pixels a side)",
                        false, name};
    }
}

// The complaint about a file larger than any picture the game takes.
LoadError tooLarge(const std::string& name) {
    return LoadError{name + ": the file is larger than " + std::to_string(kMaxBmpBytes) +
                         " bytes, more than the largest picture the game takes (" +
                         pictureSize(kMaxPictureSide, kMaxPictureSide) + ") needs",
                     false, name};
}

// Decodes a BMP from stream, which it closes; name stands for the file.
BmpPicture decodeBmpStream(SDL_RWops* stream, const std::string& name) {
    SDL_Surface* surface = SDL_LoadBMP_RW(stream, 1); // closes the stream
    if (surface == nullptr) {
        throw LoadError{name + ": not a readable BMP picture (" + SDL_GetError() + ")", false,
                        name};
    }
    int bits = surface->format->BitsPerPixel;
    int width = surface->w;
    int height = surface->h;
    if (bits != 24 || width < 1 || height < 1) {
        SDL_FreeSurface(surface);
        throw LoadError{name + ": a " + std::to_string(bits) + "-bit " + std::to_string(width) +
                            "x" + std::to_string(height) + " picture; the game needs a 24-bit BMP",
                        false, name};
    }

    // SDL keeps the rows top row first, each padded to a multiple of four
    // bytes; they come out packed to width * 3 bytes. SDL's row length is 16
    // bits wide, so it is checked before any row is copied.
    size_t rowBytes = static_cast<size_t>(width) * 3;
    if (surface->pixels == nullptr || static_cast<size_t>(surface->pitch) < rowBytes) {
        SDL_FreeSurface(surface);
        throw LoadError{name + ": a " + pictureSize(width, height) +
                            " picture is larger than the game can use",
                        false, name};
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_LockSurface(surface);
    }
    BmpPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bytes.resize(rowBytes * static_cast<size_t>(height));
    const unsigned char* source = static_cast<const unsigned char*>(surface->pixels);
    for (int row = 0; row < height; ++row) {
        std::memcpy(&picture.bytes[rowBytes * row],
                    source + static_cast<size_t>(surface->pitch) * row, rowBytes);
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    SDL_FreeSurface(surface);
    return picture;
}

} // namespace

BmpPicture readBmp(const std::string& fileName) {
    // The whole file is read first so that its header can be checked before
    // SDL decodes it. Where its first bytes already settle the matter, no
    // more is read: SDL turns away anything without the "BM" mark by its
    // first two bytes, and checkBmpHeader judges a header by its first 54.
    std::string bytes;
    auto keepReading = [&fileName](const std::string& soFar) {
        if (soFar.size() >= 2 && (soFar[0] != 'B' || soFar[1] != 'M')) {
            return false;
        }
        if (soFar.size() >= kBmpHeaderBytes) {
            checkBmpHeader(reinterpret_cast<const unsigned char*>(soFar.data()), soFar.size(),
                           fileName);
        }
        return true;
    };
    std::string other = notAFile(fileName);
    if (!other.empty()) {
        throw LoadError{fileName + ": cannot read the picture (" + other + ")", false, fileName};
    }
    switch (readFileUpTo(fileName, kMaxBmpBytes, bytes, keepReading)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return decodeBmp(bytes.data(), bytes.size(), fileName);
    case FileRead::kCannotOpen:
        throw LoadError{fileName + ": cannot open the picture", false, fileName};
    case FileRead::kTooLarge:
        throw tooLarge(fileName);
    case FileRead::kCannotRead:
        break;
    }
    throw LoadError{fileName + ": cannot read the picture", false, fileName};
}

BmpPicture decodeBmp(const void* data, std::size_t size, const std::string& name) {
    if (size > kMaxBmpBytes) {
        throw tooLarge(name); // and so within the int range SDL takes
    }
    static const unsigned char kNothing = 0;
    if (size == 0) {
        data = &kNothing; // SDL wants somewhere to read from, even for an empty file
    }
    checkBmpHeader(static_cast<const unsigned char*>(data), size, name);
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (stream == nullptr) {
        throw LoadError{name + ": not a readable BMP picture (" + SDL_GetError() + ")", false,
                        name};
    }
    return decodeBmpStream(stream, name);
}

void loadTexture(std::string fileName, unsigned int& textureId) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    BmpPicture picture = readBmp(fileName);
    int width = picture.width;
    int height = picture.height;
    std::vector<unsigned char>& packed = picture.bytes;

    // gluBuild2DMipmaps rescales other sizes itself but loses the picture's
    // bottom row doing so; gluScaleImage does it right, to the size GLU
    // would have chosen.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    int scaledWidth = nearestPowerOfTwo(width, maxSize);
    int scaledHeight = nearestPowerOfTwo(height, maxSize);
    GLint status = 0;
    if (scaledWidth != width || scaledHeight != height) {
        std::vector<unsigned char> scaled(static_cast<size_t>(scaledWidth) * scaledHeight * 3);
        GLint packAlignment = 4;
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        // Three bytes a texel, so the order of the colours does not matter.
        status = gluScaleImage(GL_RGB, width, height, GL_UNSIGNED_BYTE, packed.data(), scaledWidth,
                               scaledHeight, GL_UNSIGNED_BYTE, scaled.data());
        glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
        packed.swap(scaled);
        width = scaledWidth;
        height = scaledHeight;
    }

    glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    if (status == 0) {
        status = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_BGR_EXT,
                                   GL_UNSIGNED_BYTE, packed.data());
    }
    // Wrapping stays at GL's repeat: the models' negated texture coordinates
    // rely on it.
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    if (status != 0) {
        throw LoadError{fileName + ": the picture cannot become a texture (" +
                            reinterpret_cast<const char*>(gluErrorString(status)) + ")",
                        false, fileName};
    }
}

void disableTexturing(int firstUnit) {
    // The context's number of units does not change: asked once, not on
    // every frame's backdrop and beams.
    static const GLint units = [] {
        GLint count = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &count);
        return count;
    }();
    for (int unit = firstUnit; unit < units; ++unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_3D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
}
