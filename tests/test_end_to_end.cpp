// The built game binary, run as a player runs it: what it prints, how it
// ends, and that a real key press reaches its window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace {
const std::string kBinary = std::string(FIREFLIES_BINARY_DIR) + "/fireflies";
const std::string kDriver = std::string(FIREFLIES_SOURCE_DIR) + "/tests/support/drive_game.sh";

bool haveDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

// Runs the game from data/ with the given steps and arguments.
CommandResult drive(const std::string& steps, const std::string& args) {
    return runCommand("timeout 120 '" + kDriver + "' '" + kBinary + "' '" FIREFLIES_DATA_DIR "' '" +
                      steps + "' " + args);
}

bool endsWithStatus(const CommandResult& result, int status) {
    return result.out.find("status=" + std::to_string(status) + "\n") != std::string::npos;
}
} // namespace

TEST(EndToEnd, MissingMapSaysCouldntOpenAndFails) {
    CommandResult result =
        runCommand("cd '" FIREFLIES_DATA_DIR "' && SDL_VIDEODRIVER=x11 '" + kBinary + "' nosuch.map");
    if (result.err.find("No available video device") != std::string::npos) {
        GTEST_SKIP() << "no display";
    }
    EXPECT_EQ(result.out, "Couldn't open: nosuch.map\n");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, MalformedMapNamesTheProblemAndFails) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "no display";
    }
    TempDir dir;
    std::string map = dir.write("eleven.map", "11\n");
    CommandResult result = runCommand("cd '" FIREFLIES_DATA_DIR "' && '" + kBinary + "' '" + map + "'");
    EXPECT_EQ(result.err, map + ":1: firefly count 11 is outside 2..10\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, EscapeKeyEndsTheGameWithStatusZero) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "no display";
    }
    CommandResult result = drive("sleep 1; key Escape", "");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
}

TEST(EndToEnd, OnlyTheFirstArgumentChoosesTheMap) {
    if (!haveDisplay()) {
        GTEST_SKIP() << "no display";
    }
    CommandResult result = drive("sleep 1; key Escape", "final.map nosuch.map");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    result = runCommand("cd '" FIREFLIES_DATA_DIR "' && '" + kBinary + "' nosuch.map final.map");
    EXPECT_EQ(result.out, "Couldn't open: nosuch.map\n");
    EXPECT_EQ(result.status, 1);
}
