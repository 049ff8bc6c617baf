// The agent's table files: exact layout on saving, tolerant whitespace on
// loading, and what a missing, short or broken file leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

#include <unistd.h>

#include "learner.h"
#include "memory_limit.h"
#include "temp_dir.h"

namespace {

// The number a six-digit save gives back.
double sixDigits(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return std::strtod(text, nullptr);
}

// Fills the transition table with distinct numbers of up to six digits.
void fillDistinct(Learner& learner) {
    for (int s = 0; s < kStateCount; ++s) {
        for (int next = 0; next < kStateCount; ++next) {
            for (int a = 0; a < kActionCount; ++a) {
                learner.transProb(s, next, a) = (s * 1000 + next * 4 + a) * 1e-6;
            }
        }
    }
}

std::string lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line + "\n";
    }
    return text;
}

} // namespace

TEST(LearnerFiles, InitialTablesSaveInTheirExactLayout) {
    Learner learner;
    TempDir dir;
    ASSERT_EQ(learner.saveTransitions(dir.path() + "/t"), "");
    ASSERT_EQ(learner.saveValues(dir.path() + "/v"), "");
    std::string block = lines(192, "0.00520833") + "\n";
    std::string expected;
    for (int b = 0; b < 768; ++b) {
        expected += block;
    }
    EXPECT_TRUE(readFile(dir.path() + "/t") == expected) << "transition file differs";
    EXPECT_EQ(readFile(dir.path() + "/v"), lines(192, "0"));
}

TEST(LearnerFiles, TransitionLinesAreStateThenActionThenNextState) {
    Learner learner;
    fillDistinct(learner);
    TempDir dir;
    ASSERT_EQ(learner.saveTransitions(dir.path() + "/t"), "");
    std::istringstream in(readFile(dir.path() + "/t"));
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) {
        all.push_back(line);
    }
    ASSERT_EQ(all.size(), 148224u);
    int s = 117, a = 2, next = 45;
    // Line 1 + 193 x (4 s + a) + next, counting from 1.
    EXPECT_EQ(std::strtod(all[193 * (4 * s + a) + next].c_str(), nullptr),
              sixDigits(learner.transProb(s, next, a)));
    EXPECT_EQ(all[193 * (4 * s + a) + 192], "");
}

TEST(LearnerFiles, TransitionsLoadTheSameWithoutBlankLinesOrOnOneLine) {
    Learner source;
    fillDistinct(source);
    TempDir dir;
    ASSERT_EQ(source.saveTransitions(dir.path() + "/t"), "");
    std::string text = readFile(dir.path() + "/t");

    std::string noBlanks, oneLine;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            noBlanks += line + "\n";
            oneLine += line + " \t";
        }
    }
    Learner a, b, c;
    EXPECT_EQ(a.loadTransitions(dir.write("plain", text)), "");
    EXPECT_EQ(b.loadTransitions(dir.write("noblanks", noBlanks)), "");
    EXPECT_EQ(c.loadTransitions(dir.write("oneline", oneLine)), "");
    EXPECT_TRUE(a.transProbs == b.transProbs);
    EXPECT_TRUE(a.transProbs == c.transProbs);
    for (std::size_t k = 0; k < a.transProbs.size(); k += 997) {
        EXPECT_EQ(a.transProbs[k], sixDigits(source.transProbs[k])) << k;
    }
}

TEST(LearnerFiles, RoundTripKeepsSixSignificantDigits) {
    Learner source;
    std::srand(7);
    for (int k = 0; k < kStateCount; ++k) {
        source.values[k] = (std::rand() - RAND_MAX / 2) / 1234.5678;
        source.rewards[k] = -source.values[k] * 1e-7;
    }
    source.transProb(3, 4, 1) = 1.0 / 3.0;
    TempDir dir;
    ASSERT_EQ(source.saveValues(dir.path() + "/v"), "");
    ASSERT_EQ(source.saveRewards(dir.path() + "/r"), "");
    ASSERT_EQ(source.saveTransitions(dir.path() + "/t"), "");
    Learner copy;
    EXPECT_EQ(copy.loadValues(dir.path() + "/v"), "");
    EXPECT_EQ(copy.loadRewards(dir.path() + "/r"), "");
    EXPECT_EQ(copy.loadTransitions(dir.path() + "/t"), "");
    for (int k = 0; k < kStateCount; ++k) {
        EXPECT_EQ(copy.values[k], sixDigits(source.values[k])) << k;
        EXPECT_EQ(copy.rewards[k], sixDigits(source.rewards[k])) << k;
    }
    EXPECT_EQ(copy.transProb(3, 4, 1), 0.333333);
    EXPECT_EQ(copy.transProb(191, 191, 3), 0.00520833);
    // Nothing else is touched by loading.
    EXPECT_EQ(copy.states, std::vector<int>(kFireflySlots, 0));
}

