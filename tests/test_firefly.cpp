// The firefly: its start state, turns and their wrap, the beam's cooldown
// and countdown, thrust against drag, the agent's actions, the bank on
// turns, and a picture of a firefly with its beam and sparks.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bounds_box.h"
#include "camera.h"
#include "firefly.h"
#include "gl_context.h"
#include "particles.h"
#include "poisoned_state.h"
#include "tools.h"

namespace {

// Every firefly needs the shared spark pool and a GL context for its model's
// textures; the tests run in data/, where "firefly.obj" is.
class FireflyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_GL_CONTEXT();
        initParticlePool();
        firefly = new Firefly();
        firefly->thrust = 0.2f;
        firefly->body.drag = 1.0f;
    }
    // Fireflies live for the whole game and are never released; tests keep
    // to that and let the process reclaim them.
    Firefly* firefly = nullptr;
};

// One world step for a firefly steered by the agent.
void agentStep(Firefly& f, unsigned int action) {
    f.act(action);
    f.clearFrameFlags();
}

// Screen position of a world point under the loaded projection (the camera
// keeps the whole view there) and an identity modelview.
void project(double x, double y, double z, double& sx, double& sy) {
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint viewport[4] = {0, 0, 800, 600};
    double sz = 0.0;
    gluProject(x, y, z, identity, projection, viewport, &sx, &sy, &sz);
}

// Pixels in the square of half-width radius round (cx, cy) that pass test.
template <typename Test>
int countNear(const std::string& rgb, double cx, double cy, int radius, Test test) {
    int count = 0;
    for (int y = static_cast<int>(cy) - radius; y <= static_cast<int>(cy) + radius; ++y) {
        for (int x = static_cast<int>(cx) - radius; x <= static_cast<int>(cx) + radius; ++x) {
            if (x >= 0 && x < 800 && y >= 0 && y < 600 && test(rgbAt(rgb, x, y))) {
                ++count;
            }
        }
    }
    return count;
}

// The start of a frame as the world draws it: black, depth on, the chase
// camera behind the firefly, light 1 above it.
void beginFrame(Camera& camera, const Firefly& f) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    double r = f.heading * kDegToRad;
    camera.setView(f.x, 0.0, f.z, std::sin(r), 0.0, std::cos(r));
    float view[3] = {static_cast<float>(f.x - camera.eye[0]), -2.0f,
                     static_cast<float>(f.z - camera.eye[2])};
    setSortDirection(view);
    float light[4] = {f.x, 2.0f, f.z, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, light);
}

void saveShot(const std::string& rgb, const std::string& name) {
    std::filesystem::create_directories("/tmp/scene1-shots");
    EXPECT_TRUE(writeScreenshotPng(rgb, "/tmp/scene1-shots/" + name));
}

int differingPixels(const std::string& a, const std::string& b) {
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 3) {
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) {
            ++count;
        }
    }
    return count;
}

} // namespace

TEST_F(FireflyTest, StartsAtRestFacingXWithAnIdleBeam) {
    EXPECT_EQ(firefly->x, 0.0f);
    EXPECT_EQ(firefly->z, 0.0f);
    EXPECT_EQ(firefly->heading, 90.0f);
    EXPECT_EQ(firefly->body.vx, 0.0f);
    EXPECT_EQ(firefly->body.vy, 0.0f);
    EXPECT_EQ(firefly->body.speed(), 0.0f);
    EXPECT_EQ(firefly->score, 0);
    EXPECT_EQ(firefly->fireCooldown, 0);
    EXPECT_EQ(firefly->lanternTimer, 0);
    EXPECT_FALSE(firefly->fire);
    EXPECT_FALSE(firefly->fired);
    EXPECT_FALSE(firefly->turnedLeft);
    EXPECT_FALSE(firefly->turnedRight);
    EXPECT_FALSE(firefly->done);
    EXPECT_EQ(firefly->beam.framesLeft, 0);
    EXPECT_EQ(firefly->beam.length, 0.0f);
    ASSERT_NE(firefly->beam.sparkle, nullptr);
    EXPECT_EQ(firefly->beam.sparkle->liveCount, 0);
    EXPECT_EQ(firefly->beam.sparkle->maxParticles, 200);
    ASSERT_NE(firefly->model, nullptr);
}

