// The map file and the random-numbers file: what a good file gives, the
// one clear line every malformed map gets instead of undefined behaviour, and
// the little memory either costs however long the file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "memory_limit.h"
#include "state.h"
#include "temp_dir.h"
#include "tools.h"

// The world owns its objects through raw pointers; a copy would share them.
static_assert(!std::is_copy_constructible_v<GameState> && !std::is_copy_assignable_v<GameState>,
              "a world cannot be copied");

namespace {
// The message readLevelMap throws for this map text, or "" if it loads.
std::string mapError(const TempDir& dir, const std::string& text) {
    std::string path = dir.write("bad.map", text);
    try {
        readLevelMap(path);
    } catch (const LoadError& error) {
        EXPECT_FALSE(error.onStdout);
        return error.message.substr(path.size());
    }
    return "";
}
} // namespace

TEST(LevelMap, ExampleLevelReadsZBeforeX) {
    TempDir dir;
    std::string path = dir.write("example.map", "2\n0 0\n10 5\n1\n-20 15\n1\n25 -30\n4\n5\n5\n4\n");
    LevelMap map = readLevelMap(path);
    ASSERT_EQ(map.fireflies.size(), 2u);
    EXPECT_EQ(map.fireflies[1].first, 10.0f); // z
    EXPECT_EQ(map.fireflies[1].second, 5.0f); // x
    ASSERT_EQ(map.lanterns.size(), 1u);
    EXPECT_EQ(map.lanterns[0].first, -20.0f);
    EXPECT_EQ(map.lanterns[0].second, 15.0f);
    ASSERT_EQ(map.flowers.size(), 1u);
    EXPECT_EQ(map.flowers[0].first, 25.0);
    EXPECT_EQ(map.flowers[0].second, -30.0);
    EXPECT_EQ(rad_arr[map.radi], 60);
    EXPECT_DOUBLE_EQ(speed_arr[map.speedi], 0.24);
    EXPECT_EQ(map.pulli, 5);
    EXPECT_DOUBLE_EQ(drag_arr[map.dragi], 1.6);
}

TEST(LevelMap, WhitespaceOfAnyKindSeparatesAndTrailingTextIsIgnored) {
    TempDir dir;
    std::string path = dir.write("flat.map", "2 0.5 -1.25\t3 4 0 0 9 9 0 9 anything after");
    LevelMap map = readLevelMap(path);
    EXPECT_EQ(map.fireflies[0].first, 0.5f);
    EXPECT_EQ(map.fireflies[0].second, -1.25f);
    EXPECT_TRUE(map.lanterns.empty());
    EXPECT_TRUE(map.flowers.empty());
    EXPECT_EQ(rad_arr[map.radi], 85);
    EXPECT_DOUBLE_EQ(speed_arr[map.speedi], 0.28);
    EXPECT_DOUBLE_EQ(drag_arr[map.dragi], 2.6);
}

TEST(LevelMap, FirstAndLastEntriesOfEveryTable) {
    EXPECT_EQ(rad_arr[0], 40);
    EXPECT_EQ(rad_arr[9], 85);
    EXPECT_DOUBLE_EQ(speed_arr[0], 0.19);
    EXPECT_DOUBLE_EQ(speed_arr[9], 0.28);
    EXPECT_DOUBLE_EQ(drag_arr[0], 0.8);
    EXPECT_DOUBLE_EQ(drag_arr[9], 2.6);
}

TEST(LevelMap, MissingFileIsTheCouldntOpenLineOnStandardOutput) {
    try {
        readLevelMap("no/such/level.map");
        FAIL() << "no error";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, "Couldn't open: no/such/level.map");
        EXPECT_TRUE(error.onStdout);
    }
}

