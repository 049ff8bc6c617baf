#include "frame_pacing.h"

void startPacing(FramePacer& pacer, std::uint32_t now) {
    pacer.start = now;
    pacer.frames = 0;
}

std::uint32_t frameDelay(FramePacer& pacer, std::uint32_t now) {
    ++pacer.frames;
    // All tick arithmetic is modulo 2^32, like the counter itself, so the
    // deadline and the differences stay right when it wraps.
    std::uint32_t due =
        pacer.start + static_cast<std::uint32_t>(pacer.frames * 1000 / kFramesPerSecond);
    std::uint32_t ahead = due - now;
    std::uint32_t behind = now - due;
    if (behind <= ahead) {
        // On time or late: no wait. Far behind (a hitch, a slow machine),
        // the frames to come are paced from now rather than run back to back.
        if (behind > kMostBehind) {
            startPacing(pacer, now);
        }
        return 0;
    }
    if (ahead > kLongestFrameWait) {
        startPacing(pacer, now);
        return kLongestFrameWait;
    }
    return ahead;
}
