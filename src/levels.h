// The shipped levels: "levels.txt" in the data folder lists them in ladder
// order, easiest first, one level a line: its short name (lower-case letters,
// digits and '-'), its map file in the same folder, and a one-line
// description. Blank lines and lines starting with '#' are comments. The
// trainer trains on every level of the list and the evaluator measures them;
// the launcher resolves a level's short name through the same file.
#ifndef FIREFLIES_LEVELS_H
#define FIREFLIES_LEVELS_H

#include <cstddef>
#include <string>
#include <vector>

// One row of the level list.
struct LevelEntry {
    std::string name;        // short name, [a-z0-9-]+, unique in the list
    std::string map;         // map file name, no folder part, unique in the list
    std::string description; // one line for a person, never empty
    int line = 0;            // line of the list it came from, 1-based
};

// Largest level list read, in bytes (64 kB; the shipped one takes half a kB).
// The build and the launcher read it from here: keep it on one line.
constexpr std::size_t kMaxLevelListBytes = 65536;

// Reads the level list at path. Throws LoadError: "Couldn't open: PATH" when
// it cannot be opened (for standard error), "PATH: what is wrong" when it
// cannot be read or holds more than kMaxLevelListBytes, otherwise
// "PATH:LINE: what is wrong" for a row without map or description, a bad short name, a map name
// with a folder part, a name or map listed twice, or a list with no level.
std::vector<LevelEntry> readLevelList(const std::string& path);
// The same checks on list text already in memory; path names it in messages.
std::vector<LevelEntry> parseLevelList(const std::string& text, const std::string& path);

// The path of a level's map: its map name in the folder of the list at
// listPath ("levels.txt" gives "duel.map", "data/levels.txt" "data/duel.map").
std::string levelMapPath(const std::string& listPath, const LevelEntry& level);

#endif
