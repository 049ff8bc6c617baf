#include "game_window.h"

#include <GL/glew.h>
#include <GL/glut.h>
#include <SDL/SDL.h>

#include <cstdio>

std::string openGameWindow(const char* programName, bool swapControl) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return std::string("SDL_Init: ") + SDL_GetError();
    }
    if (swapControl) {
        SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    }
    if (SDL_SetVideoMode(kWindowWidth, kWindowHeight, 32,
                         SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT) == nullptr) {
        return std::string("SDL_SetVideoMode: ") + SDL_GetError();
    }
    GLenum glewStatus = glewInit();
    if (glewStatus != GLEW_OK) {
        std::fprintf(stderr, "Error: %s\n", glewGetErrorString(glewStatus));
    }
    std::string name = programName != nullptr ? programName : "fireflies";
    char* glutArgv[] = {&name[0], nullptr};
    int glutArgc = 1;
    glutInit(&glutArgc, glutArgv);
    return "";
}
