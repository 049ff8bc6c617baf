// The real game heard through SDL's disk driver, with real key presses: the
// player's beam sounds after Space and soon after it, never before (the
// latency itself, about two mixer buffers on a quiet machine, is printed
// rather than held to: a loaded machine runs the game loop late), a hit taken
// sounds the hit-taken effect, a shot from the right is louder on the right,
// muted the game is silent and M toggles it, a broken sound file is a
// warning and the game plays on, a machine without sound prints what the
// game always printed, and the busiest second of a ten-firefly game stays
// below full scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "installed_game.h"
#include "sound_capture.h"

namespace {
const std::string kData = FIREFLIES_DATA_DIR;
constexpr int kFullScale = 32767;
// Computer fireflies that fly a tight circle (never fire) and that fire
// whenever they can.
constexpr int kCircle = 2;
constexpr int kFire = 1;

// The player at the centre of the largest arena, at rest and facing +X;
// one computer firefly circling 50 away, where it meets nothing.
const char* kQuietArena = "2\n0 0\n-50 0\n0\n0\n9 1 0 1\n";

// A folder without the ambience (so that what the game plays stands out
// against silence) and with steady tables for the computer fireflies.
struct QuietFolder {
    explicit QuietFolder(int action) : folder({"night.wav", "learner.trans", "learner.val"}) {
        writeSteadyTables(folder.path(), action);
    }
    GameFolder folder;
};

// The frames of a sound file and the index of its first sample that is not 0.
struct Sound {
    explicit Sound(const std::string& file) : samples(soundSamples(kData + "/" + file)) {
        while (first < samples.size() && samples[first] == 0) {
            ++first;
        }
    }
    std::vector<int> samples;
    std::size_t first = 0;
};
} // namespace

TEST(SoundGame, TheBeamSoundsSoonAfterSpaceAndNothingBefore) {
    QuietFolder quiet(kCircle);
    std::string map = quiet.folder.write("quiet.map", kQuietArena);
    CapturedRun game = runCapturedGame(
        quiet.folder.path(),
        "sleep 1.5; mark CAPTURE; keydown space; mark CAPTURE; sleep 0.15; keyup space; "
        "sleep 1; key Escape",
        "", map);
    ASSERT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.out << game.run.driver.err;
    ASSERT_EQ(game.run.marks.size(), 2u);
    const Capture& capture = game.capture;
    const std::size_t pressed = game.run.marks[0];
    ASSERT_GT(pressed, framesIn(1000)) << "the capture had barely begun at the press";

    std::size_t onset = firstSound(capture);
    ASSERT_LT(onset, capture.frames()) << "the capture is silent";
    EXPECT_GE(onset, pressed) << "something sounded before Space was pressed";
    // Half a second tells a beam fired by this press from one that never came
    // or came from something else; the figure below is the measurement.
    EXPECT_LE(onset, pressed + framesIn(500))
        << "the beam came " << (onset - pressed) * 1000.0 / kCaptureRate << " ms after the press";
    std::printf("beam: %.1f ms from the press to the sound in the capture\n",
                (static_cast<double>(onset) - static_cast<double>(pressed)) * 1000.0 /
                    kCaptureRate);

    // The player's own sound is centred and at full volume: the capture holds
    // the file's samples in both channels, and then silence again.
    Sound beam("beam.wav");
    ASSERT_GE(onset, beam.first);
    std::size_t start = onset - beam.first;
    ASSERT_LE(start + beam.samples.size(), capture.frames());
    int differing = 0;
    for (std::size_t n = 0; n < beam.samples.size(); ++n) {
        differing += capture.left[start + n] != beam.samples[n] ? 1 : 0;
        differing += capture.right[start + n] != beam.samples[n] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0) << "the capture is not the beam's sound";
    EXPECT_EQ(firstSound(capture, start + beam.samples.size()), capture.frames())
        << "something else sounded after the beam";
}

TEST(SoundGame, AHitTakenSoundsTheHitTakenEffect) {
    QuietFolder quiet(kFire);
    // A computer firefly 10 behind the player, aimed at it: its first shot,
    // in the first step, hits the player.
    std::string map = quiet.folder.write("behind.map", "2\n0 0\n0 -10\n0\n0\n9 1 0 1\n");
    CapturedRun game = runCapturedGame(quiet.folder.path(), "sleep 1.5; key Escape", "", map);
    ASSERT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.out << game.run.driver.err;
    std::size_t onset = firstSound(game.capture);
    ASSERT_LT(onset, game.capture.frames()) << "the capture is silent";

    // The hit-taken sound is in both channels at its own level, beside the
    // shooter's beam; the player's hit-landed sound is not.
    std::size_t from = onset > framesIn(100) ? onset - framesIn(100) : 0;
    Sound taken("hit_taken.wav");
    Sound landed("hit_landed.wav");
    for (const std::vector<int>* channel : {&game.capture.left, &game.capture.right}) {
        SoundMatch hit = findSound(*channel, taken.samples, from, onset + framesIn(50));
        EXPECT_GT(hit.correlation, 0.9);
        EXPECT_NEAR(hit.gain, 1.0, 0.1);
        SoundMatch wrong = findSound(*channel, landed.samples, from, onset + framesIn(50));
        EXPECT_LT(wrong.correlation, 0.3);
    }
}

