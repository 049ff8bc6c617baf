#include "texture.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstring>
#include <vector>

#include "tools.h"

namespace {

// The smallest power of two that is at least size, but no more than limit
// (itself a power of two).
int powerOfTwoAtLeast(int size, int limit) {
    int power = 1;
    while (power < size && power < limit) {
        power *= 2;
    }
    return power;
}

} // namespace

void loadTexture(std::string fileName, unsigned int& textureId) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    SDL_RWops* stream = SDL_RWFromFile(fileName.c_str(), "rb");
    if (stream == nullptr) {
        throw LoadError{fileName + ": cannot open the picture", false};
    }
    SDL_Surface* surface = SDL_LoadBMP_RW(stream, 1); // closes the stream
    if (surface == nullptr) {
        throw LoadError{fileName + ": not a readable BMP picture (" + SDL_GetError() + ")", false};
    }
    int bits = surface->format->BitsPerPixel;
    int width = surface->w;
    int height = surface->h;
    if (bits != 24 || width < 1 || height < 1) {
        SDL_FreeSurface(surface);
        throw LoadError{fileName + ": a " + std::to_string(bits) + "-bit " + std::to_string(width) +
                            "x" + std::to_string(height) + " picture; the game needs a 24-bit BMP",
                        false};
    }

    // SDL keeps the rows top row first, each padded to a multiple of four
    // bytes; GL gets them packed to width * 3 bytes, so the picture's top row
    // lands at t = 0.
    if (SDL_MUSTLOCK(surface)) {
        SDL_LockSurface(surface);
    }
    size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> packed(rowBytes * static_cast<size_t>(height));
    const unsigned char* source = static_cast<const unsigned char*>(surface->pixels);
    for (int row = 0; row < height; ++row) {
        std::memcpy(&packed[rowBytes * row], source + static_cast<size_t>(surface->pitch) * row,
                    rowBytes);
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    SDL_FreeSurface(surface);

    // gluBuild2DMipmaps rescales other sizes itself but loses the picture's
    // bottom row doing so; gluScaleImage does it right.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    int scaledWidth = powerOfTwoAtLeast(width, maxSize);
    int scaledHeight = powerOfTwoAtLeast(height, maxSize);
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
                        false};
    }
}
