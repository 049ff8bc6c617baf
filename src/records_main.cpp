// fireflies-records: the launcher's keeper of replays and bests. It reads
// what the game recorded and prints the game's result; the game itself
// prints nothing of it.
//   fireflies-records finish FOLDER LEVELS REPLAY  after a game: the result,
//       the next level after a win, the bests updated, old replays let go
//   fireflies-records show FOLDER LEVELS REPLAY    after a replay: the result
//   fireflies-records stats FOLDER LEVELS          the bests of every level
//   fireflies-records last FOLDER                  the latest replay's path
// FOLDER holds the replays and the bests file; LEVELS is the level list.
// Warnings are one line on standard error starting "fireflies: ".
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "levels.h"
#include "records.h"
#include "replay.h"
#include "state.h"
#include "tools.h"

namespace {

namespace fs = std::filesystem;

void warn(const std::string& line) {
    std::fprintf(stderr, "fireflies: %s\n", line.c_str());
}

// The level list and each level's map text; empty, with a warning, when
// the list cannot be read.
struct LevelMaps {
    std::vector<LevelEntry> levels;
    std::vector<std::string> texts;
};
LevelMaps readLevelMaps(const std::string& listPath) {
    LevelMaps maps;
    try {
        maps.levels = readLevelList(listPath);
    } catch (const LoadError& error) {
        warn(error.message);
        return maps;
    }
    for (const LevelEntry& level : maps.levels) {
        std::string text;
        if (readFileUpTo(levelMapPath(listPath, level), kMaxMapBytes, text) != FileRead::kWhole) {
            text.clear();
        }
        maps.texts.push_back(text);
    }
    return maps;
}

// The bests in folder; a broken file is a warning and no bests.
Bests readBestsOrAfresh(const std::string& path) {
    Bests bests;
    std::string problem = readBests(path, bests);
    if (!problem.empty()) {
        warn(problem + " (the bests start afresh; the replays are kept)");
    }
    return bests;
}

// The name the result line starts with: the level's, else the map file's.
std::string nameOf(const std::string& level, const Replay& replay) {
    if (!level.empty()) {
        return level;
    }
    return replay.mapName.empty() ? "the map" : replay.mapName;
}

// The replays in folder, by name.
std::vector<KeptReplay> replaysIn(const std::string& folder) {
    std::vector<KeptReplay> replays;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        std::error_code sizeError;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ffr") == 0 &&
            entry.is_regular_file(sizeError)) {
            std::uintmax_t bytes = entry.file_size(sizeError);
            replays.push_back(KeptReplay{name, sizeError ? 0 : static_cast<std::size_t>(bytes)});
        }
    }
    return replays;
}

int finish(const std::string& folder, const std::string& listPath, const std::string& path) {
    Replay replay;
    std::string problem = readReplay(path, replay);
    if (!problem.empty()) {
        // What the game could not write whole (a full disk) is let go.
        warn("this game was not kept: " + problem);
        std::error_code error;
        fs::remove(path, error);
        return 1;
    }
    LevelMaps maps = readLevelMaps(listPath);
    std::string level = levelOfReplay(replay, maps.levels, maps.texts);
    GameResult result = resultOf(replay);
    const std::string bestsPath = folder + "/" + kBestsFileName;
    Bests bests = readBestsOrAfresh(bestsPath);
    LevelBest before;
    const LevelBest* found = bests.find(level);
    if (found != nullptr) {
        before = *found;
    }
    std::printf("%s\n",
                resultLine(nameOf(level, replay), result, found ? &before : nullptr).c_str());
    if (!level.empty()) {
        countGame(bests, level, result, fs::path(path).filename().string());
        problem = writeBests(bestsPath, bests);
        if (!problem.empty()) {
            warn("cannot keep the bests: " + problem);
        }
        std::string next = result.won ? nextLevel(maps.levels, bests, level) : "";
        if (!next.empty()) {
            std::printf("next: fireflies %s\n", next.c_str());
        }
    }
    for (const std::string& file : replaysToRemove(replaysIn(folder), bests)) {
        std::error_code error;
        fs::remove(folder + "/" + file, error);
    }
    return 0;
}

int show(const std::string& folder, const std::string& listPath, const std::string& path) {
    Replay replay;
    std::string problem = readReplay(path, replay);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    LevelMaps maps = readLevelMaps(listPath);
    std::string level = levelOfReplay(replay, maps.levels, maps.texts);
    Bests bests = readBestsOrAfresh(folder + "/" + kBestsFileName);
    std::printf("%s\n",
                resultLine(nameOf(level, replay), resultOf(replay), bests.find(level)).c_str());
    return 0;
}

int stats(const std::string& folder, const std::string& listPath) {
    LevelMaps maps = readLevelMaps(listPath);
    Bests bests = readBestsOrAfresh(folder + "/" + kBestsFileName);
    std::printf("%s", statsTable(maps.levels, bests).c_str());
    return 0;
}

int last(const std::string& folder) {
    std::vector<KeptReplay> replays = replaysIn(folder);
    if (replays.empty()) {
        warn("no replay kept yet in " + folder);
        return 1;
    }
    auto latest = std::max_element(
        replays.begin(), replays.end(),
        [](const KeptReplay& a, const KeptReplay& b) { return a.file < b.file; });
    std::printf("%s/%s\n", folder.c_str(), latest->file.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = args.empty() ? "" : args[0];
    if (command == "finish" && args.size() == 4) {
        return finish(args[1], args[2], args[3]);
    }
    if (command == "show" && args.size() == 4) {
        return show(args[1], args[2], args[3]);
    }
    if (command == "stats" && args.size() == 3) {
        return stats(args[1], args[2]);
    }
    if (command == "last" && args.size() == 2) {
        return last(args[1]);
    }
    std::fprintf(stderr, "usage: fireflies-records finish|show FOLDER LEVELS REPLAY | "
                         "stats FOLDER LEVELS | last FOLDER\n");
    return 2;
}
