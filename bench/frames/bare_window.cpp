// bare_window: the game's window with nothing in it. It opens the same
// 800x600 OpenGL window the game opens, then clears and swaps it at the
// game's 60 frames a second until it is closed: what any frame of the game
// costs before the world is stepped or drawn, for frame_bench to set beside
// the game's figures.
#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstdint>
#include <cstdio>

#include "frame_pacing.h"
#include "game_window.h"

int main(int, char** argv) {
    std::string problem = openGameWindow(argv[0], true);
    if (!problem.empty()) {
        std::fprintf(stderr, "bare_window: %s\n", problem.c_str());
        return 1;
    }
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    FramePacer pacer;
    startPacing(pacer, SDL_GetTicks());
    for (;;) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) {
                SDL_Quit();
                return 0;
            }
        }
        SDL_GL_SwapBuffers();
        std::uint32_t wait = frameDelay(pacer, SDL_GetTicks());
        if (wait > 0) {
            SDL_Delay(wait);
        }
    }
}
