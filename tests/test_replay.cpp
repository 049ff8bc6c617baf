// Replay files: what is written reads back as written; a file cut anywhere in
// its header, empty, garbage, of another format version, with a bad map or
// with controls past the end is refused with one line naming it, and so are
// a folder, an endless device and a huge file; a file cut after its header
// keeps every whole second. A game recorded step by step replays in step to
// the same scores; one control flipped puts it out of step with its line; a
// data file that differs is named. The real game refuses bad replays and
// other data before its window opens, and stops a replay out of step; every
// data file it builds its world from is fingerprinted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "gl_context.h"
#include "particles.h"
#include "game_runs.h"
#include "replay.h"
#include "replayed_game.h"
#include "state.h"
#include "temp_dir.h"

namespace {

const std::string kData = FIREFLIES_DATA_DIR;
const std::string kVersion = FIREFLIES_VERSION;

// A replay of the duel: header, two whole seconds and an end of 7 steps.
Replay sampleReplay() {
    Replay replay;
    replay.gameVersion = kVersion;
    replay.seed = 1234567;
    replay.mapName = "duel.map";
    replay.mapText = readFile(kData + "/duel.map");
    replay.data = fingerprintWorldData(kData);
    for (int i = 0; i < 2 * kChecksumSteps + 7; ++i) {
        replay.controls.push_back(static_cast<std::uint8_t>((i * 7) % 16));
    }
    replay.seconds = {SecondMark{0xDEADBEEF, {3, 5}}, SecondMark{42, {-1, 20}}};
    replay.end = ReplayEnd::Finished;
    std::size_t fireflies = parseLevelMap(replay.mapText, "duel.map").fireflies.size();
    for (std::size_t i = 0; i < fireflies; ++i) {
        replay.finalScores.push_back(static_cast<std::int32_t>(20 - 3 * i));
    }
    return replay;
}

// The bytes a recorder writes for replay, and where its header ends.
std::string encode(const Replay& replay, std::size_t* headerBytes = nullptr) {
    std::string bytes = encodeReplayHeader(replay);
    if (headerBytes != nullptr) {
        *headerBytes = bytes.size();
    }
    std::size_t whole = replay.seconds.size() * kChecksumSteps;
    for (std::size_t s = 0; s < replay.seconds.size(); ++s) {
        bytes += encodeSecond(replay.controls.data() + s * kChecksumSteps, replay.seconds[s]);
    }
    if (replay.end != ReplayEnd::CutShort) {
        std::vector<std::uint8_t> last(replay.controls.begin() + static_cast<long>(whole),
                                       replay.controls.end());
        bytes += encodeEnd(replay.end, last, replay.finalScores);
    }
    return bytes;
}

std::string problemWith(const std::string& bytes) {
    Replay replay;
    return parseReplay(bytes, "my.ffr", replay);
}

// One line, naming the file.
void expectOneLineNaming(const std::string& problem, const std::string& path) {
    EXPECT_EQ(problem.rfind(path, 0), 0u) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
}

} // namespace

TEST(ReplayFile, ReadsBackWhatWasWritten) {
    Replay written = sampleReplay();
    Replay read;
    ASSERT_EQ(parseReplay(encode(written), "my.ffr", read), "");
    EXPECT_EQ(read.gameVersion, kVersion);
    EXPECT_EQ(read.seed, 1234567u);
    EXPECT_EQ(read.mapName, "duel.map");
    EXPECT_EQ(read.mapText, written.mapText);
    ASSERT_EQ(read.data.size(), worldDataFiles().size());
    for (std::size_t i = 0; i < read.data.size(); ++i) {
        EXPECT_EQ(read.data[i].file, written.data[i].file);
        EXPECT_EQ(read.data[i].present, written.data[i].present);
        EXPECT_EQ(read.data[i].hash, written.data[i].hash);
    }
    EXPECT_EQ(read.controls, written.controls);
    ASSERT_EQ(read.seconds.size(), 2u);
    EXPECT_EQ(read.seconds[0].checksum, 0xDEADBEEFu);
    EXPECT_EQ(read.seconds[1].scores.player, -1);
    EXPECT_EQ(read.seconds[1].scores.opponent, 20);
    EXPECT_EQ(read.end, ReplayEnd::Finished);
    EXPECT_EQ(read.finalScores, written.finalScores);
    // The shipped data is all there but the lantern's optional bump map.
    for (const DataFingerprint& print : read.data) {
        EXPECT_EQ(print.present, print.file != "norm.bmp") << print.file;
    }
}

