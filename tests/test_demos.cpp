// The demos: games recorded on every shipped level (tests/demos/, made by
// tests/demos/record-demos) replayed to their end, in step, each ending
// with the result it was recorded with. A change that alters the world puts
// them out of step: re-record them in the same change. Replayed by another
// build than the one that recorded them (another compiler or C library, as
// on the other Debian release), a demo either stays in step to the same end
// or stops with its out-of-step line: never another game.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "gl_context.h"
#include "records.h"
#include "replay.h"
#include "replayed_game.h"

namespace {

const std::string kDemos = std::string(FIREFLIES_SOURCE_DIR) + "/tests/demos";

// One demo: its file and the result line it was recorded with.
struct Demo {
    std::string file;
    std::string result;
};

// The build named at the head of results.txt ("# recorded by BUILD").
std::string recordingBuild() {
    const std::string head = "# recorded by ";
    std::ifstream in(kDemos + "/results.txt");
    std::string line;
    std::getline(in, line);
    return line.rfind(head, 0) == 0 ? line.substr(head.size()) : "";
}

// The rows of results.txt: "FILE RESULT LINE".
std::vector<Demo> listedDemos() {
    std::vector<Demo> demos;
    std::ifstream in(kDemos + "/results.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::string::size_type space = line.find(' ');
        if (space != std::string::npos) {
            demos.push_back(Demo{line.substr(0, space), line.substr(space + 1)});
        }
    }
    return demos;
}

// Named by its file in test listings.
void PrintTo(const Demo& demo, std::ostream* out) {
    *out << demo.file;
}

class Demos : public ::testing::TestWithParam<Demo> {};

} // namespace

TEST(DemoList, EveryShippedLevelHasADemoAndThereIsAWinAndALoss) {
    std::vector<Demo> demos = listedDemos();
    for (const char* level : {"duel", "arena", "garden", "field", "swarm"}) {
        bool found = false;
        for (const Demo& demo : demos) {
            found = found || demo.file == std::string(level) + ".ffr";
        }
        EXPECT_TRUE(found) << level;
    }
    int wins = 0;
    int losses = 0;
    for (const Demo& demo : demos) {
        wins += demo.result.find(": you won ") != std::string::npos ? 1 : 0;
        losses += demo.result.find(": you lost ") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(wins, 1);
    EXPECT_GE(losses, 1);
}

TEST_P(Demos, ReplaysInStepToItsRecordedResult) {
    REQUIRE_GL_CONTEXT();
    const std::string path = kDemos + "/" + GetParam().file;
    Replay replay;
    ASSERT_EQ(readReplay(path, replay), "");
    ASSERT_EQ(checkReplayData(replay, path, "."), "")
        << "the data changed: re-record the demos (tests/demos/record-demos)";
    ASSERT_NE(replay.end, ReplayEnd::CutShort);
    ReplayedGame game = playReplay(replay, path);
    const std::string recordedBy = recordingBuild();
    ASSERT_NE(recordedBy, "") << "results.txt does not name the build that recorded the demos";
    if (recordedBy != buildName() && !game.problem.empty()) {
        // Another build may go out of step; then it must say so where it does
        // and stop there.
        const std::string head = path + ": out of step at ";
        const std::string tail = " s of play: recorded by fireflies " + replay.gameVersion +
                                 " with other data or another build";
        EXPECT_EQ(game.problem.rfind(head, 0), 0u) << game.problem;
        ASSERT_GE(game.problem.size(), tail.size()) << game.problem;
        EXPECT_EQ(game.problem.substr(game.problem.size() - tail.size()), tail);
        std::printf("recorded by %s, replayed by %s: %s\n", recordedBy.c_str(),
                    buildName().c_str(), game.problem.c_str());
        return;
    }
    EXPECT_EQ(game.problem, "") << "re-record the demos when the world changed on purpose";
    EXPECT_EQ(game.steps, replaySteps(replay));
    EXPECT_EQ(game.world->gameOver, replay.end == ReplayEnd::Finished);
    // The result as the replayed world ends it.
    GameResult played = resultOf(replay);
    ScorePair scores = scoresOf(*game.world);
    EXPECT_EQ(scores.player, played.scores.player);
    EXPECT_EQ(scores.opponent, played.scores.opponent);
    EXPECT_EQ(game.world->playerWon(), played.won);
    EXPECT_EQ(resultLine(replay.mapName, played, nullptr), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Shipped, Demos, ::testing::ValuesIn(listedDemos()),
                         [](const ::testing::TestParamInfo<Demo>& info) {
                             return info.param.file.substr(0, info.param.file.find('.'));
                         });
