// The installed launcher as a player meets it: levels played by their short
// names from any folder, a file of the same name where the player is played
// first (a folder is not), one level or map at a time, --help and --version
// without a game or a display, the level list behind the menu entry's
// actions and the manual page, checked the same way by the build and the
// launcher, one version number everywhere, and a failed start shown in a
// window when no terminal is there to show it, but not a game that fails
// after its first frame. Also the edges of starting and stopping: no
// display, no scratch folder, signals passed on to the game.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "installed_game.h"
#include "levels.h"
#include "tools.h"

namespace {

struct Level {
    std::string name;
    std::string map;
    std::string description;
};

// The rows of a level list: "NAME MAP DESCRIPTION", skipping blank lines
// and "#" comments.
std::vector<Level> readLevels(const std::string& path) {
    std::vector<Level> levels;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Level level;
        if (!(fields >> level.name) || level.name[0] == '#') {
            continue;
        }
        fields >> level.map >> std::ws;
        std::getline(fields, level.description);
        levels.push_back(level);
    }
    return levels;
}

// Makes a file executable; false when chmod fails.
bool makeExecutable(const std::string& path) {
    return runCommand("chmod +x " + shellWord(path)).status == 0;
}

// Waits up to five seconds for a file to appear and returns its text ("" when it never does).
std::string awaitFile(const std::string& path) {
    for (int i = 0; i < 50; ++i) {
        std::string text = readFile(path);
        if (!text.empty()) {
            return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// An installed game with a second level, "tiny" (two fireflies in the
// smallest arena), added to the installed level list, and a stand-in for
// the game that records the folder it runs in and its arguments.
class Launcher : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(runCommand("mkdir " + shellWord(elsewhere()) + " " + shellWord(bin())).status, 0);
        game.write("prefix/share/fireflies/tiny.map", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
        std::string levels = readFile(game.data() + "/levels.txt");
        game.write("prefix/share/fireflies/levels.txt",
                   levels + "tiny tiny.map Two fireflies and nothing else.\n");
        std::string standIn =
            game.write("stand-in-game", "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" >" +
                                            shellWord(scratch() + "/played") + "\n");
        ASSERT_TRUE(makeExecutable(standIn));
    }

    std::string scratch() const { return game.scratch(); }
    std::string elsewhere() const { return scratch() + "/elsewhere"; }
    // A folder for stand-ins of xmessage and zenity, put first on PATH.
    std::string bin() const { return scratch() + "/bin"; }

    // Runs the launcher with these arguments (shell words) from elsewhere(),
    // with the stand-in game, the stand-in windows first on PATH and no
    // terminal. What the game got, one a line, is in scratch()/played.
    CommandResult launch(const std::string& args) {
        runCommand("rm -f " + shellWord(scratch() + "/played"));
        return runCommand("cd " + shellWord(elsewhere()) + " && PATH=" + shellWord(bin()) +
                          ":\"$PATH\" FIREFLIES_GAME=" + shellWord(scratch() + "/stand-in-game") +
                          " " + shellWord(game.launcher()) + " " + args + " </dev/null");
    }

    // launch(args) that must succeed; returns the folder and the arguments
    // the game got, one a line.
    std::string played(const std::string& args) {
        CommandResult result = launch(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return readFile(scratch() + "/played");
    }

    // A stand-in for a message window: records its name and arguments in
    // scratch()/window, one a line.
    void addWindowStandIn(const std::string& name) {
        std::string path =
            game.write("bin/" + name, "#!/bin/sh\nprintf '%s\\n' " + name + " \"$@\" >" +
                                          shellWord(scratch() + "/window") + "\n");
        ASSERT_TRUE(makeExecutable(path));
    }

    // Runs a command line (with a private X server) from elsewhere() with the
    // stand-in windows first on PATH.
    CommandResult runWithStandIns(const std::string& command) {
        return runCommand("cd " + shellWord(elsewhere()) + " && PATH=" + shellWord(bin()) +
                          ":\"$PATH\" " + kPrivateDisplay + command);
    }

    // Starts the real game through the launcher with the level "tiny", from
    // elsewhere() without a terminal, after env (e.g. "env TMPDIR=... "),
    // plays drive_game.sh's steps on its window and fails the test when no
    // window came or the game did not end after them.
    CommandResult drive(const std::string& steps, const std::string& env = "") {
        CommandResult result =
            runWithStandIns(env + shellWord(kDriveGame) + " " + shellWord(game.launcher()) + " " +
                            shellWord(elsewhere()) + " " + shellWord(steps) + " tiny </dev/null");
        EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("did not end"), std::string::npos) << result.err;
        return result;
    }

    InstalledGame game;
};
} // namespace

TEST_F(Launcher, PlaysALevelByItsNameFromAnyFolderButAFileWherethePlayerIsFirst) {
    const std::string data = game.data();
    EXPECT_EQ(played(""), data + "\n" + data + "/final.map\n");
    EXPECT_EQ(played("arena"), data + "\n" + data + "/final.map\n");
    EXPECT_EQ(played("tiny"), data + "\n" + data + "/tiny.map\n");
    EXPECT_EQ(played("tiny.map"), data + "\n" + data + "/tiny.map\n");
    // A folder of that name where the player is does not hide the level.
    ASSERT_EQ(runCommand("mkdir " + shellWord(elsewhere() + "/tiny")).status, 0);
    EXPECT_EQ(played("tiny"), data + "\n" + data + "/tiny.map\n");
    ASSERT_EQ(runCommand("rmdir " + shellWord(elsewhere() + "/tiny")).status, 0);

    // A file (or a pipe) of that name where the player is wins, and so does a path.
    ASSERT_EQ(runCommand("mkfifo " + shellWord(elsewhere() + "/duel")).status, 0);
    EXPECT_EQ(played("duel"), data + "\n" + elsewhere() + "/duel\n");
    game.write("elsewhere/tiny", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(played("tiny"), data + "\n" + elsewhere() + "/tiny\n");
    EXPECT_EQ(played("./tiny.map"), data + "\n" + elsewhere() + "/./tiny.map\n");
    EXPECT_EQ(played(shellWord(elsewhere() + "/tiny")), data + "\n" + elsewhere() + "/tiny\n");
    // Neither a file nor a level: the game is left to say it cannot open it.
    EXPECT_EQ(played("nowhere"), data + "\n" + elsewhere() + "/nowhere\n");
}

TEST_F(Launcher, RealGamePlaysALevelByNameFromAnotherFolder) {
    CommandResult result = drive("sleep 1; key Escape");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    EXPECT_EQ(result.out.find("Couldn't open"), std::string::npos) << result.out;
}

TEST_F(Launcher, HelpListsTheLevelsInLadderOrderAndVersionIsCMakes) {
    std::vector<Level> levels = readLevels(game.data() + "/levels.txt");
    ASSERT_GE(levels.size(), 2u);
    EXPECT_EQ(levels.back().name, "tiny");

    // Neither needs the game nor a display.
    std::string noDisplay = "env -u DISPLAY FIREFLIES_GAME=/nonexistent " + game.launcher();
    CommandResult help = runCommand(noDisplay + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    size_t from = 0;
    for (const Level& level : levels) {
        size_t at = help.out.find("  " + level.name + " ", from);
        ASSERT_NE(at, std::string::npos) << level.name << " missing or out of order:\n" << help.out;
        size_t end = help.out.find('\n', at);
        EXPECT_NE(help.out.substr(at, end - at).find(level.description), std::string::npos)
            << help.out;
        from = end;
    }
    EXPECT_NE(help.out.find("fireflies my.map"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("man fireflies, MAP FILES"), std::string::npos) << help.out;

    CommandResult version = runCommand(noDisplay + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "fireflies " FIREFLIES_VERSION "\n");

    CommandResult unknown = runCommand(noDisplay + " --fullscreen");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option --fullscreen"), std::string::npos);
}

TEST(LevelList, MenuActionsAndManualPageFollowTheShippedList) {
    std::vector<Level> levels = readLevels(std::string(FIREFLIES_DATA_DIR) + "/levels.txt");
    ASSERT_FALSE(levels.empty());
    int defaults = 0;
    for (const Level& level : levels) {
        EXPECT_FALSE(level.description.empty()) << level.name;
        EXPECT_FALSE(readFile(std::string(FIREFLIES_DATA_DIR) + "/" + level.map).empty())
            << level.map;
        defaults += level.map == "final.map";
    }
    EXPECT_EQ(defaults, 1) << "one level plays final.map, the default";

    InstalledGame game;
    std::string desktop = readFile(game.prefix() + "/share/applications/fireflies.desktop");
    std::string actions = "\nActions=";
    for (const Level& level : levels) {
        actions += level.name + ";";
        std::string group = "\n[Desktop Action " + level.name + "]\n";
        size_t at = desktop.find(group);
        ASSERT_NE(at, std::string::npos) << desktop;
        size_t next = desktop.find("\n[", at + 1);
        std::string body = desktop.substr(at, next == std::string::npos ? next : next - at);
        EXPECT_NE(body.find("\nExec=\"" + game.launcher() + "\" " + level.name + "\n"),
                  std::string::npos)
            << body;
        EXPECT_NE(body.find("\nName="), std::string::npos) << body;
    }
    EXPECT_NE(desktop.find(actions + "\n"), std::string::npos) << desktop;

    std::string manual = readFile(game.prefix() + "/share/man/man6/fireflies.6");
    size_t from = manual.find(".SH LEVELS\n");
    ASSERT_NE(from, std::string::npos);
    for (const Level& level : levels) {
        std::string entry = ".TP\n.B " + level.name + "\n\\&" + level.description + "\n";
        size_t at = manual.find(entry, from);
        EXPECT_NE(at, std::string::npos) << level.name << " missing or out of order";
        from = at == std::string::npos ? from : at;
    }
    EXPECT_LT(from, manual.find(".SH KEYS\n"));
}

TEST(Version, OneNumberInTheLauncherManualSoftwareCentreAndDebianChangelog) {
    InstalledGame game;
    std::string metainfo =
        readFile(game.prefix() + "/share/metainfo/" FIREFLIES_APPSTREAM_ID ".metainfo.xml");
    EXPECT_NE(metainfo.find("<release version=\"" FIREFLIES_VERSION
                            "\" date=\"" FIREFLIES_RELEASE_DATE "\">"),
              std::string::npos)
        << metainfo;
    std::string manual = readFile(game.prefix() + "/share/man/man6/fireflies.6");
    EXPECT_EQ(manual.find(".TH FIREFLIES 6 \"" FIREFLIES_RELEASE_DATE
                          "\" \"Fireflies " FIREFLIES_VERSION "\""),
              0u)
        << manual.substr(0, 80);

    // debian/changelog: the newest entry comes first, dated on its trailer
    // line " -- NAME <EMAIL>  DATE".
    std::string changelog = readFile(std::string(FIREFLIES_SOURCE_DIR) + "/debian/changelog");
    EXPECT_EQ(changelog.find("fireflies (" FIREFLIES_VERSION ") "), 0u) << changelog;
    size_t trailer = changelog.find("\n -- ");
    ASSERT_NE(trailer, std::string::npos) << changelog;
    size_t dateAt = changelog.find(">  ", trailer);
    size_t lineEnd = changelog.find('\n', trailer + 1);
    ASSERT_LT(dateAt, lineEnd) << changelog;
    CommandResult date = runCommand(
        "date -u -d " + shellWord(changelog.substr(dateAt + 3, lineEnd - dateAt - 3)) + " +%F");
    EXPECT_EQ(date.out, FIREFLIES_RELEASE_DATE "\n") << date.err;
}

TEST_F(Launcher, FailedStartWithoutATerminalShowsTheGamesLineInAWindow) {
    addWindowStandIn("xmessage");
    CommandResult result = runWithStandIns(shellWord(game.launcher()) + " nosuch.map </dev/null");
    std::string line = "Couldn't open: " + elsewhere() + "/nosuch.map";
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, line + "\n");
    std::string window = awaitFile(scratch() + "/window");
    EXPECT_EQ(window.find("xmessage\n"), 0u) << window;
    EXPECT_NE(window.find("\n" + line + "\n"), std::string::npos) << window;

    // zenity, where it is installed, is preferred.
    addWindowStandIn("zenity");
    runCommand("rm -f " + shellWord(scratch() + "/window"));
    result = runWithStandIns(shellWord(game.launcher()) + " nosuch.map </dev/null");
    EXPECT_EQ(result.status, 1);
    window = awaitFile(scratch() + "/window");
    EXPECT_EQ(window.find("zenity\n--error\n"), 0u) << window;
    EXPECT_NE(window.find("\n" + line + "\n"), std::string::npos) << window;
}

TEST_F(Launcher, FailedStartWithATerminalShowsNoWindow) {
    addWindowStandIn("xmessage");
    // script gives the launcher a terminal of its own.
    CommandResult result = runWithStandIns(
        "script -qec " + shellWord(shellWord(game.launcher()) + " nosuch.map") + " /dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Couldn't open: " + elsewhere() + "/nosuch.map"), std::string::npos)
        << result.out;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(readFile(scratch() + "/window"), "");
}

TEST_F(Launcher, BrokenDataFileIsNamedWithItsFolder) {
    addWindowStandIn("xmessage");
    ASSERT_EQ(runCommand("rm " + shellWord(game.data() + "/wing.bmp")).status, 0);
    CommandResult result = runWithStandIns(shellWord(game.launcher()) + " </dev/null");
    std::string line = game.data() + "/wing.bmp: cannot open the picture";
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, line + "\n");
    std::string window = awaitFile(scratch() + "/window");
    EXPECT_NE(window.find("\n" + line + "\n"), std::string::npos) << window;
}

TEST_F(Launcher, GameStoppedBySignalOrQuittingShowsNoWindow) {
    addWindowStandIn("xmessage");
    // A game that is stopped from outside, and one that ends normally.
    std::string killed = game.write("killed-game", "#!/bin/sh\necho playing\nkill -TERM $$\n");
    ASSERT_TRUE(makeExecutable(killed));
    CommandResult result = runWithStandIns("env FIREFLIES_GAME=" + shellWord(killed) + " " +
                                           shellWord(game.launcher()) + " </dev/null");
    EXPECT_EQ(result.status, 128 + 15);
    EXPECT_EQ(result.out, "playing\n");

    std::string quits = game.write("quitting-game", "#!/bin/sh\necho bye >&2\nexit 0\n");
    ASSERT_TRUE(makeExecutable(quits));
    result = runWithStandIns("env FIREFLIES_GAME=" + shellWord(quits) + " " +
                             shellWord(game.launcher()) + " </dev/null");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "bye\n");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(readFile(scratch() + "/window"), "");
}

