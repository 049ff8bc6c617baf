#include "gl_context.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game_window.h"

namespace {

// Attempts at opening the display and the window before a test binary gives
// up, and the pause between two of them: a busy X server now and then turns
// one connection away.
constexpr int kOpenAttempts = 5;
constexpr Uint32 kRetryPauseMs = 300;

// One attempt at the game's own window; "" on success, otherwise what
// failed (SDL is shut down again for the next attempt).
std::string openWindowOnce() {
    std::string failure = openGameWindow("fireflies-test");
    if (!failure.empty()) {
        SDL_Quit();
    }
    return failure;
}

} // namespace

bool openTestContext(std::string* why) {
    static int state = 0; // 0 not tried, 1 open, -1 no display, -2 failed
    static std::string failure;
    if (state == 0) {
        if (std::getenv("DISPLAY") == nullptr) {
            state = -1;
        } else {
            for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
                failure = openWindowOnce();
                if (failure.empty()) {
                    break;
                }
                failure += " (attempt " + std::to_string(attempt) + " of " +
                           std::to_string(kOpenAttempts) + ")";
                if (attempt < kOpenAttempts) {
                    SDL_Delay(kRetryPauseMs);
                }
            }
            if (!failure.empty()) {
                state = -2;
            } else if (glActiveTexture == nullptr) {
                // GLEW says why on standard error.
                failure = "GLEW found no multitexture entry points";
                state = -2;
            } else {
                glViewport(0, 0, kWindowWidth, kWindowHeight);
                state = 1;
            }
        }
    }
    if (why != nullptr) {
        *why = (state == -2) ? failure : std::string();
    }
    return state == 1;
}

unsigned int makeNearestTexture(int width, int height, const unsigned char* rgb) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

std::string readFramebufferRgb() {
    std::string pixels(800 * 600 * 3, '\0');
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, &pixels[0]);
    return pixels;
}

FramePixel rgbAt(const std::string& rgb, int x, int y) {
    size_t i = (static_cast<size_t>(y) * 800 + x) * 3;
    return {static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
            static_cast<unsigned char>(rgb[i + 2])};
}

bool writeScreenshotPng(const std::string& rgb, const std::string& path) {
    std::string raw = path + ".rgb";
    std::FILE* out = std::fopen(raw.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    std::fwrite(rgb.data(), 1, rgb.size(), out);
    std::fclose(out);
    std::string command = "convert -size 800x600 -depth 8 rgb:'" + raw + "' -flip '" + path +
                          "' && rm -f '" + raw + "'";
    return std::system(command.c_str()) == 0;
}
