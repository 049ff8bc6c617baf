// Frame pacing of the main loop. The world advances one step per drawn
// frame, so the frame rate is the game's speed: the loop holds it to 60
// frames a second against a running deadline, on SDL's millisecond tick
// count (which wraps to 0 after 49.7 days). A loop that falls more than two
// frames behind starts over from the present instead of racing to catch up,
// and no wait is ever longer than one frame.
#ifndef FIREFLIES_FRAME_PACING_H
#define FIREFLIES_FRAME_PACING_H

#include <cstdint>

// Frames a second the game runs at.
constexpr int kFramesPerSecond = 60;
// Longest wait between two frames, ms: one frame (16.7 ms) rounded up.
constexpr std::uint32_t kLongestFrameWait = (1000 + kFramesPerSecond - 1) / kFramesPerSecond;
// How far past a frame's deadline the loop may be before it starts over, ms:
// two frames.
constexpr std::uint32_t kMostBehind = 2 * 1000 / kFramesPerSecond;

// The running deadline: frame n of a run is due at start + n x 1000 / 60 ms
// (whole milliseconds, so the waits alternate between 16 and 17).
struct FramePacer {
    std::uint32_t start = 0;  // tick count (ms) at which the run began; wraps with the counter
    std::uint64_t frames = 0; // frames finished in this run
};

// Begins a run at tick count now (ms).
void startPacing(FramePacer& pacer, std::uint32_t now);

// Called once a frame is done, at tick count now (ms): the milliseconds to
// wait before the next frame, 0 to kLongestFrameWait. Counts the frame; when
// the frame ended more than kMostBehind past its deadline, or the deadline
// lies more than one frame ahead (the counter jumped), the run starts over
// at now. Correct across the counter's wrap.
std::uint32_t frameDelay(FramePacer& pacer, std::uint32_t now);

#endif
