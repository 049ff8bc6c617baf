#include "learner.h"

Learner::Learner() {}

// Placeholders until the agent's tables are built: nothing is read yet.
std::string Learner::loadTransitions(const std::string& /*fileName*/) {
    return "";
}

std::string Learner::loadValues(const std::string& /*fileName*/) {
    return "";
}
