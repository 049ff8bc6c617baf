#include "gl_context.h"

#include <SDL/SDL.h>
#include <GL/glew.h>
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

bool openTestContext(std::string* why) {
    static int state = 0; // 0 not tried, 1 open, -1 no display, -2 failed
    static std::string failure;
    if (state == 0) {
        if (std::getenv("DISPLAY") == nullptr) {
            state = -1;
        } else if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            failure = std::string("SDL_Init: ") + SDL_GetError();
            state = -2;
        } else if (SDL_SetVideoMode(800, 600, 32, SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT) ==
                   nullptr) {
            failure = std::string("SDL_SetVideoMode: ") + SDL_GetError();
            state = -2;
        } else if (glewInit() != GLEW_OK) {
            failure = "glewInit failed";
            state = -2;
        } else {
            static char name[] = "fireflies-test";
            static char* argv[] = {name, nullptr};
            int argc = 1;
            glutInit(&argc, argv);
            glViewport(0, 0, 800, 600);
            state = 1;
        }
    }
    if (why != nullptr) {
        *why = (state == -2) ? failure : std::string();
    }
    return state == 1;
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
