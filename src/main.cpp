// Entry point: opens the 800x600 OpenGL window, puts OpenGL into its starting
// state, builds the world from the map file (the first argument, default
// "final.map"), opens the gamepad and the sound, and runs one simulation
// step, its sounds and one drawn frame per pass of the main loop until the
// player quits.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "camera.h"
#include "frame_pacing.h"
#include "game_window.h"
#include "gamepad.h"
#include "model.h"
#include "particles.h"
#include "sound.h"
#include "surroundings.h"
#include "state.h"
#include "tools.h"

namespace {

// The folder the game reads its data from, for messages naming a data file.
std::string workingFolder() {
    std::string folder = ".";
    if (char* cwd = getcwd(nullptr, 0)) {
        folder = cwd;
        std::free(cwd);
    }
    return folder;
}

// Prints warnings about data files, one line each, naming the folder.
void printWarnings(const std::vector<LoadError>& warnings) {
    for (const LoadError& warning : warnings) {
        std::fprintf(stderr, "%s\n", messageWithFolder(warning, workingFolder()).c_str());
    }
}

// Before anything opens a file: the standard descriptors filled, the
// libraries kept out of a home that is not there.
void settleSurroundings() {
    fillClosedStandardStreams();
    keepLibrariesOutOfAMissingHome();
}

} // namespace

int main(int argc, char** argv) {
    settleSurroundings();
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    // Buffer swaps synchronised with the display.
    std::string windowProblem = openGameWindow(argv[0], true);
    if (!windowProblem.empty()) {
        std::fprintf(stderr, "%s\n", windowProblem.c_str());
        return 1;
    }

    glViewport(0, 0, kWindowWidth, kWindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyGamePerspective();
    gluLookAt(0.0, 0.0, -20.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, color);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, color);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    initParticlePool();
    float sortStart[3] = {0.0f, 0.0f, -20.0f};
    setSortDirection(sortStart);

    std::string level = kDefaultMapName;
    if (argc > 1) {
        level = argv[1];
    }

    try {
        GameState state(level);
        printWarnings(state.warnings);
        state.pad.device = openGamepad();
        SoundPlayer sound;
        MuteSetting mute = readMuteSetting(std::getenv(kMuteVariable));
        if (!mute.problem.empty()) {
            std::fprintf(stderr, "%s\n", mute.problem.c_str());
        }
        printWarnings(sound.open(mute.muted));
        // Frames are paced against a running deadline so that the cap holds
        // on average even though SDL counts whole milliseconds.
        FramePacer pacer;
        startPacing(pacer, SDL_GetTicks());
        for (;;) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glEnable(GL_TEXTURE_2D);
            state.handleEvents();
            if (state.muteRequests % 2 == 1) {
                sound.setMuted(!sound.muted());
            }
            state.muteRequests = 0;
            state.update();
            // Started before the frame is drawn, so that they are heard with it.
            sound.play(cuesForStep(state.events, state));
            state.draw();
            // From here on a failure is no longer a failed start.
            announceFirstFrame();
            std::uint32_t wait = frameDelay(pacer, SDL_GetTicks());
            if (wait > 0) {
                SDL_Delay(wait);
            }
        }
    } catch (const LoadError& error) {
        // Only the entry point reports and exits; the world has not drawn a
        // single frame yet. Data files are read from the working directory,
        // which a player who started the game from a menu never saw: name it.
        std::FILE* stream = error.onStdout ? stdout : stderr;
        std::fprintf(stream, "%s\n", messageWithFolder(error, workingFolder()).c_str());
        std::fflush(stream);
        SDL_Quit();
        return 1;
    }
}
