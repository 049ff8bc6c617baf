// Teaching the computer fireflies to hunt. A Trainer plays whole games on the
// real world with every firefly, the player's too, steered by the agent, and
// counts what it sees into the planner's counters: for every firefly and
// every step, the state and action at the decision, the state at the next
// decision and the reward the step earned (see RewardRule), credited to the
// state the step led to. plan() turns the counters into the tables the game
// loads. Between games the world is restarted, never rebuilt.
//
// Also the match that pits one set of tables against another in the same
// world (half the fireflies on each), with what each side scored and how
// often it fired with prey dead ahead and turned toward prey at its side.
#ifndef FIREFLIES_TRAINING_H
#define FIREFLIES_TRAINING_H

#include <cstdint>
#include <random>
#include <vector>

#include "learner.h"

class GameState;

// What one step earns a firefly, credited to the state the step led to: the
// planner's choice weighs only the values of the states an action leads to,
// so that is where a step's outcome must show. The default is the game's
// scoring times 100 (+200 for a hit landed, -100 for a hit taken) and +1 for
// a step that ends with the firefly's prey in its sights (dead ahead and
// near): hits come at most once per 100 steps, and the small steady reward
// for aim teaches the same hunt from far fewer games.
struct RewardRule {
    int hitLanded = 200; // per hit the firefly's beam landed in the step
    int hitTaken = -100; // per hit the firefly took in the step
    int inSights = 1;    // when the step ends with the prey in the 4-degree cone ahead, within 25
};

// True for the states whose prey lies in the cone ahead and within 25.
bool preyInSights(int state);

// Actions 0 and 1 fly exactly alike (1 only adds a shot) and no state tells a
// ready beam from one cooling down, so to the planner they are one flight:
// gives both the summed counts of the two, so that their rows come out equal
// and the game's tie-break splits straight flight between them. Afterwards
// visits no longer equal the sums over actions: used on a copy for solving.
// Throws std::overflow_error when a pooled count does not fit an int.
void poolStraightFlight(Learner& learner);

class Trainer {
  public:
    // Trains in world, which the caller has built (seeding rand first) and
    // keeps alive; firefly 0 is driven by the agent from now on. The world's
    // learner is reset to the initial tables. seed drives the exploration.
    Trainer(GameState& world, std::uint32_t seed, RewardRule rule = RewardRule());

    // Plays one game from restart() until it ends or maxSteps (1 or more)
    // steps have passed, on the tables in the world's learner; each action is
    // replaced by a uniformly random one with probability explore (0..1).
    // Every firefly's every step is counted into counts. Returns the steps.
    // Throws std::overflow_error, leaving the counts of the game so far, when
    // a counter would pass the int range.
    int playGame(int maxSteps, double explore);

    // The tables from the counters so far: a copy of them with straight
    // flight pooled, solved (prints the planner's empty line on stdout).
    // Throws std::overflow_error as poolStraightFlight.
    Learner plan() const;

    // Later games are played on these tables (transitions and values).
    void playOn(const Learner& tables);

    Learner counts;      // filled by playGame; its own tables stay the initial ones
    long long steps = 0; // steps played by playGame so far
    int games = 0;       // games played so far

  private:
    GameState& world_;
    RewardRule rule_;
    std::mt19937 random_; // exploration only; the game's rand() keeps its own order
};

// What one side of a match did, summed over the games played.
struct SideRecord {
    std::vector<double> points;     // per game: mean final score of the side's fireflies
    std::vector<double> hitsLanded; // per game: mean hits landed per firefly of the side
    std::vector<double> hitsTaken;  // per game: mean hits taken per firefly of the side
    long long shots = 0;            // beams launched
    long long shotsInSights = 0;    // of those, launched with the prey in the firefly's sights
    long long aimedDecisions = 0;   // decisions with prey dead ahead, near, and the beam ready
    long long aimedFires = 0;       // of those, the ones that chose to fire
    long long flankDecisions = 0;   // decisions with prey near and to one side (not behind)
    long long flankTurnsToward = 0; // of those, the ones that turned toward the prey
};

// Matches between the tables in the world's learner (side "tables") and
// those of baseline, over several games in one world.
struct MatchRecord {
    SideRecord tables;   // fireflies acting on the world's learner
    SideRecord baseline; // fireflies acting on the baseline learner
    int games = 0;       // games played
    int finished = 0;    // of those, games that ended with a score of 20
    long long steps = 0; // steps played
};

// Plays one game from restart() (every firefly agent-driven, no exploration)
// for at most maxSteps steps: in game number record.games, fireflies whose
// index has the parity of that number act on the world's learner, the others
// on baseline, so the sides swap places from game to game. Adds the game to
// record.
void playMatch(GameState& world, Learner& baseline, int maxSteps, MatchRecord& record);

// Mean, spread and quartiles of a list of numbers (all 0 for an empty list).
struct Summary {
    double mean = 0.0;
    double deviation = 0.0; // standard deviation (population)
    double lowerQuartile = 0.0;
    double median = 0.0;
    double upperQuartile = 0.0;
};
Summary summarize(std::vector<double> values);

#endif
