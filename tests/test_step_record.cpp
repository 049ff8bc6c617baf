// The step's own account of itself: in a seeded game every shot, hit and
// bounce appears once and nothing else does, its hits add up to the scores,
// a contact that lasts is fresh only in its first step, and the end of the
// game is reported in the step that ends it and never again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gl_context.h"
#include "temp_dir.h"
#include "tools.h"
#include "world.h"

namespace {
// The cooldown a beam launch leaves, which nothing else sets.
constexpr int kJustFired = 100;

// Times a contact appears in the record.
int countContacts(const StepRecord& record, int firefly, Obstacle obstacle, int other) {
    int count = 0;
    for (const Contact& contact : record.contacts) {
        count +=
            (contact.firefly == firefly && contact.obstacle == obstacle && contact.other == other)
                ? 1
                : 0;
    }
    return count;
}

// The fresh flag of the one such contact in the record.
bool freshContact(const StepRecord& record, int firefly, Obstacle obstacle, int other) {
    for (const Contact& contact : record.contacts) {
        if (contact.firefly == firefly && contact.obstacle == obstacle && contact.other == other) {
            return contact.fresh;
        }
    }
    return false;
}

// Three fireflies, a lantern and a flower far off.
const char* kThreeFireflies = "3\n0 0\n10 0\n-30 30\n1\n-40 -40\n1\n40 40\n4 1 0 1\n";

struct Spot {
    double z, x;
};
} // namespace

TEST(StepRecord, ASeededGameReportsEveryShotHitAndBounceOnceAndItsHitsMakeTheScores) {
    REQUIRE_GL_CONTEXT();
    std::srand(5);
    // Ten fireflies among lanterns and flowers, every one flown by the agent.
    auto world = makeWorld(readFile(std::string(FIREFLIES_DATA_DIR) + "/swarm.map"));
    world->playerIsAgent = true;
    const int count = world->fireflyCount;
    std::vector<int> landed(count, 0);
    std::vector<int> taken(count, 0);
    std::vector<Spot> before(count);
    int shots = 0, edges = 0, flowers = 0, lanterns = 0, pairs = 0, fresh = 0, lasting = 0;
    int steps = 0;
    for (; steps < 4000 && !world->gameOver; ++steps) {
        for (int i = 0; i < count; ++i) {
            before[i] = Spot{world->fireflies[i]->z, world->fireflies[i]->x};
        }
        world->update();
        const StepRecord& record = world->events;
        ASSERT_EQ(record.ended, world->gameOver) << "step " << steps;

        // A shot for every beam launched in the step, in index order.
        std::vector<int> launched;
        for (int i = 0; i < count; ++i) {
            if (world->fireflies[i]->fireCooldown == kJustFired) {
                launched.push_back(i);
            }
        }
        ASSERT_EQ(record.shots, launched) << "step " << steps;
        shots += static_cast<int>(launched.size());
        for (const Hit& hit : record.hits) {
            ASSERT_NE(hit.shooter, hit.target);
            ASSERT_NE(std::find(launched.begin(), launched.end(), hit.shooter), launched.end());
            ++landed[hit.shooter];
            ++taken[hit.target];
        }

        // Bounces do not move a firefly, so the positions the step ends with
        // tell who touched the edge, a flower or a lantern, and those it
        // started with whether the touch began in this step.
        int expected = 0;
        for (int i = 0; i < count; ++i) {
            const Firefly& f = *world->fireflies[i];
            auto check = [&](Obstacle obstacle, int k, double cz, double cx, bool outside,
                             double reach) {
                double now = distance(f.z, f.x, cz, cx);
                double then = distance(before[i].z, before[i].x, cz, cx);
                bool touching = outside ? now > reach : now < reach;
                bool touchedBefore = outside ? then > reach : then < reach;
                ASSERT_EQ(countContacts(record, i, obstacle, k), touching ? 1 : 0)
                    << "step " << steps << " firefly " << i;
                if (touching) {
                    ++expected;
                    bool isFresh = freshContact(record, i, obstacle, k);
                    ASSERT_EQ(isFresh, !touchedBefore || steps == 0) << "step " << steps;
                    (isFresh ? fresh : lasting) += 1;
                }
            };
            check(Obstacle::Edge, -1, 0.0, 0.0, true, world->levelRadius);
            edges += countContacts(record, i, Obstacle::Edge, -1);
            for (int k = 0; k < world->flowerCount; ++k) {
                check(Obstacle::Flower, k, world->flowers[k]->z, world->flowers[k]->x, false, 6.0);
                flowers += countContacts(record, i, Obstacle::Flower, k);
            }
            for (int k = 0; k < world->lanternCount; ++k) {
                check(Obstacle::Lantern, k, world->lanterns[k]->z, world->lanterns[k]->x, false,
                      5.0);
                lanterns += countContacts(record, i, Obstacle::Lantern, k);
            }
        }
        // The rest are firefly pairs, each named once, by its lower index.
        for (const Contact& contact : record.contacts) {
            if (contact.obstacle == Obstacle::Firefly) {
                ASSERT_LT(contact.firefly, contact.other);
                ASSERT_LT(contact.other, count);
                ASSERT_EQ(countContacts(record, contact.firefly, Obstacle::Firefly, contact.other),
                          1);
                ++expected;
                ++pairs;
            }
        }
        ASSERT_EQ(static_cast<int>(record.contacts.size()), expected) << "step " << steps;
    }

    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(world->fireflies[i]->score, 2 * landed[i] - taken[i]) << "firefly " << i;
        EXPECT_EQ(world->hitsLanded[i], landed[i]);
        EXPECT_EQ(world->hitsTaken[i], taken[i]);
    }
    std::printf("%d steps: %d shots, %d edge, %d flower, %d lantern and %d firefly bounces; "
                "%d contacts begun, %d lasting\n",
                steps, shots, edges, flowers, lanterns, pairs, fresh, lasting);
    // The game met every kind of event the record holds.
    EXPECT_GT(shots, 20);
    EXPECT_GT(edges + flowers + lanterns, 0);
    EXPECT_GT(lasting, 0);
    EXPECT_GT(pairs, 0);

    // After the end nothing more is reported.
    if (world->gameOver) {
        world->update();
        EXPECT_TRUE(world->events.shots.empty());
        EXPECT_TRUE(world->events.contacts.empty());
        EXPECT_FALSE(world->events.ended);
    }
}

