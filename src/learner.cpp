#include "learner.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "firefly.h"
#include "tools.h"

namespace {

constexpr double kDiscount = 0.97;
constexpr int kSweeps = 2 * kStateCount;
constexpr double kNearDistance = 25.0;
constexpr std::size_t kTransitionEntries =
    static_cast<std::size_t>(kStateCount) * kStateCount * kActionCount;

// Relative bearing of firefly b as seen from firefly a: a's heading minus the
// bearing from a to b, in [0, 360] (not a number when they coincide).
double relativeBearing(const Firefly& a, const Firefly& b) {
    return normalizeAngle360(a.heading - angleBetween(a.z, a.x, b.z, b.x));
}

bool isSpace(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Walks through a table file held in memory, one number at a time.
class NumberScanner {
  public:
    explicit NumberScanner(const std::string& text)
        : pos_(text.data()), end_(text.data() + text.size()), line_(1), bad_(false) {}

    // The next number; false at the end of the text or at a token that is not
    // a finite decimal number (then bad() is true and the token is kept).
    bool next(double& value) {
        while (pos_ < end_ && isSpace(*pos_)) {
            if (*pos_ == '\n') {
                ++line_;
            }
            ++pos_;
        }
        if (pos_ == end_) {
            return false;
        }
        const char* tokenEnd = pos_;
        while (tokenEnd < end_ && !isSpace(*tokenEnd)) {
            ++tokenEnd;
        }
        const char* first = pos_;
        // A leading plus is a number's sign too; from_chars takes only minus.
        if (*first == '+' && tokenEnd - first > 1 && first[1] != '-' && first[1] != '+') {
            ++first;
        }
        double parsed = 0.0;
        std::from_chars_result result =
            std::from_chars(first, tokenEnd, parsed, std::chars_format::general);
        if (result.ec != std::errc() || result.ptr != tokenEnd || !std::isfinite(parsed)) {
            bad_ = true;
            token_ = printable(std::string(pos_, tokenEnd));
            return false;
        }
        value = parsed;
        pos_ = tokenEnd;
        return true;
    }

    bool bad() const { return bad_; }
    int line() const { return line_; }
    const std::string& token() const { return token_; }

  private:
    const char* pos_;
    const char* end_;
    int line_;
    bool bad_;
    std::string token_;
};

// Reads a whole file into text, or says why it could not.
enum class ReadResult { ok, cannotOpen, cannotRead };
ReadResult readWholeFile(const std::string& fileName, std::string& text) {
    std::FILE* in = std::fopen(fileName.c_str(), "rb");
    if (in == nullptr) {
        return ReadResult::cannotOpen;
    }
    text.clear();
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        text.append(buffer, got);
    }
    bool failed = std::ferror(in) != 0;
    std::fclose(in);
    return failed ? ReadResult::cannotRead : ReadResult::ok;
}

// The warning for a table file that was not read in full: "" when all
// `wanted` numbers were read.
std::string shortReadMessage(const std::string& fileName, const NumberScanner& scanner,
                             std::size_t read, std::size_t wanted) {
    if (read == wanted) {
        return "";
    }
    std::string counts =
        "read " + std::to_string(read) + " of " + std::to_string(wanted) + " numbers";
    if (scanner.bad()) {
        return fileName + ":" + std::to_string(scanner.line()) + ": \"" + scanner.token() +
               "\" is not a number; " + counts + ", the rest keep their values";
    }
    return fileName + ": " + counts + "; the rest keep their values";
}

// Opens a table file into text, or gives the warning for one that cannot be
// opened or read ("" when it was read). consequence ends the warning.
std::string openTable(const std::string& fileName, const char* consequence, std::string& text) {
    switch (readWholeFile(fileName, text)) {
    case ReadResult::cannotOpen:
        return fileName + ": cannot open; " + consequence;
    case ReadResult::cannotRead:
        return fileName + ": cannot read; " + consequence;
    case ReadResult::ok:
        break;
    }
    return "";
}

// Loads one number per state into list (the value and reward files).
std::string loadStateList(const std::string& fileName, const char* consequence,
                          std::vector<double>& list) {
    std::string text;
    std::string problem = openTable(fileName, consequence, text);
    if (!problem.empty()) {
        return problem;
    }
    NumberScanner scanner(text);
    std::size_t read = 0;
    double value;
    while (read < list.size() && scanner.next(value)) {
        list[read] = value;
        ++read;
    }
    return shortReadMessage(fileName, scanner, read, list.size());
}

// Closes a saved table file and says whether everything reached it.
std::string finishSave(const std::string& fileName, std::ofstream& out) {
    out.close();
    if (!out) {
        return fileName + ": cannot write";
    }
    return "";
}

std::string saveStateList(const std::string& fileName, const std::vector<double>& list) {
    std::ofstream out(fileName, std::ios::trunc);
    if (!out) {
        return fileName + ": cannot write";
    }
    for (double value : list) {
        out << value << '\n';
    }
    return finishSave(fileName, out);
}

} // namespace

