// The game's window: SDL video with an 800x600 OpenGL surface, GLEW's
// extension entry points, and GLUT, which the overlay's bitmap text needs.
// The game opens it once at start; the trainer and the model viewer open the
// same window to build and draw worlds exactly as the game does.
#ifndef FIREFLIES_GAME_WINDOW_H
#define FIREFLIES_GAME_WINDOW_H

#include <string>

// Window size in pixels.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;

// Opens the window; with swapControl, asks for buffer swaps synchronised
// with the display. programName (null for none) is all glutInit sees of the
// command line, so the program's own arguments stay intact.
// Returns "" on success, otherwise the failing call and SDL's message
// ("SDL_Init: ..." or "SDL_SetVideoMode: ..."). A GLEW failure only writes
// "Error: " and GLEW's message to standard error: the window still serves.
std::string openGameWindow(const char* programName, bool swapControl = false);

#endif
