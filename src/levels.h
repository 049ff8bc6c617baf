// The shipped levels: "levels.txt" in the data folder lists them in ladder
// order, easiest first, one level a line. This is the one reader of that
// list: the trainer and the evaluator call it, and the launcher and the build
// (the menu entry's actions and the manual page) take its verdict through
// the fireflies-levels program, so a list is taken or refused the same way
// everywhere, with the same "levels.txt:LINE: what is wrong" line.
//
// A good list, as players and the build need it:
// - it is at most kMaxLevelListBytes long;
// - blank lines, and lines whose first non-blank character is '#', are
//   comments; blanks are spaces and tabs (and a carriage return, so a list
//   saved with DOS line ends reads the same);
// - every other line is a level: NAME MAP DESCRIPTION, separated by blanks;
// - NAME is what a player types after "fireflies": one or more of the ASCII
//   letters a-z, the digits 0-9 and '-', compared byte by byte, so every
//   locale reads it alike; no two levels share a name;
// - MAP is the level's map, a file name of ASCII letters, digits, '_', '.'
//   and '-' ending in ".map", of a file (not a folder) in the list's own
//   folder; no two levels share a map (the trainer counts every map once,
//   and a player picks a level, not a second name for one);
// - DESCRIPTION is the rest of the line without the blanks at its ends: one
//   line for a person, not empty, without control characters but tabs;
// - the list names at least one level, and one level plays "final.map", the
//   map the game plays when none is named.
#ifndef FIREFLIES_LEVELS_H
#define FIREFLIES_LEVELS_H

#include <cstddef>
#include <string>
#include <vector>

#include "level_map.h"

// One row of the level list.
struct LevelEntry {
    std::string name;        // short name, [a-z0-9-]+, unique in the list
    std::string map;         // map file name in the list's folder, "*.map", unique in the list
    std::string description; // one line for a person, never empty
    int line = 0;            // line of the list it came from, 1-based
};

// Largest level list read, in bytes (64 kB; the shipped one takes half a kB).
constexpr std::size_t kMaxLevelListBytes = 65536;

// Reads the level list at path and checks it, its map files included (they
// are looked for in path's folder). Throws LoadError: "Couldn't open: PATH"
// when it cannot be opened, "PATH: what is wrong" when it cannot be read or
// holds more than kMaxLevelListBytes, otherwise "PATH:LINE: what is wrong"
// for the first row that breaks the rules above; a list with no level, or
// none playing final.map, is refused on its last line.
std::vector<LevelEntry> readLevelList(const std::string& path);
// The same checks on list text already in memory; path names it in messages
// and its folder holds the maps.
std::vector<LevelEntry> parseLevelList(const std::string& text, const std::string& path);

// The path of a level's map: its map name in the folder of the list at
// listPath ("levels.txt" gives "duel.map", "data/levels.txt" "data/duel.map").
std::string levelMapPath(const std::string& listPath, const LevelEntry& level);

// The level a player means by word: the one with that short name, else the
// one whose map has that file name; nullptr for none.
const LevelEntry* findLevel(const std::vector<LevelEntry>& levels, const std::string& word);

#endif
