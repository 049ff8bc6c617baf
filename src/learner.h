// The computer fireflies' agent. Each frame it sums up every firefly's
// situation as one of 192 states (where its prey and its predator lie, how
// near they are, whether the predator aims at it) and picks, for that state,
// the one of 4 actions whose expected next-state value is largest under a
// transition model, breaking exact ties at random. The model and the state
// values are read at start-up from "learner.trans" and "learner.val"; the
// planner (`solve`) and the save operations rebuild those files from
// experience counters filled by a trainer.
#ifndef FIREFLIES_LEARNER_H
#define FIREFLIES_LEARNER_H

#include <cstddef>
#include <string>
#include <vector>

#include "firefly.h"

class Lantern;

constexpr int kStateCount = 192;  // situation states, 0..191
constexpr int kFireflySlots = 10; // most fireflies a game may hold; one state/action slot each
// The agent's actions are the firefly's: kThrustAction .. kTurnRightAction, kActionCount of them.

// Prey at this distance or nearer is near, and a predator farther away is far (world units).
constexpr double kNearDistance = 25.0;
// The prey sector of the cone straight ahead (4 degrees wide).
constexpr int kAheadSector = 5;

// The five features of a situation, which its state index packs.
struct Situation {
    int preySector = 0;          // 0..5, as preySector gives it
    bool preyNear = false;       // the prey is kNearDistance away or nearer
    bool predatorAiming = false; // the predator aims within 15 degrees of this firefly
    int predatorSector = 0;      // 0..3, as predatorSector gives it
    bool predatorFar = false;    // the predator is farther away than kNearDistance
};

// The state index 0..191 of a situation: 32 x prey sector + 16 x prey near +
// 8 x predator aiming + 2 x predator sector + predator far. Sectors outside
// their ranges are a programming error (asserted).
int encodeSituation(const Situation& situation);
// The situation a state index 0..191 (asserted) packs: encodeSituation undone.
Situation decodeSituation(int state);

// How badly firefly a is aimed at firefly b, plus their distance: the angle
// between a's heading and the bearing from a to b folded into [0, 180]
// degrees, plus the distance in world units, unweighted. Not a number when
// the two stand at the same place.
double aimMetric(const Firefly& a, const Firefly& b);
// The same for a firefly at (az, ax) with heading degrees and one at (bz, bx).
double aimMetricAt(double az, double ax, double heading, double bz, double bx);

// A metric cut toward zero to a whole number, as predator and prey are
// compared. A metric that is not a number (or beyond the int range) counts
// as the worst possible, so such a firefly is only chosen when no other is.
int truncateMetric(double metric);

// The two fireflies a firefly reacts to; indexes into the firefly list.
struct PredatorPrey {
    int predator; // lowest whole aimMetric(other, this); -1 when there is no other firefly
    int prey;     // lowest whole aimMetric(this, other); -1 when there is no other firefly
};

// Picks predator and prey of the firefly at index among the other fireflies,
// lowest index on equal whole metrics. Both may be the same firefly. Both -1
// when index is outside the list or the list has no other firefly.
PredatorPrey choosePredatorPrey(int index, Firefly* const* fireflies, int fireflyCount);

// Prey sector 0..5 of a relative bearing r in degrees (own heading minus the
// bearing to the prey, in [0, 360]): 0 for [2, 45), 1 [45, 135), 2 [135, 225),
// 3 [225, 315), 4 [315, 358), kAheadSector (5) for the 4-degree cone ahead
// and for a value that is not a number.
int preySector(double r);

// Predator sector 0..3 of a relative bearing r3 in degrees: 0 for [45, 135),
// 1 [135, 225), 2 [225, 315), 3 ahead ([315, 360] or [0, 45)) and for a value
// that is not a number.
int predatorSector(double r3);

// Stores in state the situation index 0..191 (encodeSituation) of the firefly
// at index. Reads only
// x, z and heading of the fireflies. An undefined prey bearing (two fireflies
// at the same place) prints four "bad heading=" diagnostic lines on standard
// output and still yields a valid index. With fewer than two fireflies, or an
// index outside the list, the state is 0. The lanterns do not enter.
void encodeState(int index, Firefly* const* fireflies, int fireflyCount, Lantern* const* lanterns,
                 int lanternCount, int& state);