TEST_F(Launcher, OneLevelOrMapAtATimeAndDoubleDashEndsTheOptions) {
    const std::string data = game.data();
    for (const char* args : {"tiny arena", "tiny /nonexistent.map", "-- tiny arena"}) {
        CommandResult result = launch(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(result.err,
                  "fireflies: one level or map at a time, not 2 (fireflies --help lists the "
                  "levels)\n")
            << args;
        EXPECT_EQ(readFile(scratch() + "/played"), "") << args << ": the game was started";
    }
    // An option anywhere before "--" is an option.
    CommandResult help = launch("tiny --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.find("Usage: fireflies"), 0u) << help.out;
    EXPECT_EQ(readFile(scratch() + "/played"), "");

    game.write("elsewhere/-odd.map", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(launch("-odd.map").status, 2);
    EXPECT_EQ(played("-- -odd.map"), data + "\n" + elsewhere() + "/-odd.map\n");
    EXPECT_EQ(played("-- tiny"), data + "\n" + data + "/tiny.map\n");
}

namespace {
// The first line of a failed CMake run's error text, without the blanks
// CMake puts before it ("" when there is none).
std::string cmakeFault(const std::string& err) {
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CMake Error", 0) == 0 && std::getline(in, line)) {
            return line.substr(std::min(line.find_first_not_of(' '), line.size()));
        }
    }
    return "";
}

// Runs the configure step's reading of a level list, against the maps in
// dataDir, as a CMake script.
CommandResult buildReadsLevels(const TempDir& scratch, const std::string& list,
                               const std::string& dataDir) {
    std::string script = scratch.write("read-levels.cmake", "cmake_minimum_required(VERSION 3.25)\n"
                                                            "include(\"" FIREFLIES_SOURCE_DIR
                                                            "/dist/levels.cmake\")\n"
                                                            "fireflies_level_texts(\"" +
                                                                list + "\" \"" + dataDir + "\")\n");
    return runCommand("cmake -P " + shellWord(script));
}

// Lines of text, counting a last one without its newline.
int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines + (!text.empty() && text.back() != '\n');
}
} // namespace