double aimMetric(const Firefly& a, const Firefly& b) {
    return aimMetricAt(a.z, a.x, a.heading, b.z, b.x);
}

double aimMetricAt(double az, double ax, double heading, double bz, double bx) {
    double angle = heading - angleBetween(az, ax, bz, bx);
    if (angle < 0.0) {
        angle += 360.0;
    }
    if (angle > 360.0) {
        angle -= 360.0;
    }
    double folded = std::min(angle, 360.0 - angle); // a value that is not a number stays one
    return folded + distance(az, ax, bz, bx);
}

int truncateMetric(double metric) {
    // Inside the int range a cast truncates toward zero; outside it (or for a
    // value that is not a number) the cast would be undefined.
    if (!(metric < 2147483647.0)) {
        return INT_MAX;
    }
    if (!(metric > -2147483648.0)) {
        return INT_MIN;
    }
    return static_cast<int>(metric);
}

PredatorPrey choosePredatorPrey(int index, Firefly* const* fireflies, int fireflyCount) {
    PredatorPrey chosen{-1, -1};
    if (index < 0 || index >= fireflyCount) {
        return chosen;
    }
    const Firefly& self = *fireflies[index];
    int min_pred_metric = 0;
    int min_prey_metric = 0;
    for (int j = 0; j < fireflyCount; ++j) {
        if (j == index) {
            continue;
        }
        int predMetric = truncateMetric(aimMetric(*fireflies[j], self));
        int preyMetric = truncateMetric(aimMetric(self, *fireflies[j]));
        if (chosen.predator == -1 || predMetric < min_pred_metric) {
            chosen.predator = j;
            min_pred_metric = predMetric;
        }
        if (chosen.prey == -1 || preyMetric < min_prey_metric) {
            chosen.prey = j;
            min_prey_metric = preyMetric;
        }
    }
    return chosen;
}

// The comparisons are written so that a value that is not a number fails all
// of them and lands in the last sector.
int preySector(double r) {
    if (r >= 2.0 && r < 45.0) {
        return 0;
    }
    if (r >= 45.0 && r < 135.0) {
        return 1;
    }
    if (r >= 135.0 && r < 225.0) {
        return 2;
    }
    if (r >= 225.0 && r < 315.0) {
        return 3;
    }
    if (r >= 315.0 && r < 358.0) {
        return 4;
    }
    return 5;
}

int predatorSector(double r3) {
    if (r3 >= 45.0 && r3 < 135.0) {
        return 0;
    }
    if (r3 >= 135.0 && r3 < 225.0) {
        return 1;
    }
    if (r3 >= 225.0 && r3 < 315.0) {
        return 2;
    }
    return 3;
}

void encodeState(int index, Firefly* const* fireflies, int fireflyCount,
                 Lantern* const* /*lanterns*/, int /*lanternCount*/, int& state) {
    PredatorPrey chosen = choosePredatorPrey(index, fireflies, fireflyCount);
    if (chosen.prey == -1) {
        state = 0; // nobody to react to: a fixed, valid state
        return;
    }
    const Firefly& self = *fireflies[index];
    const Firefly& prey = *fireflies[chosen.prey];
    const Firefly& predator = *fireflies[chosen.predator];

    int result = 0;
    double r = relativeBearing(self, prey);
    if (!(r >= 0.0 && r <= 360.0)) {
        std::cout << "bad heading=" << r << std::endl;
        std::cout << "sub=" << angleBetween(self.z, self.x, prey.z, prey.x) << std::endl;
        std::cout << "fly heading=" << self.heading << std::endl;
        std::cout << "loc=" << self.z << " " << self.x << " " << prey.z << " " << prey.x
                  << std::endl;
    }
    result += 32 * preySector(r);

    bool preyFar = distance(self.z, self.x, prey.z, prey.x) > kNearDistance;
    result += preyFar ? 0 : 16;

    double r2 = relativeBearing(predator, self);
    bool aiming = r2 < 15.0 || r2 > 345.0;
    result += aiming ? 8 : 0;

    result += 2 * predatorSector(relativeBearing(self, predator));

    bool predatorFar = distance(self.z, self.x, predator.z, predator.x) > kNearDistance;
    result += predatorFar ? 1 : 0;

    state = result;
}

int bestAction(const double actionVals[kActionCount]) {
    int best = 0;
    for (int a = 1; a < kActionCount; ++a) {
        if (actionVals[a] > actionVals[best]) {
            best = a;
        }
    }
    return best;
}