TEST(LearnerFiles, ShortFilesKeepTheEntriesNotRead) {
    TempDir dir;
    Learner learner;
    learner.values.assign(kStateCount, -7.0);
    std::string path = dir.write("val", lines(100, "2.5"));
    EXPECT_EQ(learner.loadValues(path),
              path + ": read 100 of 192 numbers; the rest keep their values");
    EXPECT_EQ(learner.values[99], 2.5);
    EXPECT_EQ(learner.values[100], -7.0);
    EXPECT_EQ(learner.values[191], -7.0);

    path = dir.write("trans", lines(200, "0.25"));
    EXPECT_EQ(learner.loadTransitions(path),
              path + ": read 200 of 147456 numbers; the rest keep their values");
    EXPECT_EQ(learner.transProb(0, 191, 0), 0.25);    // number 192
    EXPECT_EQ(learner.transProb(0, 7, 1), 0.25);      // number 192 + 8
    EXPECT_EQ(learner.transProb(0, 8, 1), 1.0 / 192); // number 192 + 9, not in the file
    EXPECT_EQ(learner.transProb(0, 0, 2), 1.0 / 192);

    path = dir.write("empty", "");
    EXPECT_EQ(learner.loadRewards(path),
              path + ": read 0 of 192 numbers; the rest keep their values");
}

TEST(LearnerFiles, MalformedTokensStopTheReading) {
    TempDir dir;
    const char* badTokens[] = {"abc", "0.5abc", "1,5", "nan", "inf", "1e999", "--1"};
    for (const char* bad : badTokens) {
        Learner learner;
        learner.values.assign(kStateCount, -7.0);
        std::string path = dir.write("val", lines(50, "+1.5") + bad + "\n" + lines(141, "3"));
        EXPECT_EQ(learner.loadValues(path), path + ":51: \"" + bad +
                                                "\" is not a number; read 50 of 192 numbers, "
                                                "the rest keep their values");
        EXPECT_EQ(learner.values[49], 1.5);
        EXPECT_EQ(learner.values[50], -7.0) << bad;
        EXPECT_EQ(learner.values[51], -7.0) << bad;
    }
}

TEST(LearnerFiles, ABadTokenIsShownShortAndPrintable) {
    TempDir dir;
    Learner learner;
    std::string path = dir.write("val", "1\n2\x07" + std::string(100, 'x') + "\n");
    EXPECT_EQ(learner.loadValues(path), path + ":2: \"2?" + std::string(30, 'x') +
                                            "...\" is not a number; read 1 of 192 numbers, the "
                                            "rest keep their values");
}

TEST(LearnerFiles, ALongerFileFillsTheTableAndIsReported) {
    TempDir dir;
    Learner learner;
    std::string path = dir.write("val", lines(192, "1e-3") + "4 5 6 junk\n");
    EXPECT_EQ(learner.loadValues(path),
              path + ":193: more than the 192 numbers of the table; the rest are ignored");
    EXPECT_EQ(learner.values[191], 0.001);
    // Spaces and line ends after the table are no surplus.
    path = dir.write("val", lines(192, "2") + "\n \t\n\n");
    EXPECT_EQ(learner.loadValues(path), "");
    EXPECT_EQ(learner.values[0], 2.0);
}

