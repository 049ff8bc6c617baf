// The game's own reading of sound files: every header field the mixer would
// trip over is refused with a reason, the samples of each kind of PCM come
// out as the file holds them, and a tone resampled from another rate keeps
// its pitch and level while what cannot be kept is removed, not folded back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "sound_capture.h"
#include "wave_file.h"

namespace {

void little(std::string& bytes, unsigned value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A WAV file written field by field, whatever the fields say.
std::string wave(unsigned channels, unsigned rate, unsigned bits, unsigned align,
                 const std::string& data, unsigned tag = 1) {
    std::string bytes = "RIFF";
    little(bytes, static_cast<unsigned>(36 + data.size()), 4);
    bytes += "WAVEfmt ";
    little(bytes, 16, 4);
    little(bytes, tag, 2);
    little(bytes, channels, 2);
    little(bytes, rate, 4);
    little(bytes, rate * align, 4);
    little(bytes, align, 2);
    little(bytes, bits, 2);
    bytes += "data";
    little(bytes, static_cast<unsigned>(data.size()), 4);
    return bytes + data;
}

std::string decodeProblem(const std::string& bytes) {
    WaveSound sound;
    std::string problem = decodeWave(bytes, sound);
    EXPECT_EQ(problem.empty(), !sound.samples.empty()) << problem;
    return problem;
}

// A sine of frequency Hz at rate, seconds long, at amplitude (of 32767).
WaveSound tone(int rate, double frequency, double seconds, double amplitude) {
    WaveSound sound;
    sound.rate = rate;
    sound.channels = 1;
    auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i) {
        double phase = 2.0 * 3.14159265358979 * frequency * static_cast<double>(i) / rate;
        sound.samples.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase))));
    }
    return sound;
}

std::vector<int> asInts(const WaveSound& sound) {
    return std::vector<int>(sound.samples.begin(), sound.samples.end());
}

} // namespace

TEST(WaveFile, AHeaderTheMixerWouldTripOverIsRefusedWithItsReason) {
    const std::string two(4, '\0');
    EXPECT_EQ(decodeProblem(wave(0, 44100, 16, 0, two)),
              "its header says 0 channels; the game plays mono or stereo");
    EXPECT_EQ(decodeProblem(wave(3, 44100, 16, 6, std::string(6, '\0'))),
              "its header says 3 channels; the game plays mono or stereo");
    EXPECT_EQ(decodeProblem(wave(1, 0, 16, 2, two)), "its header says 0 Hz, outside 8000..192000");
    EXPECT_EQ(decodeProblem(wave(1, 4000000000u, 16, 2, two)),
              "its header says 4000000000 Hz, outside 8000..192000");
    EXPECT_EQ(decodeProblem(wave(1, 44100, 12, 2, two)),
              "its header says 12-bit samples; the game reads 8, 16, 24 or 32");
    EXPECT_EQ(decodeProblem(wave(2, 44100, 16, 2, two)),
              "its header says 2 bytes a frame, not the 4 of its channels and bits");
    EXPECT_EQ(decodeProblem(wave(1, 44100, 32, 4, two, 3)),
              "its samples are not integer PCM (format 3)");
    EXPECT_EQ(decodeProblem(wave(1, 44100, 16, 2, "")), "it holds no samples");
    EXPECT_EQ(decodeProblem(wave(2, 44100, 16, 4, two).substr(0, 44 + 3)), "it holds no samples");
    EXPECT_EQ(decodeProblem("RIFF and nothing else"), "not a WAV file");
    EXPECT_EQ(decodeProblem(""), "not a WAV file");
    std::string header = wave(1, 44100, 16, 2, two);
    EXPECT_EQ(decodeProblem(header.substr(0, 30)), "its format chunk is cut short");
    EXPECT_EQ(decodeProblem(header.substr(0, 36)), "it has no samples (no data chunk)");
    EXPECT_EQ(decodeProblem(header.substr(0, 12)), "it has no format chunk");
    // Samples before their format, and a chunk claiming more than the file.
    std::string early = "RIFF" + std::string(4, '\0') + "WAVEdata" + std::string(4, '\0');
    EXPECT_EQ(decodeProblem(early), "its samples come before their format");
    std::string huge = header.substr(0, 12) + "LIST";
    little(huge, 0xFFFFFFF0u, 4);
    EXPECT_EQ(decodeProblem(huge + header.substr(12)), "it has no format chunk");
}

