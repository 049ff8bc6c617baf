// fireflies-levels: checks a level list with the game's one reader (levels.h)
// and prints it in the form the launcher or the build needs, so that both
// take the same verdict on the same list.
//
//   fireflies-levels check LIST            nothing when the list is good
//   fireflies-levels find LIST WORD        the map file of the level a player
//                                          means by WORD (a level's name, or
//                                          its map's file name)
//   fireflies-levels help LIST             the levels block of "fireflies --help"
//   fireflies-levels default LIST          the name of the level playing final.map
//   fireflies-levels desktop-ids LIST      the menu entry's Actions value
//   fireflies-levels desktop-actions LIST  one [Desktop Action NAME] group a level
//   fireflies-levels manual LIST           the manual page's list, one .TP a level
//
// Status 0 with the form on standard output; 1 with "LIST:LINE: what is
// wrong" (or why the list cannot be read) on standard error when the list is
// refused; 3 with one line on standard error when find knows no such level;
// 2 for a command line it does not understand. Nothing goes to standard
// output unless the status is 0.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "levels.h"
#include "tools.h"

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kNoSuchLevel = 3;

const char* const kUsageText =
    "usage: fireflies-levels check|help|default|desktop-ids|desktop-actions|manual LIST\n"
    "       fireflies-levels find LIST WORD\n";

const LevelEntry& defaultLevel(const std::vector<LevelEntry>& levels) {
    // The reader refuses a list without one.
    return *findLevel(levels, kDefaultMapName);
}

// "  duel    A duel ..." under a line naming the default, names padded to
// the longest.
std::string helpForm(const std::vector<LevelEntry>& levels) {
    std::size_t width = 0;
    for (const LevelEntry& level : levels) {
        width = std::max(width, level.name.size());
    }
    std::string text = "Levels, easiest first (fireflies LEVEL plays one; without one: " +
                       defaultLevel(levels).name + "):\n";
    for (const LevelEntry& level : levels) {
        text += "  " + level.name + std::string(width - level.name.size(), ' ') + "  " +
                level.description + "\n";
    }
    return text;
}

std::string desktopIdsForm(const std::vector<LevelEntry>& levels) {
    std::string text;
    for (const LevelEntry& level : levels) {
        text += level.name + ";";
    }
    return text;
}

// Each group names the launcher as @FIREFLIES_LAUNCHER@, which the install
// step fills in. The menu shows "lantern-garden" as "Lantern garden".
std::string desktopActionsForm(const std::vector<LevelEntry>& levels) {
    std::string text;
    for (const LevelEntry& level : levels) {
        std::string shown = level.name;
        shown[0] =
            static_cast<char>(shown[0] >= 'a' && shown[0] <= 'z' ? shown[0] - 'a' + 'A' : shown[0]);
        for (std::size_t i = 1; i < shown.size(); ++i) {
            shown[i] = shown[i] == '-' ? ' ' : shown[i];
        }
        text += "\n[Desktop Action " + level.name + "]\nName=" + shown +
                "\nExec=\"@FIREFLIES_LAUNCHER@\" " + level.name + "\n";
    }
    return text;
}

// A backslash is roff's escape, and "\&" keeps a line from starting with a
// control character.
std::string manualForm(const std::vector<LevelEntry>& levels) {
    std::string text;
    for (const LevelEntry& level : levels) {
        std::string description;
        for (char c : level.description) {
            description += c == '\\' ? std::string("\\e") : std::string(1, c);
        }
        text += ".TP\n.B " + level.name + "\n\\&" + description + "\n";
    }
    return text;
}

int usage() {
    std::fputs(kUsageText, stderr);
    return kUsage;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        return usage();
    }
    const std::string& form = args[0];
    const std::string& list = args[1];
    if ((form == "find") != (args.size() == 3) || args.size() > 3) {
        return usage();
    }
    const bool known = form == "check" || form == "find" || form == "help" || form == "default" ||
                       form == "desktop-ids" || form == "desktop-actions" || form == "manual";
    if (!known) {
        return usage();
    }

    std::vector<LevelEntry> levels;
    try {
        levels = readLevelList(list);
    } catch (const LoadError& error) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return kRefused;
    }

    std::string text;
    if (form == "find") {
        const LevelEntry* level = findLevel(levels, args[2]);
        if (level == nullptr) {
            std::string names;
            for (const LevelEntry& each : levels) {
                names += (names.empty() ? "" : ", ") + each.name;
            }
            std::fprintf(stderr, "no level or map named \"%s\"; the levels are %s\n",
                         printable(args[2]).c_str(), names.c_str());
            return kNoSuchLevel;
        }
        text = level->map + "\n";
    } else if (form == "help") {
        text = helpForm(levels);
    } else if (form == "default") {
        text = defaultLevel(levels).name + "\n";
    } else if (form == "desktop-ids") {
        text = desktopIdsForm(levels);
    } else if (form == "desktop-actions") {
        text = desktopActionsForm(levels);
    } else if (form == "manual") {
        text = manualForm(levels);
    }
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kRefused;
}
