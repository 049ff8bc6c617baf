// The map file and the random-numbers file: what a good file gives, and the
// one clear line every malformed map gets instead of undefined behaviour.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

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
    EXPECT_EQ(mapError(dir, "2\n1000000 -1000000\n1 1\n0 0 0 0 0 0\n"), "");
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
