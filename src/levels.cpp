#include "levels.h"

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "tools.h"

namespace {

// Byte comparisons, never the C library's classes, so that no locale (a
// Turkish one has no 'i' in [a-z]) changes what is a letter.
bool isLowerLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isNameCharacter(char c) {
    return isLowerLetterOrDigit(c) || c == '-';
}

bool isMapCharacter(char c) {
    return isLowerLetterOrDigit(c) || (c >= 'A' && c <= 'Z') || c == '_' || c == '.' || c == '-';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool isControl(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7f;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
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

// True when path names a regular file (through links).
bool isRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// What is wrong with a row's fields, in the order a reader meets them; ""
// when nothing is.
std::string rowFault(const LevelEntry& level) {
    for (char c : level.name) {
        if (!isNameCharacter(c)) {
            return "level name \"" + printable(level.name) +
                   "\" may hold only lower-case letters, digits and '-'";
        }
    }
    if (level.map.empty()) {
        return "level " + level.name + " has no map file";
    }
    bool mapName = endsWith(level.map, ".map") && level.map.size() > 4 &&
                   std::all_of(level.map.begin(), level.map.end(), isMapCharacter);
    if (!mapName) {
        return "map \"" + printable(level.map) +
               "\" is not a file name ending in .map (letters, digits, '_', '.' and '-')";
    }
    if (level.description.empty()) {
        return "level " + level.name + " has no description";
    }
    if (std::any_of(level.description.begin(), level.description.end(), isControl)) {
        return "the description of level " + level.name + " holds a control character";
    }
    return "";
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
        throw LoadError{path + ":" + std::to_string(lineNumber) + ": " + what, false, path};
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
        std::string fault = rowFault(level);
        if (!fault.empty()) {
            fail(fault);
        }
        for (const LevelEntry& earlier : levels) {
            if (earlier.name == level.name) {
                fail("level " + level.name + " is listed twice (first on line " +
                     std::to_string(earlier.line) + ")");
            }
            if (earlier.map == level.map) {
                fail("map " + level.map + " is listed twice (first on line " +
                     std::to_string(earlier.line) + ")");
            }
        }
        if (!isRegularFile(levelMapPath(path, level))) {
            fail("map " + level.map + " is not a file in the list's folder");
        }
        levels.push_back(level);
    }
    lineNumber = std::max(lineNumber, 1);
    if (levels.empty()) {
        fail("the list names no level");
    }
    if (findLevel(levels, kDefaultMapName) == nullptr) {
        fail(std::string("no level plays ") + kDefaultMapName + ", the game's default map");
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

const LevelEntry* findLevel(const std::vector<LevelEntry>& levels, const std::string& word) {
    for (const LevelEntry& level : levels) {
        if (level.name == word) {
            return &level;
        }
    }
    for (const LevelEntry& level : levels) {
        if (level.map == word) {
            return &level;
        }
    }
    return nullptr;
}
