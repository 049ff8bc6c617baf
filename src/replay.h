// Replays: a game kept as the value given to srand, the map's text, a
// fingerprint of the data files the world reads, and the player's controls
// at every step, with a checksum of the world once a second and how the game
// ended. The world is one step a frame from one rand() sequence, so these
// are the whole game: played again, the same steps give the same game.
//
// ReplayRecorder writes such a file while a game is played, through a
// buffered stream flushed once a second of play; readReplay and parseReplay
// read one back, checking every count and size; ReplayPlayer feeds a read
// replay to a world step by step and says when the world is out of step.
// The format is described in the README ("Replay files").
#ifndef FIREFLIES_REPLAY_H
#define FIREFLIES_REPLAY_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "frame_pacing.h"

class GameState;

// The launcher's variables: a path to record the game into, or a replay to
// play instead of a game. Unset or empty, the game records nothing.
constexpr const char* kRecordVariable = "FIREFLIES_RECORD";
constexpr const char* kReplayVariable = "FIREFLIES_REPLAY";

// The version of the file layout this game writes and reads.
constexpr std::uint32_t kReplayFormatVersion = 1;
// Steps between two checksums: one second of play.
constexpr int kChecksumSteps = kFramesPerSecond;
// Largest replay read or written, in bytes (4 MB: about 26 hours of play).
constexpr std::size_t kMaxReplayBytes = std::size_t{4} << 20;
// Longest game version and map name kept in a replay, in bytes.
constexpr std::size_t kMaxReplayNameBytes = 255;
// Most data files a replay may fingerprint.
constexpr std::size_t kMaxFingerprints = 64;

// The player's controls in one step, as the world used them.
struct Controls {
    bool up = false;    // thrust: the up arrow, the stick or hat up, or the second button
    bool left = false;  // turn left: the left arrow, the stick or hat left
    bool right = false; // turn right: the right arrow, the stick or hat right
    bool fire = false;  // a shot requested in this step (Space or the first button)
};

// The four controls as the low four bits of a byte (up 1, left 2, right 4,
// fire 8) and back; bits above those four are no control.
std::uint8_t packControls(const Controls& controls);
Controls unpackControls(std::uint8_t bits);
// The controls firefly 0 gets from the world's held keys, pad and fire request.
Controls controlsOf(const GameState& world);
// Sets the world's held keys and fire request to controls and lets go of the
// pad's directions, so that the next update steers the player by them.
void applyControls(GameState& world, const Controls& controls);

// One data file as the world read it.
struct DataFingerprint {
    std::string file;        // file name in the data folder
    bool present = false;    // the file could be read
    std::uint64_t hash = 0;  // FNV-1a of its bytes; 0 when not present
};

// Every data file but the map and the sounds that the world reads, by name.
const std::vector<std::string>& worldDataFiles();
// Fingerprints of worldDataFiles in folder ("" or "." for the working one).
std::vector<DataFingerprint> fingerprintWorldData(const std::string& folder);

// A checksum of every firefly's position, heading and score.
std::uint32_t worldChecksum(const GameState& world);
// The player's score and the best of the others' scores.
struct ScorePair {
    std::int32_t player = 0;   // firefly 0's score
    std::int32_t opponent = 0; // the highest score of fireflies 1 and up
};
ScorePair scoresOf(const GameState& world);
ScorePair scoresOf(const std::vector<std::int32_t>& scores);

// How a recorded game ends.
enum class ReplayEnd {
    Finished, // a firefly reached the winning score
    Left,     // the player left before the end
    CutShort, // the file stops before either (the game was killed)
};

// What a second of play leaves in the file.
struct SecondMark {
    std::uint32_t checksum = 0; // worldChecksum after its last step
    ScorePair scores;           // the scores then
};

// A replay as read.
struct Replay {
    std::uint32_t formatVersion = kReplayFormatVersion;
    std::string gameVersion;                // the version of the game that recorded it
    std::uint32_t seed = 0;                 // the value given to srand
    std::string mapName;                    // the map file's name, no folder; may be ""
    std::string mapText;                    // the map's whole text
    std::vector<DataFingerprint> data;      // the world's other data files
    std::vector<std::uint8_t> controls;     // packed controls, one a step
    std::vector<SecondMark> seconds;        // one per kChecksumSteps whole steps
    ReplayEnd end = ReplayEnd::CutShort;    // how the record ends
    std::vector<std::int32_t> finalScores;  // every firefly's score at the end; empty when cut short
};

