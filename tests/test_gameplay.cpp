// The built game played with real key presses on its window under Xvfb,
// checked through screenshots: the sky above the horizon changes only when
// the player's chase camera moves or turns.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace {
const std::string kBinary = std::string(FIREFLIES_BINARY_DIR) + "/fireflies";
const std::string kDriver = std::string(FIREFLIES_SOURCE_DIR) + "/tests/support/drive_game.sh";
// Each game gets an X server of its own: without a window manager, windows
// of tests running at the same time would overlap its screenshots.
const std::string kPrivateDisplay =
    "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24 -noreset' env SDL_VIDEODRIVER=x11 ";

// Pixels that differ by more than 5% between the same strip of sky (below
// the score line, left of the radar) in two screenshots.
long skyDifference(const std::string& a, const std::string& b) {
    std::string crop = " -crop 480x90+60+40 +repage ";
    CommandResult result = runCommand("convert '" + a + "'" + crop + "'" + a + ".sky.png' && convert '" +
                                      b + "'" + crop + "'" + b + ".sky.png' && compare -metric AE -fuzz 5% '" +
                                      a + ".sky.png' '" + b + ".sky.png' null:");
    return std::atol(result.err.c_str());
}
} // namespace

TEST(Gameplay, ArrowKeysMoveAndTurnThePlayerAndEscapeQuits) {
    TempDir dir;
    // The player alone in the middle of a large arena, its opponent well off
    // to its right side where the camera does not see it for a while.
    std::string map = dir.write("open.map", "2\n0 0\n40 0\n0\n0\n9 1 0 1\n");
    std::string a = dir.path() + "/a.png";
    std::string b = dir.path() + "/b.png";
    std::string c = dir.path() + "/c.png";
    std::string d = dir.path() + "/d.png";
    std::string steps = "sleep 1.5; shot " + a + "; sleep 1; shot " + b + "; keydown Up; sleep 3; keyup Up; shot " +
                        c + "; keydown Left; sleep 1; keyup Left; shot " + d + "; key Escape";
    CommandResult result = runCommand(kPrivateDisplay + "'" + kDriver + "' '" + kBinary + "' '" FIREFLIES_DATA_DIR "' '" +
                                      steps + "' '" + map + "'");
    EXPECT_NE(result.out.find("status=0\n"), std::string::npos) << result.out << result.err;

    long still = skyDifference(a, b);
    long moved = skyDifference(b, c);
    long turned = skyDifference(c, d);
    std::printf("sky: still %ld, moved %ld, turned %ld\n", still, moved, turned);
    EXPECT_LT(still, 50) << "the sky changed with no key held";
    EXPECT_GT(moved, 50) << "holding Up did not move the view";
    EXPECT_GT(turned, 2000) << "holding Left did not turn the view";
    EXPECT_EQ(std::system(("cp '" + d + "' '" FIREFLIES_BINARY_DIR "/gameplay_turned.png'").c_str()), 0);
}
