// Matches between pilots, as the evaluator plays them: every game's books
// balance (each firefly's score is 2 x hits landed - hits taken, and the
// sides' records are the means of their fireflies), the winner is the one
// the game names, sides are as the pairing says and swap from game to game,
// the win interval is Wilson's, and the evaluator prints the same figures
// for the same seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "gl_context.h"
#include "temp_dir.h"
#include "training.h"
#include "world.h"

namespace {

const std::string kTrain = std::string(FIREFLIES_BINARY_DIR) + "/train";

// The mean over the fireflies of one side of a game of one per-firefly list.
double sideMean(const GameRecord& game, const std::vector<int>& values, int side) {
    double sum = 0.0;
    int members = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (game.side[i] == side) {
            sum += values[i];
            ++members;
        }
    }
    return members > 0 ? sum / members : 0.0;
}

} // namespace

TEST(Match, EveryGamesBooksBalanceAndItsWinnerIsTheGames) {
    REQUIRE_GL_CONTEXT();
    std::srand(41);
    auto world = makeWorld(readFile("final.map"));
    const std::size_t count = static_cast<std::size_t>(world->fireflyCount);
    const Pairing pairings[] = {{Pilot::StandIn, Pilot::Tables, true},
                                {Pilot::StandIn, Pilot::StandIn, true},
                                {Pilot::Tables, Pilot::Chaser, false},
                                {Pilot::Tables, Pilot::Baseline, false}};
    for (const Pairing& pairing : pairings) {
        SCOPED_TRACE(std::string(pilotName(pairing.first)) + " vs " + pilotName(pairing.second));
        Match match(pairing, Learner(), 42);
        int hits = 0;
        for (int g = 0; g < 4; ++g) {
            // One game stopped early, so that unfinished games are counted too.
            GameRecord game = match.play(*world, g == 3 ? 300 : 20000);
            ASSERT_EQ(game.side.size(), count);
            ASSERT_EQ(game.scores.size(), count);
            ASSERT_EQ(game.landed.size(), count);
            ASSERT_EQ(game.taken.size(), count);
            int landed = 0;
            int taken = 0;
            for (std::size_t i = 0; i < count; ++i) {
                EXPECT_EQ(game.scores[i], 2 * game.landed[i] - game.taken[i]) << "firefly " << i;
                landed += game.landed[i];
                taken += game.taken[i];
                // Sides: firefly 0 alone, or fireflies of the game's parity first.
                int first = pairing.playerAlone ? (i == 0) : (static_cast<int>(i) % 2 == g % 2);
                EXPECT_EQ(game.side[i], first ? 0 : 1) << "firefly " << i << ", game " << g;
            }
            EXPECT_EQ(landed, taken) << "every hit lands on someone";
            hits += landed;
            // The side records hold this game's means.
            const MatchRecord& record = match.record;
            EXPECT_DOUBLE_EQ(record.first.points.back(), sideMean(game, game.scores, 0));
            EXPECT_DOUBLE_EQ(record.second.points.back(), sideMean(game, game.scores, 1));
            EXPECT_DOUBLE_EQ(record.first.hitsLanded.back(), sideMean(game, game.landed, 0));
            EXPECT_DOUBLE_EQ(record.second.hitsTaken.back(), sideMean(game, game.taken, 1));
            EXPECT_EQ(record.lengths.back(), game.steps);
            // A game ends when a score reaches 20, and only then. The winner:
            // firefly 0 on 20 whatever the others have, else the leader;
            // none for a game stopped at the step limit.
            const int best = *std::max_element(game.scores.begin(), game.scores.end());
            EXPECT_EQ(game.finished, best >= 20);
            if (game.finished) {
                ASSERT_GE(game.winner, 0);
                EXPECT_EQ(game.winner == 0, world->endText() == "YOU WIN!");
                if (game.winner == 0) {
                    EXPECT_GE(game.scores[0], 20);
                } else {
                    EXPECT_LT(game.scores[0], 20);
                    EXPECT_EQ(game.scores[static_cast<std::size_t>(game.winner)], best);
                }
            } else {
                EXPECT_EQ(game.winner, -1);
                EXPECT_EQ(game.steps, 300);
            }
        }
        const MatchRecord& record = match.record;
        EXPECT_EQ(record.games, 4);
        EXPECT_EQ(record.first.wins + record.second.wins, record.finished);
        EXPECT_EQ(record.finished, 3) << "a full game ended at the step limit";
        EXPECT_GT(hits, 0);
    }
}

TEST(Match, WinsCarryWilsonsInterval) {
    Interval none = wilsonInterval(0, 10);
    EXPECT_DOUBLE_EQ(none.low, 0.0);
    EXPECT_NEAR(none.high, 0.2775, 0.0001);
    Interval half = wilsonInterval(5, 10);
    EXPECT_NEAR(half.low, 0.2366, 0.0001);
    EXPECT_NEAR(half.high, 0.7634, 0.0001);
    Interval many = wilsonInterval(120, 400);
    EXPECT_NEAR(many.low, 0.2572, 0.0001);
    EXPECT_NEAR(many.high, 0.3466, 0.0001);
    Interval all = wilsonInterval(10, 10);
    EXPECT_NEAR(all.low, 0.7225, 0.0001);
    EXPECT_DOUBLE_EQ(all.high, 1.0);
    Interval nothing = wilsonInterval(0, 0);
    EXPECT_EQ(nothing.low, 0.0);
    EXPECT_EQ(nothing.high, 1.0);
}

TEST(Evaluator, TheSameSeedPrintsTheSameFigures) {
    const std::string command = "cd '" FIREFLIES_DATA_DIR "' && timeout 300 '" + kTrain +
                                "' --evaluate --level duel --games 4 --pairings standin,chaser";
    CommandResult a = runCommand(command + " --seed 5");
    ASSERT_EQ(a.status, 0) << a.out << a.err;
    CommandResult b = runCommand(command + " --seed 5");
    ASSERT_EQ(b.status, 0) << b.out << b.err;
    CommandResult c = runCommand(command + " --seed 6");
    ASSERT_EQ(c.status, 0) << c.out << c.err;
    EXPECT_NE(a.out.find("stand-in in firefly 0's place, tables in the 1 other:"),
              std::string::npos)
        << a.out;
    EXPECT_NE(a.out.find("firefly 0 won "), std::string::npos) << a.out;
    EXPECT_NE(a.out.find("| duel | 2 |"), std::string::npos) << a.out;
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out, c.out);

    CommandResult bad = runCommand(command + " --level nosuch");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("no level \"nosuch\" in levels.txt"), std::string::npos) << bad.err;
}
