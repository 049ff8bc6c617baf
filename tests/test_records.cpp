// The player's records: the result line of every way a game ends, the bests
// file read back as written and refused line by line when broken, written
// whole or not at all, games counted into the bests, the next level not yet
// won, and which replays are let go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records.h"
#include "game_runs.h"
#include "temp_dir.h"

namespace {

// A recorded game on two fireflies that ended as end says after steps.
Replay game(ReplayEnd end, std::size_t steps, std::int32_t player, std::int32_t other) {
    Replay replay;
    replay.end = end;
    replay.controls.assign(steps, 0);
    replay.seconds.assign(steps / kChecksumSteps, SecondMark{0, {player, other}});
    if (end != ReplayEnd::CutShort) {
        replay.finalScores = {player, other};
    }
    return replay;
}

std::vector<LevelEntry> ladder() {
    std::vector<LevelEntry> levels;
    for (const char* name : {"duel", "arena", "garden", "field"}) {
        levels.push_back(LevelEntry{name, std::string(name) + ".map", "a level", 1});
    }
    return levels;
}

} // namespace

TEST(Records, TheResultLineOfEveryEnd) {
    GameResult won = resultOf(game(ReplayEnd::Finished, 2472, 20, 14));
    EXPECT_TRUE(won.won);
    EXPECT_EQ(resultLine("arena", won, nullptr), "arena: you won 20 to 14 in 41.2 s (your first win here)");
    LevelBest faster;
    faster.won = 1;
    faster.bestSteps = 2280;
    EXPECT_EQ(resultLine("arena", won, &faster), "arena: you won 20 to 14 in 41.2 s (your best: 38.0 s)");
    LevelBest slower;
    slower.won = 3;
    slower.bestSteps = 3000;
    EXPECT_EQ(resultLine("arena", won, &slower),
              "arena: you won 20 to 14 in 41.2 s (your best, before: 50.0 s)");
    EXPECT_EQ(resultLine("arena", resultOf(game(ReplayEnd::Finished, 2100, 9, 20)), &faster),
              "arena: you lost 9 to 20 in 35.0 s");
    EXPECT_EQ(resultLine("arena", resultOf(game(ReplayEnd::Left, 486, 3, 8)), nullptr),
              "arena: you left at 3 to 8 after 8.1 s");
    // A record cut short gives the scores of its last whole second.
    GameResult cut = resultOf(game(ReplayEnd::CutShort, 480, 3, 8));
    EXPECT_FALSE(cut.won);
    EXPECT_EQ(resultLine("arena", cut, nullptr), "arena: the record stops at 3 to 8 after 8.0 s");
    // The best of the others counts, not the second firefly's.
    Replay three = game(ReplayEnd::Finished, 600, 20, 2);
    three.finalScores = {20, 2, 17, -4};
    EXPECT_EQ(resultLine("swarm", resultOf(three), nullptr),
              "swarm: you won 20 to 17 in 10.0 s (your first win here)");
}

TEST(Records, GamesAreCountedIntoTheBests) {
    Bests bests;
    countGame(bests, "duel", resultOf(game(ReplayEnd::Left, 100, 0, 2)), "a.ffr");
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "b.ffr");
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 2000, 21, 18)), "c.ffr");
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 2500, 20, 5)), "d.ffr");
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 1000, 4, 20)), "e.ffr");
    const LevelBest* duel = bests.find("duel");
    ASSERT_NE(duel, nullptr);
    EXPECT_EQ(duel->played, 5);
    EXPECT_EQ(duel->won, 3);
    EXPECT_EQ(duel->bestSteps, 2000u);
    EXPECT_EQ(duel->bestReplay, "c.ffr");
    EXPECT_EQ(duel->bestMargin, 15);
    EXPECT_EQ(bests.find("arena"), nullptr);
}

TEST(Records, TheBestsFileReadsBackAndBrokenOnesAreNamedByLine) {
    Bests bests;
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "b.ffr");
    countGame(bests, "arena", resultOf(game(ReplayEnd::Left, 60, 0, 0)), "x.ffr");
    std::string text = formatBests(bests);
    Bests read;
    ASSERT_EQ(parseBests(text, "bests.txt", read), "");
    ASSERT_EQ(read.levels.size(), 2u);
    EXPECT_EQ(formatBests(read), text);

    struct Broken {
        std::string text;
        std::string problem;
    };
    const std::string head = "fireflies-bests 1\n";
    std::vector<Broken> broken = {
        {"", "bests.txt: empty, not a bests file"},
        {"\x7f" "ELF garbage\n", "bests.txt:1: not a bests file (its first line is not \"fireflies-bests 1\")"},
        {head + "duel 3 1 100\n", "bests.txt:2: a level's bests are 6 words, not 4"},
        {head + "Duel 3 0 - - -\n", "bests.txt:2: \"Duel\" is not a level name"},
        {head + "duel 3 4 100 2 a.ffr\n",
         "bests.txt:2: games played and won are not two counts, won no more than played"},
        {head + "duel -3 0 - - -\n",
         "bests.txt:2: games played and won are not two counts, won no more than played"},
        {head + "duel 3 0 100 2 a.ffr\n", "bests.txt:2: a level never won has no best (\"- - -\")"},
        {head + "duel 3 1 100 2 ../../etc/passwd\n",
         "bests.txt:2: a won level's best is its steps, its margin and its replay file"},
        {head + "duel 3 1 - - -\n",
         "bests.txt:2: a won level's best is its steps, its margin and its replay file"},
        {head + "# note\nduel 1 0 - - -\nduel 1 0 - - -\n", "bests.txt:4: level duel is listed twice"},
        {head + std::string(70000, '#'), "bests.txt: larger than 65536 bytes"},
    };
    for (const Broken& b : broken) {
        Bests none;
        none.entry("kept");
        EXPECT_EQ(parseBests(b.text, "bests.txt", none), b.problem) << b.text.substr(0, 60);
        EXPECT_TRUE(none.levels.empty()) << "a broken file gives no bests";
    }
}

