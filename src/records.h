// The player's records, as the launcher keeps them through the
// fireflies-records program: the result of a recorded game in one line, the
// bests of every level (games played and won, the best winning time and
// margin, and the replay of that best win) in a small text file, and which
// replays of the folder to let go. Nothing here draws or runs a world; the
// result comes from the replay's end.
#ifndef FIREFLIES_RECORDS_H
#define FIREFLIES_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "levels.h"
#include "replay.h"

// The bests file's name in the replays folder, and its largest size read.
constexpr const char* kBestsFileName = "bests.txt";
constexpr std::size_t kMaxBestsBytes = 65536;
// Replays kept besides each level's best win: the latest games.
constexpr std::size_t kKeptReplays = 20;
// Most bytes the replays may take together; the oldest go first.
constexpr std::size_t kMaxReplayFolderBytes = std::size_t{4} << 20;

// How a recorded game went, from its replay.
struct GameResult {
    ReplayEnd end = ReplayEnd::CutShort; // how the record ends
    bool won = false;                    // the player reached the winning score
    ScorePair scores;                    // at the end, or at the last whole second when cut short
    std::size_t steps = 0;               // steps played
};
GameResult resultOf(const Replay& replay);

// One level's bests.
struct LevelBest {
    std::string level;            // the level's short name
    int played = 0;               // games recorded on it
    int won = 0;                  // games won, <= played
    std::size_t bestSteps = 0;    // steps of the fastest win; meaningful when won > 0
    int bestMargin = 0;           // largest lead at a win (player's minus the best other's)
    std::string bestReplay;       // the replay file of the fastest win, in the same folder
};

// Every level's bests, in the order first met.
struct Bests {
    std::vector<LevelBest> levels;
    // The level's entry, or null.
    const LevelBest* find(const std::string& level) const;
    // The level's entry, added (all zero) when missing.
    LevelBest& entry(const std::string& level);
};

// Reads a bests file's text; path names it. "" or "PATH:LINE: what is wrong".
std::string parseBests(const std::string& text, const std::string& path, Bests& bests);
// The text of a bests file.
std::string formatBests(const Bests& bests);
// Reads the bests file at path: a missing file is no bests and no problem;
// otherwise "" or one line naming what is wrong (bests is then empty).
std::string readBests(const std::string& path, Bests& bests);
// Writes the bests to a new file beside path and renames it over path, so
// that the file is whole or as before. "" or the problem.
std::string writeBests(const std::string& path, const Bests& bests);

// Counts a finished recording of level (its file name replayFile) into
// bests: one more played, and a win that may be the fastest and the widest.
void countGame(Bests& bests, const std::string& level, const GameResult& result,
               const std::string& replayFile);

// The level of the list whose map holds the replay's map text; "" for none.
// mapText reads a level's map (its file in the data folder).
std::string levelOfReplay(const Replay& replay, const std::vector<LevelEntry>& levels,
                          const std::vector<std::string>& mapTexts);

// "NAME: you won 20 to 14 in 41.2 s (your best: 38.0 s)", "NAME: you lost
// 9 to 20 in 35.0 s", "NAME: you left at 3 to 8 after 8.1 s", or for a
// record cut short "NAME: the record stops at 3 to 8 after 8.1 s". best is
// the level's bests before this game (null for none or a map of no level).
std::string resultLine(const std::string& name, const GameResult& result,
                       const LevelBest* best);

// The first level after current in the list (then from the start) that
// has no win in bests; "" when every other level is won.
std::string nextLevel(const std::vector<LevelEntry>& levels, const Bests& bests,
                      const std::string& current);

// The bests as a table, one level of the list a line, then any other level
// the bests know: played, won, best time and best margin.
std::string statsTable(const std::vector<LevelEntry>& levels, const Bests& bests);

// One replay in the folder.
struct KeptReplay {
    std::string file;       // its name, which sorts in the order the games were played
    std::size_t bytes = 0;  // its size
};
// The replays to remove: all but the latest kKeptReplays and those bests
// name, and then, oldest first, those not named by bests while the rest
// take more than kMaxReplayFolderBytes; never the latest.
std::vector<std::string> replaysToRemove(std::vector<KeptReplay> replays, const Bests& bests);

#endif