TEST_F(Launcher, ABadRowOfTheLevelListIsOneLineNamingItsLineAsTheBuildSays) {
    addWindowStandIn("xmessage");
    const std::string list = game.data() + "/levels.txt";
    const std::string good = readFile(list);
    const int line = lineCount(good) + 1;
    const std::string where = list + ":" + std::to_string(line) + ": ";
    ASSERT_EQ(runCommand("mkdir " + shellWord(game.data() + "/folder.map")).status, 0);
    struct Row {
        const char* text;
        std::string fault;
    };
    const std::string notAMap = "\" is not a map file in " + game.data();
    TempDir cmakeScratch;
    for (const Row& row : {
             Row{"lonely", "a level needs a name, a map file and a description"},
             Row{"solo solo.map", "a level needs a name, a map file and a description"},
             Row{"Loud final.map Shouting.",
                 "level name \"Loud\" is not a lower-case word (letters, digits and hyphens)"},
             Row{"tiny final.map Again.", "level name \"tiny\" is listed twice"},
             Row{"far nosuch.map Nowhere.", "\"nosuch.map" + notAMap},
             Row{"up ../final.map Up.", "\"../final.map" + notAMap},
             Row{"hollow folder.map A folder.", "\"folder.map" + notAMap},
         }) {
        game.write("prefix/share/fireflies/levels.txt", good + row.text + "\n");
        runCommand("rm -f " + shellWord(scratch() + "/window"));
        CommandResult result = launch("arena");
        EXPECT_EQ(result.status, 1) << row.text;
        EXPECT_EQ(result.err, "fireflies: " + where + row.fault + "\n") << row.text;
        EXPECT_EQ(readFile(scratch() + "/played"), "") << row.text << ": the game was started";
        // Started without a terminal, from the menu: the line in a window too.
        std::string window = awaitFile(scratch() + "/window");
        EXPECT_NE(window.find("\nfireflies: " + where + row.fault + "\n"), std::string::npos)
            << window;
        CommandResult help = launch("--help");
        EXPECT_EQ(help.status, 1);
        EXPECT_EQ(help.err, "fireflies: " + where + row.fault + "\n");

        CommandResult build = buildReadsLevels(cmakeScratch, list, game.data());
        EXPECT_NE(build.status, 0) << row.text;
        EXPECT_EQ(cmakeFault(build.err), where + row.fault) << build.err;
    }
    // A file of that name where the player is needs no list.
    game.write("elsewhere/my.map", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(played("my.map"), game.data() + "\n" + elsewhere() + "/my.map\n");
}

TEST_F(Launcher, ALevelListOverTheToolsLimitIsRefusedInOneLineByTheBuildAndTheLauncher) {
    // Rows of levels that all play the default map, up to exactly the limit.
    std::string text;
    std::size_t rows = 0;
    for (;; ++rows) {
        std::string row =
            "l" + std::to_string(rows) + " final.map Level " + std::to_string(rows) + "\n";
        if (text.size() + row.size() > kMaxLevelListBytes) {
            // The last row's description fills the list up.
            text.back() = ' ';
            text += std::string(kMaxLevelListBytes - text.size() - 1, '.') + "\n";
            break;
        }
        text += row;
    }
    ASSERT_EQ(text.size(), kMaxLevelListBytes);
    const std::string list = game.data() + "/levels.txt";
    TempDir cmakeScratch;
    game.write("prefix/share/fireflies/levels.txt", text);
    CommandResult build = buildReadsLevels(cmakeScratch, list, game.data());
    EXPECT_EQ(build.status, 0) << build.err;
    EXPECT_EQ(played("l7"), game.data() + "\n" + game.data() + "/final.map\n");
    EXPECT_GT(rows, 1000u);

    // One byte more.
    game.write("prefix/share/fireflies/levels.txt", text + "\n");
    const std::string fault =
        list + ": the level list is larger than " + std::to_string(kMaxLevelListBytes) + " bytes";
    build = buildReadsLevels(cmakeScratch, list, game.data());
    EXPECT_NE(build.status, 0);
    EXPECT_EQ(cmakeFault(build.err), fault) << build.err;
    EXPECT_EQ(build.err.find(list), build.err.rfind(list)) << "more than one line:\n" << build.err;
    CommandResult launcher = launch("l7");
    EXPECT_EQ(launcher.status, 1);
    EXPECT_EQ(launcher.err, "fireflies: " + fault + "\n");
    // The trainer's reader keeps to the same limit (at the limit it would
    // only say that the rows share a map).
    try {
        readLevelList(list);
        ADD_FAILURE() << "the trainer's reader took the list";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, fault);
    }
}

