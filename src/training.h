// Teaching the computer fireflies to hunt. A Trainer plays whole games on the
// real world with every firefly, the player's too, steered by the agent, and
// counts what it sees into the planner's counters: for every firefly and
// every step, the state and action at the decision, the state at the next
// decision, and the reward the step earned (see RewardRule). The reward and
// the visit both go to the state the step led to, so that the planner's mean
// reward of a state is the mean over the steps that arrived in it. plan()
// turns the counters into the tables the game loads. One Trainer may play
// several worlds (the shipped levels) into one set of counters, game by game
// in turn; between games a world is restarted, never rebuilt.
//
// Also matches that measure pilots against each other in the same world: the
// tables under test, other tables, the scripted chaser and the player
// stand-in (pilots.h), with wins, points, hits and game lengths.
#ifndef FIREFLIES_TRAINING_H
#define FIREFLIES_TRAINING_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "learner.h"
#include "pilots.h"

class GameState;

// What one step earns a firefly, credited (with one visit) to the state the
// step led to: the planner's choice weighs only the values of the states an
// action leads to, so that is where a step's outcome must show. The default
// is the game's scoring times 100 (+200 for a hit landed, -100 for a hit
// taken) and +1 for a step that ends with the firefly's prey in its sights
// (dead ahead and near): hits come at most once per 100 steps, and the small
// steady reward for aim teaches the same hunt from far fewer games.
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
// the action counts no longer add up to the steps played: used on a copy for
// solving.
// Throws std::overflow_error when a pooled count does not fit an int.
void poolStraightFlight(Learner& learner);

class Trainer {
  public:
    // Trains in world, which the caller has built (seeding rand first) and
    // keeps alive; firefly 0 is driven by the agent from now on. The world's
    // learner is reset to the initial tables. seed drives the exploration.
    Trainer(GameState& world, std::uint32_t seed, RewardRule rule = RewardRule());
    // The same over several worlds (at least one, none null, all kept alive
    // by the caller): game number g is played in worlds[g % worlds.size()].
    Trainer(std::vector<GameState*> worlds, std::uint32_t seed, RewardRule rule = RewardRule());

    // Plays one game, in the world whose turn it is, from restart() until it
    // ends or maxSteps (1 or more) steps have passed, on the tables in that
    // world's learner; each action is replaced by a uniformly random one with
    // probability explore (0..1). Every firefly's every step is counted into
    // counts. Returns the steps. Throws std::overflow_error, leaving the
    // counts of the game so far, when a counter would pass the int range.
    int playGame(int maxSteps, double explore);

    // The tables from the counters so far: a copy of them with straight
    // flight pooled, solved (prints the planner's empty line on stdout).
    // Throws std::overflow_error as poolStraightFlight.
    Learner plan() const;

    // Later games are played on these tables (transitions and values), in
    // every world.
    void playOn(const Learner& tables);

    Learner counts;      // filled by playGame; its own tables stay the initial ones
    long long steps = 0; // steps played by playGame so far
    int games = 0;       // games played so far
    // Share of games, 0..1, played against the scripted chaser: in such a
    // game the fireflies whose index has the parity of the game number are
    // flown by the chaser, and only the others' steps are counted. Tables
    // that only ever met themselves learn a world of slow, wandering
    // hunters; the chaser shows them one that turns and fires at once.
    double sparring = 0.0;
    ChaserAim sparringAim; // how the sparring chaser hunts

  private:
    std::vector<GameState*> worlds_;
    RewardRule rule_;
    std::mt19937 random_; // exploration only; the game's rand() keeps its own order
};

// Who flies a firefly in a match.
enum class Pilot {
    Tables,   // the agent on the world's learner: the tables under test
    Baseline, // the agent on the match's baseline tables
    Chaser,   // the scripted chaser
    StandIn,  // the player stand-in
};

// The name of a pilot in reports: "tables", "baseline", "chaser", "stand-in".
const char* pilotName(Pilot pilot);

// Who plays whom in a match.
struct Pairing {
    Pilot first;      // the first side's pilot
    Pilot second;     // the second side's pilot
    bool playerAlone; // true: the first side is firefly 0 alone and the second all
                      // the others; false: in game number g the fireflies whose
                      // index has the parity of g form the first side, the others
                      // the second, so the sides swap places from game to game
};

// One game of a match as the world ended it; every vector has one entry per
// firefly, in the world's order.
struct GameRecord {
    std::vector<int> side;   // 0 on the first side, 1 on the second
    std::vector<int> scores; // final score
    std::vector<int> landed; // hits landed
    std::vector<int> taken;  // hits taken
    int steps = 0;           // steps played
    bool finished = false;   // ended with a score of 20; false: stopped at the step limit
    int winner = -1;         // the winning firefly (firefly 0 when it reached 20, as the
                             // game says "YOU WIN!", else the leader); -1 when not finished
};

// What one side of a match did, summed over the games played.
struct SideRecord {
    int wins = 0;                   // games won by a firefly of this side
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

// A match's games so far.
struct MatchRecord {
    SideRecord first;            // the pairing's first side
    SideRecord second;           // the pairing's second side
    int games = 0;               // games played
    int finished = 0;            // of those, games that ended with a score of 20
    long long steps = 0;         // steps played
    std::vector<double> lengths; // steps of each game
    std::vector<long long> slotPoints; // per firefly index: final scores summed over the games
    std::vector<int> slotWins;         // per firefly index: games won
};

// Games between two pilots in one world. Every firefly is flown by its
// side's pilot, none by the keys; no exploration.
class Match {
  public:
    // baseline: the tables Pilot::Baseline acts on (copied); seed drives
    // the stand-in's random actions and the random start headings.
    Match(Pairing pairing, const Learner& baseline, std::uint32_t seed);

    // Plays one game from restart() for at most maxSteps (1 or more) steps
    // and adds it to record. The world's learner holds the tables under test.
    GameRecord play(GameState& world, int maxSteps);

    MatchRecord record;          // every game played so far
    StandIn standIn;             // flies the fireflies of a Pilot::StandIn side
    ChaserAim chaserAim;         // how the fireflies of a Pilot::Chaser side hunt
    bool randomHeadings = false; // true: every firefly starts each game with a random
                                 // heading instead of the map's 90 degrees

  private:
    // Restarts the world for a game: the start headings, and each firefly's
    // side (its pilot), in the record returned.
    GameRecord startGame(GameState& world);
    // The record of the side that firefly (0..fireflyCount - 1) plays on in game.
    SideRecord& sideOf(const GameRecord& game, int firefly);
    // Replaces the actions the world's learner chose by those of each
    // firefly's pilot.
    void choosePilotActions(GameState& world, const GameRecord& game);
    // Counts the decisions of this step with the prey near into the sides'
    // aimed and flank figures.
    void countDecisions(const GameState& world, const GameRecord& game);
    // The game is over (or out of steps): its scores, winner and length go
    // into game and into record.
    void closeBooks(const GameState& world, GameRecord& game);

    Pairing pairing_;
    Learner baseline_;
    std::mt19937 random_; // the start headings
};

// A range of shares.
struct Interval {
    double low = 0.0;  // lower end, 0..1
    double high = 1.0; // upper end, 0..1
};
// The 95% Wilson score interval of the share successes / trials (0 <=
// successes <= trials); [0, 1] for no trials.
Interval wilsonInterval(int successes, int trials);

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
