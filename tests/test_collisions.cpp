// Contacts and forces of the world: lantern pull, firefly against firefly,
// and bounces off the arena edge, flowers and lanterns.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>

#include "gl_context.h"
#include "tools.h"
#include "world.h"

namespace {
// Two fireflies, no lanterns or flowers, arena radius 60.
const char* kTwoFireflies = "2\n0 0\n-30 0\n0\n0\n4 1 0 1\n";

bool finite(const Firefly& f) {
    return std::isfinite(f.x) && std::isfinite(f.z) && std::isfinite(f.body.vx) &&
           std::isfinite(f.body.vy);
}
} // namespace

TEST(Collisions, EdgeBounceSendsAFireflyMovingOutAlongZBackIn) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kTwoFireflies);
    place(*world, 0, 0.0f, 61.0f, 0.0f, 1.0f, 0.0f);
    world->resolveCollisions();
    EXPECT_NEAR(world->fireflies[0]->body.vx, -1.0f, 1e-6);
    EXPECT_NEAR(world->fireflies[0]->body.vy, 0.0f, 1e-6);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
}

TEST(Collisions, EdgeBounceOfAFireflyMovingOutAlongXTurnsItAlongMinusZ) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kTwoFireflies);
    place(*world, 0, 61.0f, 0.0f, 90.0f, 0.0f, 1.0f);
    world->resolveCollisions();
    const MotionBody& body = world->fireflies[0]->body;
    EXPECT_NEAR(body.vx, -1.0f, 1e-6); // along -Z, still outside: next step turns it in
    EXPECT_NEAR(body.vy, 0.0f, 1e-6);
    EXPECT_NEAR(body.speed(), 1.0f, 1e-6);
}

TEST(Collisions, ContactDistancesAreStrict) {
    REQUIRE_GL_CONTEXT();
    // A flower at z 20 and a lantern at z -20.
    auto world = makeWorld("3\n0 0\n30 30\n-30 -30\n1\n-20 0\n1\n20 0\n4 1 0 1\n");
    place(*world, 0, 0.0f, 60.0f, 0.0f, 1.0f, 0.0f);   // exactly on the edge
    place(*world, 1, 0.0f, 14.0f, 0.0f, 1.0f, 0.0f);   // exactly 6 from the flower
    place(*world, 2, 0.0f, -25.0f, 0.0f, 1.0f, 0.0f);  // exactly 5 from the lantern
    world->resolveCollisions();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(world->fireflies[i]->body.vx, 1.0f) << i;
        EXPECT_EQ(world->fireflies[i]->body.vy, 0.0f) << i;
    }
    EXPECT_EQ(world->fireflies[2]->lanternTimer, 0);

    // Exactly 2 apart: no contact either.
    place(*world, 0, 0.0f, 40.0f, 0.0f, 1.0f, 0.0f);
    place(*world, 1, 2.0f, 40.0f, 0.0f, 1.0f, 0.0f);
    world->resolveCollisions();
    EXPECT_EQ(world->fireflies[0]->x, 0.0f);
    EXPECT_EQ(world->fireflies[1]->x, 2.0f);
    EXPECT_EQ(world->fireflies[1]->body.vx, 1.0f);

    // Just inside each distance: every one of them bounces.
    place(*world, 0, 0.0f, 60.01f, 0.0f, 1.0f, 0.0f);
    place(*world, 1, 0.0f, 14.01f, 0.0f, 1.0f, 0.0f);
    place(*world, 2, 0.0f, -24.99f, 0.0f, 1.0f, 0.0f);
    world->resolveCollisions();
    EXPECT_LT(world->fireflies[0]->body.vx, 0.0f);
    EXPECT_LT(world->fireflies[1]->body.vx, 0.0f);
    EXPECT_EQ(world->fireflies[2]->lanternTimer, 100);
}