TEST(LevelMap, MalformedMapsNameTheLineAndTheProblem) {
    TempDir dir;
    EXPECT_EQ(mapError(dir, "11\n"), ":1: firefly count 11 is outside 2..10");
    EXPECT_EQ(mapError(dir, "1\n0 0\n"), ":1: firefly count 1 is outside 2..10");
    EXPECT_EQ(mapError(dir, "two\n"), ":1: firefly count \"two\" is not a whole number");
    EXPECT_EQ(mapError(dir, "2.5\n"), ":1: firefly count \"2.5\" is not a whole number");
    EXPECT_EQ(mapError(dir, ""), ":0: the file ends where firefly count should be");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 x\n"), ":3: firefly 1 x \"x\" is not a number");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 nan\n"), ":3: firefly 1 x \"nan\" is not a number");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n-1\n"), ":4: lantern count -1 is outside 0 or more");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n-3\n"), ":5: flower count -3 is outside 0 or more");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n0\n10 0 0 0\n"), ":6: radius index 10 is outside 0..9");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n0\n0 -1 0 0\n"), ":6: speed index -1 is outside 0..9");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n0\n0 0 12 0\n"), ":6: pull index 12 is outside 0..9");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n0\n0 0 0\n"),
              ":6: the file ends where drag index should be");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n1\n"), ":4: the file ends where lantern 0 z should be");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n0\n0 0 0 99999999999999999999\n"),
              ":6: drag index \"99999999999999999999\" is not a whole number");
}

// Found by fuzzing: a position too large for a float became infinite, and the
// world then computed with infinities.
TEST(LevelMap, APositionBeyondAMillionUnitsIsTurnedAway) {
    TempDir dir;
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1e39\n"),
              ":3: firefly 1 x 1e39 is outside -1000000..1000000");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n1\n-2e6 0\n"),
              ":5: lantern 0 z -2e6 is outside -1000000..1000000");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n1\n0\n1e300\n"),
              ":7: flower 0 x 1e300 is outside -1000000..1000000");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n1\n1000000 -1000000\n0\n0 0 0 0\n"), "");
}

// A firefly placed beyond the arena's edge started out in the fog with no
// way back; on the edge itself it is still inside (only beyond does it bounce).
TEST(LevelMap, AFireflyStartingOutsideItsArenaIsTurnedAwayOnItsLine) {
    TempDir dir;
    EXPECT_EQ(mapError(dir, "2\n900000 900000\n0 0\n0\n0\n0 0 0 0\n"),
              ":2: firefly 0 starts 1272792.2 from the centre, outside the arena's radius 40");
    // The radius comes from the index read last: 85 takes what 40 does not.
    EXPECT_EQ(mapError(dir, "3\n0 0\n0 85\n-60 60\n0\n0\n9 0 0 0\n"), "");
    EXPECT_EQ(mapError(dir, "3\n0 0\n0 85\n-60 60\n0\n0\n8 0 0 0\n"),
              ":3: firefly 1 starts 85.0 from the centre, outside the arena's radius 80");
    EXPECT_EQ(mapError(dir, "3\n0 0 0 40\n-61\n61 0 0 9 0 0 0\n"),
              ":4: firefly 2 starts 86.3 from the centre, outside the arena's radius 85");
    EXPECT_EQ(mapError(dir, "2\n0 0\n40 0\n0\n0\n0 0 0 0\n"), "");
    EXPECT_EQ(mapError(dir, "2\n0 0\n40.1 0\n0\n0\n0 0 0 0\n"),
              ":3: firefly 1 starts 40.1 from the centre, outside the arena's radius 40");
}

// Each lantern and flower loads its own models and textures: thousands of
// them ran the machine out of memory instead of stopping with a message.
TEST(LevelMap, MoreLanternsOrFlowersThanAnArenaHoldsAreTurnedAway) {
    TempDir dir;
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n51\n"),
              ":4: lantern count 51 is more than the 50 an arena can hold");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n0\n100000\n"),
              ":5: flower count 100000 is more than the 50 an arena can hold");
    std::string fifty;
    for (int i = 0; i < 50; ++i) {
        fifty += std::to_string(i) + " 0\n";
    }
    LevelMap map = readLevelMap(
        dir.write("full.map", "2\n0 0\n1 1\n50\n" + fifty + "50\n" + fifty + "0 0 0 0\n"));
    EXPECT_EQ(map.lanterns.size(), 50u);
    EXPECT_EQ(map.flowers.size(), 50u);
}

// A zero byte ended the number early, so "12<NUL>junk" read as 12; and the
// raw token, control characters and all, went into the message.
TEST(LevelMap, TheWholeTokenIsTheNumberAndMessagesShowItPrintably) {
    using namespace std::string_literals;
    TempDir dir;
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1\n1\0junk\n"s),
              ":4: lantern count \"1?junk\" is not a whole number");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 1.5\0\n"s),
              ":3: firefly 1 x \"1.5?\" is not a number");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 \x1b[2J\n"), ":3: firefly 1 x \"?[2J\" is not a number");
    EXPECT_EQ(mapError(dir, "2\n0 0\n1 " + std::string(300, '7') + "\n"),
              ":3: firefly 1 x " + std::string(32, '7') + "... is outside -1000000..1000000");
}

