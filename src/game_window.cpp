#include "game_window.h"

#include <GL/glew.h>
#include <GL/glut.h>
#include <SDL/SDL.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// SDL's name of its X11 driver.
constexpr const char* kX11Driver = "x11";

// The value of an environment variable, "" when unset.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What the game asks of the SDL layer unless the player has said otherwise:
// the one place where it sets SDL's variables.
void chooseSdlDefaults() {
    // SDL's fallbacks without a display draw on the terminal and leave it in
    // their modes: the window is an X window unless a driver is named.
    if (environment("SDL_VIDEODRIVER").empty()) {
        setenv("SDL_VIDEODRIVER", kX11Driver, 1);
    }
    // sdl12-compat (SDL 1.2 over SDL 2, the SDL of Debian 13 and others)
    // draws an OpenGL program into an offscreen buffer, to scale it to a
    // resizable window, and copies that into the window every frame: about
    // 2 ms a frame with software GL, and 45 to 70 ms before the first. The
    // game's window is never scaled, so it draws straight into it, as it
    // does with classic SDL 1.2. Classic SDL does not read this variable.
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 0);
}

} // namespace

std::string openGameWindow(const char* programName, bool swapControl) {
    chooseSdlDefaults();
    bool throughX = strcasecmp(environment("SDL_VIDEODRIVER").c_str(), kX11Driver) == 0;
    std::string display = environment("DISPLAY");
    if (throughX && display.empty()) {
        return "no X display for the window: DISPLAY is not set";
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        // SDL's X11 driver is only offered when it can connect to the display.
        if (throughX) {
            return "cannot open the X display \"" + display + "\"";
        }
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

void announceFirstFrame() {
    static bool announced = false;
    if (announced) {
        return;
    }
    announced = true;
    std::string text = environment(kFirstFrameFdVariable);
    char* end = nullptr;
    long fd = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || fd <= STDERR_FILENO || fd > INT_MAX ||
        fcntl(static_cast<int>(fd), F_GETFD) == -1) {
        return;
    }
    // A listener that has gone away must not take the game with it.
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    ssize_t written;
    do {
        written = write(static_cast<int>(fd), "1", 1);
    } while (written < 0 && errno == EINTR);
    std::signal(SIGPIPE, previous);
    close(static_cast<int>(fd));
}
