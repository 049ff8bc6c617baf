// The map file and "random_numbers.dat": what a map says and the level
// tables its indexes pick from, and the two readers, which check what they
// read and throw LoadError naming the file and line. The world (state.h)
// builds itself from what they return.
#ifndef FIREFLIES_LEVEL_MAP_H
#define FIREFLIES_LEVEL_MAP_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "learner.h"

// The level tables, indexed by the four numbers at the end of a map file.
constexpr int kLevelIndexCount = 10;             // entries of each table: indexes 0..9
extern const int rad_arr[kLevelIndexCount];      // arena radius: 40, 45, ..., 85
extern const double speed_arr[kLevelIndexCount]; // firefly thrust: 0.19, 0.20, ..., 0.28
extern const double drag_arr[kLevelIndexCount];  // firefly drag: 0.8, 1.0, ..., 2.6

// Fewest and most fireflies a map may hold: the player and at least one
// opponent, and no more than the agent has slots for.
constexpr int kMinFireflies = 2;
constexpr int kMaxFireflies = kFireflySlots;
// Most lanterns and flowers a map may hold. Each brings its own models and
// textures (a flower's ten copies up to 2 MB of texture), so a count of
// thousands would not end in a game but in running out of memory.
constexpr int kMaxLanterns = 50;
constexpr int kMaxFlowers = 50;

// What a map file says: start positions as (z, x) pairs, then the indexes.
struct LevelMap {
    std::vector<std::pair<float, float>> fireflies; // (z, x) of each firefly, map order
    std::vector<std::pair<float, float>> lanterns;  // (z, x) of each lantern
    std::vector<std::pair<double, double>> flowers; // (z, x) of each flower
    int radi = 0;                                   // index into rad_arr, 0..9
    int speedi = 0;                                 // index into speed_arr, 0..9
    int pulli = 0; // 0..9, read and not used (the pull strength is fixed)
    int dragi = 0; // index into drag_arr, 0..9
};

// The map the game plays when it is given none, in its data folder; the
// launcher plays it too, and a good level list has a level for it.
constexpr const char* kDefaultMapName = "final.map";

// Largest map file the game reads, in bytes (1 MB). A map of 10 fireflies,
// 50 lanterns and 50 flowers takes about 2 kB; the rest leaves room for
// notes after the indexes.
constexpr std::size_t kMaxMapBytes = std::size_t{1} << 20;

// Reads and checks a map file. Throws LoadError: "Couldn't open: PATH" (for
// standard output) when it cannot be opened, "PATH: what is wrong" when it
// cannot be read or is larger than kMaxMapBytes (a pipe or device that goes
// on is refused once it passes that), otherwise "PATH:LINE: what is wrong"
// for a missing or non-numeric value, a firefly count outside 2..10, a
// negative count, more than 50 lanterns or flowers, a position farther than
// 1000000 from the centre, an index outside 0..9 or a firefly starting
// beyond the arena's radius (named on the line of its start). Text after
// the indexes is ignored.
LevelMap readLevelMap(const std::string& path);
// The same checks on map text already in memory (text larger than
// kMaxMapBytes included); path names it in messages.
LevelMap parseLevelMap(const std::string& text, const std::string& path);

// Most numbers kept from a random-numbers file; the game's own holds 1000.
constexpr std::size_t kMaxRandomNumbers = 1000000;
// Longest number read from a random-numbers file, in characters.
constexpr std::size_t kLongestRandomNumber = 256;

// The numbers of a random-numbers file, each divided by 80, read as a
// formatted stream extracts floats: reading stops at the first extraction
// that fails, and nothing after it is read. Reading also stops, keeping what
// was read, after kMaxRandomNumbers numbers and at a number longer than
// kLongestRandomNumber characters, so that no file, however long, and no
// device that never ends (such as /dev/zero) costs more than a few
// megabytes. A missing file gives an empty table; none of this is an error.
std::vector<float> readRandomNumbers(const std::string& path);
// The same for the text of such a file already in memory.
std::vector<float> parseRandomNumbers(const std::string& text);

#endif
