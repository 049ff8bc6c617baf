// The real game started in odd ways and with odd files, each start under a
// timeout so that a hang fails its test: sound files whose header says no
// channels or no rate, closed standard descriptors, pipes in place of data
// files, sounds at other rates (their pitch measured in a capture, with
// classic SDL 1.2 and with sdl12-compat), a home that does not exist, a map
// that starts a firefly outside its arena, and the ways people write yes
// and no in FIREFLIES_MUTE.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installed_game.h"
#include "sound_capture.h"

namespace {

// The environment words that run the game on sdl12-compat; "" where it is
// not installed. (The GL query SDL 2 itself makes, which Mesa's debug
// output reports as an error, is known to the tests as not the game's.)
std::string onCompat() {
    return sdl12CompatFolder().empty() ? "" : "LD_LIBRARY_PATH=" + sdl12CompatFolder();
}

// The two SDLs a test runs the game on: the environment words for each.
std::vector<std::string> bothSdls() {
    std::vector<std::string> sdls = {""};
    if (!onCompat().empty()) {
        sdls.push_back(onCompat());
    }
    return sdls;
}

// The player at rest in the middle of the largest arena, the one computer
// firefly circling far off: nothing sounds but the night.
const char* kStillArena = "2\n0 0\n-50 0\n0\n0\n9 1 0 1\n";

// A folder with steady circling fireflies and the still arena's map.
struct StillFolder {
    explicit StillFolder(const std::vector<std::string>& without)
        : folder(withTables(without)), map(folder.write("still.map", kStillArena)) {
        writeSteadyTables(folder.path(), 2);
    }
    static std::vector<std::string> withTables(std::vector<std::string> without) {
        without.push_back("learner.trans");
        without.push_back("learner.val");
        return without;
    }
    GameFolder folder;
    std::string map;
};

// A copy of a sound of data/ with one little-endian field of its header,
// width bytes at offset, set to value.
std::string soundWithField(const std::string& file, std::size_t offset, int width,
                           unsigned value) {
    std::string bytes = readFile(std::string(FIREFLIES_DATA_DIR) + "/" + file);
    for (int i = 0; i < width; ++i) {
        bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

// Runs the game from folder with its standard descriptors redirected as
// redirections says (for sh, e.g. ">&-"), under its own X server and the
// driver script; returns the driver's result, whose standard output and
// error also hold whatever the game wrote to descriptors left open.
CommandResult runRedirected(const std::string& folder, const std::string& steps,
                            const std::string& redirections, const std::string& map) {
    std::string game = "-c " + shellWord("exec \"$0\" \"$@\" " + redirections) + " " +
                       shellWord(kGameBinary) + (map.empty() ? "" : " " + shellWord(map));
    return runCommand(kPrivateDisplay + "env -u FIREFLIES_MUTE SDL_AUDIODRIVER=dummy " +
                      shellWord(kDriveGame) + " /bin/sh " + shellWord(folder) + " " +
                      shellWord(steps) + " " + game + " </dev/null");
}

} // namespace

TEST(OddStarts, ASoundWhoseHeaderSaysNoChannelsOrNoRateIsOneWarningAndTheGamePlaysOn) {
    for (const std::string& sdl : bothSdls()) {
        GameFolder folder({"night.wav", "beam.wav"});
        folder.write("night.wav", soundWithField("night.wav", 22, 2, 0)); // channels
        folder.write("beam.wav", soundWithField("beam.wav", 24, 4, 0));   // rate
        CapturedRun game = runCapturedGame(
            folder.path(), "sleep 1; key space; sleep 0.5; key Escape", sdl, "");
        EXPECT_TRUE(endsWithStatus(game.run.driver, 0)) << sdl << ": " << game.run.driver.err;
        EXPECT_EQ(game.run.err,
                  folder.path() +
                      "/beam.wav: is not a sound the game can play (its header says 0 Hz, "
                      "outside 8000..192000); the game plays on without it\n" +
                      folder.path() +
                      "/night.wav: is not a sound the game can play (its header says 0 "
                      "channels; the game plays mono or stereo); the game plays on without it\n")
            << sdl;
        EXPECT_EQ(game.run.out, "") << sdl;
    }
}

TEST(OddStarts, ClosedStandardDescriptorsEndTheGameAsOpenOnesDo) {
    // The driver's own line when the game ends before its window is up.
    const std::string noWindow = "no game window appeared\n";
    auto gameErr = [&noWindow](std::string err) {
        std::size_t at = err.find(noWindow);
        return at == std::string::npos ? err : err.erase(at, noWindow.size());
    };
    // A map that cannot be opened: status 1, its line on standard output.
    GameFolder data;
    CommandResult open = runRedirected(data.path(), "", "", "nosuch.map");
    EXPECT_TRUE(endsWithStatus(open, 1)) << open.out << open.err;
    EXPECT_EQ(open.out, "Couldn't open: nosuch.map\nstatus=1\n");
    EXPECT_EQ(gameErr(open.err), "");
    for (const char* closed : {">&-", "<&- >&- 2>&-", "2>&- >&-"}) {
        CommandResult result = runRedirected(data.path(), "", closed, "nosuch.map");
        EXPECT_EQ(result.out, "status=1\n") << closed << ": " << result.err;
        EXPECT_EQ(gameErr(result.err), "") << closed;
    }
    // The launcher too: the same status, and nothing of its own on the terminal.
    InstalledGame installed;
    for (const char* closed : {"", ">&-", "2>&- >&-"}) {
        CommandResult launched = runCommand(
            kPrivateDisplay + "sh -c " +
            shellWord("cd " + shellWord(installed.scratch()) + " && exec " +
                      shellWord(installed.launcher()) + " nosuch.map " + closed) +
            " </dev/null");
        EXPECT_EQ(launched.status, 1) << closed << ": " << launched.err;
        EXPECT_EQ(launched.err, "") << closed;
        EXPECT_EQ(launched.out, std::string(closed).empty()
                                    ? "Couldn't open: " + installed.scratch() + "/nosuch.map\n"
                                    : "")
            << closed;
    }
    // A warning on a closed standard error: the game plays, hears Escape and
    // ends with 0, nothing on standard output.
    GameFolder folder({"learner.val"});
    CommandResult warned = runRedirected(folder.path(), "sleep 1; key Escape", "2>&-", "");
    EXPECT_TRUE(endsWithStatus(warned, 0)) << warned.out << warned.err;
    EXPECT_EQ(warned.out, "status=0\n");
    EXPECT_EQ(warned.err, "");
    // The same warning with standard error open reaches it.
    CommandResult shown = runRedirected(folder.path(), "sleep 1; key Escape", "", "");
    EXPECT_TRUE(endsWithStatus(shown, 0)) << shown.out << shown.err;
    EXPECT_EQ(shown.err, folder.path() + "/learner.val: cannot open; the fireflies will act at random\n");
}

TEST(OddStarts, APipeInPlaceOfADataFileIsRefusedInOneLineNamingIt) {
    // Tables, random numbers and a sound: a warning each, and the game plays.
    GameFolder folder({"learner.trans", "random_numbers.dat", "beam.wav"});
    for (const char* name : {"learner.trans", "random_numbers.dat", "beam.wav"}) {
        ASSERT_EQ(mkfifo((folder.path() + "/" + name).c_str(), 0600), 0) << name;
    }
    CapturedRun game = runCapturedGame(folder.path(), "sleep 1; key Escape", "", "");
    EXPECT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.err;
    EXPECT_EQ(game.run.err,
              folder.path() +
                  "/learner.trans: cannot read (a pipe, not a file); the fireflies will act at "
                  "random\n" +
                  folder.path() +
                  "/random_numbers.dat: cannot read (a pipe, not a file); the fireflies are "
                  "drawn without their small offsets\n" +
                  folder.path() +
                  "/beam.wav: cannot be read (a pipe, not a file); the game plays on without "
                  "it\n");
    // A picture or a model: the game cannot start, and says which and why.
    const std::vector<std::pair<std::string, std::string>> fatal = {
        {"bounds.bmp", "cannot read the picture"}, {"firefly.obj", "cannot read the model"}};
    for (const auto& [name, what] : fatal) {
        GameFolder piped({name});
        ASSERT_EQ(mkfifo((piped.path() + "/" + name).c_str(), 0600), 0);
        GameRun run = runGame(piped.path(), "key Escape", "SDL_AUDIODRIVER=dummy", "");
        EXPECT_TRUE(endsWithStatus(run.driver, 1)) << name << ": " << run.driver.err;
        EXPECT_EQ(run.err, piped.path() + "/" + name + ": " + what + " (a pipe, not a file)\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(OddStarts, ASoundAtAnotherRateIsHeardAtItsOwnPitch) {
    struct Case {
        int rate;
        std::string sdl;
    };
    std::vector<Case> cases = {{48000, ""}, {96000, ""}, {32000, ""}};
    if (!onCompat().empty()) {
        cases.push_back({48000, onCompat()});
    }
    for (const Case& c : cases) {
        StillFolder still({"night.wav"});
        // A 1 kHz tone made by sox at the rate, in place of the night.
        std::string night = still.folder.path() + "/night.wav";
        CommandResult made = runCommand("sox -n -r " + std::to_string(c.rate) + " -b 16 -c 1 " +
                                        shellWord(night) + " synth 2 sine 1000 vol 0.25");
        ASSERT_EQ(made.status, 0) << made.err;
        CapturedRun game =
            runCapturedGame(still.folder.path(), "sleep 2; key Escape", c.sdl, still.map);
        std::string label = std::to_string(c.rate) + " Hz " + c.sdl;
        EXPECT_TRUE(endsWithStatus(game.run.driver, 0)) << label << ": " << game.run.driver.err;
        EXPECT_EQ(game.run.err, "") << label;
        ASSERT_GT(game.capture.frames(), framesIn(1500)) << label;
        double heard = toneFrequency(game.capture.left, framesIn(300), framesIn(1400), kCaptureRate);
        std::printf("a 1000 Hz tone at %s is heard at %.1f Hz\n", label.c_str(), heard);
        EXPECT_NEAR(heard, 1000.0, 2.0) << label;
    }
}

TEST(OddStarts, AHomeThatDoesNotExistGetsNothingPrintedAndNothingCreated) {
    if (getuid() != 0) {
        GTEST_SKIP() << "runs the game as root and as the user nobody: needs root";
    }
    TempDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    std::string home = scratch.path() + "/no-home";
    GameFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::group_exec |
                                                    std::filesystem::perms::others_read |
                                                    std::filesystem::perms::others_exec);
    // The sound left to SDL's own choice, as a player's is; no sound server
    // named and no runtime folder, as a user without a session has none.
    std::string bare = "env -u SDL_AUDIODRIVER -u XDG_RUNTIME_DIR -u PULSE_SERVER -u "
                       "PULSE_RUNTIME_PATH -u XDG_CONFIG_HOME -u XAUTHORITY -u FIREFLIES_MUTE "
                       "HOME=" +
                       shellWord(home) + " ";
    std::string drive = shellWord(kDriveGame) + " " + shellWord(kGameBinary) + " " +
                        shellWord(folder.path()) + " 'sleep 1; key Escape' </dev/null";
    // X without access control, so that nobody may use it too.
    std::string display = "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24 -noreset -ac' ";
    bool haveNobody = runCommand("id nobody && command -v runuser").status == 0;
    for (const std::string& user : {std::string("root"), std::string("nobody")}) {
        if (user == "nobody" && !haveNobody) {
            std::printf("no user nobody or no runuser here: only root's start was tried\n");
            continue;
        }
        std::string as = user == "root" ? "" : "runuser -u nobody -- ";
        for (const std::string& sdl : bothSdls()) {
            std::string label = user + " " + sdl;
            CommandResult result = runCommand(display + as + bare + "env " + sdl + " " + drive);
            EXPECT_EQ(result.out, "status=0\n") << label << ": " << result.err;
            EXPECT_EQ(result.err, "") << label;
            EXPECT_FALSE(std::filesystem::exists(home)) << label;
            std::filesystem::remove_all(home);
        }
    }
}

TEST(OddStarts, AMapStartingAFireflyOutsideItsArenaIsRefusedWithItsLine) {
    GameFolder folder;
    std::string map = folder.write("far.map", "2\n900000 900000\n0 0\n0\n0\n0 0 0 0\n");
    GameRun run = runGame(folder.path(), "key Escape", "SDL_AUDIODRIVER=dummy", map);
    EXPECT_TRUE(endsWithStatus(run.driver, 1)) << run.driver.err;
    EXPECT_EQ(run.err, map + ":2: firefly 0 starts 1272792.2 from the centre, outside the arena's "
                             "radius 40\n");
    EXPECT_EQ(run.out, "");
}

TEST(OddStarts, MuteIsReadAsPeopleWriteYesAndNo) {
    struct Case {
        std::string value;
        bool silent;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {" Off ", false, ""},
        {"TRUE", true, ""},
        {"00", false,
         "FIREFLIES_MUTE=\"00\" is neither 1, true, yes, on (mute) nor 0, false, no, off; the "
         "sound stays on\n"},
    };
    for (const Case& c : cases) {
        CapturedRun game = runCapturedGame(std::string(FIREFLIES_DATA_DIR), "sleep 1; key Escape",
                                           "FIREFLIES_MUTE=" + shellWord(c.value), "");
        EXPECT_TRUE(endsWithStatus(game.run.driver, 0)) << c.value << ": " << game.run.driver.err;
        EXPECT_EQ(game.run.err, c.warning) << '"' << c.value << '"';
        ASSERT_GT(game.capture.frames(), framesIn(500)) << c.value;
        // The night is heard from the start unless the game is muted.
        EXPECT_EQ(firstSound(game.capture) == game.capture.frames(), c.silent)
            << '"' << c.value << '"';
    }
    InstalledGame installed;
    CommandResult help = runCommand(shellWord(installed.launcher()) + " --help");
    EXPECT_NE(help.out.find("FIREFLIES_MUTE=1, true, yes or on"), std::string::npos) << help.out;
}
