// The built game binary, run as a player runs it: what it prints, how it
// ends, and that a real key press reaches its window. Each run gets an X
// server of its own (xvfb-run), so these tests need no display and do not
// see the windows of tests running at the same time.
#include <gtest/gtest.h>

#include <string>

#include "game_runs.h"
#include "temp_dir.h"

namespace {

// Runs the game from folder with these arguments and no key presses.
CommandResult runGameIn(const std::string& folder, const std::string& args) {
    return runCommand(kPrivateDisplay + "sh -c \"cd '" + folder + "' && exec '" + kGameBinary +
                      "' " + args + "\"");
}

// Runs the game from data/ with these arguments and no key presses.
CommandResult runGame(const std::string& args) {
    return runGameIn(FIREFLIES_DATA_DIR, args);
}

// Runs the game from folder, plays the steps on its window, and reports.
CommandResult driveIn(const std::string& folder, const std::string& steps,
                      const std::string& args) {
    return runCommand(kPrivateDisplay + "'" + kDriveGame + "' '" + kGameBinary + "' '" + folder +
                      "' '" + steps + "' " + args);
}

// Runs the game from data/, plays the steps on its window, and reports.
CommandResult drive(const std::string& steps, const std::string& args) {
    return driveIn(FIREFLIES_DATA_DIR, steps, args);
}

} // namespace

TEST(EndToEnd, MissingMapSaysCouldntOpenAndFails) {
    CommandResult result = runGame("nosuch.map");
    EXPECT_EQ(result.out, "Couldn't open: nosuch.map\n");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, MalformedMapNamesTheProblemAndFails) {
    TempDir dir;
    std::string map = dir.write("eleven.map", "11\n");
    CommandResult result = runGame("'" + map + "'");
    EXPECT_EQ(result.err, map + ":1: firefly count 11 is outside 2..10\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, EscapeKeyEndsTheGameWithStatusZero) {
    CommandResult result = drive("sleep 1; key Escape", "");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
}

TEST(EndToEnd, OnlyTheFirstArgumentChoosesTheMap) {
    CommandResult result = drive("sleep 1; key Escape", "final.map nosuch.map");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    result = runGame("nosuch.map final.map");
    EXPECT_EQ(result.out, "Couldn't open: nosuch.map\n");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, ALanternModelWithoutFacesNamesTheFileAndFails) {
    GameFolder data({"lantern.obj"});
    // What a truncated model file leaves: positions, no faces.
    data.write("lantern.obj", "# lantern\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n");
    CommandResult result = runGameIn(data.path(), "");
    // The game runs from its data folder; the message names it.
    EXPECT_EQ(result.err, data.path() +
                              "/lantern.obj: the model has no triangles (no face line with "
                              "position/texture/normal corners)\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);
}

TEST(EndToEnd, AMissingValueTableIsAWarningNamingItsFolderAndTheGamePlays) {
    GameFolder data({"learner.val"});
    CommandResult result = driveIn(data.path(), "sleep 1; key Escape", "");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    // One line, naming the file in its folder, before the first frame.
    EXPECT_NE(("\n" + result.err).find("\n" + data.path() + "/learner.val: "), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("learner.trans"), std::string::npos) << result.err;
}
