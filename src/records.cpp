#include "records.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <unistd.h>

#include "state.h"
#include "tools.h"

namespace {

// The first line of a bests file.
const std::string kBestsHeader = "fireflies-bests 1";

std::string seconds(std::size_t steps) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", playSeconds(steps));
    return text;
}

std::string scoreText(const ScorePair& scores, const char* between) {
    return std::to_string(scores.player) + between + std::to_string(scores.opponent);
}

bool levelName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
            return false;
        }
    }
    return true;
}

bool replayFileName(const std::string& name) {
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".ffr") != 0) {
        return false;
    }
    for (char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) <= ' ') {
            return false;
        }
    }
    return true;
}

// A whole number of 0..most from a word; false when it is not one.
bool count(const std::string& word, long long most, long long& value) {
    if (word.empty() || word.size() > 12 || word.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoll(word);
    return value <= most;
}

} // namespace

GameResult resultOf(const Replay& replay) {
    GameResult result;
    result.end = replay.end;
    result.steps = replaySteps(replay);
    if (replay.end == ReplayEnd::CutShort) {
        if (!replay.seconds.empty()) {
            result.scores = replay.seconds.back().scores;
        }
        return result;
    }
    result.scores = scoresOf(replay.finalScores);
    result.won = replay.end == ReplayEnd::Finished && result.scores.player >= kWinningScore;
    return result;
}

const LevelBest* Bests::find(const std::string& level) const {
    for (const LevelBest& best : levels) {
        if (best.level == level) {
            return &best;
        }
    }
    return nullptr;
}

LevelBest& Bests::entry(const std::string& level) {
    for (LevelBest& best : levels) {
        if (best.level == level) {
            return best;
        }
    }
    levels.push_back(LevelBest{});
    levels.back().level = level;
    return levels.back();
}

std::string parseBests(const std::string& text, const std::string& path, Bests& bests) {
    bests = Bests{};
    if (text.size() > kMaxBestsBytes) {
        return path + ": larger than " + std::to_string(kMaxBestsBytes) + " bytes";
    }
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& what) {
        bests = Bests{};
        return path + ":" + std::to_string(number) + ": " + what;
    };
    while (std::getline(in, line)) {
        ++number;
        if (number == 1) {
            if (line != kBestsHeader) {
                return fail("not a bests file (its first line is not \"" + kBestsHeader + "\")");
            }
            continue;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        std::vector<std::string> fields;
        std::string word;
        while (words >> word) {
            fields.push_back(word);
        }
        if (fields.size() != 6) {
            return fail("a level's bests are 6 words, not " + std::to_string(fields.size()));
        }
        if (!levelName(fields[0])) {
            return fail("\"" + printable(fields[0]) + "\" is not a level name");
        }
        if (bests.find(fields[0]) != nullptr) {
            return fail("level " + fields[0] + " is listed twice");
        }
        long long played = 0;
        long long won = 0;
        if (!count(fields[1], 1000000000, played) || !count(fields[2], played, won)) {
            return fail("games played and won are not two counts, won no more than played");
        }
        LevelBest best;
        best.level = fields[0];
        best.played = static_cast<int>(played);
        best.won = static_cast<int>(won);
        if (won == 0) {
            if (fields[3] != "-" || fields[4] != "-" || fields[5] != "-") {
                return fail("a level never won has no best (\"- - -\")");
            }
        } else {
            long long steps = 0;
            long long margin = 0;
            if (!count(fields[3], 1000000000, steps) || steps == 0 ||
                !count(fields[4], 1000000, margin) || !replayFileName(fields[5])) {
                return fail("a won level's best is its steps, its margin and its replay file");
            }
            best.bestSteps = static_cast<std::size_t>(steps);
            best.bestMargin = static_cast<int>(margin);
            best.bestReplay = fields[5];
        }
        bests.levels.push_back(best);
    }
    if (number == 0) {
        return path + ": empty, not a bests file";
    }
    return "";
}

std::string formatBests(const Bests& bests) {
    std::string text = kBestsHeader + "\n";
    text += "# level, games played, games won, fastest win in steps (60 a second), "
            "widest winning margin, the fastest win's replay\n";
    for (const LevelBest& best : bests.levels) {
        text += best.level + " " + std::to_string(best.played) + " " + std::to_string(best.won);
        if (best.won > 0) {
            text += " " + std::to_string(best.bestSteps) + " " + std::to_string(best.bestMargin) +
                    " " + best.bestReplay + "\n";
        } else {
            text += " - - -\n";
        }
    }
    return text;
}

std::string readBests(const std::string& path, Bests& bests) {
    bests = Bests{};
    std::string text;
    switch (readFileUpTo(path, kMaxBestsBytes, text)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return parseBests(text, path, bests);
    case FileRead::kCannotOpen:
        if (errno == ENOENT) {
            return "";
        }
        return path + ": cannot open: " + std::strerror(errno);
    case FileRead::kTooLarge:
        return path + ": larger than " + std::to_string(kMaxBestsBytes) + " bytes";
    case FileRead::kCannotRead:
        break;
    }
    return path + ": cannot read it";
}

