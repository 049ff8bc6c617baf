// The first ./play of a fresh copy of the source tree builds the game and
// its launcher, and nothing of the test suite, the tools or the benchmarks,
// saying when it starts and when it is done. This is a real build of the
// game (about a minute on two cores), so ctest labels it "long"
// (./run-tests -LE long leaves it out).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game_runs.h"
#include "temp_dir.h"

namespace {

// The programs directly in a folder: executable files that start as ELF
// files do (libraries built as archives are not programs).
std::set<std::string> programsIn(const std::string& folder) {
    std::set<std::string> programs;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return programs;
    }
    while (dirent* entry = readdir(dir)) {
        std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            access(path.c_str(), X_OK) != 0) {
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        char magic[4] = {};
        if (file.read(magic, sizeof magic) && std::string(magic, 4) == "\177ELF") {
            programs.insert(entry->d_name);
        }
    }
    closedir(dir);
    return programs;
}

// The lines of a text.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(FirstPlay, BuildsTheGameAndTheLauncherAndNoTestToolOrBenchmark) {
    TempDir scratch;
    std::string tree = scratch.path() + "/fireflies";
    // What a fresh clone holds: the tracked files, as they are now.
    CommandResult copy = runCommand(
        "mkdir " + shellWord(tree) + " && cd " + shellWord(FIREFLIES_SOURCE_DIR) +
        " && git ls-files -z | tar --null -T - -cf - | tar -C " + shellWord(tree) + " -xf -");
    ASSERT_EQ(copy.status, 0) << copy.err;

    CommandResult play = runCommand("cd " + shellWord(tree) + " && ./play --version");
    ASSERT_EQ(play.status, 0) << play.out << play.err;
    // Two lines of its own, then the launcher's answer; nothing on standard
    // error (the compiler's output appears only when it warns or fails).
    std::vector<std::string> lines = linesOf(play.out);
    ASSERT_EQ(lines.size(), 3u) << play.out;
    EXPECT_EQ(lines[0], "Building build/ (game)...");
    EXPECT_EQ(lines[1].rfind("Built build/ (game): ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "fireflies " FIREFLIES_VERSION);
    EXPECT_EQ(play.err, "");

    // The game, the level program and the keeper of replays that the
    // launcher runs are the programs built; the launcher is a script.
    std::string build = tree + "/build";
    EXPECT_EQ(programsIn(build),
              (std::set<std::string>{"fireflies", "fireflies-levels", "fireflies-records"}));
    EXPECT_EQ(access((build + "/fireflies-launcher").c_str(), X_OK), 0);
    // And, by the sources' names, no test, tool or benchmark program.
    CommandResult sources =
        runCommand("cd " + shellWord(tree) +
                   " && ls tests/test_*.cpp tools/*.cpp bench/*.cpp bench/frames/*.cpp");
    ASSERT_EQ(sources.status, 0) << sources.err;
    std::vector<std::string> names = linesOf(sources.out);
    EXPECT_GT(names.size(), 40u);
    for (const std::string& source : names) {
        std::string name = source.substr(source.rfind('/') + 1);
        name = name.substr(0, name.rfind('.'));
        EXPECT_NE(access((build + "/" + name).c_str(), F_OK), 0) << name << " was built";
    }

    // Played again, nothing needs building and nothing is said of it.
    CommandResult again = runCommand("cd " + shellWord(tree) + " && ./play --version");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "fireflies " FIREFLIES_VERSION "\n");
    EXPECT_EQ(again.err, "");
}
