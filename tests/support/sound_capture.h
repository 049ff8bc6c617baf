// The real game heard through SDL's disk audio driver, which writes what the
// mixer sends to the sound card into a file in real time: game folders set
// up for one situation, the run with its key presses and marks, and the
// measures the sound tests take of the capture and of the sound files
// (which sox reads, independently of the game).
#ifndef FIREFLIES_TEST_SOUND_CAPTURE_H
#define FIREFLIES_TEST_SOUND_CAPTURE_H

#include <cstddef>
#include <string>
#include <vector>

#include "game_runs.h"
#include "temp_dir.h"

// Sample frames a second of the capture and of the sound files.
constexpr int kCaptureRate = 44100;

// Writes agent tables ("learner.trans", "learner.val") into folder under
// which every computer firefly takes action in every state: 1 fires
// whenever its beam is ready, 2 flies in a tight left circle.
void writeSteadyTables(const std::string& folder, int action);

// A stereo capture, one sample per channel per frame.
struct Capture {
    std::vector<int> left;
    std::vector<int> right;
    std::size_t frames() const { return left.size(); }
};

// Reads raw 16-bit little-endian stereo, as the disk driver writes it.
Capture readCapture(const std::string& path);

// The samples of a mono sound file as sox decodes it to 16-bit integers.
std::vector<int> soundSamples(const std::string& path);

// The first frame at or after from where either channel is not 0;
// frames() when there is none.
std::size_t firstSound(const Capture& capture, std::size_t from = 0);

// Largest magnitude of either channel over frames [from, to).
int peakIn(const Capture& capture, std::size_t from, std::size_t to);

// Root mean square of channel over frames [from, to).
double rmsIn(const std::vector<int>& channel, std::size_t from, std::size_t to);

// The frequency of the tone in channel over frames [from, to) of a sound at
// rate frames a second, in Hz, from the rising zero crossings between its
// first and last; 0 for fewer than two.
double toneFrequency(const std::vector<int>& channel, std::size_t from, std::size_t to, int rate);

// Where sound best lines up with channel, over start frames [from, to].
struct SoundMatch {
    std::size_t start = 0;    // the frame where the sound begins
    double correlation = 0.0; // normalised, -1..1: 1 when the channel there is the sound alone
    double gain = 0.0;        // the sound's level there, 1 for as loud as its file
};
SoundMatch findSound(const std::vector<int>& channel, const std::vector<int>& sound,
                     std::size_t from, std::size_t to);

// A run of the game binary from folder, driven by drive_game.sh with these
// steps, with environment (words for env(1) such as "FIREFLIES_MUTE=1" or
// "-u SDL_AUDIODRIVER") and the map argument ("" for none). The game's own
// standard output and error are kept apart from the driver's.
struct GameRun {
    CommandResult driver;           // drive_game.sh's own result ("status=N", the marks)
    std::string out;                // the game's standard output
    std::string err;                // the game's standard error
    std::vector<std::size_t> marks; // for each "mark" step, the marked file's size / 4
};
GameRun runGame(const std::string& folder, const std::string& steps, const std::string& environment,
                const std::string& mapArgument);

// The same with the sound captured through the disk driver (running in real
// time, one mixer buffer per delay): "CAPTURE" in steps stands for the
// capture's path, so "mark CAPTURE" gives its length in frames.
struct CapturedRun {
    GameRun run;     // how the game ran
    Capture capture; // what it sent to the sound card
};
CapturedRun runCapturedGame(const std::string& folder, const std::string& steps,
                            const std::string& environment, const std::string& mapArgument);

// Frames in a number of milliseconds.
constexpr std::size_t framesIn(int milliseconds) {
    return static_cast<std::size_t>(milliseconds) * kCaptureRate / 1000;
}

#endif
