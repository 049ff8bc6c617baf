// Entry point: opens the 800x600 OpenGL window, puts OpenGL into its starting
// state, builds the world from the map file (the first argument, default
// "final.map"), opens the gamepad and the sound, and runs one simulation
// step, its sounds and one drawn frame per pass of the main loop until the
// player quits.
//
// With the launcher's variables it also records the game into a replay file,
// or plays a replay instead of a game: the seed, the map and the player's
// controls then come from the file, and the world is checked against it
// once a second.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "camera.h"
#include "frame_pacing.h"
#include "game_window.h"
#include "gamepad.h"
#include "model.h"
#include "particles.h"
#include "replay.h"
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

// A variable's value, or "" when it is unset.
std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The recording under way and its world. Escape and the window's close end
// the process from inside the event handling: the recording's end is
// written on the way out.
ReplayRecorder* recorderOnExit = nullptr;
const GameState* recordedWorld = nullptr;
void finishRecording() {
    if (recorderOnExit != nullptr && recordedWorld != nullptr) {
        recorderOnExit->leave(*recordedWorld);
    }
}

// The events of a replay: Escape or closing the window leaves, M mutes;
// every other key and the pad do nothing.
void handleReplayEvents(GameState& state) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        bool escape = event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
        if (event.type == SDL_QUIT || escape) {
            SDL_Quit();
            std::exit(0);
        }
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_m) {
            ++state.muteRequests;
        }
    }
}

// The map to record, read once (a pipe can be read only once) into text
// and checked as the world checks it, throwing the same LoadError. Null
// when the file cannot be read whole: the world then reads it itself and
// says why.
std::unique_ptr<LevelMap> mapToRecord(const std::string& level, std::string& text) {
    if (readFileUpTo(level, kMaxMapBytes, text) != FileRead::kWhole) {
        return nullptr;
    }
    return std::make_unique<LevelMap>(parseLevelMap(text, level));
}

// The file name of a path, without its folder.
std::string baseName(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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
    unsigned seed = static_cast<unsigned>(std::time(nullptr));
    // A replay is read and checked before the window opens: a bad one, or
    // one recorded with other data, draws nothing.
    const std::string replayPath = variable(kReplayVariable);
    const std::string recordPath = replayPath.empty() ? variable(kRecordVariable) : "";
    Replay replay;
    if (!replayPath.empty()) {
        std::string problem = readReplay(replayPath, replay);
        if (problem.empty()) {
            problem = checkReplayData(replay, replayPath, workingFolder());
        }
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        seed = replay.seed;
    }
    std::srand(seed);

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
        std::unique_ptr<GameState> world;
        std::string recordMapText;
        std::unique_ptr<LevelMap> recordMap;
        if (!replayPath.empty()) {
            world = std::make_unique<GameState>(parseLevelMap(replay.mapText, replayPath));
        } else if (!recordPath.empty() && (recordMap = mapToRecord(level, recordMapText))) {
            world = std::make_unique<GameState>(*recordMap);
        } else {
            world = std::make_unique<GameState>(level);
        }
        GameState& state = *world;
        printWarnings(state.warnings);
        std::unique_ptr<ReplayPlayer> player;
        ReplayRecorder recorder;
        if (!replayPath.empty()) {
            player = std::make_unique<ReplayPlayer>(replay, replayPath);
        } else {
            state.pad.device = openGamepad();
        }
        if (recordMap) {
            Replay header;
            header.gameVersion = FIREFLIES_VERSION;
            header.seed = seed;
            header.mapName = baseName(level);
            header.mapText = recordMapText;
            header.data = fingerprintWorldData(".");
            // A record that cannot be written leaves the game as it is; the
            // launcher finds no replay and says so.
            if (recorder.open(recordPath, header).empty()) {
                recorderOnExit = &recorder;
                recordedWorld = &state;
                std::atexit(finishRecording);
            }
        }
        bool toldCutShort = false;
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
            if (player) {
                handleReplayEvents(state);
            } else {
                state.handleEvents();
            }
            if (state.muteRequests % 2 == 1) {
                sound.setMuted(!sound.muted());
            }
            state.muteRequests = 0;
            if (!player) {
                Controls controls = controlsOf(state);
                state.update();
                recorder.step(controls, state);
            } else if (player->hasStep()) {
                player->applyNext(state);
                state.update();
                std::string problem = player->check(state);
                if (!problem.empty()) {
                    std::fprintf(stderr, "%s\n", problem.c_str());
                    SDL_Quit();
                    return 1;
                }
            } else if (state.gameOver) {
                state.update(); // as after a game: only the view follows the player
            } else {
                // The record stops before the end: the world stays as it was.
                state.events.clear();
                if (replay.end == ReplayEnd::CutShort && !toldCutShort) {
                    std::fprintf(stderr,
                                 "%s: the record stops at %.1f s of play, before the game "
                                 "ended: it was cut short\n",
                                 replayPath.c_str(), playSeconds(player->played()));
                    toldCutShort = true;
                }
            }
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
