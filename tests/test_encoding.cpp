// Situation encoding: who a firefly reacts to, and how the 192 state
// indexes are packed from the five features.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "learner.h"
#include "test_fireflies.h"

namespace {

int stateOf(TestFlock& flock, int index) {
    int state = -1;
    encodeState(index, flock.list(), flock.count(), nullptr, 0, state);
    return state;
}

} // namespace

TEST(Encoding, ThreeFireflyExample) {
    TestFlock flock;
    flock.add(0, 0, 0);    // 0: at the origin facing +Z
    flock.add(0, 10, 180); // 1: ten ahead of 0, facing it
    flock.add(30, 0, 90);  // 2: off to +X, facing away

    EXPECT_EQ(truncateMetric(aimMetric(flock[1], flock[2])), 103);
    EXPECT_EQ(truncateMetric(aimMetric(flock[2], flock[1])), 193);
    EXPECT_EQ(truncateMetric(aimMetric(flock[0], flock[2])), 120);
    EXPECT_EQ(truncateMetric(aimMetric(flock[2], flock[0])), 209);

    PredatorPrey of0 = choosePredatorPrey(0, flock.list(), 3);
    PredatorPrey of1 = choosePredatorPrey(1, flock.list(), 3);
    PredatorPrey of2 = choosePredatorPrey(2, flock.list(), 3);
    EXPECT_EQ(of0.predator, 1);
    EXPECT_EQ(of0.prey, 1);
    EXPECT_EQ(of1.predator, 0);
    EXPECT_EQ(of1.prey, 0);
    EXPECT_EQ(of2.predator, 1);
    EXPECT_EQ(of2.prey, 1);

    EXPECT_EQ(stateOf(flock, 0), 190);
    EXPECT_EQ(stateOf(flock, 1), 190);
    int third = stateOf(flock, 2);
    EXPECT_EQ(third, 67);
    Situation f = decodeSituation(third);
    EXPECT_EQ(f.preySector, 2);
    EXPECT_FALSE(f.preyNear);
    EXPECT_FALSE(f.predatorAiming);
    EXPECT_EQ(f.predatorSector, 1);
    EXPECT_TRUE(f.predatorFar);
}

TEST(Encoding, TheCodePacksTheFeaturesWithWeights32_16_8_2_1) {
    // Worked by hand: 32 x 5 + 16 + 8 + 2 x 3 + 1 = 191, the last state;
    // 32 x 2 + 2 x 1 + 1 = 67, the third firefly above.
    EXPECT_EQ(encodeSituation({kAheadSector, true, true, 3, true}), 191);
    EXPECT_EQ(encodeSituation({2, false, false, 1, true}), 67);
    EXPECT_EQ(encodeSituation({0, false, false, 0, false}), 0);
    EXPECT_EQ(encodeSituation({0, true, false, 2, false}), 20);
    // Every state decodes to features in range that encode to it again.
    for (int state = 0; state < kStateCount; ++state) {
        Situation s = decodeSituation(state);
        ASSERT_GE(s.preySector, 0);
        ASSERT_LE(s.preySector, kAheadSector);
        ASSERT_GE(s.predatorSector, 0);
        ASSERT_LE(s.predatorSector, 3);
        ASSERT_EQ(encodeSituation(s), state);
    }
    Situation s = decodeSituation(172); // 32 x 5 + 8 + 2 x 2
    EXPECT_EQ(s.preySector, 5);
    EXPECT_FALSE(s.preyNear);
    EXPECT_TRUE(s.predatorAiming);
    EXPECT_EQ(s.predatorSector, 2);
    EXPECT_FALSE(s.predatorFar);
}

TEST(Encoding, PreyBearingSectors) {
    TestFlock flock;
    flock.add(0, 0, 0);
    int other = flock.add(10, 0, 0); // bearing about 90, so about 270 relative
    EXPECT_EQ(decodeSituation(stateOf(flock, 0)).preySector, 3);
    flock[other].x = -10; // bearing about 270, about 90 relative
    EXPECT_EQ(decodeSituation(stateOf(flock, 0)).preySector, 1);
    flock[other].x = 0;
    flock[other].z = 10; // dead ahead
    EXPECT_EQ(decodeSituation(stateOf(flock, 0)).preySector, 5);
}