// The bytes of a replay's header (everything before the first second).
std::string encodeReplayHeader(const Replay& header);
// The bytes of one whole second: kChecksumSteps packed controls and its mark.
std::string encodeSecond(const std::uint8_t* controls, const SecondMark& mark);
// The bytes of the end: the steps since the last whole second (fewer than
// kChecksumSteps), how it ended (Finished or Left) and every score.
std::string encodeEnd(ReplayEnd end, const std::vector<std::uint8_t>& lastSteps,
                      const std::vector<std::int32_t>& scores);

// Reads the replay at path into replay. Returns "" on success, otherwise one
// line: "PATH: what is wrong" or "PATH:OFFSET: what is wrong". A file that
// stops after its header (inside a second or at its edge) reads as
// CutShort with every whole second kept. Never exits.
std::string readReplay(const std::string& path, Replay& replay);
// The same on bytes already in memory; path names them in messages.
std::string parseReplay(const std::string& bytes, const std::string& path, Replay& replay);
// "" when every fingerprint of replay matches the data in folder, otherwise
// "PATH: recorded with other data: FILE differs" for the first that does not.
std::string checkReplayData(const Replay& replay, const std::string& path,
                            const std::string& folder);

// Steps a replay covers.
inline std::size_t replaySteps(const Replay& replay) {
    return replay.controls.size();
}
// Seconds of play for a number of steps.
inline double playSeconds(std::size_t steps) {
    return static_cast<double>(steps) / kFramesPerSecond;
}

// Writes a game as it is played. Every call after a write failed, or after
// the end was written, does nothing.
class ReplayRecorder {
  public:
    ReplayRecorder() = default;
    ~ReplayRecorder();
    ReplayRecorder(const ReplayRecorder&) = delete;
    ReplayRecorder& operator=(const ReplayRecorder&) = delete;

    // Creates the file at path and writes header to it. Returns "" or a line
    // naming the problem; after a problem the recorder records nothing.
    std::string open(const std::string& path, const Replay& header);
    // One step played with controls; world as the step left it. Writes a
    // second after every kChecksumSteps steps, and the end when the step
    // ended the game.
    void step(const Controls& controls, const GameState& world);
    // The player leaves: writes the end (Left) unless the game already ended.
    void leave(const GameState& world);
    // True while the file is open and nothing has failed.
    bool recording() const { return file_ != nullptr; }
    // True when a write failed or the file grew to kMaxReplayBytes.
    bool failed() const { return failed_; }

  private:
    // Writes bytes and flushes; closes the file on failure.
    void write(const std::string& bytes);
    void close();

    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::size_t written_ = 0;            // bytes written so far
    std::vector<std::uint8_t> pending_;  // controls of the steps since the last second
};

// One step of a game played by a program (a pilot, a test) and recorded as
// the game records one: controls set as the player's keys, one update, the
// controls the world used written, and the frame drawn (without the buffer
// swap) as the game draws it, since drawing takes its share of the random
// sequence. Needs a GL context.
void playRecordedStep(GameState& world, const Controls& controls, ReplayRecorder& recorder);

// Drives a world from a replay, one step at a time, checking it as it goes.
// The compiler and C library this program was built with, e.g. "GCC 12.2.0,
// glibc 2.36". A replay recorded by one build can go out of step on another
// (other floating-point code, another maths library); it then says so.
std::string buildName();

class ReplayPlayer {
  public:
    // replay is kept by reference and must outlive the player; path names it.
    ReplayPlayer(const Replay& replay, std::string path);
    // True while the replay holds another step.
    bool hasStep() const { return played_ < replaySteps(replay_); }
    // Applies the next step's controls to world (before its update).
    void applyNext(GameState& world);
    // Checks world after the update of the step just applied. Returns "" while
    // in step, otherwise "PATH: out of step at S s of play: recorded by
    // fireflies VERSION with other data or another build".
    std::string check(const GameState& world);
    // Steps played so far.
    std::size_t played() const { return played_; }

  private:
    std::string outOfStep() const;

    const Replay& replay_;
    std::string path_;
    std::size_t played_ = 0;
};

#endif
