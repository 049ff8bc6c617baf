// The scripted pilots: the chaser turns toward the nearest firefly (or the
// one it is most nearly aimed at), fires only with it ahead, in reach and the beam ready, and on the
// real world turns onto a firefly at its side and hits it; the player
// stand-in makes random moves at the share it is given and sees the others
// late by its reaction time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "pilots.h"
#include "test_fireflies.h"
#include "world.h"

namespace {
constexpr int kThrust = 0;
constexpr int kFire = 1;
constexpr int kLeft = 2;  // heading grows
constexpr int kRight = 3; // heading shrinks
} // namespace

TEST(Chaser, TurnsTowardItsTargetAndFiresOnlyWhenItCan) {
    REQUIRE_GL_CONTEXT();
    TestFlock flock;
    // The chaser at the origin facing +Z; heading 90 would face +X, so a
    // firefly at +X lies on the side a left turn swings toward.
    int chaser = flock.add(0.0f, 0.0f, 0.0f);
    int target = flock.add(10.0f, 10.0f, 0.0f);
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kLeft);
    flock[target].x = -10.0f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kRight);
    // Behind it, a little to the left: it turns, whichever way is shorter.
    flock[target].x = 1.0f;
    flock[target].z = -10.0f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kLeft);

    // Dead ahead and within reach: it fires, unless its beam is recharging.
    flock[target].x = 0.0f;
    flock[target].z = 30.0f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kFire);
    flock[chaser].fireCooldown = 1; // counted down to 0 in this step: ready
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kFire);
    flock[chaser].fireCooldown = 2;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kThrust);
    flock[chaser].fireCooldown = 0;
    // 1.5 degrees off: inside the 2-degree cone it fires; with a narrower
    // cone it holds its course (a turn would swing past), at 3 degrees off it turns.
    flock[target].x = 30.0f * 0.02618f; // tan(1.5 degrees) x 30
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kFire);
    ChaserAim narrow;
    narrow.fireCone = 0.5;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count(), narrow), kLeft);
    flock[target].x = 0.3f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count(), narrow), kThrust);
    // Beyond its reach it does not waste the beam.
    ChaserAim shortReach;
    shortReach.reach = 20.0;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count(), shortReach), kThrust);

    // Of two fireflies, one 12 away at its right side and one 20 away dead
    // ahead, it chases the nearest, or if told so the one it is most nearly
    // aimed at.
    flock[target].x = -12.0f;
    flock[target].z = 0.0f;
    int ahead = flock.add(0.0f, 20.0f, 0.0f);
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kRight);
    ChaserAim aimed;
    aimed.nearest = false;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count(), aimed), kFire);
    // A firefly standing on the chaser gives no direction; the others still do.
    flock[target].x = 0.0f;
    flock[target].z = 0.0f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kFire);
    flock[ahead].x = 0.0f;
    flock[ahead].z = 0.0f;
    EXPECT_EQ(chaserAction(chaser, flock.list(), flock.count()), kThrust);
}

TEST(Chaser, OnTheRealWorldTurnsOntoAFireflyAtItsSideAndHitsIt) {
    REQUIRE_GL_CONTEXT();
    std::srand(5);
    // The chaser (firefly 0) faces +X at the origin; the other hangs still
    // 20 away at its left side (-Z), a quarter turn away.
    auto world = makeWorld("2\n0 0\n-20 0\n0\n0\n4 1 0 1\n");
    world->playerIsAgent = true;
    int turns = 0;
    int step = 0;
    for (; step < 200 && world->fireflies[0]->score == 0; ++step) {
        world->decide();
        world->learner.actions[0] = chaserAction(0, world->fireflies, world->fireflyCount);
        world->learner.actions[1] = kThrust;
        turns += world->learner.actions[0] == kLeft ? 1 : 0;
        EXPECT_NE(world->learner.actions[0], kRight) << "step " << step;
        // The other firefly is held in place: only the chaser moves.
        world->fireflies[1]->body.clear();
        world->advance();
        world->fireflies[1]->x = 0.0f;
        world->fireflies[1]->z = -20.0f;
    }
    // About 90 degrees at 1.7 a step, fewer as it flies on round the target.
    EXPECT_GT(turns, 30);
    EXPECT_EQ(world->fireflies[0]->score, 2) << "no hit in " << step << " steps";
    EXPECT_EQ(world->hitsLanded[0], 1);
    EXPECT_EQ(world->fireflies[1]->score, -1);
}

TEST(StandIn, ReplacesTheShareOfActionsItIsGivenByRandomOnes) {
    REQUIRE_GL_CONTEXT();
    TestFlock flock;
    // The chaser's answer here is always thrust: its target lies dead ahead
    // but beyond a reach of 10.
    flock.add(0.0f, 0.0f, 0.0f);
    flock.add(0.0f, 50.0f, 0.0f);
    ChaserAim aim;
    aim.reach = 10.0;
    ASSERT_EQ(chaserAction(0, flock.list(), flock.count(), aim), kThrust);
    const int decisions = 40000;
    for (double share : {0.0, 0.05, 0.2, 1.0}) {
        StandIn standIn(17, share, 0, aim);
        int counts[kActionCount] = {};
        for (int k = 0; k < decisions; ++k) {
            int action = standIn.act(0, flock.list(), flock.count());
            ASSERT_GE(action, 0);
            ASSERT_LT(action, kActionCount);
            ++counts[action];
        }
        // A random action is each of the four alike, so a quarter of them
        // coincide with thrust. The binomial spread of a share of 40000 is
        // at most 0.0025: a tolerance of 0.012 is five times that.
        for (int a = 1; a < kActionCount; ++a) {
            EXPECT_NEAR(counts[a] / double(decisions), share / 4.0, 0.012)
                << "share " << share << ", action " << a;
        }
        EXPECT_NEAR(counts[kThrust] / double(decisions), 1.0 - 0.75 * share, 0.012)
            << "share " << share;
    }
}

TEST(StandIn, SeesTheOthersAsTheyWereItsReactionTimeAgo) {
    REQUIRE_GL_CONTEXT();
    TestFlock flock;
    flock.add(0.0f, 0.0f, 0.0f);
    int other = flock.add(10.0f, 10.0f, 0.0f); // at its left
    StandIn quick(3, 0.0, 0);
    StandIn slow(3, 0.0, 6);
    for (int step = 0; step < 10; ++step) {
        EXPECT_EQ(quick.act(0, flock.list(), flock.count()), kLeft);
        EXPECT_EQ(slow.act(0, flock.list(), flock.count()), kLeft);
    }
    // The other firefly jumps to its right: the quick one turns at once, the
    // slow one keeps turning left for its 6 steps of reaction.
    flock[other].x = -10.0f;
    for (int step = 0; step < 6; ++step) {
        EXPECT_EQ(quick.act(0, flock.list(), flock.count()), kRight);
        EXPECT_EQ(slow.act(0, flock.list(), flock.count()), kLeft) << "step " << step;
    }
    EXPECT_EQ(slow.act(0, flock.list(), flock.count()), kRight);
    // Its own heading it knows at once: swung past the other (now at bearing
    // 315, 15 degrees to its left), it turns back in the same step.
    flock[0].heading = 300.0f;
    EXPECT_EQ(slow.act(0, flock.list(), flock.count()), kLeft);
    // A new game forgets what it saw: the other back at its left is seen at
    // once, with no old sighting to react to first.
    slow.newGame();
    flock[0].heading = 0.0f;
    flock[other].x = 10.0f;
    EXPECT_EQ(slow.act(0, flock.list(), flock.count()), kLeft);
}
