// The game's sound files as it reads them: WAV files of integer PCM, mono or
// stereo, every field of the header checked before anything is decoded, and
// brought to the mixer's rate here, so that a sound recorded at 48 kHz is
// heard at its own pitch (SDL 1.2 itself converts rates only by powers of
// two). What the mixer is then handed is always a plain 16-bit WAV at its
// own rate, written here: SDL sees no header the game has not checked.
#ifndef FIREFLIES_WAVE_FILE_H
#define FIREFLIES_WAVE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

// Sample rates the game takes from a sound file, in frames a second. Below
// the lowest a short file would grow more than five and a half times on the
// way to 44.1 kHz.
constexpr int kMinWaveRate = 8000;
constexpr int kMaxWaveRate = 192000;

// Decoded sound: 16-bit samples, channels interleaved.
struct WaveSound {
    int rate = 0;                      // frames a second
    int channels = 0;                  // 1 (mono) or 2 (stereo: left, right)
    std::vector<std::int16_t> samples; // frames() * channels samples
    // The number of frames (one sample per channel each).
    std::size_t frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

// Decodes the bytes of a WAV file into sound: integer PCM of 8, 16, 24 or 32
// bits, mono or stereo, at kMinWaveRate..kMaxWaveRate, with at least one
// frame (a data chunk cut short by the end of the file keeps what is there).
// Returns "" on success, otherwise what is wrong, e.g. "its header says 0
// channels", and leaves sound empty.
std::string decodeWave(const std::string& bytes, WaveSound& sound);

// The sound at rate (frames a second, kMinWaveRate..kMaxWaveRate): every
// channel resampled through a windowed sinc filter that keeps what lies below
// both rates' half and removes what would fold back. A looped sound is taken
// as repeating for ever, so that its seam stays as clean as the file's.
WaveSound resampleWave(const WaveSound& sound, int rate, bool looped);

// The bytes of a 16-bit PCM WAV file holding sound.
std::string waveBytes(const WaveSound& sound);

#endif