TEST(SoundGame, AShotFromTheRightIsLouderOnTheRightAndFromTheLeftOnTheLeft) {
    QuietFolder quiet(kFire);
    // The player faces +X: +Z is on its right. One computer firefly 20 to
    // one side fires along +X at the first step, past the player.
    struct Side {
        const char* map;
        bool right;
    };
    for (Side side : {Side{"2\n0 0\n20 0\n0\n0\n9 1 0 1\n", true},
                      Side{"2\n0 0\n-20 0\n0\n0\n9 1 0 1\n", false}}) {
        std::string map = quiet.folder.write("side.map", side.map);
        CapturedRun game = runCapturedGame(quiet.folder.path(), "sleep 1; key Escape", "", map);
        ASSERT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.err;
        std::size_t onset = firstSound(game.capture);
        ASSERT_LT(onset, game.capture.frames()) << "the capture is silent";
        double left = rmsIn(game.capture.left, onset, onset + framesIn(200));
        double right = rmsIn(game.capture.right, onset, onset + framesIn(200));
        std::printf("shot from the %s: left %.0f, right %.0f (rms)\n",
                    side.right ? "right" : "left", left, right);
        if (side.right) {
            EXPECT_GT(right, 2.0 * left);
        } else {
            EXPECT_GT(left, 2.0 * right);
        }
    }
}

TEST(SoundGame, MutedTheGameIsSilentAndMTogglesTheSound) {
    // The home arena with its ambience and six fireflies that fire and bounce.
    CapturedRun muted = runCapturedGame(
        kData, "sleep 1; keydown space; sleep 0.1; keyup space; sleep 2; key Escape",
        "FIREFLIES_MUTE=1", "");
    ASSERT_TRUE(endsWithStatus(muted.run.driver, 0)) << muted.run.driver.err;
    EXPECT_GT(muted.capture.frames(), framesIn(2000));
    EXPECT_EQ(firstSound(muted.capture), muted.capture.frames()) << "a muted game was heard";

    // M mutes and M again brings the sound back.
    CapturedRun toggled = runCapturedGame(kData,
                                          "sleep 1; mark CAPTURE; key m; mark CAPTURE; sleep 1.5; "
                                          "mark CAPTURE; key m; mark CAPTURE; sleep 1; key Escape",
                                          "", "");
    ASSERT_TRUE(endsWithStatus(toggled.run.driver, 0)) << toggled.run.driver.err;
    ASSERT_EQ(toggled.run.marks.size(), 4u);
    const Capture& capture = toggled.capture;
    const std::vector<std::size_t>& marks = toggled.run.marks;
    EXPECT_LT(firstSound(capture), marks[0]) << "nothing was heard before M";
    EXPECT_GE(firstSound(capture, marks[1] + framesIn(100)), marks[2])
        << "M did not silence the game";
    EXPECT_LT(firstSound(capture, marks[3] + framesIn(100)), capture.frames())
        << "M again did not bring the sound back";
}

TEST(SoundGame, ABrokenOrMissingSoundFileIsAWarningAndTheGamePlaysOn) {
    GameFolder folder({"beam.wav", "hit_taken.wav"});
    folder.write("beam.wav", "RIFF and nothing else");
    CapturedRun game = runCapturedGame(
        folder.path(), "sleep 1; keydown space; sleep 0.1; keyup space; sleep 1; key Escape", "",
        "");
    ASSERT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.err;
    // One line for each file (SDL's notice of its disk driver is not the game's).
    std::string err = game.run.err;
    // The broken one with SDL_mixer's reason in brackets.
    std::string broken = folder.path() + "/beam.wav: is not a sound the game can play (";
    std::string missing = folder.path() +
                          "/hit_taken.wav: cannot be opened (No such file or directory); the game "
                          "plays on without it\n";
    std::string after = "); the game plays on without it\n";
    ASSERT_EQ(err.rfind(broken, 0), 0u) << err;
    std::size_t end = err.find('\n');
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(err.substr(end + 1 - after.size(), after.size()), after) << err;
    EXPECT_GT(end + 1, broken.size() + after.size()) << "no reason given: " << err;
    EXPECT_EQ(err.substr(end + 1), missing);
    EXPECT_EQ(game.run.out, "");
    // The other sounds still play: the ambience is there from the start.
    EXPECT_LT(firstSound(game.capture), framesIn(500));
}