namespace {
// A display name with no X server behind it: no socket of that number.
std::string displayNobodyServes() {
    for (int number = 4000;; ++number) {
        if (runCommand("test -e /tmp/.X11-unix/X" + std::to_string(number)).status != 0) {
            return ":" + std::to_string(number);
        }
    }
}
} // namespace

TEST_F(Launcher, RealGameWithoutADisplaySaysSoInOneLineAndLeavesTheTerminalAlone) {
    const std::string nowhere = displayNobodyServes();
    struct Start {
        std::string environment;
        std::string line;
    };
    const std::string unset = "no X display for the window: DISPLAY is not set";
    const std::string unserved = "cannot open the X display \"" + nowhere + "\"";
    for (const Start& start : {
             Start{"", unset},
             Start{"SDL_VIDEODRIVER=x11", unset},
             Start{"DISPLAY=" + nowhere, unserved},
             Start{"DISPLAY=" + nowhere + " SDL_VIDEODRIVER=x11", unserved},
         }) {
        // A terminal of its own (script), its settings before and after, and
        // every byte the game sends to it. The window opens before the map
        // is read: the missing map is never reached.
        std::string session =
            "stty -g; " + shellWord(game.launcher()) + " nosuch.map; echo status=$?; stty -g";
        CommandResult result = runCommand(
            "cd " + shellWord(elsewhere()) + " && env -u DISPLAY -u SDL_VIDEODRIVER " +
            start.environment + " script -qec " + shellWord(session) + " /dev/null </dev/null");
        EXPECT_EQ(result.status, 0) << start.environment << "\n" << result.err;
        std::string settings = result.out.substr(0, result.out.find("\r\n"));
        EXPECT_FALSE(settings.empty()) << result.out;
        EXPECT_EQ(result.out,
                  settings + "\r\n" + start.line + "\r\nstatus=1\r\n" + settings + "\r\n")
            << start.environment;
    }
}

