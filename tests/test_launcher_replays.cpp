// The launcher's replays, with the real game and real key presses: a game
// recorded through the launcher and replayed through it ends with the same
// result line; a data folder that cannot be written is one warning and the
// game is played; broken bests are one warning, started afresh and written
// again, with the replays kept; --stats, and replays that cannot be played.
#include <gtest/gtest.h>

#include <string>

#include "installed_game.h"
#include "records.h"
#include "replay.h"

namespace {

class LauncherReplays : public ::testing::Test {
  protected:
    // Plays steps on the launcher's game window, started with args, from
    // the scratch folder with no terminal, muted.
    CommandResult drive(const std::string& steps, const std::string& args,
                        const std::string& env = "") {
        CommandResult result = runCommand(
            "cd " + shellWord(game.scratch()) + " && env FIREFLIES_MUTE=1 " + env + " " +
            kPrivateDisplay + shellWord(kDriveGame) + " " + shellWord(game.launcher()) + " " +
            shellWord(game.scratch()) + " " + shellWord(steps) + " " + args + " </dev/null");
        EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("did not end"), std::string::npos) << result.err;
        return result;
    }
    // The lines of out that start with prefix.
    static std::string linesStarting(const std::string& out, const std::string& prefix) {
        std::string lines;
        std::size_t at = 0;
        while (at < out.size()) {
            std::size_t end = out.find('\n', at);
            end = (end == std::string::npos) ? out.size() : end + 1;
            if (out.compare(at, prefix.size(), prefix) == 0) {
                lines += out.substr(at, end - at);
            }
            at = end;
        }
        return lines;
    }

    InstalledGame game;
};

// A few seconds of the duel: thrust, a shot, a turn, then Escape.
const char* kShortGame =
    "sleep 2; keydown Up; sleep 1; key space; keydown Left; sleep 1; keyup Left; keyup Up; "
    "sleep 0.5; key Escape";

} // namespace

TEST_F(LauncherReplays, AGameRecordedWithKeysReplaysToTheSameResultLine) {
    CommandResult played = drive(kShortGame, "duel");
    ASSERT_TRUE(endsWithStatus(played, 0)) << played.out << played.err;
    std::string result = linesStarting(played.out, "duel: ");
    ASSERT_NE(result.find("duel: you left at "), std::string::npos) << played.out << played.err;
    EXPECT_EQ(result.find('\n'), result.size() - 1) << "one result line";
    EXPECT_EQ(played.err.find("fireflies:"), std::string::npos) << played.err;

    // What the line says is what the replay holds.
    CommandResult last = runCommand("ls " + shellWord(game.replays()) + "/*.ffr");
    ASSERT_EQ(last.status, 0);
    Replay replay;
    ASSERT_EQ(readReplay(last.out.substr(0, last.out.size() - 1), replay), "");
    EXPECT_EQ(replay.end, ReplayEnd::Left);
    EXPECT_EQ(replay.mapName, "duel.map");
    std::size_t ups = 0;
    std::size_t lefts = 0;
    for (std::uint8_t bits : replay.controls) {
        ups += unpackControls(bits).up ? 1 : 0;
        lefts += unpackControls(bits).left ? 1 : 0;
    }
    // Two seconds of thrust and one of turning: how many steps that is
    // depends on how fast the machine draws, but thrust was held longer.
    EXPECT_GT(lefts, 0u);
    EXPECT_GT(ups, lefts);
    EXPECT_EQ(result, resultLine("duel", resultOf(replay), nullptr) + "\n");

    // Played again to its end (the game's whole length and more), in step.
    double seconds = playSeconds(replaySteps(replay));
    CommandResult again =
        drive("sleep " + std::to_string(static_cast<int>(seconds) + 6) + "; key Escape",
              "--replay last");
    EXPECT_TRUE(endsWithStatus(again, 0)) << again.out << again.err;
    EXPECT_EQ(again.err.find("out of step"), std::string::npos) << again.err;
    EXPECT_EQ(linesStarting(again.out, "duel: "), result);

    CommandResult stats = runCommand(shellWord(game.launcher()) + " --stats");
    EXPECT_EQ(stats.status, 0) << stats.err;
    EXPECT_NE(stats.out.find("\nduel         1     0          -            -\n"),
              std::string::npos)
        << stats.out;
}

TEST_F(LauncherReplays, AFolderThatCannotBeWrittenIsOneWarningAndTheGameIsPlayed) {
    // A file where the data folder should be: no one, root included, can
    // make a folder inside it.
    std::string blocked = game.write("blocked", "a file, not a folder\n");
    CommandResult played = drive("sleep 2; key Escape", "duel", "XDG_DATA_HOME=" + shellWord(blocked));
    EXPECT_TRUE(endsWithStatus(played, 0)) << played.out << played.err;
    EXPECT_NE(played.err.find("fireflies: cannot keep replays in " + blocked +
                              "/fireflies/replays (not a folder that can be written); this game "
                              "is not recorded\n"),
              std::string::npos)
        << played.err;
    EXPECT_EQ(linesStarting(played.err, "fireflies: ").find('\n'),
              linesStarting(played.err, "fireflies: ").size() - 1)
        << "one warning line";
    EXPECT_EQ(linesStarting(played.out, "duel: "), "") << "no result without a record";
}

TEST_F(LauncherReplays, BrokenBestsAreStartedAfreshAndTheReplaysKept) {
    ASSERT_EQ(runCommand("mkdir -p " + shellWord(game.replays())).status, 0);
    std::string bests = game.replays() + "/" + kBestsFileName;
    ASSERT_EQ(runCommand("printf 'fireflies-bests 1\\nduel 3 x\\n' >" + shellWord(bests)).status, 0);
    std::string older = game.replays() + "/20200101-000000-1.ffr";
    ASSERT_EQ(runCommand("printf 'an old replay' >" + shellWord(older)).status, 0);

    CommandResult played = drive("sleep 2; key Escape", "duel");
    EXPECT_TRUE(endsWithStatus(played, 0)) << played.out << played.err;
    EXPECT_EQ(linesStarting(played.err, "fireflies: "),
              "fireflies: " + bests +
                  ":2: a level's bests are 6 words, not 3 (the bests start afresh; the replays "
                  "are kept)\n");
    EXPECT_NE(played.out.find("duel: you left at "), std::string::npos) << played.out;
    Bests read;
    EXPECT_EQ(readBests(bests, read), "") << readFile(bests);
    ASSERT_NE(read.find("duel"), nullptr);
    EXPECT_EQ(read.find("duel")->played, 1);
    EXPECT_EQ(readFile(older), "an old replay");
}

TEST_F(LauncherReplays, ReplaysThatCannotBePlayedAreOneLine) {
    CommandResult none = runCommand(shellWord(game.launcher()) + " --replay last </dev/null");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "fireflies: no replay kept yet in " + game.replays() + "\n");

    std::string garbage = game.write("garbage.ffr", "not a replay at all");
    CommandResult bad = runCommand("cd " + shellWord(game.scratch()) + " && " +
                                   shellWord(game.launcher()) + " --replay garbage.ffr </dev/null");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, garbage + ": not a replay\n");
    EXPECT_EQ(bad.out, "");

    CommandResult both = runCommand(shellWord(game.launcher()) + " --replay last duel");
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.err, "fireflies: --replay plays the replay's own map, not duel\n");
    CommandResult missing = runCommand(shellWord(game.launcher()) + " --replay");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "fireflies: --replay needs a replay file, or last\n");
}
