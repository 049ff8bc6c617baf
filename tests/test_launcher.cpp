// The installed launcher as a player meets it: levels played by their short
// names from any folder, a file of the same name where the player is played
// first (a folder is not), one level or map at a time, --help and --version
// without a game or a display, a name that is neither a level nor a file
// refused in one line, the level list behind the menu entry's actions and
// the manual page, taken or refused alike by the launcher, the build and the
// trainer (under a Turkish locale too), one version number everywhere, and a failed start shown in
// a window when no terminal is there to show it, but not a game that fails after its first frame.
// Also the edges of starting and stopping: no display, no scratch folder, signals passed on to the
// game.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
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
    // with the stand-in game, the stand-in windows first on PATH, no
    // terminal and the variables of env ("NAME=VALUE ..." or ""). What the
    // game got, one a line, is in scratch()/played.
    CommandResult launch(const std::string& args, const std::string& env = "") {
        runCommand("rm -f " + shellWord(scratch() + "/played"));
        return runCommand("cd " + shellWord(elsewhere()) + " && " + env +
                          "PATH=" + shellWord(bin()) +
                          ":\"$PATH\" FIREFLIES_GAME=" + shellWord(scratch() + "/stand-in-game") +
                          " " + shellWord(game.launcher()) + " " + args + " </dev/null");
    }

    // launch(args, env) that must succeed; returns the folder and the
    // arguments the game got, one a line.
    std::string played(const std::string& args, const std::string& env = "") {
        CommandResult result = launch(args, env);
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

// What the three readers of a level list say of one: "" when they take it,
// else the one line naming what is wrong.
struct Verdicts {
    std::string launcher; // fireflies --help: its line without "fireflies: "
    std::string build;    // the build step that writes the menu entry and the manual page
    std::string trainer;  // the trainer's and the evaluator's reader
};

// The build step as the build runs it (dist/install.cmake), with the built
// fireflies-levels, writing into scratch.
CommandResult buildWritesLevelTexts(const TempDir& scratch, const std::string& list) {
    const std::string dist = std::string(FIREFLIES_SOURCE_DIR) + "/dist/";
    return runCommand("cmake -DLEVELS_PROGRAM=" +
                      shellWord(std::string(FIREFLIES_BINARY_DIR) + "/fireflies-levels") +
                      " -DLEVEL_LIST=" + shellWord(list) +
                      " -DDESKTOP_IN=" + shellWord(dist + "fireflies.desktop.in") +
                      " -DDESKTOP_OUT=" + shellWord(scratch.path() + "/fireflies.desktop") +
                      " -DMANUAL_IN=" + shellWord(dist + "fireflies.6.in") +
                      " -DMANUAL_OUT=" + shellWord(scratch.path() + "/fireflies.6") +
                      " -DPROJECT_VERSION=" FIREFLIES_VERSION
                      " -DFIREFLIES_RELEASE_DATE=" FIREFLIES_RELEASE_DATE " -P " +
                      shellWord(dist + "levels.cmake"));
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

class LevelListVerdict : public Launcher {
  protected:
    std::string list() const { return game.data() + "/levels.txt"; }

    // Writes text as the installed level list and asks all three readers.
    Verdicts judge(const std::string& text) {
        game.write("prefix/share/fireflies/levels.txt", text);
        Verdicts verdicts;
        CommandResult help = launch("--help");
        if (help.status != 0) {
            EXPECT_EQ(help.status, 1) << help.err;
            EXPECT_EQ(help.err.rfind("fireflies: ", 0), 0u) << help.err;
            EXPECT_EQ(lineCount(help.err), 1) << help.err;
            verdicts.launcher = help.err.substr(std::min<size_t>(11, help.err.size()));
            verdicts.launcher.pop_back();
        }
        CommandResult build = buildWritesLevelTexts(buildOut, list());
        if (build.status != 0) {
            verdicts.build = cmakeFault(build.err);
            EXPECT_NE(verdicts.build, "") << build.err;
        }
        try {
            readLevelList(list());
        } catch (const LoadError& error) {
            verdicts.trainer = error.message;
        }
        return verdicts;
    }

    // Expects all three readers to say fault of text ("" to take it).
    void expectVerdict(const std::string& text, const std::string& fault) {
        Verdicts verdicts = judge(text);
        EXPECT_EQ(verdicts.launcher, fault) << text;
        EXPECT_EQ(verdicts.build, fault) << text;
        EXPECT_EQ(verdicts.trainer, fault) << text;
    }

    TempDir buildOut; // what the build step writes
};

TEST_F(LevelListVerdict, TheLauncherTheBuildAndTheTrainerTakeAndRefuseTheSameLists) {
    const std::string at = list() + ":";
    ASSERT_EQ(runCommand("mkdir " + shellWord(game.data() + "/folder.map")).status, 0);
    struct Case {
        std::string text;
        std::string fault; // "" for a list all three take
    };
    const std::string arena = "arena final.map The home arena.\n";
    for (const Case& c : {
             Case{readFile(std::string(FIREFLIES_DATA_DIR) + "/levels.txt"), ""},
             // Tabs, blanks and a DOS line end around the fields.
             Case{"\tduel\t duel.map \tA duel.\t\r\narena\tfinal.map\tThe home arena.\r\n", ""},
             Case{arena + "again final.map The same map.\n",
                  at + "2: map final.map is listed twice (first on line 1)"},
             Case{arena + "far nosuch.map Nowhere.\n",
                  at + "2: map nosuch.map is not a file in the list's folder"},
             Case{arena + "hollow folder.map A folder.\n",
                  at + "2: map folder.map is not a file in the list's folder"},
             Case{"# no default\nduel duel.map A duel.\n\n",
                  at + "3: no level plays final.map, the game's default map"},
             Case{"Loud final.map Shouting.\n",
                  at + "1: level name \"Loud\" may hold only lower-case letters, digits and '-'"},
             Case{arena + "arena duel.map Again.\n",
                  at + "2: level arena is listed twice (first on line 1)"},
             Case{arena + "lonely\n", at + "2: level lonely has no map file"},
             Case{arena + "solo solo.map\n", at + "2: level solo has no description"},
             Case{arena + "up ../duel.map Up.\n",
                  at + "2: map \"../duel.map\" is not a file name ending in .map (letters, "
                       "digits, '_', '.' and '-')"},
             Case{arena + "bell duel.map Ring\atwice.\n",
                  at + "2: the description of level bell holds a control character"},
             Case{"# only comments\n", at + "1: the list names no level"},
         }) {
        expectVerdict(c.text, c.fault);
    }
}

TEST_F(LevelListVerdict, ARowWithTabsReachesTheHelpTheMenuAndTheManualAlike) {
    expectVerdict("arena\tfinal.map\tThe home arena.\nlong-way\t\tduel.map \t A duel, far.\r\n",
                  "");
    CommandResult help = launch("--help");
    EXPECT_NE(help.out.find("\n  arena     The home arena.\n  long-way  A duel, far.\n"),
              std::string::npos)
        << help.out;
    std::string desktop = readFile(buildOut.path() + "/fireflies.desktop");
    EXPECT_NE(desktop.find("\nActions=arena;long-way;\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\n[Desktop Action long-way]\nName=Long way\n"), std::string::npos)
        << desktop;
    std::string manual = readFile(buildOut.path() + "/fireflies.6");
    EXPECT_NE(manual.find(".TP\n.B long-way\n\\&A duel, far.\n.SH KEYS"), std::string::npos)
        << manual;
    EXPECT_EQ(played("long-way"), game.data() + "\n" + game.data() + "/duel.map\n");
}

TEST_F(LevelListVerdict, ABadListStopsAMenuStartWithItsLineInAWindow) {
    addWindowStandIn("xmessage");
    game.write("prefix/share/fireflies/levels.txt", "Loud final.map Shouting.\n");
    const std::string line = "fireflies: " + list() +
                             ":1: level name \"Loud\" may hold only lower-case letters, digits "
                             "and '-'";
    CommandResult result = launch("duel");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, line + "\n");
    EXPECT_EQ(readFile(scratch() + "/played"), "") << "the game was started";
    std::string window = awaitFile(scratch() + "/window");
    EXPECT_NE(window.find("\n" + line + "\n"), std::string::npos) << window;
    // A file where the player is needs no list.
    game.write("elsewhere/my.map", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(played("my.map"), game.data() + "\n" + elsewhere() + "/my.map\n");
}

TEST_F(LevelListVerdict, AListOverTheLimitIsRefusedByAllThreeAndOneAtItTaken) {
    std::string text = "arena final.map The home arena.\n";
    // Comments fill the list up to exactly the limit.
    while (text.size() < kMaxLevelListBytes) {
        std::size_t room = kMaxLevelListBytes - text.size();
        text += "#" + std::string(std::min<std::size_t>(room, 80) - 1, '.');
        text.back() = '\n';
    }
    ASSERT_EQ(text.size(), kMaxLevelListBytes);
    expectVerdict(text, "");
    expectVerdict(text + "\n", list() + ": the level list is larger than " +
                                   std::to_string(kMaxLevelListBytes) + " bytes");
}

TEST_F(Launcher, ANameThatIsNeitherALevelNorAFileIsOneLineListingTheLevels) {
    std::string names;
    for (const Level& level : readLevels(game.data() + "/levels.txt")) {
        names += (names.empty() ? "" : ", ") + level.name;
    }
    ASSERT_NE(names.find("arena, "), std::string::npos) << names;
    for (const std::string word : {"nosuchlevel", "Arena", "final"}) {
        for (const std::string& args : {word, "--mute -- " + word}) {
            CommandResult result = launch(args);
            EXPECT_EQ(result.status, 2) << args;
            EXPECT_EQ(result.err, "fireflies: no level or map named \"" + word +
                                      "\"; the levels are " + names +
                                      " (fireflies --help describes them)\n")
                << args;
            EXPECT_EQ(result.out, "") << args;
            EXPECT_EQ(readFile(scratch() + "/played"), "") << args << ": the game was started";
        }
    }
    // A path, even to nothing, is the game's to open: a word with a "/" in
    // it, or one ending in ".map".
    EXPECT_EQ(played("gone.map"), game.data() + "\n" + elsewhere() + "/gone.map\n");
    EXPECT_EQ(played("maps/gone"), game.data() + "\n" + elsewhere() + "/maps/gone\n");
    EXPECT_EQ(played("/nowhere/gone"), game.data() + "\n/nowhere/gone\n");
}

TEST_F(Launcher, RealGameSaysItCannotOpenAMissingMapGivenByItsPath) {
    CommandResult result =
        runWithStandIns(shellWord(game.launcher()) + " maps/gone.map </dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Couldn't open: " + elsewhere() + "/maps/gone.map\n");
}

namespace {
// Makes the Turkish locale (tr_TR.UTF-8) in folder, for LOCPATH; false when
// it cannot be made here (no localedef, or no locale sources).
bool makeTurkishLocale(const std::string& folder) {
    return runCommand("localedef -i tr_TR -f UTF-8 " + shellWord(folder + "/tr_TR.UTF-8")).status ==
           0;
}
} // namespace

TEST_F(Launcher, UnderATurkishLocaleNamesAndRowsAreCheckedAsEverywhere) {
    const std::string locales = scratch() + "/locales";
    ASSERT_EQ(runCommand("mkdir " + shellWord(locales)).status, 0);
    if (!makeTurkishLocale(locales)) {
        GTEST_SKIP() << "the Turkish locale cannot be made here (localedef -i tr_TR -f UTF-8; "
                        "Debian's locales package holds its sources)";
    }
    const std::string turkish =
        "LOCPATH=" + shellWord(locales) + " LANG=tr_TR.UTF-8 LC_ALL=tr_TR.UTF-8 ";
    // The locale is in force: it is the one where "i" is no letter of [a-z].
    CommandResult trap = runCommand(turkish + "bash -c '[[ i =~ ^[a-z]$ ]]'");
    EXPECT_NE(trap.status, 0) << "the Turkish locale is not in force";

    std::vector<Level> levels = readLevels(game.data() + "/levels.txt");
    CommandResult help = runCommand(turkish + "FIREFLIES_GAME=/nonexistent " +
                                    shellWord(game.launcher()) + " --help");
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.status, 0) << help.err;
    for (const Level& level : levels) {
        EXPECT_NE(help.out.find("  " + level.name + " "), std::string::npos) << help.out;
    }
    const std::string data = game.data();
    for (const char* name : {"field", "swarm", "tiny"}) {
        EXPECT_EQ(played(name, turkish), data + "\n" + data + "/" + name + ".map\n") << name;
    }
    CommandResult unknown = launch("nosuchlevel", turkish);
    EXPECT_EQ(unknown.status, 2) << unknown.err;

    // The reader itself, in a program that has switched to that locale.
    ASSERT_EQ(setenv("LOCPATH", locales.c_str(), 1), 0);
    const char* before = std::setlocale(LC_ALL, "tr_TR.UTF-8");
    EXPECT_NE(before, nullptr);
    std::size_t read = 0;
    try {
        read = readLevelList(game.data() + "/levels.txt").size();
    } catch (const LoadError& error) {
        ADD_FAILURE() << error.message;
    }
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(read, levels.size());
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