TEST(StepRecord, AnEdgeContactThatLastsSeveralStepsBeginsOnce) {
    REQUIRE_GL_CONTEXT();
    // Radius 60; the player just outside, moving out along +X: the first
    // bounce turns it along -Z, still outside, and it bounces on for a few
    // steps until it is back in.
    auto world = makeWorld("2\n0 0\n-30 0\n0\n0\n4 1 0 1\n");
    place(*world, 0, 61.0f, 0.0f, 90.0f, 0.0f, 1.0f);
    std::vector<bool> freshEdges;
    for (int step = 0; step < 10; ++step) {
        world->update();
        for (const Contact& contact : world->events.contacts) {
            if (contact.firefly == 0 && contact.obstacle == Obstacle::Edge) {
                freshEdges.push_back(contact.fresh);
            }
        }
    }
    // One contact, however long it lasts: fresh in its first step only.
    ASSERT_GE(freshEdges.size(), 2u);
    EXPECT_TRUE(freshEdges[0]);
    EXPECT_EQ(std::count(freshEdges.begin(), freshEdges.end(), true), 1);
}

TEST(StepRecord, ShotsHitsAndTheEndAreReportedInTheirStep) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kThreeFireflies);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 10.0f, 180.0f);
    world->fireflies[0]->score = 18;
    world->fireflies[0]->fire = true;
    world->advance(); // the agent's actions stay those of construction: thrust
    EXPECT_EQ(world->events.shots, std::vector<int>{0});
    ASSERT_EQ(world->events.hits.size(), 1u);
    EXPECT_EQ(world->events.hits[0].shooter, 0);
    EXPECT_EQ(world->events.hits[0].target, 1);
    EXPECT_EQ(world->events.hitsLandedBy(0), 1);
    EXPECT_EQ(world->events.hitsTakenBy(1), 1);
    EXPECT_EQ(world->events.hitsTakenBy(0), 0);
    EXPECT_EQ(world->hitsLanded[0], 1);
    EXPECT_EQ(world->hitsTaken[1], 1);
    EXPECT_TRUE(world->events.ended);
    EXPECT_TRUE(world->playerWon());

    // A frozen world reports nothing; a new game starts with an empty record.
    world->advance();
    EXPECT_TRUE(world->events.shots.empty());
    EXPECT_FALSE(world->events.ended);
    world->fireflies[0]->fire = true;
    world->advance();
    EXPECT_TRUE(world->events.shots.empty());
    world->restart();
    EXPECT_TRUE(world->events.hits.empty());
    EXPECT_EQ(world->hitsLanded[0], 0);
}

TEST(StepRecord, ABlockedShotIsAShotWithoutAHit) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kThreeFireflies);
    place(*world, 0, 0.0f, 0.0f, 0.0f);
    place(*world, 1, 0.0f, 10.0f, 180.0f);
    world->lanterns[0]->x = 0.0f;
    world->lanterns[0]->z = 5.0f;
    world->fireflies[0]->fire = true;
    world->advance();
    EXPECT_EQ(world->events.shots, std::vector<int>{0});
    EXPECT_TRUE(world->events.hits.empty());
    EXPECT_EQ(world->hitsLanded[0], 0);
}
