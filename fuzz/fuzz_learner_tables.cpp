// Any bytes as one of the agent's table files. The first byte picks the
// layout (transitions, values or rewards), the rest is the file. Loading
// gives "" or one warning line naming the file, keeps every table at its
// size, and leaves only finite numbers in it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checks.h"
#include "learner.h"

namespace {

void requireFiniteTable(const std::vector<double>& table, std::size_t size) {
    require(table.size() == size, "a table keeps its size");
    for (double value : table) {
        require(std::isfinite(value), "a table holds finite numbers only");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // One learner for the whole run: loading leaves unread entries as they
    // were, and they were finite.
    static Learner learner;
    int layout = data[0] % 3;
    const char* suffix = layout == 0 ? ".trans" : (layout == 1 ? ".val" : ".rewards");
    const std::string& path = writeScratch(suffix, data + 1, size - 1);
    std::string warning;
    if (layout == 0) {
        warning = learner.loadTransitions(path);
    } else if (layout == 1) {
        warning = learner.loadValues(path);
    } else {
        warning = learner.loadRewards(path);
    }
    if (!warning.empty()) {
        requireOneLine(warning, path);
    }
    const std::size_t transitions =
        static_cast<std::size_t>(kStateCount) * kStateCount * kActionCount;
    if (layout == 0) {
        requireFiniteTable(learner.transProbs, transitions);
    } else if (layout == 1) {
        requireFiniteTable(learner.values, kStateCount);
    } else {
        requireFiniteTable(learner.rewards, kStateCount);
    }
    return 0;
}
