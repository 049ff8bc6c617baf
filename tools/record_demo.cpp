// record_demo: records a game of a map with a scripted pilot in the player's
// seat, as the game records one: srand from the seed, the world built from
// the map's text, then per step the pilot's choice set as the player's keys,
// one update, the controls the world used written down, and one frame drawn
// (drawing takes its share of the random sequence, as in the game). Used to
// make the demos the test suite replays (tests/demos/record-demos).
//   record_demo MAP OUT.ffr SEED [SECONDS] [chaser|stand-in]
// Runs from the data folder under a display; stops at the end of the game
// or after SECONDS of play (then the player leaves), and prints the
// result the launcher would print.
#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "game_window.h"
#include "particles.h"
#include "pilots.h"
#include "records.h"
#include "replay.h"
#include "state.h"
#include "tools.h"

namespace {

// The keys that fly one of the agent's actions: every action thrusts; 1
// fires, 2 turns left and 3 turns right.
Controls keysFor(int action) {
    Controls controls;
    controls.up = true;
    controls.fire = action == 1;
    controls.left = action == 2;
    controls.right = action == 3;
    return controls;
}

std::string baseName(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    // The build the demos are recorded by, for the head of their results.
    if (argc == 2 && std::string(argv[1]) == "--build") {
        std::printf("%s\n", buildName().c_str());
        return 0;
    }
    if (argc < 4 || argc > 6) {
        std::fprintf(stderr, "usage: record_demo MAP OUT.ffr SEED [SECONDS] [chaser|stand-in]\n"
                             "       record_demo --build\n");
        return 2;
    }
    const std::string mapPath = argv[1];
    const std::string out = argv[2];
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 120;
    const std::string pilotName = argc > 5 ? argv[5] : "chaser";
    if (seconds <= 0 || (pilotName != "chaser" && pilotName != "stand-in")) {
        std::fprintf(stderr, "record_demo: SECONDS is a positive number, the pilot chaser or stand-in\n");
        return 2;
    }

    Replay header;
    header.gameVersion = FIREFLIES_VERSION;
    header.seed = seed;
    header.mapName = baseName(mapPath);
    if (readFileUpTo(mapPath, kMaxMapBytes, header.mapText) != FileRead::kWhole) {
        std::fprintf(stderr, "record_demo: %s: cannot read the map\n", mapPath.c_str());
        return 1;
    }
    header.data = fingerprintWorldData(".");

    std::srand(seed);
    std::string problem = openGameWindow(argv[0]);
    if (!problem.empty()) {
        std::fprintf(stderr, "record_demo: %s\n", problem.c_str());
        return 1;
    }
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    initParticlePool();
    try {
        GameState world(parseLevelMap(header.mapText, mapPath));
        ReplayRecorder recorder;
        problem = recorder.open(out, header);
        if (!problem.empty()) {
            std::fprintf(stderr, "record_demo: %s\n", problem.c_str());
            return 1;
        }
        StandIn standIn(seed);
        for (int step = 0; step < seconds * kFramesPerSecond && !world.gameOver; ++step) {
            int action = pilotName == "chaser"
                             ? chaserAction(0, world.fireflies, world.fireflyCount)
                             : standIn.act(0, world.fireflies, world.fireflyCount);
            playRecordedStep(world, keysFor(action), recorder);
        }
        recorder.leave(world);
        if (recorder.failed()) {
            std::fprintf(stderr, "record_demo: %s: the record could not be written\n", out.c_str());
            return 1;
        }
    } catch (const LoadError& error) {
        std::fprintf(stderr, "record_demo: %s\n", error.message.c_str());
        return 1;
    }
    Replay replay;
    problem = readReplay(out, replay);
    if (!problem.empty()) {
        std::fprintf(stderr, "record_demo: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%s\n", resultLine(header.mapName, resultOf(replay), nullptr).c_str());
    return 0;
}
