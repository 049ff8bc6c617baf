// The firefly's point mass: one step of integration, the speed it settles
// at under constant thrust, and the line-of-motion angle the bounces use.
#include <gtest/gtest.h>

#include <cmath>

#include "motion_body.h"
#include "tools.h"

namespace {
MotionBody clearedBody(float drag) {
    MotionBody body;
    body.drag = drag;
    body.clear();
    return body;
}
} // namespace

TEST(MotionBody, ClearZeroesMotionButKeepsDrag) {
    MotionBody body{1, 2, 3, 4, 1.6f};
    body.clear();
    EXPECT_EQ(body.vx, 0);
    EXPECT_EQ(body.vy, 0);
    EXPECT_EQ(body.fx, 0);
    EXPECT_EQ(body.fy, 0);
    EXPECT_EQ(body.drag, 1.6f);
    EXPECT_EQ(body.headingDegrees(), 90.0f);
    EXPECT_EQ(body.speed(), 0.0f);
}

TEST(MotionBody, OneStepUnderAForce) {
    MotionBody body = clearedBody(1.0f);
    body.applyPolarForce(0.2f, 90.0f);
    float d1 = -1, d2 = -1;
    body.integrate(1, d1, d2);
    // Worked by hand: 90 x 0.0174532925 = 1.570796325 rad, 1.7949e-9 short
    // of pi/2, so the force along the first axis is 0.2 x sin(1.7949e-9) =
    // 3.590e-10, and the step moves F x 1/2 / 100 = 1.7949e-12 along it: the
    // rounded factor leaves a trace.
    EXPECT_NEAR(d1, 1.7949e-12, 0.0001e-12);
    EXPECT_FLOAT_EQ(d2, 0.001f);
    EXPECT_FLOAT_EQ(body.vy, 0.002f);
    EXPECT_EQ(body.fx, 0.0f);
    EXPECT_EQ(body.fy, 0.0f);
}

TEST(MotionBody, OneStepWithDragOnly) {
    MotionBody body = clearedBody(1.0f);
    body.vx = 1.0f;
    float d1, d2;
    body.integrate(1, d1, d2);
    EXPECT_FLOAT_EQ(d1, 0.995f);
    EXPECT_FLOAT_EQ(d2, 0.0f);
    EXPECT_FLOAT_EQ(body.vx, 0.99f);
}

TEST(MotionBody, ZeroStepsMovesNothingAndDropsTheForce) {
    MotionBody body = clearedBody(1.0f);
    body.vx = 2.0f;
    body.applyForce(5.0f, 5.0f);
    float d1, d2;
    body.integrate(0, d1, d2);
    EXPECT_EQ(d1, 0.0f);
    EXPECT_EQ(d2, 0.0f);
    EXPECT_EQ(body.vx, 2.0f);
    EXPECT_EQ(body.fx, 0.0f);
}

TEST(MotionBody, ThrustOfPointTwoWithDragOneSettlesAtPointTwoPerStep) {
    MotionBody body = clearedBody(1.0f);
    float d1 = 0, d2 = 0;
    for (int step = 0; step < 2000; ++step) {
        body.applyPolarForce(0.2f, 30.0f);
        body.integrate(1, d1, d2);
    }
    EXPECT_NEAR(body.speed(), 0.2f, 1e-4);
    EXPECT_NEAR(std::sqrt(d1 * d1 + d2 * d2), 0.2, 1e-4);
    EXPECT_NEAR(body.headingDegrees(), 30.0f, 1e-3);
}

TEST(MotionBody, HeadingDegreesIsTheLineOfMotion) {
    struct Case {
        float vx, vy, expected;
    } cases[] = {{1, 1, 45}, {-1, 0, 0}, {-1, -1, 45}, {1, -1, -45}, {-1, 1, -45},
                 {0, 3, 90}, {0, 0, 90}, {0, -3, -90}};
    for (const Case& c : cases) {
        MotionBody body = clearedBody(1.0f);
        body.vx = c.vx;
        body.vy = c.vy;
        EXPECT_NEAR(body.headingDegrees(), c.expected, 1e-4) << c.vx << ", " << c.vy;
    }
}

TEST(MotionBody, SpeedIsTheLengthOfTheVelocity) {
    MotionBody body = clearedBody(1.0f);
    body.vx = 3;
    body.vy = 4;
    EXPECT_EQ(body.speed(), 5.0f);
}

TEST(MotionBody, PrintWritesOneLine) {
    MotionBody body = clearedBody(1.0f);
    testing::internal::CaptureStdout();
    body.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Velocity (0.000000, 0.000000) Force (0.000000, 0.000000) Mass 100.000000\n");
}