TEST_F(FireflyTest, PartsTakeTheirMaterials) {
    const char* names[kFireflyPartCount] = {
        "frontlleg", "sidelleg", "backlleg", "frontrleg", "siderleg", "backrleg", "abdomen2",
        "thorax",    "head",     "lwing",    "rwing",     "lshell",   "rshell"};
    for (int i = 0; i < kFireflyPartCount; ++i) {
        const ModelGroup& part = firefly->partMaterials[i];
        EXPECT_EQ(part.name, names[i]);
        ASSERT_EQ(part.textureCount, 1);
        EXPECT_FALSE(part.bumpMapped);
        EXPECT_EQ(part.normalMapName, "default");
        bool wing = (i == 9 || i == 10);
        EXPECT_EQ(part.alpha, wing ? 0.6f : 1.0f) << names[i];
        EXPECT_EQ(part.color[0], i < 6 ? 0.5f : 0.9f) << names[i];
        // Every part of the model file found its template and texture.
        const ModelGroup* group = firefly->model->findGroup(names[i]);
        ASSERT_NE(group, nullptr) << names[i] << " missing from firefly.obj";
        EXPECT_GT(group->triangleCount, 0) << names[i];
        EXPECT_EQ(group->alpha, part.alpha) << names[i];
        ASSERT_EQ(group->textureCount, 1) << names[i];
        EXPECT_TRUE(glIsTexture(static_cast<GLuint>(group->textureIds[0]))) << names[i];
    }
    EXPECT_EQ(firefly->partMaterials[6].textureNames[0], "abdomen.bmp");
    EXPECT_EQ(firefly->partMaterials[9].textureNames[0], "wing.bmp");
    EXPECT_EQ(firefly->partMaterials[12].textureNames[0], "shell.bmp");
}

TEST_F(FireflyTest, TurnsWrapAtBothEndsAndKeepExactBounds) {
    firefly->heading = 1.0f;
    firefly->turnRight();
    EXPECT_NEAR(firefly->heading, 359.3f, 1e-4);
    EXPECT_TRUE(firefly->turnedRight);
    EXPECT_FALSE(firefly->turnedLeft);

    firefly->heading = 359.0f;
    firefly->turnLeft();
    EXPECT_NEAR(firefly->heading, 0.7f, 1e-4);
    EXPECT_TRUE(firefly->turnedLeft);

    // 358.3 as a float plus 1.7 rounds to exactly 360, which is kept.
    firefly->heading = 358.3f;
    firefly->turnLeft();
    EXPECT_EQ(firefly->heading, 360.0f);
    // Just below 1.7 the turn goes a hair below 0, and 360 minus that hair
    // rounds to exactly 360, which is kept rather than wrapped to 0.
    firefly->heading = std::nextafter(1.7f, 0.0f);
    firefly->turnRight();
    EXPECT_EQ(firefly->heading, 360.0f);

    // A long run of turns never leaves [0, 360].
    for (int i = 0; i < 1000; ++i) {
        firefly->turnLeft();
        ASSERT_GE(firefly->heading, 0.0f);
        ASSERT_LE(firefly->heading, 360.0f);
    }
    for (int i = 0; i < 2000; ++i) {
        firefly->turnRight();
        ASSERT_GE(firefly->heading, 0.0f);
        ASSERT_LE(firefly->heading, 360.0f);
    }
}