TEST(LevelMap, AMapLargerThanAMegabyteIsTurnedAway) {
    TempDir dir;
    std::string map = "2\n0 0\n1 1\n0\n0\n0 0 0 0\n";
    // Notes after the indexes are ignored up to the last byte the game reads.
    std::string full = map + std::string(kMaxMapBytes - map.size(), '#');
    EXPECT_EQ(mapError(dir, full), "");
    EXPECT_EQ(parseLevelMap(full, "inline.map").fireflies.size(), 2u);
    const std::string tooLarge =
        ": the map is larger than 1 MB (1048576 bytes), more than the game reads";
    EXPECT_EQ(mapError(dir, full + "#"), tooLarge);
    try {
        parseLevelMap(full + "#", "inline.map");
        FAIL() << "no error";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, "inline.map" + tooLarge);
        EXPECT_FALSE(error.onStdout);
    }
}

TEST(LevelMap, AFolderIsAMapThatCannotBeRead) {
    TempDir dir;
    try {
        readLevelMap(dir.path());
        FAIL() << "no error";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, dir.path() + ": cannot read the map");
        EXPECT_FALSE(error.onStdout);
    }
}

TEST(LevelMap, ADeviceThatNeverEndsIsTurnedAwayInLittleMemory) {
    REQUIRE_ADDRESS_SPACE_LIMIT();
    EXPECT_EQ(loadUnderMemoryLimit(
                  [] {
                      readLevelMap("/dev/zero");
                      return std::string("loaded");
                  },
                  16 << 20),
              "/dev/zero: the map is larger than 1 MB (1048576 bytes), more than the game reads");
}

TEST(LevelMap, TextInMemoryReadsLikeAFile) {
    LevelMap map = parseLevelMap("2 1 2 3 4 0 0 9 8 7 6", "inline.map");
    EXPECT_EQ(map.fireflies[1].first, 3.0f);
    EXPECT_EQ(map.dragi, 6);
    try {
        parseLevelMap("2 1 2\n3", "inline.map");
        FAIL() << "no error";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, "inline.map:2: the file ends where firefly 1 x should be");
    }
}

TEST(RandomNumbers, EachNumberIsDividedByEighty) {
    TempDir dir;
    std::vector<float> numbers = readRandomNumbers(dir.write("r.dat", "40 80\n120\n"));
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers[0], 0.5f);
    EXPECT_EQ(numbers[1], 1.0f);
    EXPECT_EQ(numbers[2], 1.5f);
}

TEST(RandomNumbers, ReadingStopsAtTheFirstWordAndAMissingFileIsEmpty) {
    TempDir dir;
    EXPECT_EQ(readRandomNumbers(dir.write("r.dat", "40 80 120 word 160")).size(), 3u);
    EXPECT_TRUE(readRandomNumbers(dir.path() + "/absent.dat").empty());
    EXPECT_TRUE(readRandomNumbers(dir.write("e.dat", "")).empty());
}

TEST(RandomNumbers, TheShippedFileHoldsSmallOffsets) {
    std::vector<float> numbers = readRandomNumbers("random_numbers.dat");
    ASSERT_GE(numbers.size(), 100u);
    for (float n : numbers) {
        EXPECT_GE(n, 0.0f);
        EXPECT_LE(n, 1.0f / 80.0f);
    }
}

namespace {

// The numbers a formatted stream extracts from text, each divided by 80, up
// to the first extraction that fails: the behaviour the game has always had.
std::vector<float> streamExtraction(const std::string& text) {
    std::vector<float> numbers;
    std::istringstream in(text);
    float value;
    while (in >> value) {
        numbers.push_back(value / 80.0f);
    }
    return numbers;
}

} // namespace