namespace {
// A folder no one can make anything in: a read-only folder, or, for root,
// whom file modes do not stop, /proc.
std::string unwritableFolder(const InstalledGame& game) {
    std::string folder = game.scratch() + "/read-only";
    runCommand("mkdir " + shellWord(folder) + " && chmod 555 " + shellWord(folder));
    if (runCommand("mkdir " + shellWord(folder + "/probe")).status == 0) {
        runCommand("rmdir " + shellWord(folder + "/probe"));
        return "/proc";
    }
    return folder;
}
} // namespace

TEST_F(Launcher, RealGameStartsFromTheMenuWithoutAWritableTemporaryFolder) {
    addWindowStandIn("xmessage");
    const std::string tmpdir = "env TMPDIR=" + shellWord(unwritableFolder(game)) + " ";
    ASSERT_NE(runCommand(tmpdir + "sh -c 'mktemp -d \"$TMPDIR/x.XXXXXX\"'").status, 0);
    CommandResult result = drive("sleep 1; key Escape", tmpdir);
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;

    // A failed start is still shown, without the game's line, which went to
    // standard output only.
    result = runWithStandIns(tmpdir + shellWord(game.launcher()) + " nosuch.map </dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Couldn't open: " + elsewhere() + "/nosuch.map\n");
    std::string window = awaitFile(scratch() + "/window");
    EXPECT_NE(window.find("\nthe game ended with status 1\n"), std::string::npos) << window;
}

