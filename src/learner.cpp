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
#include <locale>
#include <sstream>

#include "firefly.h"
#include "tools.h"

namespace {

constexpr double kDiscount = 0.97;
constexpr int kSweeps = 2 * kStateCount;
constexpr std::size_t kTransitionEntries =
    static_cast<std::size_t>(kStateCount) * kStateCount * kActionCount;

// Relative bearing of firefly b as seen from firefly a: a's heading minus the
// bearing from a to b, in [0, 360] (not a number when they coincide).
double relativeBearing(const Firefly& a, const Firefly& b) {
    return normalizeAngle360(a.heading - angleBetween(a.z, a.x, b.z, b.x));
}

bool isSpace(int c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Longest token a table file may hold for one number. A number saved by the
// game takes at most 13 characters and one written in full precision 24; a
// longer token is not read to its end, so that a file of endless bytes (such
// as /dev/zero) costs no more memory than this.
constexpr std::size_t kLongestNumber = 256;

// A token as a number, the way a formatted stream reads it: a decimal number
// with an optional sign, point and exponent; a number too small for a double
// reads as 0 or the nearest subnormal, one too large is refused, and so is
// anything else ("inf", "nan", "1,5", "0x10").
bool parseNumber(const std::string& token, double& value) {
    const char* first = token.data();
    const char* last = token.data() + token.size();
    // A leading plus is a number's sign too; from_chars takes only minus.
    if (*first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+') {
        ++first;
    }
    double parsed = 0.0;
    std::from_chars_result result =
        std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ptr != last) {
        return false;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double one way or the other: the stream gives 0 or a
        // subnormal for the tiny ones and fails on the huge ones.
        std::istringstream in(token);
        in.imbue(std::locale::classic());
        if (!(in >> parsed) || in.peek() != std::char_traits<char>::eof()) {
            return false;
        }
    } else if (result.ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

// Reads a table file one number at a time through a buffer of fixed size, so
// that however long the file is, only the numbers asked for are read.
class NumberReader {
  public:
    explicit NumberReader(std::FILE* in) : in_(in), buffer_(1 << 16) {}

    // The next number; false at the end of the file, at a read error
    // (failed()) or at a token that is not a number (bad(), with the token
    // kept for problem()).
    bool next(double& value) {
        int c = skipSpace();
        if (c == EOF) {
            return false;
        }
        token_.clear();
        while (c != EOF && !isSpace(c) && token_.size() <= kLongestNumber) {
            token_.push_back(static_cast<char>(c));
            ++pos_;
            c = peek();
        }
        if (token_.size() > kLongestNumber || !parseNumber(token_, value)) {
            bad_ = true;
            return false;
        }
        return true;
    }

    // Skips spaces and line ends; true when nothing but them is left (or the
    // file cannot be read any further).
    bool atEnd() { return skipSpace() == EOF; }

    bool bad() const { return bad_; }
    bool failed() const { return failed_; }
    int line() const { return line_; }

    // What is wrong with the token that stopped the reading, for a message.
    std::string problem() const {
        if (token_.size() > kLongestNumber) {
            return "\"" + printable(token_) + "\" is too long for a number (more than " +
                   std::to_string(kLongestNumber) + " characters)";
        }
        return "\"" + printable(token_) + "\" is not a number";
    }

  private:
    // The next byte without taking it, or EOF.
    int peek() {
        if (pos_ == end_) {
            if (failed_ || std::feof(in_)) {
                return EOF;
            }
            pos_ = 0;
            end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
            if (end_ == 0) {
                failed_ = std::ferror(in_) != 0;
                return EOF;
            }
        }
        return buffer_[pos_];
    }

    // Takes spaces and line ends; returns the byte after them, or EOF.
    int skipSpace() {
        int c = peek();
        while (c != EOF && isSpace(c)) {
            if (c == '\n') {
                ++line_;
            }
            ++pos_;
            c = peek();
        }
        return c;
    }

    std::FILE* in_;
    std::vector<unsigned char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    int line_ = 1;
    bool bad_ = false;
    bool failed_ = false;
    std::string token_;
};

// Reads the first wanted numbers of a table file, handing number k (from 0,
// in file order) to place(k, value). Returns "" when exactly the table was
// read; otherwise one line naming the file and what went wrong (consequence
// ends the line when nothing could be read). The entries not read keep their
// values; a longer file fills the table and is reported.
template <typename Place>
std::string loadNumbers(const std::string& fileName, const char* consequence, std::size_t wanted,
                        Place place) {
    std::string other = notAFile(fileName);
    if (!other.empty()) {
        return fileName + ": cannot read (" + other + "); " + consequence;
    }
    std::FILE* in = std::fopen(fileName.c_str(), "rb");
    if (in == nullptr) {
        return fileName + ": cannot open; " + consequence;
    }
    NumberReader reader(in);
    std::size_t read = 0;
    double value;
    while (read < wanted && reader.next(value)) {
        place(read, value);
        ++read;
    }
    std::string counts =
        "read " + std::to_string(read) + " of " + std::to_string(wanted) + " numbers";
    std::string problem;
    if (reader.failed()) {
        problem = read == 0
                      ? fileName + ": cannot read; " + consequence
                      : fileName + ": cannot read past the first " + std::to_string(read) + " of " +
                            std::to_string(wanted) + " numbers; the rest keep their values";
    } else if (reader.bad()) {
        problem = fileName + ":" + std::to_string(reader.line()) + ": " + reader.problem() + "; " +
                  counts + ", the rest keep their values";
    } else if (read < wanted) {
        problem = fileName + ": " + counts + "; the rest keep their values";
    } else if (!reader.atEnd()) {
        problem = fileName + ":" + std::to_string(reader.line()) + ": more than the " +
                  std::to_string(wanted) + " numbers of the table; the rest are ignored";
    }
    std::fclose(in);
    return problem;
}

// Loads one number per state into list (the value and reward files).
std::string loadStateList(const std::string& fileName, const char* consequence,
                          std::vector<double>& list) {
    return loadNumbers(fileName, consequence, list.size(),
                       [&list](std::size_t k, double value) { list[k] = value; });
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
    return kAheadSector;
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

    Situation situation;
    double r = relativeBearing(self, prey);
    if (!(r >= 0.0 && r <= 360.0)) {
        std::cout << "bad heading=" << r << std::endl;
        std::cout << "sub=" << angleBetween(self.z, self.x, prey.z, prey.x) << std::endl;
        std::cout << "fly heading=" << self.heading << std::endl;
        std::cout << "loc=" << self.z << " " << self.x << " " << prey.z << " " << prey.x
                  << std::endl;
    }
    situation.preySector = preySector(r);
    situation.preyNear = !(distance(self.z, self.x, prey.z, prey.x) > kNearDistance);
    double r2 = relativeBearing(predator, self);
    situation.predatorAiming = r2 < 15.0 || r2 > 345.0;
    situation.predatorSector = predatorSector(relativeBearing(self, predator));
    situation.predatorFar = distance(self.z, self.x, predator.z, predator.x) > kNearDistance;
    state = encodeSituation(situation);
}

// The weights of the features in a state index.
namespace {
constexpr int kPreySectorWeight = 32;
constexpr int kPreyNearWeight = 16;
constexpr int kAimingWeight = 8;
constexpr int kPredatorSectorWeight = 2;
constexpr int kPredatorFarWeight = 1;
} // namespace

int encodeSituation(const Situation& situation) {
    assert(situation.preySector >= 0 && situation.preySector <= kAheadSector);
    assert(situation.predatorSector >= 0 && situation.predatorSector <= 3);
    return kPreySectorWeight * situation.preySector + (situation.preyNear ? kPreyNearWeight : 0) +
           (situation.predatorAiming ? kAimingWeight : 0) +
           kPredatorSectorWeight * situation.predatorSector +
           (situation.predatorFar ? kPredatorFarWeight : 0);
}

Situation decodeSituation(int state) {
    assert(state >= 0 && state < kStateCount);
    Situation situation;
    situation.preySector = state / kPreySectorWeight;
    situation.preyNear = (state / kPreyNearWeight) % 2 == 1;
    situation.predatorAiming = (state / kAimingWeight) % 2 == 1;
    situation.predatorSector = (state / kPredatorSectorWeight) % 4;
    situation.predatorFar = state % 2 == 1;
    return situation;
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
    // File order: state, then action, then next state.
    return loadNumbers(fileName, "the fireflies will act at random", kTransitionEntries,
                       [this](std::size_t k, double value) {
                           int next = static_cast<int>(k % kStateCount);
                           int a = static_cast<int>(k / kStateCount % kActionCount);
                           int s = static_cast<int>(k / (kStateCount * kActionCount));
                           transProbs[tableIndex(s, next, a)] = value;
                       });
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
