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

// The environment variable through which whoever starts the game (the
// launcher) asks to hear about the first frame: the number of a file
// descriptor, 3 or above, open for writing. The build gives the launcher
// this name from here: keep it on one line.
constexpr const char* kFirstFrameFdVariable = "FIREFLIES_FIRST_FRAME_FD";

// Opens the window; with swapControl, asks for buffer swaps synchronised
// with the display. programName (null for none) is all glutInit sees of the
// command line, so the program's own arguments stay intact.
// The window is an X window unless SDL_VIDEODRIVER names another SDL driver:
// SDL's fallbacks without a display draw on the terminal and leave it in
// their modes. Over sdl12-compat the game draws straight into the window
// (SDL12COMPAT_OPENGL_SCALING=0) unless that variable is set already.
// Returns "" on success, otherwise one line naming the problem: "no X
// display for the window: DISPLAY is not set", "cannot open the X display
// \"NAME\"", or the failing call and SDL's message ("SDL_Init: ..." with
// another driver, "SDL_SetVideoMode: ..."). A GLEW failure only writes
// "Error: " and GLEW's message to standard error: the window still serves.
std::string openGameWindow(const char* programName, bool swapControl = false);

// Call after every drawn frame. After the first, writes one byte to the
// descriptor named by kFirstFrameFdVariable and closes it; does nothing when
// the variable is unset or names no descriptor above standard error, and
// nothing on later frames. Never writes to standard output or error.
void announceFirstFrame();

#endif