TEST(Records, TheBestsFileIsWrittenWholeOrNotAtAll) {
    TempDir dir;
    std::string path = dir.path() + "/bests.txt";
    Bests none;
    EXPECT_EQ(readBests(path, none), "") << "no file yet is no bests";
    Bests bests;
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "b.ffr");
    ASSERT_EQ(writeBests(path, bests), "");
    Bests read;
    ASSERT_EQ(readBests(path, read), "");
    EXPECT_EQ(formatBests(read), formatBests(bests));
    EXPECT_EQ(runCommand("ls " + shellWord(dir.path())).out, "bests.txt\n")
        << "no new file left beside it";
    // Where no new file can be made, the old one stays as it was.
    std::string missing = dir.path() + "/gone/bests.txt";
    std::string problem = writeBests(missing, bests);
    EXPECT_EQ(problem.rfind(dir.path() + "/gone/bests.txt.new", 0), 0u) << problem;
    EXPECT_NE(problem.find("No such file or directory"), std::string::npos) << problem;
    EXPECT_EQ(readBests(dir.path(), read), dir.path() + ": cannot read it");
}

TEST(Records, TheNextLevelIsTheFirstNotYetWonAfterThisOne) {
    std::vector<LevelEntry> levels = ladder();
    Bests bests;
    EXPECT_EQ(nextLevel(levels, bests, "duel"), "arena");
    countGame(bests, "arena", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "a.ffr");
    countGame(bests, "garden", resultOf(game(ReplayEnd::Finished, 3000, 4, 20)), "g.ffr");
    EXPECT_EQ(nextLevel(levels, bests, "duel"), "garden") << "a lost level is not won";
    countGame(bests, "garden", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "g2.ffr");
    EXPECT_EQ(nextLevel(levels, bests, "arena"), "field");
    countGame(bests, "field", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "f.ffr");
    EXPECT_EQ(nextLevel(levels, bests, "field"), "duel") << "from the start again";
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), "d.ffr");
    EXPECT_EQ(nextLevel(levels, bests, "duel"), "") << "every level won";
    EXPECT_EQ(nextLevel(levels, Bests{}, "my.map"), "duel") << "a map of no level";
}

TEST(Records, TheStatsListEveryLevel) {
    Bests bests;
    countGame(bests, "arena", resultOf(game(ReplayEnd::Finished, 2472, 20, 14)), "a.ffr");
    countGame(bests, "arena", resultOf(game(ReplayEnd::Left, 60, 0, 0)), "b.ffr");
    countGame(bests, "gone", resultOf(game(ReplayEnd::Left, 60, 0, 0)), "c.ffr");
    EXPECT_EQ(statsTable(ladder(), bests),
              "level   played   won  best time  best margin\n"
              "duel         0     0          -            -\n"
              "arena        2     1     41.2 s            6\n"
              "garden       0     0          -            -\n"
              "field        0     0          -            -\n"
              "gone         1     0          -            -\n");
}

TEST(Records, OnlyTheLatestGamesAndTheBestWinsAreKept) {
    std::vector<KeptReplay> replays;
    for (int i = 0; i < 25; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "20261209-1000%02d-1.ffr", i);
        replays.push_back(KeptReplay{name, 3000});
    }
    Bests bests;
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)),
              "20261209-100002-1.ffr");
    std::vector<std::string> removed = replaysToRemove(replays, bests);
    EXPECT_EQ(removed, (std::vector<std::string>{"20261209-100000-1.ffr", "20261209-100001-1.ffr",
                                                 "20261209-100003-1.ffr", "20261209-100004-1.ffr"}));
    // Past the folder's size the oldest go, but never a best win.
    replays.resize(3);
    replays[0].bytes = kMaxReplayFolderBytes;
    replays[1].bytes = kMaxReplayFolderBytes / 2;
    replays[2].bytes = kMaxReplayFolderBytes / 2;
    bests = Bests{};
    countGame(bests, "duel", resultOf(game(ReplayEnd::Finished, 3000, 20, 10)), replays[0].file);
    EXPECT_EQ(replaysToRemove(replays, bests), (std::vector<std::string>{replays[1].file}));
}