TEST_F(FireflyTest, FireInConsecutiveFramesLaunchesOneBeam) {
    agentStep(*firefly, 1);
    EXPECT_EQ(firefly->fireCooldown, 100);
    EXPECT_EQ(firefly->beam.framesLeft, 9);
    EXPECT_EQ(firefly->beam.length, 200.0f);
    EXPECT_FALSE(firefly->fired) << "cleared at the end of the frame";

    firefly->act(1);
    EXPECT_TRUE(firefly->fire);
    EXPECT_FALSE(firefly->fired);
    EXPECT_EQ(firefly->fireCooldown, 99);
    EXPECT_EQ(firefly->beam.framesLeft, 8);
}

TEST_F(FireflyTest, LaunchRecordsWhereAndWhereTo) {
    firefly->body.vy = 1.0f; // moving along +X
    firefly->heading = 45.0f;
    firefly->fire = true;
    firefly->move();
    EXPECT_TRUE(firefly->fired);
    // The beam starts from the position after this step's motion.
    EXPECT_EQ(firefly->beam.x, firefly->x);
    EXPECT_EQ(firefly->beam.z, firefly->z);
    EXPECT_GT(firefly->beam.x, 0.9f);
    EXPECT_EQ(firefly->beam.heading, 45.0f);
    // It stays there while the firefly flies on.
    float firedAt = firefly->beam.x;
    firefly->clearFrameFlags();
    firefly->move();
    EXPECT_EQ(firefly->beam.x, firedAt);
    EXPECT_GT(firefly->x, firedAt);
}

TEST_F(FireflyTest, HeldFireLaunchesEveryHundredSteps) {
    std::vector<int> launches;
    for (int step = 1; step <= 250; ++step) {
        firefly->fire = true;
        firefly->move();
        if (firefly->fired) {
            launches.push_back(step);
        }
        firefly->clearFrameFlags();
        EXPECT_FALSE(firefly->fire);
        EXPECT_FALSE(firefly->fired);
    }
    EXPECT_EQ(launches, (std::vector<int>{1, 101, 201}));
}

TEST_F(FireflyTest, LanternTimerCountsDownToZero) {
    firefly->lanternTimer = 2;
    firefly->move();
    EXPECT_EQ(firefly->lanternTimer, 1);
    firefly->move();
    firefly->move();
    EXPECT_EQ(firefly->lanternTimer, 0);
}

TEST_F(FireflyTest, ThrustAgainstDragSettlesAtThrustOverDrag) {
    // The player's way: thrust, then move, every frame.
    float lastStep = 0.0f;
    for (int step = 0; step < 1500; ++step) {
        float before = firefly->x;
        firefly->accelerate();
        firefly->move();
        firefly->clearFrameFlags();
        lastStep = firefly->x - before;
    }
    EXPECT_NEAR(firefly->body.speed(), 0.2f, 1e-4);
    EXPECT_NEAR(lastStep, 0.2f, 1e-4);
    // Heading 90 is +X: hardly any motion along Z.
    EXPECT_NEAR(firefly->z, 0.0f, 1e-3);
    EXPECT_GT(firefly->x, 200.0f);
}

TEST_F(FireflyTest, AgentTurnsAfterThrustingAlongTheOldHeading) {
    agentStep(*firefly, 2);
    EXPECT_NEAR(firefly->heading, 91.7f, 1e-4);
    EXPECT_TRUE(firefly->turnedLeft);
    // The thrust went along 90 degrees (pure +X): along 91.7 it would have
    // left a velocity of about -6e-5 along Z.
    EXPECT_NEAR(firefly->body.vx, 0.0f, 1e-8);
    EXPECT_NEAR(firefly->body.vy, 0.002f, 1e-7);
    EXPECT_GT(firefly->x, 0.0f);

    Firefly* other = new Firefly();
    other->thrust = 0.2f;
    other->body.drag = 1.0f;
    agentStep(*other, 3);
    EXPECT_NEAR(other->heading, 88.3f, 1e-4);
    EXPECT_TRUE(other->turnedRight);
    EXPECT_NEAR(other->body.vx, 0.0f, 1e-8);

    Firefly* plain = new Firefly();
    plain->thrust = 0.2f;
    plain->body.drag = 1.0f;
    agentStep(*plain, 0);
    EXPECT_EQ(plain->heading, 90.0f);
    EXPECT_NEAR(plain->body.vy, 0.002f, 1e-7);
    EXPECT_EQ(plain->fireCooldown, 0);
}