TEST(LearnerFiles, NumbersTooSmallForADoubleReadAsAStreamReadsThem) {
    TempDir dir;
    Learner learner;
    learner.values.assign(kStateCount, -7.0);
    std::string path =
        dir.write("val", "1e-400\n-1e-400\n1e-310\n2e-324\n+4.9e-324\n" + lines(187, "0.5"));
    EXPECT_EQ(learner.loadValues(path), "");
    EXPECT_EQ(learner.values[0], 0.0);
    EXPECT_EQ(learner.values[1], 0.0);
    EXPECT_TRUE(std::signbit(learner.values[1]));
    EXPECT_EQ(learner.values[2], 1e-310); // a subnormal
    EXPECT_EQ(learner.values[3], 0.0);
    EXPECT_EQ(learner.values[4], std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(learner.values[5], 0.5);
    // What a stream refuses stays refused: too large for a double.
    for (const char* huge : {"1e400", "-1e400"}) {
        path = dir.write("val", "1e-400\n" + std::string(huge) + "\n");
        EXPECT_EQ(learner.loadValues(path),
                  path + ":2: \"" + huge +
                      "\" is not a number; read 1 of 192 numbers, the rest keep their values");
    }

    // The same in the transition file, anywhere in it.
    std::string text = lines(1000, "0.25") + "1e-400\n" + lines(146455, "0.5");
    path = dir.write("trans", text);
    EXPECT_EQ(learner.loadTransitions(path), "");
    EXPECT_EQ(learner.transProb(1, 39, 1), 0.25); // number 999 (from 0)
    EXPECT_EQ(learner.transProb(1, 40, 1), 0.0);  // number 1000
    EXPECT_EQ(learner.transProb(1, 41, 1), 0.5);
    EXPECT_EQ(learner.transProb(191, 191, 3), 0.5);
}

TEST(LearnerFiles, HugeFilesAndEndlessDevicesAreReadInLittleMemory) {
    REQUIRE_ADDRESS_SPACE_LIMIT();
    const std::size_t headroom = 16 << 20; // bytes the loading may add to the address space
    TempDir dir;
    // Ten million numbers, 20 MB: more than the whole limit.
    std::string path = dir.write("learner.trans", repeated("0\n", 10000000));
    Learner learner;
    EXPECT_EQ(loadUnderMemoryLimit([&] { return learner.loadTransitions(path); }, headroom),
              path + ":147457: more than the 147456 numbers of the table; the rest are ignored");
    EXPECT_EQ(loadUnderMemoryLimit([&] { return learner.loadValues(path); }, headroom),
              path + ":193: more than the 192 numbers of the table; the rest are ignored");

    // A file of nothing but zero bytes (a sparse gigabyte): one endless token.
    std::string zeros = std::string(32, '?') + "...";
    std::string sparse = dir.write("zeros.trans", "");
    ASSERT_EQ(truncate(sparse.c_str(), off_t{1} << 30), 0);
    EXPECT_EQ(loadUnderMemoryLimit([&] { return learner.loadTransitions(sparse); }, headroom),
              sparse + ":1: \"" + zeros +
                  "\" is too long for a number (more than 256 characters); read 0 of 147456 "
                  "numbers, the rest keep their values");
    // A device that never ends is not read at all.
    EXPECT_EQ(loadUnderMemoryLimit([&] { return learner.loadTransitions("/dev/zero"); }, headroom),
              "/dev/zero: cannot read (a device, not a file); the fireflies will act at random");
}

TEST(LearnerFiles, ALongTokenIsReadOnlyUpToTheLongestNumber) {
    TempDir dir;
    Learner learner;
    // 256 characters are still a number, 257 are not.
    std::string longest = "0." + std::string(253, '0') + "5";
    std::string path = dir.write("val", longest + "\n" + lines(191, "1"));
    EXPECT_EQ(learner.loadValues(path), "");
    EXPECT_EQ(learner.values[0], 5e-254);
    path = dir.write("val", "0" + longest + "\n");
    EXPECT_EQ(learner.loadValues(path),
              path + ":1: \"00." + std::string(29, '0') +
                  "...\" is too long for a number (more than 256 characters); read 0 of 192 "
                  "numbers, the rest keep their values");
}

TEST(LearnerFiles, MissingFilesKeepTheInitialTables) {
    Learner learner;
    TempDir dir;
    std::string path = dir.path() + "/learner.trans";
    EXPECT_EQ(learner.loadTransitions(path),
              path + ": cannot open; the fireflies will act at random");
    path = dir.path() + "/learner.val";
    EXPECT_EQ(learner.loadValues(path), path + ": cannot open; the fireflies will act at random");
    EXPECT_EQ(learner.loadTransitions(dir.path()),
              dir.path() + ": cannot read (a folder, not a file); the fireflies will act at random");
    EXPECT_EQ(learner.transProbs, std::vector<double>(147456, 1.0 / 192));
    EXPECT_EQ(learner.values, std::vector<double>(kStateCount, 0.0));
    EXPECT_EQ(learner.saveValues(dir.path() + "/no/such/folder/v"),
              dir.path() + "/no/such/folder/v: cannot write");
}

TEST(LearnerFiles, ShippedTablesLoadInFull) {
    // Tests run in data/, where the game finds its tables.
    Learner learner;
    EXPECT_EQ(learner.loadTransitions("learner.trans"), "");
    EXPECT_EQ(learner.loadValues("learner.val"), "");
    // Whatever tables are shipped, every row is a distribution over next
    // states (up to the six digits a saved number keeps) and every value is
    // a number.
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            double sum = 0.0;
            for (int next = 0; next < kStateCount; ++next) {
                double p = learner.transProb(s, next, a);
                ASSERT_TRUE(p >= 0.0 && p <= 1.0) << s << " " << next << " " << a;
                sum += p;
            }
            EXPECT_NEAR(sum, 1.0, 1e-4) << "state " << s << " action " << a;
        }
        EXPECT_TRUE(std::isfinite(learner.values[s])) << s;
    }
}
