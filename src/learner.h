// The computer fireflies' agent: a model-based learner over 192 situation
// states and 4 actions, acting greedily on a transition table and a value
// table read at start-up.
#ifndef FIREFLIES_LEARNER_H
#define FIREFLIES_LEARNER_H

#include <string>

class Learner {
  public:
    // Uniform transitions (1/192), zero values, rewards and counters.
    Learner();

    // Read the "learner.trans" / "learner.val" formats. Return "" when the
    // whole table was read, otherwise one line saying what is wrong (the
    // entries not read keep their values).
    std::string loadTransitions(const std::string& fileName);
    std::string loadValues(const std::string& fileName);
};

#endif