TEST(Encoding, SectorBoundaries) {
    struct Case {
        double r;
        int prey, predator;
    } cases[] = {{0.0, 5, 3},   {1.999, 5, 3},   {2.0, 0, 3},         {44.999, 0, 3},
                 {45.0, 1, 0},  {134.999, 1, 0}, {135.0, 2, 1},       {224.999, 2, 1},
                 {225.0, 3, 2}, {314.999, 3, 2}, {315.0, 4, 3},       {357.999, 4, 3},
                 {358.0, 5, 3}, {360.0, 5, 3},   {std::nan(""), 5, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(preySector(c.r), c.prey) << c.r;
        EXPECT_EQ(predatorSector(c.r), c.predator) << c.r;
    }
}

TEST(Encoding, NearAndFarAtExactly25) {
    TestFlock flock;
    flock.add(0, 0, 0);
    int other = flock.add(0, 25, 180);
    Situation at25 = decodeSituation(stateOf(flock, 0));
    EXPECT_TRUE(at25.preyNear);
    EXPECT_FALSE(at25.predatorFar);
    flock[other].z = 25.5f;
    Situation beyond = decodeSituation(stateOf(flock, 0));
    EXPECT_FALSE(beyond.preyNear);
    EXPECT_TRUE(beyond.predatorFar);
}

TEST(Encoding, EqualWholeMetricsGoToTheLowerIndex) {
    // Both straight ahead, so the prey metrics are the distances 12.9 and
    // 12.2: both count as 12 and firefly 1 wins although 2 is nearer.
    TestFlock flock;
    flock.add(0, 0, 0);
    flock.add(0, 12.9f, 0);
    int nearer = flock.add(0, 12.2f, 0);
    EXPECT_EQ(choosePredatorPrey(0, flock.list(), 3).prey, 1);
    // 13.1 against 12.2: the whole parts differ and the nearer one wins.
    flock[1].z = 13.1f;
    EXPECT_EQ(choosePredatorPrey(0, flock.list(), 3).prey, nearer);
}

TEST(Encoding, PredatorAimsWithinFifteenDegrees) {
    // The predator stands 5 ahead; its heading 180 would point straight at
    // this firefly.
    struct Case {
        float heading;
        bool aiming;
    } cases[] = {{190, true}, {170, true}, {200, false}, {160, false}};
    for (const Case& c : cases) {
        TestFlock flock;
        flock.add(0, 0, 0);
        flock.add(0, 5, c.heading);
        EXPECT_EQ(decodeSituation(stateOf(flock, 0)).predatorAiming, c.aiming) << c.heading;
    }
}

TEST(Encoding, CoincidentFirefliesGiveAValidIndexAndTheDiagnostic) {
    TestFlock flock;
    flock.add(3, 4, 90);
    flock.add(3, 4, 90);
    testing::internal::CaptureStdout();
    int state = stateOf(flock, 0);
    std::string out = testing::internal::GetCapturedStdout();
    // Undefined bearings fall to the last rows: prey sector 5, not aiming,
    // predator sector 3; distance 0 is near.
    EXPECT_EQ(state, 32 * 5 + 16 + 0 + 2 * 3 + 0);
    EXPECT_TRUE(std::regex_match(out, std::regex("bad heading=-?nan\n"
                                                 "sub=-?nan\n"
                                                 "fly heading=90\n"
                                                 "loc=4 3 4 3\n")))
        << out;

    // A third firefly elsewhere: the coincident one is never preferred.
    flock.add(-20, 0, 0);
    testing::internal::CaptureStdout();
    state = stateOf(flock, 0);
    out = testing::internal::GetCapturedStdout();
    EXPECT_GE(state, 0);
    EXPECT_LT(state, kStateCount);
    EXPECT_EQ(choosePredatorPrey(0, flock.list(), 3).prey, 2);
    EXPECT_EQ(out, "");
}

TEST(Encoding, TooFewFirefliesGiveStateZero) {
    TestFlock flock;
    flock.add(1, 2, 3);
    int state = -1;
    encodeState(0, flock.list(), 1, nullptr, 0, state);
    EXPECT_EQ(state, 0);
    state = -1;
    flock.add(5, 5, 0);
    encodeState(2, flock.list(), 2, nullptr, 0, state); // past the list
    EXPECT_EQ(state, 0);
    EXPECT_EQ(choosePredatorPrey(0, flock.list(), 1).predator, -1);
}

TEST(Encoding, TwoFirefliesAreEachOthersPredatorAndPrey) {
    TestFlock flock;
    flock.add(0, 0, 45);
    flock.add(7, -3, 300);
    PredatorPrey of0 = choosePredatorPrey(0, flock.list(), 2);
    PredatorPrey of1 = choosePredatorPrey(1, flock.list(), 2);
    EXPECT_EQ(of0.predator, 1);
    EXPECT_EQ(of0.prey, 1);
    EXPECT_EQ(of1.predator, 0);
    EXPECT_EQ(of1.prey, 0);
}
