// The account of one simulation step: which fireflies launched a beam, whose
// beam hit whom, and which fireflies bounced off what. The world fills it
// while it steps and changes nothing because of it; the entry point hands it
// to the sound, and the trainer and the evaluator count their hits from it,
// so that everything that reports a step reports the same one.
#ifndef FIREFLIES_STEP_RECORD_H
#define FIREFLIES_STEP_RECORD_H

#include <vector>

// What a firefly bounced off.
enum class Obstacle {
    Edge,    // the arena's edge
    Flower,  // a flower
    Lantern, // a lantern
    Firefly, // another firefly
};

// A beam that hit a firefly: indexes into the world's fireflies.
struct Hit {
    int shooter; // the firefly whose beam hit
    int target;  // the firefly it hit; never the shooter
};

// One bounce the step applied.
struct Contact {
    int firefly;       // the firefly that bounced; for two fireflies, the lower index
    Obstacle obstacle; // what it bounced off
    int other;         // the flower's, lantern's or other firefly's index; -1 for the edge
    bool fresh;        // true when the two were not in contact in the step before: the
                       // bounce begins a contact rather than continuing one
};

// Everything one step reported, in the order the step met it.
struct StepRecord {
    std::vector<int> shots;        // fireflies that launched a beam, in index order
    std::vector<Hit> hits;         // beams that hit a firefly, in shooting order
    std::vector<Contact> contacts; // every bounce: firefly pairs first, then each
                                   // firefly's edge, flowers and lanterns
    bool ended = false;            // the step ended the game

    // Empties every list and clears ended, keeping the lists' memory.
    void clear();
    // Beams of firefly i that hit another in this step.
    int hitsLandedBy(int i) const;
    // Hits firefly i took in this step.
    int hitsTakenBy(int i) const;
    // True when the record holds a bounce of firefly off (obstacle, other),
    // fresh or not.
    bool touches(int firefly, Obstacle obstacle, int other) const;
};

#endif
