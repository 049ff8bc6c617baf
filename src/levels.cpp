#include "levels.h"

#include <algorithm>
#include <sstream>

#include "tools.h"

namespace {

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The next run of non-blank characters of line from pos; pos moves past it
// and the blanks after it.
std::string nextWord(const std::string& line, std::size_t& pos) {
    std::size_t start = pos;
    while (pos < line.size() && !isBlank(line[pos])) {
        ++pos;
    }
    std::string word = line.substr(start, pos - start);
    while (pos < line.size() && isBlank(line[pos])) {
        ++pos;
    }
    return word;
}

} // namespace

std::vector<LevelEntry> readLevelList(const std::string& path) {
    std::string text;
    switch (readFileUpTo(path, kMaxLevelListBytes, text)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return parseLevelList(text, path);
    case FileRead::kCannotOpen:
        throw LoadError{"Couldn't open: " + path, false};
    case FileRead::kTooLarge:
        throw LoadError{path + ": the level list is larger than " +
                            std::to_string(kMaxLevelListBytes) + " bytes",
                        false, path};
    case FileRead::kCannotRead:
        break;
    }
    throw LoadError{path + ": cannot read the level list", false, path};
}

std::vector<LevelEntry> parseLevelList(const std::string& text, const std::string& path) {
    std::vector<LevelEntry> levels;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        throw LoadError{path + ":" + std::to_string(lineNumber) + ": " + what, false};
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        std::size_t pos = 0;
        while (pos < line.size() && isBlank(line[pos])) {
            ++pos;
        }
        if (pos == line.size() || line[pos] == '#') {
            continue;
        }
        LevelEntry level;
        level.line = lineNumber;
        level.name = nextWord(line, pos);
        level.map = nextWord(line, pos);
        level.description = line.substr(pos);
        while (!level.description.empty() && isBlank(level.description.back())) {
            level.description.pop_back();
        }
        for (char c : level.name) {
            if (!isNameCharacter(c)) {
                fail("level name \"" + printable(level.name) +
                     "\" may hold only lower-case letters, digits and '-'");
            }
        }
        if (level.map.empty()) {
            fail("level " + level.name + " has no map file");
        }
        if (level.map.find('/') != std::string::npos || level.map == "." || level.map == "..") {
            fail("map \"" + printable(level.map) + "\" must be a file name in the list's folder");
        }
        if (level.description.empty()) {
            fail("level " + level.name + " has no description");
        }
        for (const LevelEntry& earlier : levels) {
            if (earlier.name == level.name) {
                fail("level " + level.name + " is listed twice (first on line " +
                     std::to_string(earlier.line) + ")");
            }
            if (earlier.map == level.map) {
                fail("map " + printable(level.map) + " is listed twice (first on line " +
                     std::to_string(earlier.line) + ")");
            }
        }
        levels.push_back(level);
    }
    if (levels.empty()) {
        lineNumber = std::max(lineNumber, 1);
        fail("the list names no level");
    }
    return levels;
}

std::string levelMapPath(const std::string& listPath, const LevelEntry& level) {
    std::size_t slash = listPath.rfind('/');
    if (slash == std::string::npos) {
        return level.map;
    }
    return listPath.substr(0, slash + 1) + level.map;
}