TEST(RandomNumbers, EveryFileReadsAsAFormattedStreamReadsIt) {
    const char* texts[] = {"40 80 120",
                           "40-5 7",
                           "1e2 3",
                           "1e 5",
                           "1e+ 5",
                           "5.5.5 6",
                           ".5 -.5 +.5 7",
                           "+-1 2",
                           "0x10 3",
                           "1,5 2",
                           "3abc 4",
                           "nan 1",
                           "inf 1",
                           "1e39 2",
                           "-1e39 2",
                           "1e-50 2",
                           "\t\v\f\r\n 9 \n",
                           "12\n\n\n13",
                           "00012 -0 +0",
                           "1e5e5 2",
                           "2..5 3",
                           "- 4",
                           "4 .",
                           "1.5e-3x 7",
                           "\x01 5",
                           "9\xc3\xa9 8",
                           "6 7 8 ",
                           "",
                           "   ",
                           "1-2-3-4"};
    TempDir dir;
    for (const char* text : texts) {
        std::vector<float> expected = streamExtraction(text);
        EXPECT_EQ(parseRandomNumbers(text), expected) << "\"" << text << "\"";
        EXPECT_EQ(readRandomNumbers(dir.write("r.dat", text)), expected) << "\"" << text << "\"";
    }
    // The game's own file (tests run in data/).
    std::vector<float> shipped = streamExtraction(readFile("random_numbers.dat"));
    EXPECT_GE(shipped.size(), 100u);
    EXPECT_EQ(readRandomNumbers("random_numbers.dat"), shipped);
}

TEST(RandomNumbers, AMillionNumbersAreKeptAndTheRestIsNotRead) {
    std::string text;
    for (int i = 1; i <= 1000001; ++i) {
        text += std::to_string(i % 1000) + (i % 10 == 0 ? "\n" : " ");
    }
    TempDir dir;
    std::vector<float> fromFile = readRandomNumbers(dir.write("r.dat", text + " word"));
    ASSERT_EQ(fromFile.size(), kMaxRandomNumbers);
    EXPECT_EQ(fromFile[0], 1.0f / 80.0f);
    EXPECT_EQ(fromFile[998], 999.0f / 80.0f);
    EXPECT_EQ(fromFile[999999], 0.0f); // number 1000000
    EXPECT_EQ(parseRandomNumbers(text), fromFile);
    // Fewer than a million are all kept.
    EXPECT_EQ(parseRandomNumbers(text.substr(0, 1000)).size(),
              streamExtraction(text.substr(0, 1000)).size());
}

TEST(RandomNumbers, ANumberLongerThanTheLongestEndsTheReading) {
    // 256 characters are a number, 257 are not read; what was read is kept.
    std::string longest = "0.5" + std::string(253, '0');
    std::vector<float> numbers = parseRandomNumbers("8 " + longest + " 16");
    EXPECT_EQ(numbers, (std::vector<float>{0.1f, 0.5f / 80.0f, 0.2f}));
    EXPECT_EQ(parseRandomNumbers("8 0" + longest + " 16"), std::vector<float>{0.1f});
    // A long word that starts with numbers gives them, as a stream would:
    // they end well before the word is cut.
    std::string word = "40-8" + std::string(300, 'x');
    EXPECT_EQ(parseRandomNumbers("8 " + word + " 16"), (std::vector<float>{0.1f, 0.5f, -0.1f}));
    EXPECT_EQ(parseRandomNumbers("8 " + word), streamExtraction("8 " + word));
    // A number that runs into the cut may go on past it: not kept.
    EXPECT_EQ(parseRandomNumbers("8 " + std::string(300, '1')), std::vector<float>{0.1f});
}

TEST(RandomNumbers, HugeFilesAndEndlessDevicesAreReadInLittleMemory) {
    REQUIRE_ADDRESS_SPACE_LIMIT();
    const std::size_t headroom = 16 << 20; // bytes the reading may add to the address space
    TempDir dir;
    // Ten million numbers, 20 MB: more than the whole limit.
    std::string path = dir.write("random_numbers.dat", repeated("1\n", 10000000));
    auto countAndLast = [](const std::vector<float>& numbers) {
        return std::to_string(numbers.size()) + " " +
               (numbers.empty() ? "-" : std::to_string(numbers.back() * 80.0f));
    };
    EXPECT_EQ(loadUnderMemoryLimit([&] { return countAndLast(readRandomNumbers(path)); }, headroom),
              "1000000 1.000000");
    // An endless word of zero bytes is no number.
    EXPECT_EQ(loadUnderMemoryLimit([&] { return countAndLast(readRandomNumbers("/dev/zero")); },
                                   headroom),
              "0 -");
    // An endless run of numbers stops at the millionth.
    EndlessPipe pipe(dir.path() + "/pipe", "", "2 ");
    EXPECT_EQ(loadUnderMemoryLimit([&] { return countAndLast(readRandomNumbers(pipe.path())); },
                                   headroom),
              "1000000 2.000000");
}