// The lowest action among those with the largest of the four values.
int bestAction(const double actionVals[kActionCount]);

class Learner {
  public:
    // Uniform transitions (1/192), zero rewards, values and counters, all
    // state and action slots 0. Reads nothing from disk.
    Learner();

    // Offset of entry [s][next][a] in the flat transition tables: state-major,
    // then next state, with the action innermost.
    static std::size_t tableIndex(int s, int next, int a) {
        return (static_cast<std::size_t>(s) * kStateCount + static_cast<std::size_t>(next)) *
                   kActionCount +
               static_cast<std::size_t>(a);
    }
    // transProbs[s][next][a]; s, next in 0..191, a in 0..3 (not checked).
    double& transProb(int s, int next, int a) { return transProbs[tableIndex(s, next, a)]; }
    double transProb(int s, int next, int a) const { return transProbs[tableIndex(s, next, a)]; }
    // transCounts[s][next][a]; s, next in 0..191, a in 0..3 (not checked).
    int& transCount(int s, int next, int a) { return transCounts[tableIndex(s, next, a)]; }

    // The table files: one number per line in the stream's default format
    // (six significant digits). Loading reads whitespace-separated numbers in
    // file order into the table and returns "" when the file holds exactly
    // the table; otherwise one line naming the file and what went wrong, the
    // entries not read keeping their values. A token that is not a decimal
    // number within the range of a double (or is longer than 256 characters)
    // stops the reading; a number too small for a double reads as 0 or a
    // subnormal, as a formatted stream reads it. A longer file fills the
    // table and is reported; nothing past the table's numbers is read, so
    // loading takes the same small memory whatever the file holds. Saving
    // replaces the file and returns "" or one line saying it could not be
    // written.
    //
    // Transitions: for s, then a, then next, one line with transProbs[s][next][a],
    // and an empty line after every 192 (768 blocks, 148,224 lines).
    std::string loadTransitions(const std::string& fileName);
    std::string saveTransitions(const std::string& fileName) const;
    // Values: 192 lines, values[0] to values[191].
    std::string loadValues(const std::string& fileName);
    std::string saveValues(const std::string& fileName) const;
    // Rewards: 192 lines, rewards[0] to rewards[191], as the value file.
    std::string loadRewards(const std::string& fileName);
    std::string saveRewards(const std::string& fileName) const;

    // Encodes firefly i into states[i] for every firefly. fireflyCount is at
    // most 10 (asserted); the lanterns are passed through to the encoding.
    void observe(Firefly* const* fireflies, int fireflyCount, Lantern* const* lanterns,
                 int lanternCount);
    // Encodes firefly i again into states[i] and picks actions[i] for every
    // firefly, firefly 0 included: the action with the largest expected next
    // value, ties split by rand() % (number tied) in action order. Calls
    // rand() exactly once per firefly.
    void chooseActions(Firefly* const* fireflies, int fireflyCount, Lantern* const* lanterns,
                       int lanternCount);
    // Turns the counters into mean rewards and transition probabilities
    // (entries whose counters are 0 keep their values), then runs 384 in-place
    // value-iteration sweeps with discount 0.97 and prints an empty line on
    // standard output.
    void solve();

    // The tables, in this order; sizes are fixed by the constructor.
    std::vector<double> transProbs; // [s][next][a] flattened (tableIndex), 147,456 probabilities
    std::vector<int> transCounts;   // [s][next][a] flattened (tableIndex): times a in s led to next
    std::vector<std::vector<int>> actionCounts; // [192][4]: times action a was taken in state s
    std::vector<double> rewards;                // [192]: mean reward received in each state
    std::vector<int> rewardSums;                // [192]: summed reward received in each state
    std::vector<int> visits;                    // [192]: visits of each state
    std::vector<double> values;                 // [192]: value of each state
    std::vector<int> states;                    // [10]: state 0..191 of each firefly this frame
    std::vector<int> actions;                   // [10]: action 0..3 of each firefly this frame
};

#endif