TEST(Collisions, HeadOnFirefliesSwapVelocitiesAndPart) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kTwoFireflies);
    const Firefly& f0 = *world->fireflies[0];
    const Firefly& f1 = *world->fireflies[1];

    // Along X: firefly 0 flies at +X into firefly 1, which flies at -X.
    // place() takes the velocity as (along Z, along X).
    place(*world, 0, 0.0f, 0.0f, 90.0f, 0.0f, 0.5f);
    place(*world, 1, 1.5f, 0.0f, 270.0f, 0.0f, -0.3f);
    world->resolveCollisions();
    EXPECT_NEAR(f0.body.vy, -0.3f, 1e-6);
    EXPECT_NEAR(f1.body.vy, 0.5f, 1e-6);
    EXPECT_NEAR(f0.body.vx, 0.0f, 1e-6);
    EXPECT_NEAR(f1.body.vx, 0.0f, 1e-6);
    // Firefly 1 is the faster now: it is pushed out along +X to 2.001.
    EXPECT_FLOAT_EQ(f0.x, 0.0f);
    EXPECT_NEAR(f1.x, 2.001f, 1e-5);
    EXPECT_NEAR(f1.z, 0.0f, 1e-6);

    // Along Z, with the first firefly the faster after the exchange: it is
    // the one moved, away from the second.
    place(*world, 0, 0.0f, 0.0f, 0.0f, 0.1f, 0.0f);
    place(*world, 1, 0.0f, 1.5f, 180.0f, -0.6f, 0.0f);
    world->resolveCollisions();
    EXPECT_NEAR(f0.body.vx, -0.6f, 1e-6);
    EXPECT_NEAR(f1.body.vx, 0.1f, 1e-6);
    EXPECT_NEAR(f0.body.vy, 0.0f, 1e-6);
    EXPECT_NEAR(f1.body.vy, 0.0f, 1e-6);
    EXPECT_NEAR(f0.z, -0.501f, 1e-5);
    EXPECT_FLOAT_EQ(f1.z, 1.5f);

    // Equal speeds: the second of the pair moves.
    place(*world, 0, 0.0f, 0.0f, 0.0f, 0.2f, 0.0f);
    place(*world, 1, 0.0f, 1.5f, 180.0f, -0.2f, 0.0f);
    world->resolveCollisions();
    EXPECT_FLOAT_EQ(f0.z, 0.0f);
    EXPECT_NEAR(f1.z, 2.001f, 1e-5);

    // Once parted they stay parted: a few steps of the world leave them
    // flying apart, not glued together.
    place(*world, 0, 0.0f, 0.0f, 90.0f, 0.0f, 0.5f);
    place(*world, 1, 1.5f, 0.0f, 270.0f, 0.0f, -0.5f);
    world->resolveCollisions();
    for (int step = 0; step < 20; ++step) {
        world->fireflies[0]->move();
        world->fireflies[1]->move();
        world->resolveCollisions();
    }
    EXPECT_GT(f1.x - f0.x, 10.0f);
}

TEST(Collisions, ContactAtAnyAngleReversesTheApproachAlongTheLineOfCentres) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kTwoFireflies);
    const Firefly& f0 = *world->fireflies[0];
    const Firefly& f1 = *world->fireflies[1];
    for (int degrees = 0; degrees < 360; degrees += 15) {
        SCOPED_TRACE(degrees);
        // Firefly 1 lies 1.6 from firefly 0 along (cos, sin) in (X, Z); the
        // velocities are arbitrary but fixed per angle.
        double angle = degrees * kDegToRad;
        double ux = std::cos(angle);
        double uz = std::sin(angle);
        float x1 = static_cast<float>(3.0 + 1.6 * ux);
        float z1 = static_cast<float>(-2.0 + 1.6 * uz);
        float v0z = 0.3f * static_cast<float>(std::cos(degrees * 0.7));
        float v0x = 0.25f;
        float v1z = -0.1f;
        float v1x = 0.4f * static_cast<float>(std::sin(degrees * 1.3));
        place(*world, 0, 3.0f, -2.0f, 0.0f, v0z, v0x);
        place(*world, 1, x1, z1, 0.0f, v1z, v1x);
        auto along = [&](double vx, double vz) { return vx * ux + vz * uz; };
        auto across = [&](double vx, double vz) { return -vx * uz + vz * ux; };
        double approachBefore = along(v1x - v0x, v1z - v0z);
        double acrossBefore0 = across(v0x, v0z);
        double acrossBefore1 = across(v1x, v1z);
        double energyBefore = v0x * v0x + v0z * v0z + v1x * v1x + v1z * v1z;

        world->resolveCollisions();
        double w0x = f0.body.vy, w0z = f0.body.vx, w1x = f1.body.vy, w1z = f1.body.vx;
        EXPECT_NEAR(along(w1x - w0x, w1z - w0z), -approachBefore, 1e-5);
        EXPECT_NEAR(across(w0x, w0z), acrossBefore0, 1e-5);
        EXPECT_NEAR(across(w1x, w1z), acrossBefore1, 1e-5);
        EXPECT_NEAR(w0x + w1x, v0x + v1x, 1e-5);
        EXPECT_NEAR(w0z + w1z, v0z + v1z, 1e-5);
        EXPECT_NEAR(w0x * w0x + w0z * w0z + w1x * w1x + w1z * w1z, energyBefore, 1e-5);
        // Pushed apart along the same line, to 2.001.
        EXPECT_NEAR(std::hypot(f1.x - f0.x, f1.z - f0.z), 2.001, 1e-4);
        EXPECT_NEAR(along(f1.x - f0.x, f1.z - f0.z), 2.001, 1e-4);
    }
}

