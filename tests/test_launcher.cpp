// The installed launcher as a player meets it: levels played by their short
// names from any folder, a file of the same name where the player is played
// first, --help and --version without a game or a display, the level list
// behind the menu entry's actions and the manual page, one version number
// everywhere, and a failed start shown in a window when no terminal is there
// to show it.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "installed_game.h"

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
    // with the stand-in game and no terminal; returns the folder and the
    // arguments the game got, one a line.
    std::string played(const std::string& args) {
        runCommand("rm -f " + shellWord(scratch() + "/played"));
        CommandResult result = runCommand("cd " + shellWord(elsewhere()) + " && FIREFLIES_GAME=" +
                                          shellWord(scratch() + "/stand-in-game") + " " +
                                          shellWord(game.launcher()) + " " + args + " </dev/null");
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

    InstalledGame game;
};
} // namespace

TEST_F(Launcher, PlaysALevelByItsNameFromAnyFolderButAFileWherethePlayerIsFirst) {
    const std::string data = game.data();
    EXPECT_EQ(played(""), data + "\n" + data + "/final.map\n");
    EXPECT_EQ(played("arena"), data + "\n" + data + "/final.map\n");
    EXPECT_EQ(played("tiny"), data + "\n" + data + "/tiny.map\n");
    EXPECT_EQ(played("tiny.map"), data + "\n" + data + "/tiny.map\n");
    // Only the first argument is a level; the rest go to the game as they are.
    EXPECT_EQ(played("tiny arena"), data + "\n" + data + "/tiny.map\narena\n");

    // A file of that name where the player is wins, and so does a path.
    game.write("elsewhere/tiny", "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(played("tiny"), data + "\n" + elsewhere() + "/tiny\n");
    EXPECT_EQ(played("./tiny.map"), data + "\n" + elsewhere() + "/./tiny.map\n");
    EXPECT_EQ(played(shellWord(elsewhere() + "/tiny")), data + "\n" + elsewhere() + "/tiny\n");
    // Neither a file nor a level: the game is left to say it cannot open it.
    EXPECT_EQ(played("nowhere"), data + "\n" + elsewhere() + "/nowhere\n");
}

TEST_F(Launcher, RealGamePlaysALevelByNameFromAnotherFolder) {
    CommandResult result =
        runCommand(kPrivateDisplay + shellWord(kDriveGame) + " " + shellWord(game.launcher()) + " " +
                   shellWord(elsewhere()) + " 'sleep 1; key Escape' tiny </dev/null");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
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
