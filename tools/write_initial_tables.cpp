// Writes the agent's untouched starting tables, "learner.trans" (uniform
// transitions) and "learner.val" (zero values), into a folder:
//   write_initial_tables FOLDER
#include <iostream>
#include <string>

#include "learner.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_initial_tables FOLDER" << std::endl;
        return 2;
    }
    std::string folder = argv[1];
    Learner learner;
    std::string problem = learner.saveTransitions(folder + "/learner.trans");
    if (problem.empty()) {
        problem = learner.saveValues(folder + "/learner.val");
    }
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
        return 1;
    }
    return 0;
}
