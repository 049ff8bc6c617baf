// Action choice and planning: greedy on the model, random only on exact
// ties with one rand() per firefly, and the planner's estimates and sweeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "learner.h"
#include "test_fireflies.h"

namespace {

// Ten fireflies spread over the arena in different directions.
void addTen(TestFlock& flock) {
    for (int i = 0; i < 10; ++i) {
        flock.add(static_cast<float>(i * 7 % 13 - 6) * 4.0f,
                  static_cast<float>(i * 5 % 11 - 5) * 3.0f, static_cast<float>(i * 37 % 360));
    }
}

// Every state: the named actions lead surely to state 5, the others to state 7.
void leadToFive(Learner& learner, bool toFive[kActionCount]) {
    std::fill(learner.transProbs.begin(), learner.transProbs.end(), 0.0);
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            learner.transProb(s, toFive[a] ? 5 : 7, a) = 1.0;
        }
    }
    learner.values[5] = 1.0;
    learner.values[7] = 0.5;
}

double largestMagnitude(const std::vector<double>& list) {
    double largest = 0.0;
    for (double v : list) {
        largest = std::max(largest, std::fabs(v));
    }
    return largest;
}

} // namespace

TEST(LearnerChoice, UniformTablesGiveRandModFour) {
    TestFlock flock;
    addTen(flock);
    Learner learner;
    for (int k = 0; k < kStateCount; ++k) {
        learner.values[k] = k * 0.25 - 3.0; // uniform rows still tie every action
    }
    std::srand(1234);
    learner.chooseActions(flock.list(), flock.count(), nullptr, 0);
    int after = std::rand();
    std::srand(1234);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(learner.actions[i], std::rand() % 4) << i;
    }
    EXPECT_EQ(after, std::rand()); // exactly one rand() per firefly
}

TEST(LearnerChoice, TwoTiedActionsSplitByRandModTwoInActionOrder) {
    TestFlock flock;
    addTen(flock);
    Learner learner;
    bool toFive[kActionCount] = {false, true, false, true};
    leadToFive(learner, toFive);
    std::srand(99);
    learner.chooseActions(flock.list(), flock.count(), nullptr, 0);
    int after = std::rand();
    std::srand(99);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(learner.actions[i], std::rand() % 2 == 0 ? 1 : 3) << i;
    }
    EXPECT_EQ(after, std::rand());
}

TEST(LearnerChoice, OneRandPerFireflyWithoutATieToo) {
    TestFlock flock;
    addTen(flock);
    Learner learner;
    bool toFive[kActionCount] = {false, false, true, false};
    leadToFive(learner, toFive);
    std::srand(5);
    learner.chooseActions(flock.list(), 3, nullptr, 0);
    int after = std::rand();
    std::srand(5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(learner.actions[i], 2);
        std::rand();
    }
    EXPECT_EQ(after, std::rand());
    EXPECT_EQ(learner.actions[3], 0); // slots past the fireflies are left alone
}

TEST(LearnerChoice, TheEncodedStateSelectsTheRow) {
    // Fireflies 0 and 1 are in state 190, firefly 2 in state 67.
    TestFlock flock;
    flock.add(0, 0, 0);
    flock.add(0, 10, 180);
    flock.add(30, 0, 90);
    Learner learner;
    std::fill(learner.transProbs.begin(), learner.transProbs.end(), 0.0);
    learner.values[9] = 1.0;
    for (int s = 0; s < kStateCount; ++s) {
        learner.transProb(s, 9, s == 190 ? 1 : 0) = 1.0;
    }
    learner.observe(flock.list(), 3, nullptr, 0);
    EXPECT_EQ(learner.states[0], 190);
    EXPECT_EQ(learner.states[1], 190);
    EXPECT_EQ(learner.states[2], 67);
    learner.states.assign(kFireflySlots, -1);
    learner.chooseActions(flock.list(), 3, nullptr, 0);
    EXPECT_EQ(learner.states[2], 67);
    EXPECT_EQ(learner.actions[0], 1);
    EXPECT_EQ(learner.actions[1], 1);
    EXPECT_EQ(learner.actions[2], 0);
}