TEST(WaveFile, EveryKindOfPcmDecodesToItsSixteenBitSamples) {
    WaveSound sound;
    // 8-bit is unsigned about 128.
    ASSERT_EQ(decodeWave(wave(1, 8000, 8, 1, std::string("\x80\xff\x00", 3)), sound), "");
    EXPECT_EQ(sound.rate, 8000);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{0, 127 * 256, -128 * 256}));
    // 16-bit stereo, left then right.
    ASSERT_EQ(decodeWave(wave(2, 48000, 16, 4, std::string("\x01\x00\xff\xff\x00\x80\xff\x7f", 8)),
                         sound),
              "");
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.frames(), 2u);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{1, -1, -32768, 32767}));
    // 24 and 32 bits keep their highest 16.
    ASSERT_EQ(decodeWave(wave(1, 96000, 24, 3, std::string("\x12\x34\x56", 3)), sound), "");
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{0x5634}));
    ASSERT_EQ(decodeWave(wave(1, 96000, 32, 4, std::string("\x12\x34\x56\xf8", 4)), sound), "");
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{static_cast<std::int16_t>(0xf856)}));
    // A data chunk whose size was never filled in keeps what is there, in
    // whole frames; chunks before the format are stepped over.
    std::string unfinished = wave(2, 44100, 16, 4, std::string(10, '\x01'));
    unfinished.replace(40, 4, "\xff\xff\xff\xff");
    unfinished.insert(12, std::string("JUNK\x03\x00\x00\x00"
                                        "abc\x00",
                                        12));
    ASSERT_EQ(decodeWave(unfinished, sound), "");
    EXPECT_EQ(sound.frames(), 2u);
    // What is written comes back as it went.
    WaveSound again;
    ASSERT_EQ(decodeWave(waveBytes(sound), again), "");
    EXPECT_EQ(again.rate, 44100);
    EXPECT_EQ(again.samples, sound.samples);
}

TEST(WaveFile, AToneFromAnotherRateKeepsItsPitchAndLevel) {
    for (int rate : {48000, 96000, 32000, 22050, 8000}) {
        WaveSound in = tone(rate, 1000.0, 1.0, 16000.0);
        WaveSound out = resampleWave(in, 44100, false);
        EXPECT_EQ(out.rate, 44100);
        EXPECT_NEAR(static_cast<double>(out.frames()), 44100.0, 1.0) << rate;
        std::vector<int> samples = asInts(out);
        // Away from the ends, where the filter runs out of samples.
        EXPECT_NEAR(toneFrequency(samples, 2000, 42000, 44100), 1000.0, 0.5) << rate;
        EXPECT_NEAR(rmsIn(samples, 2000, 42000), 16000.0 / std::sqrt(2.0), 100.0) << rate;
    }
}

TEST(WaveFile, WhatLiesAboveTheNewHalfRateIsRemovedNotFoldedBack) {
    // 30 kHz at 96 kHz would come back as a 14.1 kHz whistle.
    WaveSound out = resampleWave(tone(96000, 30000.0, 0.5, 16000.0), 44100, false);
    std::vector<int> samples = asInts(out);
    EXPECT_LT(rmsIn(samples, 2000, 20000), 16000.0 / std::sqrt(2.0) / 100.0); // 40 dB down
    // A stereo file keeps its channels apart.
    WaveSound stereo;
    stereo.rate = 48000;
    stereo.channels = 2;
    WaveSound left = tone(48000, 500.0, 0.5, 8000.0);
    for (std::int16_t s : left.samples) {
        stereo.samples.push_back(s);
        stereo.samples.push_back(0);
    }
    WaveSound both = resampleWave(stereo, 44100, false);
    std::vector<int> l;
    std::vector<int> r;
    for (std::size_t i = 0; i < both.frames(); ++i) {
        l.push_back(both.samples[2 * i]);
        r.push_back(both.samples[2 * i + 1]);
    }
    EXPECT_NEAR(toneFrequency(l, 1000, 20000, 44100), 500.0, 0.5);
    EXPECT_EQ(rmsIn(r, 0, r.size()), 0.0);
}

TEST(WaveFile, ALoopResampledJoinsWithoutASeam) {
    // 0.5 s of 1 kHz at 48 kHz: whole cycles, as the night's loop is made.
    WaveSound out = resampleWave(tone(48000, 1000.0, 0.5, 16000.0), 44100, true);
    ASSERT_EQ(out.frames(), 22050u);
    // Every sample, those at the ends included, is the tone at 44.1 kHz:
    // played over and over, the loop joins as smoothly as it runs.
    double worst = 0.0;
    for (std::size_t n = 0; n < out.frames(); ++n) {
        double ideal = 16000.0 * std::sin(2.0 * 3.14159265358979 * 1000.0 * n / 44100.0);
        worst = std::max(worst, std::fabs(out.samples[n] - ideal));
    }
    EXPECT_LT(worst, 160.0); // 1% of the tone
}
