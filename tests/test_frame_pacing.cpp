// The main loop's frame pacing, on a simulated millisecond clock: sixty
// frames a second whatever each frame costs, no racing to catch up after a
// hitch, no wait longer than a frame, and the same waits across the wrap of
// SDL's tick counter.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frame_pacing.h"

namespace {

// A main loop on a simulated clock: frame i takes work[i] ms, then waits
// what frameDelay says. Moves clock on and returns the waits.
std::vector<std::uint32_t> runFrames(FramePacer& pacer, std::uint32_t& clock,
                                     const std::vector<std::uint32_t>& work) {
    std::vector<std::uint32_t> waits;
    for (std::uint32_t w : work) {
        clock += w;
        std::uint32_t wait = frameDelay(pacer, clock);
        EXPECT_LE(wait, kLongestFrameWait);
        waits.push_back(wait);
        clock += wait;
    }
    return waits;
}

} // namespace

TEST(FramePacing, SixtyFramesASecondWhateverAFrameCosts) {
    for (std::uint32_t cost : {0u, 1u, 5u, 12u, 16u}) {
        FramePacer pacer;
        std::uint32_t clock = 5000;
        startPacing(pacer, clock);
        std::vector<std::uint32_t> waits =
            runFrames(pacer, clock, std::vector<std::uint32_t>(600, cost));
        // 600 frames are ten seconds, to the millisecond the deadline is
        // rounded to.
        EXPECT_EQ(clock - 5000, 10000u) << "frames costing " << cost << " ms";
        if (cost == 0) {
            for (std::uint32_t wait : waits) {
                EXPECT_TRUE(wait == 16 || wait == 17) << wait;
            }
        }
    }
    // A machine too slow for sixty frames runs flat out, never waiting.
    FramePacer pacer;
    std::uint32_t clock = 0;
    startPacing(pacer, clock);
    for (std::uint32_t wait : runFrames(pacer, clock, std::vector<std::uint32_t>(300, 25))) {
        EXPECT_EQ(wait, 0u);
    }
}

TEST(FramePacing, AfterAHitchTheWorldDoesNotFastForward) {
    for (std::uint32_t hitch : {20u, 30u, 40u, 60u, 99u, 150u, 5000u}) {
        FramePacer pacer;
        std::uint32_t clock = 0;
        startPacing(pacer, clock);
        runFrames(pacer, clock, std::vector<std::uint32_t>(30, 5));
        runFrames(pacer, clock, {hitch});
        std::uint32_t afterHitch = clock;
        std::vector<std::uint32_t> waits =
            runFrames(pacer, clock, std::vector<std::uint32_t>(120, 5));
        // At most two frames' worth is made up, at once after the hitch.
        int unpaced = 0;
        for (std::uint32_t wait : waits) {
            unpaced += wait == 0 ? 1 : 0;
        }
        EXPECT_LE(unpaced, 2) << "after a hitch of " << hitch << " ms";
        // So the second after the hitch holds at most two frames more than 60.
        int framesInASecond = 0;
        std::uint32_t t = afterHitch;
        for (std::uint32_t wait : waits) {
            t += 5 + wait;
            framesInASecond += t - afterHitch <= 1000 ? 1 : 0;
        }
        EXPECT_LE(framesInASecond, 62) << "after a hitch of " << hitch << " ms";
        EXPECT_GE(framesInASecond, 59) << "after a hitch of " << hitch << " ms";
    }
}

TEST(FramePacing, TheTickCounterWrappingChangesNoWait) {
    // The same frames, once far from the wrap and once across it (SDL's
    // counter goes from 4294967295 back to 0 after 49.7 days).
    std::vector<std::uint32_t> work;
    for (int i = 0; i < 400; ++i) {
        work.push_back(static_cast<std::uint32_t>(i * 7 % 23)); // 0..22 ms, some frames late
    }
    work[100] = 80; // and one hitch
    FramePacer plain;
    std::uint32_t plainClock = 1000;
    startPacing(plain, plainClock);
    FramePacer wrapping;
    std::uint32_t wrapClock = 0xFFFFFFFFu - 1500; // wraps within the first hundred frames
    startPacing(wrapping, wrapClock);
    EXPECT_EQ(runFrames(plain, plainClock, work), runFrames(wrapping, wrapClock, work));
    EXPECT_LT(wrapClock, 0xFFFFFFFFu - 1500); // it did wrap
    EXPECT_EQ(wrapClock - (0xFFFFFFFFu - 1500), plainClock - 1000);
}

TEST(FramePacing, ADeadlineFarAheadWaitsOneFrameAtMost) {
    FramePacer pacer;
    startPacing(pacer, 100000);
    // The clock reads earlier than the run began (it jumped back).
    EXPECT_EQ(frameDelay(pacer, 40000), kLongestFrameWait);
    // Then the frames are paced from there.
    std::uint32_t clock = 40000 + kLongestFrameWait;
    runFrames(pacer, clock, std::vector<std::uint32_t>(60, 4));
    EXPECT_LE(clock - 40000, 1000u + 2 * kLongestFrameWait);
    EXPECT_GE(clock - 40000, 1000u);
}