TEST(ReplayFile, ControlsPackIntoFourBits) {
    for (int bits = 0; bits < 16; ++bits) {
        EXPECT_EQ(packControls(unpackControls(static_cast<std::uint8_t>(bits))), bits);
    }
    Controls fireOnly;
    fireOnly.fire = true;
    Controls turning;
    turning.left = true;
    turning.up = true;
    EXPECT_NE(packControls(fireOnly), packControls(turning));
    EXPECT_EQ(packControls(Controls{}), 0);
}

TEST(ReplayFile, AMinuteOfPlayTakesFarLessThan20kB) {
    Replay replay = sampleReplay();
    replay.controls.assign(60 * kChecksumSteps + 30, 0x0F);
    replay.seconds.assign(60, SecondMark{1, {2, 3}});
    EXPECT_LE(encode(replay).size(), 20u * 1024u);
}

TEST(ReplayFile, CutInsideItsHeaderIsRefusedAfterItIsCutShort) {
    std::size_t headerBytes = 0;
    std::string bytes = encode(sampleReplay(), &headerBytes);
    for (std::size_t size = 1; size < headerBytes; ++size) {
        std::string problem = problemWith(bytes.substr(0, size));
        EXPECT_EQ(problem, "my.ffr: the file ends inside its header, after " +
                               std::to_string(size) + " bytes")
            << size;
    }
    // Cut anywhere after its header, as a killed game's file is, it plays
    // its whole seconds.
    for (std::size_t size = headerBytes; size < bytes.size(); ++size) {
        Replay replay;
        ASSERT_EQ(parseReplay(bytes.substr(0, size), "my.ffr", replay), "") << size;
        EXPECT_EQ(replay.end, ReplayEnd::CutShort);
        std::size_t seconds = (size - headerBytes) / (1 + kChecksumSteps / 2 + 12);
        EXPECT_EQ(replay.seconds.size(), std::min<std::size_t>(seconds, 2)) << size;
        EXPECT_EQ(replaySteps(replay), replay.seconds.size() * kChecksumSteps);
        EXPECT_TRUE(replay.finalScores.empty());
    }
}

TEST(ReplayFile, BadBytesAreRefusedWithOneLine) {
    std::size_t headerBytes = 0;
    Replay sample = sampleReplay();
    std::string bytes = encode(sample, &headerBytes);

    EXPECT_EQ(problemWith(""), "my.ffr: the file is empty, not a replay");
    EXPECT_EQ(problemWith("2\n0 0\n10 10\n0\n0\n0 0 0 0\n"), "my.ffr: not a replay");
    EXPECT_EQ(problemWith(std::string(5000, '\xff')), "my.ffr: not a replay");

    std::string otherVersion = bytes;
    otherVersion[8] = 2;
    EXPECT_EQ(problemWith(otherVersion), "my.ffr: replay format version 2, this game reads version 1");

    Replay badMap = sample;
    badMap.mapText = "11\n";
    EXPECT_EQ(problemWith(encode(badMap)),
              "my.ffr (its map):1: firefly count 11 is outside 2..10");

    EXPECT_EQ(problemWith(bytes + "S"), "my.ffr:" + std::to_string(bytes.size()) +
                                            ": 1 bytes of controls past the end of the game");
    std::string unknownBlock = bytes.substr(0, headerBytes) + "X";
    EXPECT_EQ(problemWith(unknownBlock),
              "my.ffr:" + std::to_string(headerBytes) + ": no block begins with byte 88");

    Replay wrongScores = sample;
    wrongScores.finalScores.push_back(0);
    expectOneLineNaming(problemWith(encode(wrongScores)), "my.ffr:");

    std::string hugeMap = bytes;
    std::size_t mapSize = 8 + 4 + 1 + kVersion.size() + 4 + 1 + sample.mapName.size();
    hugeMap[mapSize + 3] = 0x7F;
    EXPECT_EQ(problemWith(hugeMap), "my.ffr:" + std::to_string(mapSize) + ": a map of " +
                                        std::to_string(0x7F000000 + sample.mapText.size()) +
                                        " bytes, more than the 1048576 a map may hold");
}

