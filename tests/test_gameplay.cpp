// The built game played with real key presses on its window under Xvfb,
// checked through screenshots: the sky above the horizon changes only when
// the player's chase camera moves or turns.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "game_runs.h"
#include "picture_compare.h"
#include "temp_dir.h"

namespace {

// Pixels that differ by more than 5% between the same strip of sky (below
// the score line, left of the radar) in two screenshots; -1 when they could
// not be compared (a screenshot missing or unreadable).
long skyDifference(const std::string& a, const std::string& b) {
    for (const std::string& shot : {a, b}) {
        if (runCommand("convert " + shellWord(shot) + " -crop 480x90+60+40 +repage " +
                       shellWord(shot + ".sky.png"))
                .status != 0) {
            return -1;
        }
    }
    std::string why;
    long differing = differingPixels(a + ".sky.png", b + ".sky.png", 5, "null:", &why);
    if (differing < 0) {
        std::printf("%s and %s: %s\n", a.c_str(), b.c_str(), why.c_str());
    }
    return differing;
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
    std::string steps = "sleep 1.5; shot " + a + "; sleep 1; shot " + b +
                        "; keydown Up; sleep 3; keyup Up; shot " + c +
                        "; keydown Left; sleep 1; keyup Left; shot " + d + "; key Escape";
    // Each game gets an X server of its own: without a window manager,
    // windows of tests running at the same time would overlap its screenshots.
    CommandResult result =
        runCommand(kPrivateDisplay + shellWord(kDriveGame) + " " + shellWord(kGameBinary) + " " +
                   shellWord(FIREFLIES_DATA_DIR) + " " + shellWord(steps) + " " + shellWord(map));
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;

    long still = skyDifference(a, b);
    long moved = skyDifference(b, c);
    long turned = skyDifference(c, d);
    std::printf("sky: still %ld, moved %ld, turned %ld\n", still, moved, turned);
    ASSERT_GE(still, 0) << "the first two screenshots could not be compared";
    ASSERT_GE(moved, 0) << "the screenshots before and after Up could not be compared";
    ASSERT_GE(turned, 0) << "the screenshots before and after Left could not be compared";
    EXPECT_LT(still, 50) << "the sky changed with no key held";
    EXPECT_GT(moved, 50) << "holding Up did not move the view";
    EXPECT_GT(turned, 2000) << "holding Left did not turn the view";
    EXPECT_EQ(
        std::system(("cp '" + d + "' '" FIREFLIES_BINARY_DIR "/gameplay_turned.png'").c_str()), 0);
}