TEST(SoundGame, WithoutASoundDeviceTheGamePrintsWhatItAlwaysPrinted) {
    // The game prints nothing on a start, a shot, M and Escape, whether the
    // machine has no sound at all (as here), a sound system that fails
    // (ALSA asked for a device that does not exist, which ALSA itself
    // complains about), or a device that works.
    const char* settings[] = {"-u SDL_AUDIODRIVER", "SDL_AUDIODRIVER=alsa AUDIODEV=nosuch",
                              "SDL_AUDIODRIVER=pulse PULSE_SERVER=unix:/nonexistent",
                              "SDL_AUDIODRIVER=dummy"};
    for (const char* setting : settings) {
        GameRun run = runGame(kData,
                              "sleep 1; keydown space; sleep 0.1; keyup space; key m; "
                              "sleep 0.5; key Escape",
                              setting, "");
        EXPECT_TRUE(endsWithStatus(run.driver, 0)) << setting << ": " << run.driver.err;
        EXPECT_EQ(run.out, "") << setting;
        EXPECT_EQ(run.err, "") << setting;
    }
}

TEST(SoundGame, TheBusiestSecondOfATenFireflyGameStaysBelowFullScale) {
    // Ten fireflies in a column along +X in the smallest, fastest arena,
    // every computer one firing whenever it can: each volley is nine beams
    // at once, eight of them hitting the firefly ahead (the player among
    // them), then bounces off the edge and off each other; the player, second
    // from the front, fires and hits too.
    GameFolder folder({"learner.trans", "learner.val"});
    writeSteadyTables(folder.path(), kFire);
    std::string map =
        folder.write("column.map", "10\n0 24.5\n0 31.5\n0 17.5\n0 10.5\n0 3.5\n0 -3.5\n0 -10.5\n"
                                   "0 -17.5\n0 -24.5\n0 -31.5\n0\n0\n0 9 0 0\n");
    CapturedRun game = runCapturedGame(
        folder.path(), "keydown space; sleep 0.1; keyup space; sleep 5; key Escape", "", map);
    ASSERT_TRUE(endsWithStatus(game.run.driver, 0)) << game.run.driver.err;
    const Capture& capture = game.capture;
    ASSERT_GT(capture.frames(), framesIn(3000));
    // The loudest second, in steps of a tenth.
    std::size_t loudest = 0;
    double loudestRms = -1.0;
    for (std::size_t from = 0; from + framesIn(1000) <= capture.frames(); from += framesIn(100)) {
        double rms = rmsIn(capture.left, from, from + framesIn(1000)) +
                     rmsIn(capture.right, from, from + framesIn(1000));
        if (rms > loudestRms) {
            loudest = from;
            loudestRms = rms;
        }
    }
    int peak = peakIn(capture, loudest, loudest + framesIn(1000));
    int overall = peakIn(capture, 0, capture.frames());
    std::printf(
        "loudest second from %.1f s: rms %.1f dBFS, peak %.1f dBFS; whole game peak %.1f dBFS\n",
        static_cast<double>(loudest) / kCaptureRate,
        20.0 * std::log10(loudestRms / 2.0 / kFullScale),
        20.0 * std::log10(1.0 * peak / kFullScale), 20.0 * std::log10(1.0 * overall / kFullScale));
    // Below full scale with a decibel to spare: nothing clipped.
    EXPECT_LT(overall, kFullScale * 0.89);
    EXPECT_GT(peak, kFullScale / 20) << "the busiest second was hardly heard";
}

TEST(SoundGame, TheLauncherPassesMuteToTheGame) {
    InstalledGame game;
    // A stand-in for the game that says whether it was asked to be silent
    // and what it was asked to play.
    std::string standIn = game.write(
        "stand-in-game", "#!/bin/sh\nprintf '%s\\n' \"mute=${FIREFLIES_MUTE:-}\" \"$@\"\n");
    ASSERT_EQ(runCommand("chmod +x " + shellWord(standIn)).status, 0);
    auto launch = [&](const std::string& args) {
        CommandResult result = runCommand("env -u FIREFLIES_MUTE FIREFLIES_GAME=" +
                                          shellWord(standIn) + " " + shellWord(game.launcher()) +
                                          " " + args + " </dev/null");
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    };
    const std::string finalMap = game.data() + "/final.map\n";
    EXPECT_EQ(launch("--mute"), "mute=1\n" + finalMap);
    EXPECT_EQ(launch("--mute arena"), "mute=1\n" + finalMap);
    EXPECT_EQ(launch("arena"), "mute=\n" + finalMap);
    CommandResult help = runCommand(shellWord(game.launcher()) + " --help");
    EXPECT_NE(help.out.find("--mute"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("M mutes"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("gamepad"), std::string::npos) << help.out;
}