TEST(FireflyDeathTest, UnknownActionIsPrintedAndStops) {
    // A fresh process builds its own window and firefly.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL_CONTEXT();
    initParticlePool();
    Firefly* firefly = new Firefly();
    // The number goes to standard output; send it where the death test
    // looks, after the assertion's own message channel.
    EXPECT_DEATH(
        {
            std::fflush(stdout);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            firefly->act(7);
        },
        "(^|\n)7\n(.|\n)*Assertion `false' failed");
}

TEST_F(FireflyTest, BeamIsDrawnInNineFrames) {
    firefly->fire = true;
    int drawnFrames = 0;
    std::vector<int> framesLeftAtDraw;
    for (int frame = 0; frame < 12; ++frame) {
        firefly->move();
        if (firefly->fired) {
            firefly->beam.length = 30.5f; // the world's trace
        }
        firefly->clearFrameFlags();
        if (firefly->beam.framesLeft > 0) {
            ++drawnFrames;
            framesLeftAtDraw.push_back(firefly->beam.framesLeft);
        }
    }
    EXPECT_EQ(drawnFrames, 9);
    ASSERT_FALSE(framesLeftAtDraw.empty());
    EXPECT_EQ(framesLeftAtDraw.front(), 9);
    EXPECT_EQ(framesLeftAtDraw.back(), 1);

    // An idle beam draws nothing at all.
    Camera camera;
    beginFrame(camera, *firefly);
    glDisable(GL_TEXTURE_2D);
    firefly->beam.x = firefly->x + 3.0f;
    firefly->beam.z = firefly->z;
    firefly->beam.heading = 90.0f;
    std::string empty = readFramebufferRgb();
    firefly->beam.draw();
    EXPECT_EQ(differingPixels(empty, readFramebufferRgb()), 0);
    // The same beam with one frame left is drawn.
    firefly->beam.framesLeft = 1;
    firefly->beam.draw();
    EXPECT_GT(differingPixels(empty, readFramebufferRgb()), 20);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FireflyTest, BeamLooksTheSameWhateverStateItFindsAndLeavesItsLinesOn) {
    // Two fireflies fire alike; their sparks burst alike from the same seed.
    Firefly* other = new Firefly();
    Camera camera;
    for (Firefly* f : {firefly, other}) {
        f->beam.launch(firefly->x, firefly->z, 70.0f);
        f->beam.length = 12.5f;
    }
    resetDrawState();
    beginFrame(camera, *firefly);
    std::string blank = readFramebufferRgb();
    std::srand(5);
    firefly->beam.draw();
    std::string clean = readFramebufferRgb();

    // After whatever another drawer may leave: textures on every unit the
    // game uses, lighting, additive blending, no depth test, wide lines.
    beginFrame(camera, *firefly);
    poisonDrawState();
    std::srand(5);
    other->beam.draw();
    std::string afterPoison = readFramebufferRgb();
    // The beam leaves blending (source alpha, one minus source alpha),
    // smoothed lines of width 1 with the nicest hint and the colour white;
    // texturing, lighting and the depth test are as it found them.
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint source = 0;
    GLint destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    GLint hint = 0;
    glGetIntegerv(GL_LINE_SMOOTH_HINT, &hint);
    EXPECT_EQ(hint, GL_NICEST);
    GLfloat width = 0.0f;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    GLfloat colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
    const char* changed = "";
    EXPECT_TRUE(stillPoisoned(&changed, kBlending | kLines)) << changed << " was not put back";
    resetDrawState();
    saveShot(afterPoison, "beam_after_poisoned_state.png");

    EXPECT_GT(differingPixels(blank, clean), 50) << "the clean draw shows the beam";
    EXPECT_EQ(differingPixels(clean, afterPoison), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FireflyTest, TurningBothWaysBanksRightAndKeepsTheLeftFlag) {
    Camera camera;
    camera.distance = 4.0;
    auto drawOnce = [&](bool left, bool right) {
        firefly->turnedLeft = left;
        firefly->turnedRight = right;
        beginFrame(camera, *firefly);
        glEnable(GL_TEXTURE_2D);
        firefly->draw(0.0f, 0.0f, 0.0f);
        return readFramebufferRgb();
    };
    std::string level = drawOnce(false, false);
    std::string bankLeft = drawOnce(true, false);
    EXPECT_FALSE(firefly->turnedLeft);
    std::string bankRight = drawOnce(false, true);
    EXPECT_FALSE(firefly->turnedRight);

    firefly->turnLeft();
    firefly->turnRight();
    EXPECT_TRUE(firefly->turnedLeft);
    EXPECT_TRUE(firefly->turnedRight);
    // The two turns cancel up to rounding; draw from the same heading.
    firefly->heading = 90.0f;
    beginFrame(camera, *firefly);
    glEnable(GL_TEXTURE_2D);
    firefly->draw(0.0f, 0.0f, 0.0f);
    std::string both = readFramebufferRgb();
    EXPECT_FALSE(firefly->turnedRight);
    EXPECT_TRUE(firefly->turnedLeft) << "left for the next draw";

    EXPECT_GT(differingPixels(level, bankLeft), 200) << "a bank must show";
    EXPECT_GT(differingPixels(bankLeft, bankRight), 200);
    EXPECT_EQ(differingPixels(both, bankRight), 0);
    saveShot(bankLeft, "firefly_bank_left.png");
    saveShot(bankRight, "firefly_bank_right.png");
    saveShot(level, "firefly_close.png");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FireflyTest, FireflyWithBeamAndSparksFromTheChaseCamera) {
    BoundsBox bounds;
    Camera camera;
    firefly->x = 4.0f;
    firefly->z = -3.0f;
    firefly->heading = 90.0f;
    // Fired a little to the right of the way it faces; the world traced a
    // hit 12 units away.
    firefly->beam.launch(firefly->x, firefly->z, 70.0f);
    firefly->beam.length = 12.5f;
    std::string shot;
    for (int frame = 0; frame < 4; ++frame) {
        beginFrame(camera, *firefly);
        glEnable(GL_TEXTURE_2D);
        bounds.draw(80.0f);
        firefly->draw(0.0f, 0.0f, 0.0f);
        shot = readFramebufferRgb();
    }
    saveShot(shot, "firefly_beam_chase.png");
    EXPECT_GT(firefly->beam.sparkle->liveCount, 15);

    // The firefly itself covers the middle of the picture.
    auto notBackground = [&](FramePixel c) { return c.r + c.g + c.b > 0; };
    double sx, sy;
    project(firefly->x, 0.0, firefly->z, sx, sy);
    EXPECT_GT(countNear(shot, sx, sy, 15, notBackground), 200);

    // Half way along, the beam shows its orange-red.
    double r = 70.0 * kDegToRad;
    auto beamColour = [](FramePixel c) { return c.r > 60 && c.r > c.g + 30 && c.r > c.b + 30; };
    project(firefly->x + 6.0 * std::sin(r), 0.0, firefly->z + 6.0 * std::cos(r), sx, sy);
    EXPECT_GT(countNear(shot, sx, sy, 3, beamColour), 0);

    // Sparks, red turning yellow, round the far end.
    auto sparkColour = [](FramePixel c) { return c.r > 150 && c.b < 80; };
    project(firefly->x + 12.5 * std::sin(r), 0.0, firefly->z + 12.5 * std::cos(r), sx, sy);
    EXPECT_GT(countNear(shot, sx, sy, 25, sparkColour), 10);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
