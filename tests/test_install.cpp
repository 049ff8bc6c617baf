// The installed game: cmake --install into a scratch prefix gives a launcher
// that plays from any directory (the game itself runs from its data folder),
// a menu entry the desktop accepts, an icon and a manual page. Also the
// package step of ./play and ./run-tests for a player who is not root.
#include <gtest/gtest.h>

#include <string>

#include "installed_game.h"

namespace {

// Runs a shell command line in `dir` under a private X server, with no
// terminal attached.
CommandResult runIn(const std::string& dir, const std::string& command) {
    return runCommand(kPrivateDisplay + "sh -c \"cd " + shellWord(dir) + " && " + command +
                      "\" </dev/null");
}

class Install : public ::testing::Test {
  protected:
    std::string prefix() const { return game.prefix(); }
    std::string launcher() const { return game.launcher(); }

    InstalledGame game;
    TempDir dir;
};
} // namespace

TEST_F(Install, PutsEachPartWhereTheDesktopLooksForIt) {
    EXPECT_EQ(runCommand("test -x " + shellWord(launcher())).status, 0);
    EXPECT_EQ(runCommand("test -x " + shellWord(prefix() + "/lib/fireflies/fireflies")).status, 0);
    // The level list's reader, which the launcher asks, beside the game.
    EXPECT_EQ(
        runCommand("test -x " + shellWord(prefix() + "/lib/fireflies/fireflies-levels")).status, 0);
    EXPECT_EQ(runCommand("test -x " + shellWord(prefix() + "/lib/fireflies/fireflies-records")).status,
              0);
    for (const char* name :
         {"final.map", "levels.txt", "firefly.obj", "bounds.bmp", "learner.trans"}) {
        std::string installed = readFile(prefix() + "/share/fireflies/" + name);
        EXPECT_FALSE(installed.empty()) << name;
        EXPECT_TRUE(installed == readFile(std::string(FIREFLIES_DATA_DIR) + "/" + name)) << name;
    }
    std::string icon = readFile(prefix() + "/share/icons/hicolor/64x64/apps/fireflies.png");
    ASSERT_GE(icon.size(), 24u);
    EXPECT_EQ(icon.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(icon.substr(12, 12), std::string("IHDR\0\0\0\x40\0\0\0\x40", 12)) << "not 64x64";

    std::string desktop = prefix() + "/share/applications/fireflies.desktop";
    CommandResult valid = runCommand("desktop-file-validate " + shellWord(desktop));
    EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");
    EXPECT_NE(readFile(desktop).find("\nExec=\"" + launcher() + "\"\n"), std::string::npos)
        << readFile(desktop);
    EXPECT_NE(readFile(desktop).find("\nIcon=fireflies\n"), std::string::npos);

    std::string manual = prefix() + "/share/man/man6/fireflies.6";
    CommandResult render = runCommand("groff -man -ww -z " + shellWord(manual));
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(render.err, "");
    EXPECT_NE(readFile(manual).find(".SH SYNOPSIS"), std::string::npos);

    // Where software centres look; its content is checked by dist/check-package.
    std::string metainfo =
        readFile(prefix() + "/share/metainfo/" FIREFLIES_APPSTREAM_ID ".metainfo.xml");
    EXPECT_NE(metainfo.find("<id>" FIREFLIES_APPSTREAM_ID "</id>"), std::string::npos) << metainfo;
}

TEST_F(Install, LauncherPlaysFromAnotherDirectoryEvenThroughALink) {
    std::string elsewhere = dir.path() + "/elsewhere";
    ASSERT_EQ(runCommand("mkdir " + shellWord(elsewhere) + " && ln -s " + shellWord(launcher()) +
                         " " + shellWord(elsewhere + "/ff"))
                  .status,
              0);
    for (const std::string& start : {launcher(), elsewhere + "/ff"}) {
        CommandResult result =
            runCommand(kPrivateDisplay + shellWord(kDriveGame) + " " + shellWord(start) + " " +
                       shellWord(elsewhere) + " 'sleep 1; key Escape'");
        EXPECT_TRUE(endsWithStatus(result, 0)) << start << "\n" << result.out << result.err;
        EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;
    }
}

TEST_F(Install, LauncherTakesAMapRelativeToThePlayersDirectory) {
    std::string maps = dir.path() + "/maps";
    ASSERT_EQ(runCommand("mkdir " + shellWord(maps)).status, 0);
    // Two fireflies and nothing else: a map the data folder does not hold.
    std::string map = "2\n0 10\n0 -10\n0\n0\n0 0 0 0\n";
    ASSERT_EQ(readFile(dir.write("maps/my.map", map)), map);
    CommandResult result =
        runCommand(kPrivateDisplay + shellWord(kDriveGame) + " " + shellWord(launcher()) + " " +
                   shellWord(maps) + " 'sleep 1; key Escape' my.map");
    EXPECT_TRUE(endsWithStatus(result, 0)) << result.out << result.err;
    EXPECT_EQ(result.err.find("no game window"), std::string::npos) << result.err;

    CommandResult missing = runIn(maps, "exec " + shellWord(launcher()) + " nosuch.map");
    EXPECT_EQ(missing.out, "Couldn't open: " + maps + "/nosuch.map\n");
    EXPECT_EQ(missing.status, 1);
}

TEST(InstallStaged, DestdirStagesAPrefixWhoseLauncherStillFindsTheGame) {
    TempDir stage;
    const std::string prefix = "/opt/fireflies-staged-test";
    CommandResult result = installGame(prefix, stage.path());
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(runCommand("test -e " + prefix).status, 0) << "installed outside DESTDIR";
    std::string root = stage.path() + prefix;
    EXPECT_NE(readFile(root + "/share/applications/fireflies.desktop")
                  .find("\nExec=\"" + prefix + "/bin/fireflies\"\n"),
              std::string::npos);
    CommandResult missing =
        runIn(stage.path(), "exec " + shellWord(root + "/bin/fireflies") + " nosuch.map");
    EXPECT_EQ(missing.out, "Couldn't open: " + stage.path() + "/nosuch.map\n");
    EXPECT_EQ(missing.status, 1);
}

TEST(InstallStaged, LauncherSaysSoWhenTheGameIsNotBesideIt) {
    TempDir lonely;
    ASSERT_EQ(runCommand("mkdir " + shellWord(lonely.path() + "/bin") + " && cp " +
                         shellWord(std::string(FIREFLIES_BINARY_DIR) + "/fireflies-launcher") +
                         " " + shellWord(lonely.path() + "/bin/fireflies"))
                  .status,
              0);
    // Without a terminal the launcher would show the line in a window too:
    // without a display there is none to leave behind.
    CommandResult result =
        runCommand("env -u DISPLAY " + shellWord(lonely.path() + "/bin/fireflies") + " </dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("the game is not where it was installed"), std::string::npos)
        << result.err;
}

// The package step, with stand-ins for id, dpkg-query, sudo and apt-get on a
// PATH that holds nothing else: what it runs, and what it tells the player.
namespace {
struct PackageRun {
    CommandResult result;
    std::string calls; // one line per stand-in called: its name and arguments
};

PackageRun installPackages(bool root, bool everythingPresent, bool haveSudo) {
    TempDir bin;
    std::string log = bin.path() + "/calls";
    auto standIn = [&](const std::string& name, const std::string& body) {
        bin.write(name, "#!/bin/sh\necho " + name + " \"$@\" >>" + shellWord(log) + "\n" + body);
        runCommand("chmod +x " + shellWord(bin.path() + "/" + name));
    };
    standIn("id", std::string("echo ") + (root ? "0" : "1000") + "\n");
    standIn("dpkg-query", everythingPresent ? "echo 'install ok installed'\n" : "exit 1\n");
    standIn("apt-get", "exit 0\n");
    if (haveSudo) {
        standIn("sudo", "exec \"$@\"\n");
    }
    for (const char* tool : {"grep", "env", "dirname"}) {
        runCommand("ln -s \"$(command -v " + std::string(tool) + ")\" " +
                   shellWord(bin.path() + "/" + tool));
    }
    std::string setup = std::string(FIREFLIES_SOURCE_DIR) + "/scripts/setup.sh";
    PackageRun run;
    run.result = runCommand("PATH=" + shellWord(bin.path()) +
                            " /bin/bash -c 'source \"$0\" && fireflies_install_packages' " +
                            shellWord(setup));
    run.calls = readFile(log);
    return run;
}
} // namespace

TEST(Setup, PackagesAllPresentLeaveAptAlone) {
    for (bool root : {true, false}) {
        PackageRun run = installPackages(root, true, !root);
        EXPECT_EQ(run.result.status, 0) << run.result.err;
        EXPECT_EQ(run.calls.find("apt-get"), std::string::npos) << run.calls;
        EXPECT_EQ(run.calls.find("sudo"), std::string::npos) << run.calls;
    }
}

TEST(Setup, MissingPackagesGoThroughSudoOrAreNamedForThePlayer) {
    PackageRun root = installPackages(true, false, false);
    EXPECT_EQ(root.result.status, 0) << root.result.err;
    EXPECT_NE(root.calls.find("\napt-get install -y -qq cmake "), std::string::npos) << root.calls;
    EXPECT_EQ(root.calls.find("sudo"), std::string::npos) << root.calls;

    PackageRun user = installPackages(false, false, true);
    EXPECT_EQ(user.result.status, 0) << user.result.err;
    EXPECT_NE(user.calls.find("\nsudo env DEBIAN_FRONTEND=noninteractive apt-get install"),
              std::string::npos)
        << user.calls;

    PackageRun noSudo = installPackages(false, false, false);
    EXPECT_EQ(noSudo.result.status, 1);
    EXPECT_EQ(noSudo.calls.find("apt-get"), std::string::npos) << noSudo.calls;
    EXPECT_NE(noSudo.result.err.find("  apt-get install cmake g++ "), std::string::npos)
        << noSudo.result.err;
}
