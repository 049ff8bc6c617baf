// The frame benchmark's probe fixes the clock's second the game seeds its
// dice from, so that both SDLs, and every run of a repeat, play the same
// game: the real game binary, run with the counting probe preloaded, must
// send the same vertices frame by frame for the same second, on every SDL
// this machine has, and other vertices for another second.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "game_runs.h"
#include "temp_dir.h"

namespace {

const std::string kCountingProbe = std::string(FIREFLIES_BINARY_DIR) + "/frame_probe_count.so";

// The glVertex calls of each of the arena's first frames, with the clock's
// second fixed; empty when the run failed (the failure is reported).
std::vector<long> verticesPerFrame(long second, const std::string& sdlEnvironment) {
    TempDir dir;
    std::string report = dir.path() + "/report";
    CommandResult run = runCommand(
        "cd " + shellWord(FIREFLIES_DATA_DIR) + " && " + kPrivateDisplay + sdlEnvironment +
        // Under the address sanitizer its runtime has to be loaded first;
        // the probe wraps no function of the sanitizer's, so it may come first.
        " SDL_AUDIODRIVER=dummy"
        " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\""
        " LD_PRELOAD=" + shellWord(kCountingProbe) +
        " FRAME_PROBE_OUT=" + shellWord(report) + " FRAME_PROBE_FRAMES=90 FRAME_PROBE_CLOCK=" +
        std::to_string(second) + " " + shellWord(kGameBinary) + " final.map </dev/null");
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<long> vertices;
    std::istringstream lines(readFile(report));
    const std::string key = "vertices ";
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            vertices.push_back(std::stol(line.substr(key.size())));
        }
    }
    return vertices;
}

} // namespace

TEST(FrameProbe, TheSameClockSecondPlaysTheSameGameOnEverySdlAndAnotherSecondAnother) {
    std::vector<long> first = verticesPerFrame(7, "");
    ASSERT_EQ(first.size(), 90u);
    // On sdl12-compat where it is installed beside the classic library, else
    // on the same SDL again.
    std::string other = sdl12CompatFolder().empty()
                            ? ""
                            : "LD_LIBRARY_PATH=" + shellWord(sdl12CompatFolder());
    SCOPED_TRACE(other.empty() ? "the system's SDL twice" : "the system's SDL and sdl12-compat");
    EXPECT_EQ(verticesPerFrame(7, other), first);
    std::vector<long> another = verticesPerFrame(8, "");
    ASSERT_EQ(another.size(), 90u);
    EXPECT_NE(another, first);
}
