// One real OpenGL context for a whole test binary: the game's own 800x600
// window (openGameWindow, with GLEW and GLUT), opened on first use.
#ifndef FIREFLIES_TEST_GL_CONTEXT_H
#define FIREFLIES_TEST_GL_CONTEXT_H

#include <string>

// Opens the window the first time; true when a GL context is current. False
// only when there is no display at all (DISPLAY unset); a display on which
// the window cannot be made, after five attempts 0.3 s apart, is a failure,
// reported through *why.
bool openTestContext(std::string* why);

// Skips the test where there is no display, fails it where the context
// cannot be made on a display that exists.
#define REQUIRE_GL_CONTEXT()                                                                       \
    do {                                                                                           \
        std::string gl_context_why;                                                                \
        if (!openTestContext(&gl_context_why)) {                                                   \
            if (gl_context_why.empty()) {                                                          \
                GTEST_SKIP() << "no display";                                                      \
            }                                                                                      \
            FAIL() << gl_context_why;                                                              \
        }                                                                                          \
    } while (0)

// A new width x height RGB texture from rgb (3 bytes a texel, rows packed,
// t = 0 first), sampled without filtering, left bound to GL_TEXTURE_2D of
// the active unit. Returns its GL name; it is never deleted.
unsigned int makeNearestTexture(int width, int height, const unsigned char* rgb);

// Reads the 800x600 colour buffer as RGB rows, bottom row first.
std::string readFramebufferRgb();

// One pixel of a read-back frame; y counts from the bottom row.
struct FramePixel {
    int r, g, b;
};
FramePixel rgbAt(const std::string& rgb, int x, int y);

// Writes 800x600 RGB pixels (bottom row first, as GL gives them) as a PNG
// through ImageMagick's convert, for a person to look at. True on success.
bool writeScreenshotPng(const std::string& rgb, const std::string& path);

#endif