Learner::Learner()
    : transProbs(kTransitionEntries, 1.0 / kStateCount), transCounts(kTransitionEntries, 0),
      actionCounts(kStateCount, std::vector<int>(kActionCount, 0)), rewards(kStateCount, 0.0),
      rewardSums(kStateCount, 0), visits(kStateCount, 0), values(kStateCount, 0.0),
      states(kFireflySlots, 0), actions(kFireflySlots, 0) {}

std::string Learner::loadTransitions(const std::string& fileName) {
    std::string text;
    std::string problem = openTable(fileName, "the fireflies will act at random", text);
    if (!problem.empty()) {
        return problem;
    }
    NumberScanner scanner(text);
    std::size_t read = 0;
    double value;
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            for (int next = 0; next < kStateCount; ++next) {
                if (!scanner.next(value)) {
                    return shortReadMessage(fileName, scanner, read, kTransitionEntries);
                }
                transProbs[tableIndex(s, next, a)] = value;
                ++read;
            }
        }
    }
    return "";
}

std::string Learner::saveTransitions(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::trunc);
    if (!out) {
        return fileName + ": cannot write";
    }
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            for (int next = 0; next < kStateCount; ++next) {
                out << transProbs[tableIndex(s, next, a)] << '\n';
            }
            out << '\n';
        }
    }
    return finishSave(fileName, out);
}

std::string Learner::loadValues(const std::string& fileName) {
    return loadStateList(fileName, "the fireflies will act at random", values);
}

std::string Learner::saveValues(const std::string& fileName) const {
    return saveStateList(fileName, values);
}

std::string Learner::loadRewards(const std::string& fileName) {
    return loadStateList(fileName, "the rewards keep their values", rewards);
}

std::string Learner::saveRewards(const std::string& fileName) const {
    return saveStateList(fileName, rewards);
}

void Learner::observe(Firefly* const* fireflies, int fireflyCount, Lantern* const* lanterns,
                      int lanternCount) {
    assert(fireflyCount <= kFireflySlots);
    for (int i = 0; i < fireflyCount; ++i) {
        encodeState(i, fireflies, fireflyCount, lanterns, lanternCount, states[i]);
    }
}

void Learner::chooseActions(Firefly* const* fireflies, int fireflyCount, Lantern* const* lanterns,
                            int lanternCount) {
    assert(fireflyCount <= kFireflySlots);
    for (int i = 0; i < fireflyCount; ++i) {
        encodeState(i, fireflies, fireflyCount, lanterns, lanternCount, states[i]);
        // Expected next-state value of each action; the row of state s holds
        // the four actions of each next state side by side.
        const double* row = &transProbs[tableIndex(states[i], 0, 0)];
        double evals[kActionCount] = {0.0, 0.0, 0.0, 0.0};
        for (int next = 0; next < kStateCount; ++next) {
            double v = values[next];
            for (int a = 0; a < kActionCount; ++a) {
                evals[a] += row[next * kActionCount + a] * v;
            }
        }
        int maxis[kActionCount];
        int maxisCount = 0;
        for (int j = 0; j < kActionCount; ++j) {
            if (maxisCount == 0 || evals[j] > evals[maxis[0]]) {
                maxis[0] = j;
                maxisCount = 1;
            } else if (evals[j] == evals[maxis[0]]) {
                maxis[maxisCount] = j;
                ++maxisCount;
            }
        }
        actions[i] = maxis[std::rand() % maxisCount];
    }
}

void Learner::solve() {
    for (int s = 0; s < kStateCount; ++s) {
        if (visits[s] != 0) {
            rewards[s] = static_cast<double>(rewardSums[s]) / static_cast<double>(visits[s]);
        }
        for (int a = 0; a < kActionCount; ++a) {
            if (actionCounts[s][a] == 0) {
                continue;
            }
            double taken = static_cast<double>(actionCounts[s][a]);
            for (int next = 0; next < kStateCount; ++next) {
                transProbs[tableIndex(s, next, a)] =
                    static_cast<double>(transCounts[tableIndex(s, next, a)]) / taken;
            }
        }
    }

    // The discounted model, 0.97 x p, computed once: every sweep uses exactly
    // these products.
    std::vector<double> discounted(transProbs.size());
    for (std::size_t k = 0; k < transProbs.size(); ++k) {
        discounted[k] = kDiscount * transProbs[k];
    }
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
        for (int s = 0; s < kStateCount; ++s) {
            const double* row = &discounted[tableIndex(s, 0, 0)];
            double action_vals[kActionCount] = {0.0, 0.0, 0.0, 0.0};
            for (int next = 0; next < kStateCount; ++next) {
                double v = values[next];
                for (int a = 0; a < kActionCount; ++a) {
                    action_vals[a] += row[next * kActionCount + a] * v;
                }
            }
            // In place: later states of this sweep see this new value.
            values[s] = rewards[s] + action_vals[bestAction(action_vals)];
        }
    }
    std::cout << std::endl;
}