TEST_F(Launcher, RealGameWhoseWindowIsKilledMidGameIsNoFailedStart) {
    addWindowStandIn("xmessage");
    CommandResult result = drive("sleep 2; windowkill; sleep 1");
    // X ends the game when its connection goes: a failure, but after the
    // first frame.
    EXPECT_FALSE(endsWithStatus(result, 0)) << result.out << result.err;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(readFile(scratch() + "/window"), "");
}

TEST_F(Launcher, AFailedStartQuotesTheLineNamingTheCauseNotTheLastLine) {
    addWindowStandIn("xmessage");
    // What X writes when a request fails: one line naming the error, then
    // lines indented under it.
    const std::string xError = "X Error of failed request:  BadDrawable (invalid Pixmap)\n"
                               "  Major opcode of failed request:  130 (MIT-SHM)\n"
                               "  Minor opcode of failed request:  3 (X_ShmPutImage)\n"
                               "  Resource id in failed request:  0x20000f\n"
                               "  Serial number of failed request:  172\n"
                               "  Current serial number in output stream:  173\n";
    game.write("stand-in-game", "#!/bin/sh\necho 'a warning first' >&2\nprintf '%s' " +
                                    shellWord(xError) + " >&2\nexit 1\n");
    CommandResult result = launch("");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "a warning first\n" + xError);
    std::string window = awaitFile(scratch() + "/window");
    EXPECT_NE(window.find("\nX Error of failed request:  BadDrawable (invalid Pixmap)\n"),
              std::string::npos)
        << window;
}