std::string writeBests(const std::string& path, const Bests& bests) {
    std::string fresh = path + ".new" + std::to_string(getpid());
    std::FILE* file = std::fopen(fresh.c_str(), "wb");
    if (file == nullptr) {
        return fresh + ": " + std::strerror(errno);
    }
    std::string text = formatBests(bests);
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = (std::fflush(file) == 0) && written;
    written = (fsync(fileno(file)) == 0) && written;
    int error = errno;
    written = (std::fclose(file) == 0) && written;
    if (!written) {
        std::remove(fresh.c_str());
        return fresh + ": " + std::strerror(error != 0 ? error : EIO);
    }
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        error = errno;
        std::remove(fresh.c_str());
        return path + ": " + std::strerror(error);
    }
    return "";
}

void countGame(Bests& bests, const std::string& level, const GameResult& result,
               const std::string& replayFile) {
    LevelBest& best = bests.entry(level);
    ++best.played;
    if (!result.won) {
        return;
    }
    int margin = result.scores.player - result.scores.opponent;
    if (best.won == 0 || result.steps < best.bestSteps) {
        best.bestSteps = result.steps;
        best.bestReplay = replayFile;
    }
    if (best.won == 0 || margin > best.bestMargin) {
        best.bestMargin = std::max(margin, 0);
    }
    ++best.won;
}

std::string levelOfReplay(const Replay& replay, const std::vector<LevelEntry>& levels,
                          const std::vector<std::string>& mapTexts) {
    for (std::size_t i = 0; i < levels.size() && i < mapTexts.size(); ++i) {
        if (mapTexts[i] == replay.mapText) {
            return levels[i].name;
        }
    }
    return "";
}

std::string resultLine(const std::string& name, const GameResult& result,
                       const LevelBest* best) {
    switch (result.end) {
    case ReplayEnd::CutShort:
        return name + ": the record stops at " + scoreText(result.scores, " to ") + " after " +
               seconds(result.steps) + " s";
    case ReplayEnd::Left:
        return name + ": you left at " + scoreText(result.scores, " to ") + " after " +
               seconds(result.steps) + " s";
    case ReplayEnd::Finished:
        break;
    }
    if (!result.won) {
        return name + ": you lost " + scoreText(result.scores, " to ") + " in " +
               seconds(result.steps) + " s";
    }
    std::string line =
        name + ": you won " + scoreText(result.scores, " to ") + " in " + seconds(result.steps) + " s";
    if (best == nullptr || best->won == 0) {
        return line + " (your first win here)";
    }
    if (result.steps < best->bestSteps) {
        return line + " (your best, before: " + seconds(best->bestSteps) + " s)";
    }
    return line + " (your best: " + seconds(best->bestSteps) + " s)";
}

std::string nextLevel(const std::vector<LevelEntry>& levels, const Bests& bests,
                      const std::string& current) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i].name == current) {
            start = i + 1;
        }
    }
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const LevelEntry& level = levels[(start + k) % levels.size()];
        const LevelBest* best = bests.find(level.name);
        if (level.name != current && (best == nullptr || best->won == 0)) {
            return level.name;
        }
    }
    return "";
}

std::string statsTable(const std::vector<LevelEntry>& levels, const Bests& bests) {
    std::vector<std::string> names;
    for (const LevelEntry& level : levels) {
        names.push_back(level.name);
    }
    for (const LevelBest& best : bests.levels) {
        if (std::find(names.begin(), names.end(), best.level) == names.end()) {
            names.push_back(best.level);
        }
    }
    std::size_t width = 5;
    for (const std::string& name : names) {
        width = std::max(width, name.size());
    }
    char row[256];
    std::snprintf(row, sizeof row, "%-*s  %6s  %4s  %9s  %11s\n", static_cast<int>(width), "level",
                  "played", "won", "best time", "best margin");
    std::string table = row;
    for (const std::string& name : names) {
        const LevelBest* best = bests.find(name);
        LevelBest none;
        if (best == nullptr) {
            best = &none;
        }
        std::string time = best->won > 0 ? seconds(best->bestSteps) + " s" : "-";
        std::string margin = best->won > 0 ? std::to_string(best->bestMargin) : "-";
        std::snprintf(row, sizeof row, "%-*s  %6d  %4d  %9s  %11s\n", static_cast<int>(width),
                      name.c_str(), best->played, best->won, time.c_str(), margin.c_str());
        table += row;
    }
    return table;
}

std::vector<std::string> replaysToRemove(std::vector<KeptReplay> replays, const Bests& bests) {
    std::sort(replays.begin(), replays.end(),
              [](const KeptReplay& a, const KeptReplay& b) { return a.file < b.file; });
    auto named = [&bests](const std::string& file) {
        for (const LevelBest& best : bests.levels) {
            if (best.won > 0 && best.bestReplay == file) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> removed;
    std::vector<KeptReplay> kept;
    std::size_t latest = replays.size() > kKeptReplays ? replays.size() - kKeptReplays : 0;
    for (std::size_t i = 0; i < replays.size(); ++i) {
        if (i < latest && !named(replays[i].file)) {
            removed.push_back(replays[i].file);
        } else {
            kept.push_back(replays[i]);
        }
    }
    std::size_t total = 0;
    for (const KeptReplay& replay : kept) {
        total += replay.bytes;
    }
    // The latest game, the one just played, always stays.
    for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
        const KeptReplay& replay = kept[i];
        if (total <= kMaxReplayFolderBytes) {
            break;
        }
        if (!named(replay.file)) {
            removed.push_back(replay.file);
            total -= replay.bytes;
        }
    }
    return removed;
}