TEST(ReplayFile, FilesThatAreNoReplayAreRefused) {
    TempDir dir;
    Replay replay;
    EXPECT_EQ(readReplay(dir.path(), replay),
              dir.path() + ": cannot read the replay (a folder is not one)");
    EXPECT_EQ(readReplay("/dev/zero", replay),
              "/dev/zero: larger than 4194304 bytes, more than any replay holds");
    std::string huge = dir.path() + "/huge.ffr";
    ASSERT_EQ(runCommand("truncate -s 5M " + shellWord(huge)).status, 0);
    EXPECT_EQ(readReplay(huge, replay), huge + ": larger than 4194304 bytes, more than any replay holds");
    EXPECT_EQ(readReplay(dir.path() + "/none.ffr", replay),
              dir.path() + "/none.ffr: cannot open the replay: No such file or directory");
    std::string good = dir.write("good.ffr", encode(sampleReplay()));
    EXPECT_EQ(readReplay(good, replay), "");
    EXPECT_EQ(replaySteps(replay), 2u * kChecksumSteps + 7);
}

TEST(ReplayFile, DataThatDiffersIsNamed) {
    Replay replay = sampleReplay();
    EXPECT_EQ(checkReplayData(replay, "my.ffr", kData), "");
    GameFolder folder({"learner.val"});
    folder.write("learner.val", readFile(kData + "/learner.val") + " ");
    EXPECT_EQ(checkReplayData(replay, "my.ffr", folder.path()),
              "my.ffr: recorded with other data: " + folder.path() + "/learner.val differs");
    GameFolder withoutPicture({"wing.bmp"});
    EXPECT_EQ(checkReplayData(replay, "my.ffr", withoutPicture.path()),
              "my.ffr: recorded with other data: " + withoutPicture.path() + "/wing.bmp differs");
    // The sounds are not the world's: other sounds play the same game.
    GameFolder otherSound({"win.wav"});
    otherSound.write("win.wav", "not a sound");
    EXPECT_EQ(checkReplayData(replay, "my.ffr", otherSound.path()), "");
}

namespace {

// A game of steps steps on the duel, recorded as the game records one, its
// controls from script(step); drawn every step as the game draws.
template <typename Script>
std::string recordGame(const TempDir& dir, unsigned seed, int steps, Script script) {
    std::string path = dir.path() + "/game.ffr";
    Replay header;
    header.gameVersion = kVersion;
    header.seed = seed;
    header.mapName = "duel.map";
    header.mapText = readFile(kData + "/duel.map");
    header.data = fingerprintWorldData(".");
    initParticlePool();
    std::srand(seed);
    GameState world(parseLevelMap(header.mapText, "duel.map"));
    ReplayRecorder recorder;
    EXPECT_EQ(recorder.open(path, header), "");
    for (int step = 0; step < steps && !world.gameOver; ++step) {
        playRecordedStep(world, script(step), recorder);
    }
    recorder.leave(world);
    EXPECT_FALSE(recorder.failed());
    return path;
}

Controls weave(int step) {
    Controls c;
    c.up = step % 90 < 70;
    c.left = step % 200 < 40;
    c.right = step % 300 > 250;
    c.fire = step % 37 == 0;
    return c;
}

} // namespace

