// Any bytes as a sound file: the game's reader either gives a sound the mixer
// can take (mono or stereo, a rate of 8 to 192 kHz, at least one frame)
// which resamples to the mixer's rate and writes out and reads back the same,
// or turns it away with one line saying why.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checks.h"
#include "wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    WaveSound sound;
    std::string problem = decodeWave(bytes, sound);
    if (!problem.empty()) {
        require(problem.find('\n') == std::string::npos, "a reason is one line");
        require(sound.samples.empty(), "a refused sound leaves nothing behind");
        return 0;
    }
    require(sound.channels == 1 || sound.channels == 2, "mono or stereo");
    require(sound.rate >= kMinWaveRate && sound.rate <= kMaxWaveRate, "a rate the game takes");
    require(sound.frames() > 0 && sound.samples.size() % sound.channels == 0, "whole frames");
    WaveSound mixed = resampleWave(sound, 44100, size % 2 == 0);
    require(mixed.rate == 44100 && mixed.channels == sound.channels, "the mixer's rate");
    // At most half a frame lost or gained in the rounding of the length.
    double expected = static_cast<double>(sound.frames()) * 44100.0 / sound.rate;
    double frames = static_cast<double>(mixed.frames());
    require(frames >= 1.0 && frames <= expected + 1.0 && frames + 1.0 >= expected,
            "the length kept");
    WaveSound again;
    require(decodeWave(waveBytes(mixed), again).empty() && again.samples == mixed.samples,
            "what is written reads back the same");
    return 0;
}
