// Scripted pilots for measuring levels and tables: the chaser, which always
// thrusts, turns toward the nearest firefly (or the one it is most nearly
// aimed at) and fires when that one lies within a few degrees ahead and
// within the beam's reach; and the player stand-in, a chaser with a person's
// variety (it sees the others a moment late and makes a few percent of
// random moves), so that games from the same start differ. Both answer with
// one of the agent's four actions, so they can fly any firefly of the world,
// the player's included. Neither draws.
#ifndef FIREFLIES_PILOTS_H
#define FIREFLIES_PILOTS_H

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "learner.h"

class Firefly;

// Whom a chaser hunts and when it fires.
struct ChaserAim {
    double fireCone = 2.0; // degrees either side of the heading within which the target must lie
    double reach = kBeamReach; // farthest target it fires at, world units (the beam's reach)
    bool nearest = true;       // true: hunts the nearest firefly, as a person at the keys
                               // mostly does; false: the one with the smallest aim metric
                               // (as the agent picks its prey)
};

// Where a firefly is and where it faces, as a pilot sees it.
struct Sighting {
    double x = 0.0;       // world X
    double z = 0.0;       // world Z
    double heading = 0.0; // degrees, as Firefly::heading
};

// A uniform draw in [0, 1) from the top 24 bits of one number of random:
// the share tests of the stand-in and the trainer, and random headings.
inline double unitDraw(std::mt19937& random) {
    return (random() >> 8) * (1.0 / 16777216.0);
}

// Where every firefly of the list is now.
std::vector<Sighting> sightAll(Firefly* const* fireflies, int fireflyCount);

// The chaser's action for the firefly at index of seen (0 <= index <
// seen.size()), whose beam cooldown is fireCooldown: its target is the
// nearest other firefly or the one with the smallest aim metric (as the
// agent's prey), as aim says, the lowest index on a tie. Fire (1) when the
// target lies within the cone ahead and within reach and the beam is ready
// in this step; otherwise turn toward it (2 left,
// 3 right) when it lies more than half a turn step off the heading; otherwise
// thrust (0). Thrust alone when there is no other firefly or the target
// stands on this one.
int chaseAction(int index, const std::vector<Sighting>& seen, int fireCooldown,
                const ChaserAim& aim = ChaserAim());

// The chaser's action for the firefly at index (0..fireflyCount - 1) of the
// world's list, seeing everything as it is now.
int chaserAction(int index, Firefly* const* fireflies, int fireflyCount,
                 const ChaserAim& aim = ChaserAim());

// A person at the keys, imitated: a chaser that sees the other fireflies as
// they were reactionSteps steps ago (its own place, heading and beam as they
// are now, as a person knows where they are going), and with probability
// randomShare replaces its action by one of the four picked at random. Keeps
// what it saw per firefly slot, so one stand-in may fly several fireflies.
class StandIn {
  public:
    // seed drives the random actions; randomShare in 0..1, reactionSteps 0 or
    // more (at 60 steps a second, 6 steps are a tenth of a second).
    explicit StandIn(std::uint32_t seed, double randomShare = 0.05, int reactionSteps = 6,
                     ChaserAim aim = ChaserAim());

    // A new game: forgets what it saw. The random sequence runs on, so the
    // next game differs from the last.
    void newGame();
    // The action, 0..3, of the firefly at index (0..9, asserted) in this
    // step; call it once per step for each firefly the stand-in flies.
    int act(int index, Firefly* const* fireflies, int fireflyCount);

    double randomShare; // share of steps, 0..1, whose action is replaced by a random one
    int reactionSteps;  // steps by which the others are seen late
    ChaserAim aim;      // how the underlying chaser fires

  private:
    std::mt19937 random_;
    // Per slot: what the firefly saw in its last reactionSteps + 1 steps, oldest first.
    std::array<std::deque<std::vector<Sighting>>, kFireflySlots> seen_;
};

#endif