TEST(ReplayGame, ARecordedGameReplaysInStepAndAFlippedControlDoesNot) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string path = recordGame(dir, 4242, 3 * kChecksumSteps + 25, weave);
    Replay replay;
    ASSERT_EQ(readReplay(path, replay), "");
    ASSERT_EQ(replay.end, ReplayEnd::Left);
    ASSERT_EQ(replaySteps(replay), 3u * kChecksumSteps + 25);
    for (int step = 0; step < 3 * kChecksumSteps + 25; ++step) {
        ASSERT_EQ(replay.controls[step], packControls(weave(step))) << step;
    }

    ReplayedGame again = playReplay(replay, path);
    EXPECT_EQ(again.problem, "");
    EXPECT_EQ(again.steps, replaySteps(replay));
    ASSERT_EQ(replay.finalScores.size(), static_cast<std::size_t>(again.world->fireflyCount));
    for (int i = 0; i < again.world->fireflyCount; ++i) {
        EXPECT_EQ(again.world->fireflies[i]->score, replay.finalScores[i]);
    }

    // One turn more in the second second: the checksum at 2.0 s tells.
    Replay flipped = replay;
    flipped.controls[kChecksumSteps + 10] ^= packControls(Controls{false, true, false, false});
    ReplayedGame off = playReplay(flipped, path);
    EXPECT_EQ(off.problem, path + ": out of step at 2.0 s of play: recorded by fireflies " +
                               kVersion + " with other data or another build");
    EXPECT_EQ(off.steps, 2u * kChecksumSteps);
}

namespace {

// The game started on a replay with no display at all: anything it did
// after the replay's checks would end in SDL's own complaint.
CommandResult replayWithoutDisplay(const std::string& folder, const std::string& replay) {
    return runCommand("cd " + shellWord(folder) + " && env -u DISPLAY SDL_VIDEODRIVER=x11 " +
                      std::string(kReplayVariable) + "=" + shellWord(replay) +
                      " timeout 20 " + shellWord(kGameBinary));
}

} // namespace

TEST(ReplayGame, TheGameRefusesBadReplaysBeforeItsWindowOpens) {
    TempDir dir;
    Replay sample = sampleReplay();
    Replay badMap = sample;
    badMap.mapText = "2\n0 0\n";
    std::string whole = encode(sample);
    std::string wrongVersion = whole;
    wrongVersion[8] = 9;
    struct Case {
        std::string name;
        std::string bytes;
        std::string problem;
    };
    std::vector<Case> cases = {
        {"empty.ffr", "", "the file is empty, not a replay"},
        {"garbage.ffr", "garbage, not a replay at all", "not a replay"},
        {"cut.ffr", whole.substr(0, 30), "the file ends inside its header, after 30 bytes"},
        {"version.ffr", wrongVersion, "replay format version 9, this game reads version 1"},
        {"past.ffr", whole + "trailing", "8 bytes of controls past the end of the game"},
    };
    for (const Case& c : cases) {
        std::string path = dir.write(c.name, c.bytes);
        CommandResult run = replayWithoutDisplay(kData, path);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        if (c.name == "past.ffr") {
            EXPECT_EQ(run.err, path + ":" + std::to_string(whole.size()) + ": " + c.problem + "\n");
        } else {
            EXPECT_EQ(run.err, path + ": " + c.problem + "\n") << c.name;
        }
    }
    std::string mapPath = dir.write("map.ffr", encode(badMap));
    CommandResult map = replayWithoutDisplay(kData, mapPath);
    EXPECT_EQ(map.status, 1);
    EXPECT_EQ(map.err, mapPath + " (its map):2: the file ends where firefly 1 z should be\n");
    for (const std::string& path : {dir.path(), std::string("/dev/zero")}) {
        CommandResult run = replayWithoutDisplay(kData, path);
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.err.rfind(path + ": ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
}

TEST(ReplayGame, TheGameRefusesOtherDataBeforeItsWindowOpens) {
    TempDir dir;
    std::string path = dir.write("game.ffr", encode(sampleReplay()));
    GameFolder folder({"random_numbers.dat"});
    folder.write("random_numbers.dat", "1 2 3\n");
    CommandResult run = replayWithoutDisplay(folder.path(), path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, path + ": recorded with other data: " + folder.path() +
                           "/random_numbers.dat differs\n");
}

TEST(ReplayGame, TheGameStopsAReplayOutOfStepWithItsLine) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string path = recordGame(dir, 99, 2 * kChecksumSteps + 5, weave);
    Replay replay;
    ASSERT_EQ(readReplay(path, replay), "");
    // No turn at 0.5 s, where the player turned left.
    replay.controls[30] ^= packControls(Controls{false, true, false, false});
    std::string flipped = dir.write("flipped.ffr", encode(replay));
    CommandResult run =
        runCommand("cd " + shellWord(kData) + " && " + std::string(kReplayVariable) + "=" +
                   shellWord(flipped) + " FIREFLIES_MUTE=1 " + kPrivateDisplay +
                   shellWord(kGameBinary));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(flipped + ": out of step at 1.0 s of play: recorded by fireflies " +
                           kVersion + " with other data or another build\n"),
              std::string::npos)
        << run.err;
}