TEST(Collisions, CoincidentThingsGetNoNotANumber) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld("2\n0 0\n-30 0\n1\n20 20\n1\n-20 -20\n4 1 0 1\n");
    // Two fireflies on one point: the pair is skipped.
    place(*world, 0, 3.0f, 3.0f, 90.0f, 0.2f, 0.1f);
    place(*world, 1, 3.0f, 3.0f, 90.0f, -0.1f, 0.0f);
    world->resolveCollisions();
    EXPECT_TRUE(finite(*world->fireflies[0]));
    EXPECT_TRUE(finite(*world->fireflies[1]));
    EXPECT_EQ(world->fireflies[0]->body.vx, 0.2f);
    EXPECT_EQ(world->fireflies[1]->x, 3.0f);

    // A firefly on a flower's centre and one on a lantern's centre.
    place(*world, 0, -20.0f, -20.0f, 90.0f, 0.2f, 0.1f);
    place(*world, 1, 20.0f, 20.0f, 90.0f, 0.2f, 0.1f);
    world->applyLanternPull();
    world->resolveCollisions();
    EXPECT_TRUE(finite(*world->fireflies[0]));
    EXPECT_TRUE(finite(*world->fireflies[1]));
    EXPECT_EQ(world->fireflies[0]->body.vx, 0.2f);
    EXPECT_TRUE(std::isfinite(world->fireflies[1]->body.fx));
}

TEST(Collisions, LanternPullFallsWithTheSquareOfTheDistance) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld("2\n0 0\n-30 0\n1\n10 0\n0\n4 1 0 1\n");
    place(*world, 0, 0.0f, 0.0f);
    world->fireflies[1]->lanternTimer = 5; // not pulled while its timer runs
    world->applyLanternPull();
    EXPECT_NEAR(world->fireflies[0]->body.fx, 0.3f, 1e-6); // toward +Z
    EXPECT_NEAR(world->fireflies[0]->body.fy, 0.0f, 1e-6);
    EXPECT_EQ(world->fireflies[1]->body.fx, 0.0f);

    place(*world, 0, 0.0f, 9.0f);
    world->fireflies[0]->body.fx = 0.0f;
    world->applyLanternPull();
    EXPECT_NEAR(world->fireflies[0]->body.fx, 30.0f, 1e-4);

    place(*world, 0, 0.0f, 10.0f); // on the lantern: no pull at all
    world->fireflies[0]->body.fx = 0.0f;
    world->applyLanternPull();
    EXPECT_EQ(world->fireflies[0]->body.fx, 0.0f);
    EXPECT_EQ(world->fireflies[0]->body.fy, 0.0f);
}

TEST(Collisions, NoLanternPullsForNinetyNineStepsAfterALanternBounce) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld("2\n0 0\n-30 0\n1\n10 0\n0\n4 1 0 1\n");
    Firefly& firefly = *world->fireflies[0];
    place(*world, 0, 0.0f, 6.0f, 0.0f, 0.5f, 0.0f);
    bounceOffLantern(firefly, *world->lanterns[0]);
    EXPECT_EQ(firefly.lanternTimer, 100);
    EXPECT_LT(firefly.body.vx, 0.0f);
    for (int step = 1; step <= 99; ++step) {
        firefly.move(); // counts the timer down before the pull of the step
        world->applyLanternPull();
        ASSERT_EQ(firefly.body.fx, 0.0f) << "pulled in step " << step;
    }
    firefly.move();
    world->applyLanternPull();
    EXPECT_GT(firefly.body.fx, 0.0f);
}
