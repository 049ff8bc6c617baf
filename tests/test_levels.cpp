// The level list and the shipped levels: the list's reader accepts the
// list's own form and names the file and line of every fault; every shipped
// level loads through the game's reader and plays, with the player stand-in
// against the shipped tables, a seeded game to its end with every firefly's
// position and velocity finite at every step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "gl_context.h"
#include "levels.h"
#include "pilots.h"
#include "state.h"
#include "temp_dir.h"
#include "tools.h"
#include "world.h"

namespace {

// The message a list text is refused with; "" when it is accepted.
std::string refusal(const std::string& text) {
    try {
        parseLevelList(text, "levels.txt");
    } catch (const LoadError& error) {
        return error.message;
    }
    return "";
}

bool finite(const Firefly& firefly) {
    return std::isfinite(firefly.x) && std::isfinite(firefly.z) &&
           std::isfinite(firefly.body.vx) && std::isfinite(firefly.body.vy) &&
           std::isfinite(firefly.heading);
}

} // namespace

TEST(LevelList, ReadsNamesMapsAndDescriptionsInOrder) {
    std::vector<LevelEntry> levels = parseLevelList("# comment\n"
                                                    "\n"
                                                    "duel duel.map  A duel: you and one other  \n"
                                                    "   # indented comment\n"
                                                    "\tarena-2\tfinal.map\tThe default\r\n",
                                                    "levels.txt");
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0].name, "duel");
    EXPECT_EQ(levels[0].map, "duel.map");
    EXPECT_EQ(levels[0].description, "A duel: you and one other");
    EXPECT_EQ(levels[0].line, 3);
    EXPECT_EQ(levels[1].name, "arena-2");
    EXPECT_EQ(levels[1].map, "final.map");
    EXPECT_EQ(levels[1].description, "The default");
    EXPECT_EQ(levels[1].line, 5);
    EXPECT_EQ(levelMapPath("levels.txt", levels[0]), "duel.map");
    EXPECT_EQ(levelMapPath("/usr/share/fireflies/levels.txt", levels[1]),
              "/usr/share/fireflies/final.map");
}

// The launcher, the build and the trainer are held to the same verdicts in
// test_launcher; here, what only the reader sees.
TEST(LevelList, NamesTheFileAndLineOfEveryFault) {
    EXPECT_EQ(refusal("arena final.map The default\n"), "");
    EXPECT_EQ(refusal("arena final.map The default\ndu_el duel.map A duel\n"),
              "levels.txt:2: level name \"du_el\" may hold only lower-case letters, digits and '-'");
    // A map is looked for beside the list, whatever folder the reader runs in.
    EXPECT_EQ(refusal("arena final.map The default\nsub levels.txt.map Not here\n"),
              "levels.txt:2: map levels.txt.map is not a file in the list's folder");
    try {
        parseLevelList("arena final.map The default\n", "/nonexistent/levels.txt");
        ADD_FAILURE() << "a map was found beside a list in a folder that does not exist";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message,
                  "/nonexistent/levels.txt:1: map final.map is not a file in the list's folder");
    }
    try {
        readLevelList("/nonexistent/levels.txt");
        ADD_FAILURE() << "a missing list was read";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, "Couldn't open: /nonexistent/levels.txt");
    }
    // A device that never ends is turned away at the limit, not read whole.
    try {
        readLevelList("/dev/zero");
        ADD_FAILURE() << "/dev/zero was read as a level list";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, "/dev/zero: the level list is larger than 65536 bytes");
    }
}

TEST(LevelList, APlayerNamesALevelByItsNameBeforeAnotherLevelsMap) {
    // "duel.map" names the level duel by its map; no name holds a '.', so a
    // map's file name never hides a level's name.
    std::vector<LevelEntry> levels = parseLevelList(
        "arena final.map The default\nduel duel.map A duel\nfield field.map Open\n", "levels.txt");
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(findLevel(levels, "duel"), &levels[1]);
    EXPECT_EQ(findLevel(levels, "field.map"), &levels[2]);
    EXPECT_EQ(findLevel(levels, "final.map"), &levels[0]);
    EXPECT_EQ(findLevel(levels, "final"), nullptr);
    EXPECT_EQ(findLevel(levels, "Duel"), nullptr);
    EXPECT_EQ(findLevel(levels, ""), nullptr);
}

TEST(ShippedLevels, TheListNamesTheDefaultArenaAndAtLeastFourMoreLevels) {
    std::vector<LevelEntry> levels = readLevelList("levels.txt");
    EXPECT_GE(levels.size(), 5u);
    int defaults = 0;
    for (const LevelEntry& level : levels) {
        defaults += level.map == "final.map" ? 1 : 0;
        if (level.map == "final.map") {
            EXPECT_EQ(level.name, "arena");
        }
    }
    EXPECT_EQ(defaults, 1);
}

TEST(ShippedLevels, EachPlaysASeededGameToItsEndOnTheRealWorld) {
    REQUIRE_GL_CONTEXT();
    for (const LevelEntry& level : readLevelList("levels.txt")) {
        SCOPED_TRACE(level.name);
        LevelMap map = readLevelMap(level.map); // throws, and fails the test, on a bad map
        std::srand(31);
        GameState world(level.map);
        ASSERT_EQ(world.fireflyCount, static_cast<int>(map.fireflies.size()));
        // The player stand-in at the keys, the shipped tables in all others.
        world.playerIsAgent = true;
        StandIn player(32);
        int step = 0;
        for (; step < 20000 && !world.gameOver; ++step) {
            world.decide();
            world.learner.actions[0] = player.act(0, world.fireflies, world.fireflyCount);
            world.advance();
            for (int i = 0; i < world.fireflyCount; ++i) {
                ASSERT_TRUE(finite(*world.fireflies[i]))
                    << "firefly " << i << " at step " << step << ": x " << world.fireflies[i]->x
                    << " z " << world.fireflies[i]->z << " vx " << world.fireflies[i]->body.vx
                    << " vy " << world.fireflies[i]->body.vy;
            }
        }
        EXPECT_TRUE(world.gameOver) << "no one reached 20 in " << step << " steps";
        EXPECT_GE(world.leaderScore(), 20);
    }
}
