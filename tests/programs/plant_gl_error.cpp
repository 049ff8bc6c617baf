// plant_gl_error: opens the game's window through the game's own window code,
// draws one frame and quits; with "plant", it first makes a GL error of the
// kind a slip in the game would (an enum glEnable does not know). The tests
// run it through check_output to show that such an error fails a run on
// either SDL, and that the window alone does not. Prints "SDL 1.2.N", the
// version of the SDL library it runs on.
#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstring>

#include "game_window.h"

int main(int argc, char** argv) {
    std::string problem = openGameWindow(argv[0]);
    if (!problem.empty()) {
        std::fprintf(stderr, "plant_gl_error: %s\n", problem.c_str());
        return 3;
    }
    const SDL_version* linked = SDL_Linked_Version();
    std::printf("SDL %d.%d.%d\n", linked->major, linked->minor, linked->patch);
    if (argc > 1 && std::strcmp(argv[1], "plant") == 0) {
        glEnable(GL_TEXTURE_ENV); // not a capability: GL_INVALID_ENUM
    }
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapBuffers();
    SDL_Quit();
    return 0;
}