TEST(LearnerChoice, BestActionIsTheLowestOfTheLargest) {
    double tiedMiddle[] = {1, 3, 3, 2};
    double allEqual[] = {5, 5, 5, 5};
    double rising[] = {1, 2, 3, 4};
    double negative[] = {-2, -1, -1, -3};
    EXPECT_EQ(bestAction(tiedMiddle), 1);
    EXPECT_EQ(bestAction(allEqual), 0);
    EXPECT_EQ(bestAction(rising), 3);
    EXPECT_EQ(bestAction(negative), 1);
}

TEST(LearnerPlanner, ZeroCountersLeaveTheModelAndRewards) {
    Learner learner;
    learner.transProb(4, 6, 2) = 0.75;
    learner.rewards[10] = 2.5;
    std::vector<double> probs = learner.transProbs;
    testing::internal::CaptureStdout();
    learner.solve();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
    EXPECT_TRUE(learner.transProbs == probs);
    EXPECT_EQ(learner.rewards[10], 2.5);
    EXPECT_EQ(learner.rewards[11], 0.0);
    EXPECT_GT(learner.values[10], 2.5); // the sweeps did run
}

TEST(LearnerPlanner, CountersBecomeProbabilitiesAndMeanRewards) {
    Learner learner;
    learner.actionCounts[3][2] = 4;
    learner.transCount(3, 10, 2) = 1;
    learner.transCount(3, 20, 2) = 3;
    learner.transCount(3, 30, 1) = 5; // action 1 was never counted as taken: ignored
    learner.visits[3] = 4;
    learner.rewardSums[3] = -6;
    learner.rewardSums[8] = 9; // no visits: keeps its reward
    testing::internal::CaptureStdout();
    learner.solve();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(learner.rewards[3], -1.5);
    EXPECT_EQ(learner.rewards[8], 0.0);
    EXPECT_EQ(learner.transProb(3, 10, 2), 0.25);
    EXPECT_EQ(learner.transProb(3, 20, 2), 0.75);
    EXPECT_EQ(learner.transProb(3, 11, 2), 0.0);
    EXPECT_EQ(learner.transProb(3, 30, 1), 1.0 / 192);
    EXPECT_EQ(learner.transProb(4, 10, 2), 1.0 / 192);
}

TEST(LearnerPlanner, SweepsAreInPlaceAndTakeTheLargestAction) {
    // State 0 keeps itself with reward 1; state 1 always leads to 0; state 2
    // reaches 0 only through action 3 and otherwise the rewardless state 3.
    Learner learner;
    std::fill(learner.transProbs.begin(), learner.transProbs.end(), 0.0);
    for (int a = 0; a < kActionCount; ++a) {
        learner.transProb(0, 0, a) = 1.0;
        learner.transProb(1, 0, a) = 1.0;
        learner.transProb(2, a == 3 ? 0 : 3, a) = 1.0;
        learner.transProb(3, 3, a) = 1.0;
    }
    learner.rewards[0] = 1.0;
    testing::internal::CaptureStdout();
    learner.solve();
    testing::internal::GetCapturedStdout();

    double v0 = 0.0;
    for (int sweep = 0; sweep < 384; ++sweep) {
        v0 = 1.0 + (0.97 * 1.0) * v0;
    }
    EXPECT_EQ(learner.values[0], v0);
    // State 1 already sees the value state 0 got in the same sweep.
    EXPECT_EQ(learner.values[1], (0.97 * 1.0) * v0);
    EXPECT_EQ(learner.values[2], (0.97 * 1.0) * v0);
    EXPECT_EQ(learner.values[3], 0.0);
}

TEST(LearnerPlanner, WithoutRewardsEverySweepShrinksTheValues) {
    Learner learner;
    std::srand(42);
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            double sum = 0.0;
            for (int next = 0; next < kStateCount; ++next) {
                double w = std::rand() % 4 == 0 ? std::rand() % 100 + 1.0 : 0.0;
                learner.transProb(s, next, a) = w;
                sum += w;
            }
            for (int next = 0; next < kStateCount; ++next) {
                learner.transProb(s, next, a) =
                    sum > 0.0 ? learner.transProb(s, next, a) / sum : (next == s ? 1.0 : 0.0);
            }
        }
        learner.values[s] = (std::rand() % 2001 - 1000) / 10.0;
    }
    double before = largestMagnitude(learner.values);
    testing::internal::CaptureStdout();
    learner.solve();
    testing::internal::GetCapturedStdout();
    double after = largestMagnitude(learner.values);
    EXPECT_GT(before, 0.0);
    EXPECT_LE(after, before * std::pow(0.97, 384) * (1 + 1e-9));
}
