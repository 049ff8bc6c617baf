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

TEST(LevelList, NamesTheFileAndLineOfEveryFault) {
    EXPECT_EQ(refusal("duel duel.map A duel\n"), "");
    EXPECT_EQ(refusal("# nothing but comments\n\n"), "levels.txt:2: the list names no level");
    EXPECT_EQ(refusal(""), "levels.txt:1: the list names no level");
    EXPECT_EQ(refusal("\nDuel duel.map A duel\n"),
              "levels.txt:2: level name \"Duel\" may hold only lower-case letters, digits and '-'");
    EXPECT_EQ(refusal("du_el duel.map A duel\n"),
              "levels.txt:1: level name \"du_el\" may hold only lower-case letters, digits and '-'");
    EXPECT_EQ(refusal("duel\n"), "levels.txt:1: level duel has no map file");
    EXPECT_EQ(refusal("duel duel.map   \n"), "levels.txt:1: level duel has no description");
    EXPECT_EQ(refusal("duel ../duel.map A duel\n"),
              "levels.txt:1: map \"../duel.map\" must be a file name in the list's folder");
    EXPECT_EQ(refusal("duel duel.map A duel\nfield field.map Open\nduel other.map B\n"),
              "levels.txt:3: level duel is listed twice (first on line 1)");
    EXPECT_EQ(refusal("duel duel.map A duel\nfield duel.map Open\n"),
              "levels.txt:2: map duel.map is listed twice (first on line 1)");
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
