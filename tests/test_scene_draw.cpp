// The whole frame as the player sees it, drawn into the real GL context and
// read back: the overlay's parts where they belong, a beam in flight, and a
// seeded frame compared with a committed reference picture.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cstdlib>
#include <string>

#include "gl_context.h"
#include "picture_compare.h"
#include "temp_dir.h"
#include "world.h"

namespace {
const std::string kReference = FIREFLIES_SOURCE_DIR "/tests/reference/seeded_frame.png";
const std::string kActual = FIREFLIES_BINARY_DIR "/seeded_frame.png";

// How many pixels of the rectangle [x0, x1) x [y0, y1) satisfy a test.
template <typename Test>
int countPixels(const std::string& frame, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (test(rgbAt(frame, x, y))) {
                ++count;
            }
        }
    }
    return count;
}

bool isWhite(FramePixel c) {
    return c.r > 230 && c.g > 230 && c.b > 230;
}

// A whole frame as the main loop makes it: clear, step, draw.
std::string stepAndDraw(GameState& world, int steps) {
    for (int i = 0; i < steps; ++i) {
        world.update();
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    world.drawScene();
    glFinish();
    return readFramebufferRgb();
}
} // namespace

TEST(SceneDraw, TheOverlayShowsTheScoreLineAndTheRadar) {
    REQUIRE_GL_CONTEXT();
    std::srand(7);
    auto world = makeWorld("2\n0 0\n0 20\n0\n0\n4 1 0 1\n");
    std::string frame = stepAndDraw(*world, 1);
    // The score line: white text in the top-left corner (overlay y 441 is
    // window row 588 from the bottom, 4/3 pixel per unit).
    EXPECT_GT(countPixels(frame, 0, 580, 260, 600, [](FramePixel c) { return isWhite(c); }), 40);
    // The radar disc about overlay (540, 390) = window (720, 520): green tint.
    FramePixel disc = rgbAt(frame, 720 + 50, 520);
    EXPECT_GT(disc.g, disc.r);
    EXPECT_GT(disc.g, disc.b);
    // The markers are red and white on the green disc: the player's at the
    // centre, and the other firefly, 20 ahead, 20 units (27 pixels) above it
    // because the radar turns with the player's heading.
    auto marker = [](FramePixel c) { return c.r > 150; };
    EXPECT_GT(countPixels(frame, 712, 512, 728, 528, marker), 0);
    EXPECT_GT(countPixels(frame, 712, 538, 728, 556, marker), 0);
    EXPECT_EQ(countPixels(frame, 736, 512, 760, 528, marker), 0);
    // No end text yet.
    EXPECT_EQ(countPixels(frame, 330, 285, 470, 330, [](FramePixel c) { return isWhite(c); }), 0);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);

    world->fireflies[1]->score = 20;
    world->gameOver = true;
    frame = stepAndDraw(*world, 1);
    EXPECT_GT(countPixels(frame, 330, 285, 470, 330, [](FramePixel c) { return isWhite(c); }), 80);
    writeScreenshotPng(frame, FIREFLIES_BINARY_DIR "/game_over_frame.png");
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
}

TEST(SceneDraw, ABeamIsDrawnAheadOfThePlayer) {
    REQUIRE_GL_CONTEXT();
    std::srand(11);
    auto world = makeWorld("2\n0 0\n-40 0\n0\n0\n4 1 0 1\n");
    std::string before = stepAndDraw(*world, 2);
    world->fireflies[0]->fire = true;
    std::string after = stepAndDraw(*world, 1);
    writeScreenshotPng(after, FIREFLIES_BINARY_DIR "/beam_frame.png");
    // The beam runs from the player (screen centre) to the horizon. Nothing
    // else moves in view, so the column above the player changes only where
    // the beam is, and the beam is redder than the mist it crosses.
    int changed = 0;
    for (int y = 330; y < 420; ++y) {
        for (int x = 390; x < 410; ++x) {
            FramePixel a = rgbAt(before, x, y);
            FramePixel b = rgbAt(after, x, y);
            if (b.r - b.b > a.r - a.b + 15) {
                ++changed;
            }
        }
    }
    EXPECT_GT(changed, 60);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
}

TEST(SceneDraw, ASeededFrameMatchesTheReferencePicture) {
    REQUIRE_GL_CONTEXT();
    std::srand(2026);
    auto world = makeWorld(readFile("final.map"));
    std::string frame = stepAndDraw(*world, 40);
    ASSERT_TRUE(writeScreenshotPng(frame, kActual));
    ASSERT_EQ(glGetError(), GL_NO_ERROR);
    if (std::getenv("FIREFLIES_UPDATE_REFERENCES") != nullptr) {
        ASSERT_EQ(std::system(("cp '" + kActual + "' '" + kReference + "'").c_str()), 0);
    }
    ASSERT_FALSE(readFile(kReference).empty())
        << "no reference picture; look at " << kActual
        << " and, if it is right, rerun with FIREFLIES_UPDATE_REFERENCES=1 and commit it";
    // Pixels differing by more than 2% in a channel; a few hundred may move
    // with the software renderer's rounding, a broken picture moves many more.
    std::string why;
    long differing = differingPixels(kReference, kActual, 2,
                                     FIREFLIES_BINARY_DIR "/seeded_frame_diff.png", &why);
    ASSERT_GE(differing, 0) << "the frame could not be compared with " << kReference << ": " << why;
    EXPECT_LT(differing, 2000) << "see " << kActual << " and seeded_frame_diff.png: " << why;
}

TEST(PictureComparison, APictureThatCannotBeReadCannotBeCompared) {
    TempDir dir;
    // A picture of 8 x 8 pixels, one of them changed, and the same picture
    // cut short or missing.
    std::string a = dir.path() + "/a.png";
    std::string b = dir.path() + "/b.png";
    ASSERT_EQ(runCommand("convert -size 8x8 xc:gray50 '" + a + "' && convert '" + a +
                         "' -fill white -draw 'point 3,3' '" + b + "'")
                  .status,
              0);
    std::string why;
    EXPECT_EQ(differingPixels(a, a, 2, "null:", &why), 0) << why;
    EXPECT_EQ(differingPixels(a, b, 2, "null:", &why), 1) << why;
    std::string bytes = readFile(a);
    std::string cut = dir.write("cut.png", bytes.substr(0, bytes.size() / 2));
    std::string empty = dir.write("empty.png", "");
    for (const std::string& bad : {cut, empty, dir.path() + "/missing.png"}) {
        EXPECT_EQ(differingPixels(bad, a, 2, "null:", &why), -1) << bad;
        EXPECT_EQ(differingPixels(a, bad, 2, "null:", &why), -1) << bad;
    }
    // Pictures of two sizes are not the same picture.
    std::string small = dir.path() + "/small.png";
    ASSERT_EQ(runCommand("convert -size 4x4 xc:gray50 '" + small + "'").status, 0);
    EXPECT_EQ(differingPixels(a, small, 2, "null:", &why), -1) << why;
}