TEST(ReplayGame, AKilledGamesReplayPlaysToWhereItStopsAndSaysSo) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string path = recordGame(dir, 5, kChecksumSteps + 20, weave);
    Replay replay;
    ASSERT_EQ(readReplay(path, replay), "");
    // What a game killed in its second second leaves: the first second only.
    // The game is given 12 s for its 1 s of play: a busy machine draws slowly.
    std::string bytes = readFile(path);
    std::string header = encodeReplayHeader(replay);
    std::string killed = dir.write("killed.ffr", bytes.substr(0, header.size() + 43 + 7));
    CommandResult run = runCommand("cd " + shellWord(kData) + " && " +
                                   std::string(kReplayVariable) + "=" + shellWord(killed) +
                                   " FIREFLIES_MUTE=1 " + kPrivateDisplay + shellWord(kDriveGame) +
                                   " " + shellWord(kGameBinary) + " " + shellWord(kData) +
                                   " 'sleep 12; key Escape'");
    EXPECT_TRUE(endsWithStatus(run, 0)) << run.out << run.err;
    EXPECT_NE(run.err.find(killed + ": the record stops at 1.0 s of play, before the game ended: "
                                    "it was cut short\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("out of step"), std::string::npos) << run.err;
}

TEST(ReplayGame, TheFingerprintCoversEveryDataFileTheGameBuildsItsWorldFrom) {
    // Every file the real game opens from its folder, but its map (which the
    // replay holds) and its sounds (which change nothing of the game), must
    // be fingerprinted, or a replay recorded with other data would not be
    // refused: watched with strace through one whole game on the arena.
    TempDir dir;
    std::string log = dir.path() + "/opened";
    CommandResult run = runCommand(
        kPrivateDisplay + "SDL_AUDIODRIVER=dummy " + shellWord(kDriveGame) + " " +
        shellWord("/usr/bin/strace") + " " + shellWord(kData) + " 'sleep 2; key Escape' -f -qq " +
        "-e trace=open,openat -e status=successful -o " + shellWord(log) + " " +
        shellWord(kGameBinary) + " final.map");
    ASSERT_TRUE(endsWithStatus(run, 0)) << run.out << run.err;
    const std::vector<std::string>& printed = worldDataFiles();
    std::set<std::string> opened;
    std::string text = readFile(log);
    for (std::size_t at = text.find("AT_FDCWD, \""); at != std::string::npos;
         at = text.find("AT_FDCWD, \"", at + 1)) {
        std::size_t from = at + 11;
        std::string name = text.substr(from, text.find('"', from) - from);
        if (name.find('/') == std::string::npos) {
            opened.insert(name);
        }
    }
    // The arena's world: the agent's tables, the models and their pictures.
    for (const char* seen : {"learner.val", "firefly.obj", "flowerT.bmp", "braid.bmp"}) {
        EXPECT_EQ(opened.count(seen), 1u) << seen;
    }
    for (const std::string& name : opened) {
        bool sound = name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0;
        if (name == "final.map" || sound) {
            continue;
        }
        EXPECT_NE(std::find(printed.begin(), printed.end(), name), printed.end())
            << name << " is read by the game but not fingerprinted in replays";
    }
}
