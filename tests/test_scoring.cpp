// Beams and scoring: what a shot hits, what blocks it, how long it is drawn,
// and when the game ends and for whom.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include "gl_context.h"
#include "world.h"

namespace {
// Three fireflies, one lantern and one flower far out of the way.
const char* kWorld = "3\n0 0\n10 0\n-30 30\n1\n-40 -40\n1\n40 40\n4 1 0 1\n";

void shoot(GameState& world, int i) {
    world.fireflies[i]->fired = true;
    world.traceBeams();
    world.fireflies[i]->fired = false;
}
} // namespace

TEST(Scoring, AShotAlongZHitsAndScoresTwoAndMinusOne) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 10.0f);
    shoot(*world, 0);
    EXPECT_EQ(world->fireflies[0]->score, 2);
    EXPECT_EQ(world->fireflies[1]->score, -1);
    EXPECT_EQ(world->fireflies[2]->score, 0);
    EXPECT_FLOAT_EQ(world->fireflies[0]->beam.length, 9.5f);
}

TEST(Scoring, ALanternInTheWayBlocksTheShot) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 10.0f);
    world->lanterns[0]->x = 0.0f;
    world->lanterns[0]->z = 5.0f;
    shoot(*world, 0);
    EXPECT_EQ(world->fireflies[0]->score, 0);
    EXPECT_EQ(world->fireflies[1]->score, 0);
    EXPECT_FLOAT_EQ(world->fireflies[0]->beam.length, 1.5f);
}

TEST(Scoring, AFlowerInTheWayBlocksTheShot) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 20.0f);
    world->flowers[0]->x = 0.0;
    world->flowers[0]->z = 10.0;
    shoot(*world, 0);
    EXPECT_EQ(world->fireflies[1]->score, 0);
    EXPECT_FLOAT_EQ(world->fireflies[0]->beam.length, 5.5f);
}

TEST(Scoring, AMissIsTheFullReachAndScoresNothing) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 180.0f); // facing away from everything
    place(*world, 1, 0.0f, 10.0f);
    shoot(*world, 0);
    EXPECT_FLOAT_EQ(world->fireflies[0]->beam.length, 200.5f);
    EXPECT_EQ(world->fireflies[0]->score, 0);
    EXPECT_EQ(world->fireflies[1]->score, 0);
}

TEST(Scoring, OnlyTheNearerOfTwoFirefliesInLineIsHit) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 20.0f); // the far one comes first in the list
    place(*world, 2, 0.0f, 10.0f);
    shoot(*world, 0);
    EXPECT_EQ(world->fireflies[1]->score, 0);
    EXPECT_EQ(world->fireflies[2]->score, -1);
    EXPECT_FLOAT_EQ(world->fireflies[0]->beam.length, 9.5f);
}

TEST(Scoring, ATargetWithinOneOfTheShooterIsHitAndCannotBeBlocked) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 0.5f);
    world->lanterns[0]->x = 0.0f;
    world->lanterns[0]->z = 5.0f;
    shoot(*world, 0);
    EXPECT_EQ(world->fireflies[0]->score, 2);
    EXPECT_EQ(world->fireflies[1]->score, -1);
    EXPECT_LT(world->fireflies[0]->beam.length, 0.5f);
}

TEST(Scoring, ScoresGoBelowZeroAndShowTheirSign) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 10.0f);
    place(*world, 1, 0.0f, 0.0f, 0.0f);
    for (int shot = 0; shot < 3; ++shot) {
        shoot(*world, 1);
    }
    EXPECT_EQ(world->fireflies[0]->score, -3);
    EXPECT_EQ(world->leaderScore(), 6);
    EXPECT_EQ(world->scoreLine(), "Your Score: -3 Leader Score: 6");
}

TEST(Scoring, LeaderScoreIsTheHighestIncludingThePlayer) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    EXPECT_EQ(world->scoreLine(), "Your Score: 0 Leader Score: 0");
    world->fireflies[0]->score = 7;
    world->fireflies[2]->score = 5;
    EXPECT_EQ(world->leaderScore(), 7);
    EXPECT_EQ(world->scoreLine(), "Your Score: 7 Leader Score: 7");
    world->fireflies[1]->score = -4;
    world->fireflies[0]->score = -9;
    world->fireflies[2]->score = -2;
    EXPECT_EQ(world->leaderScore(), -2);
}

TEST(Scoring, TheStepThatReachesTwentyEndsTheGameAndFreezesTheWorld) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 10.0f);
    world->fireflies[0]->score = 18;
    world->fireflies[0]->fire = true;
    world->update();
    EXPECT_EQ(world->fireflies[0]->score, 20);
    EXPECT_TRUE(world->gameOver);
    EXPECT_EQ(world->endText(), "YOU WIN!");

    // Frozen: keys and requests change flags, nothing moves or scores.
    float x = world->fireflies[2]->x;
    float z = world->fireflies[2]->z;
    float force = world->fireflies[0]->body.fx;
    world->keyUp = true;
    world->fireflies[0]->fire = true;
    for (int step = 0; step < 50; ++step) {
        world->update();
    }
    EXPECT_EQ(world->fireflies[2]->x, x);
    EXPECT_EQ(world->fireflies[2]->z, z);
    EXPECT_EQ(world->fireflies[0]->score, 20);
    EXPECT_EQ(world->fireflies[0]->body.fx, force); // no thrust added, no step integrated
}

TEST(Scoring, ThePlayersOwnScoreDecidesTheEnd) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    world->fireflies[0]->score = 20;
    world->fireflies[1]->score = 21;
    world->gameOver = true;
    EXPECT_EQ(world->endText(), "YOU WIN!");
    world->fireflies[0]->score = 19;
    EXPECT_EQ(world->endText(), "YOU LOSE!");
    world->gameOver = false;
    EXPECT_EQ(world->endText(), "");
}

TEST(Scoring, AComputerFireflyReachingTwentyMeansTheyLose) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    world->fireflies[2]->score = 25;
    world->update();
    EXPECT_TRUE(world->gameOver);
    EXPECT_EQ(world->endText(), "YOU LOSE!");
}

TEST(Scoring, RestartPutsEveryFireflyBackForANewGame) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    world->playerIsAgent = true;
    for (int step = 0; step < 300; ++step) {
        world->update();
    }
    world->fireflies[1]->score = 20;
    world->update();
    ASSERT_TRUE(world->gameOver);
    world->restart();
    EXPECT_FALSE(world->gameOver);
    const float start[3][2] = {{0, 0}, {10, 0}, {-30, 30}}; // (z, x) as in the map
    for (int i = 0; i < 3; ++i) {
        const Firefly& f = *world->fireflies[i];
        EXPECT_EQ(f.z, start[i][0]);
        EXPECT_EQ(f.x, start[i][1]);
        EXPECT_EQ(f.heading, 90.0f);
        EXPECT_EQ(f.score, 0);
        EXPECT_EQ(f.body.speed(), 0.0f);
        EXPECT_EQ(f.fireCooldown, 0);
        EXPECT_EQ(f.beam.framesLeft, 0);
    }
    // The player's firefly followed the agent, not the keys: it moved.
    world->update();
    EXPECT_GT(world->fireflies[0]->body.speed(), 0.0f);
}