TEST_F(Launcher, SignalsToAMenuStartArePassedOnAndTheGamesStatusComesBack) {
    addWindowStandIn("xmessage");
    // A game that records which signal came and ends with a status of its
    // own for each: 41, 42, 43. It says it is running once it listens.
    const std::vector<std::string> signals = {"INT", "TERM", "HUP"};
    std::string got = scratch() + "/got";
    std::string script = "#!/bin/sh\n";
    for (std::size_t i = 0; i < signals.size(); ++i) {
        script += "trap 'echo " + signals[i] + " >" + got + "; exit " + std::to_string(41 + i) +
                  "' " + signals[i] + "\n";
    }
    std::string trapping =
        game.write("trapping-game", script + "touch " + got + "\nwhile :; do sleep 0.1; done\n");
    ASSERT_TRUE(makeExecutable(trapping));
    int status = 41;
    for (const std::string& signal : signals) {
        runCommand("rm -f " + shellWord(got));
        // Started as a desktop starts it: in the background, but not ignoring
        // SIGINT as a script's background jobs do.
        std::string start = "cd " + shellWord(elsewhere()) +
                            " || exit; ( trap - INT QUIT; exec env PATH=" + shellWord(bin()) +
                            ":\"$PATH\" FIREFLIES_GAME=" + shellWord(trapping) + " " +
                            shellWord(game.launcher()) + " ) </dev/null & launcher=$!; " +
                            "for i in $(seq 100); do [ -e " + shellWord(got) +
                            " ] && break; sleep 0.1; done; kill -s " + signal +
                            " $launcher; wait $launcher; echo status=$?";
        CommandResult result = runCommand("timeout 60 bash -c " + shellWord(start));
        EXPECT_TRUE(endsWithStatus(result, status)) << signal << "\n" << result.out << result.err;
        EXPECT_EQ(readFile(got), signal + "\n");
        ++status;
    }
    // Stopping a game is no failed start.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(readFile(scratch() + "/window"), "");
}

TEST_F(Launcher, RealGameQuitsOnSigintToAMenuStart) {
    CommandResult result = drive("sleep 1; signal INT");
    // SDL turns SIGINT into a quit request, which ends the game with status 0.
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
}
