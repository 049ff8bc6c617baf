#include "make_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "sound.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSampleRate;

using Samples = std::vector<double>;

// A run of silence seconds long.
Samples silence(double seconds) {
    return Samples(static_cast<std::size_t>(std::lround(seconds * kRate)), 0.0);
}

// The time of sample i, seconds.
double timeOf(std::size_t i) {
    return static_cast<double>(i) / kRate;
}

// Noise from a seed of its own (xorshift32), uniform in [-1, 1).
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_;
};

// A rise of attack seconds (a quarter sine, so the sound starts at 0 without
// a click) into an exponential fall with time constant decay seconds.
double strike(double t, double attack, double decay) {
    if (t < 0.0) {
        return 0.0;
    }
    if (t < attack) {
        return std::sin(0.5 * kPi * t / attack);
    }
    return std::exp(-(t - attack) / decay);
}

// One-pole low-pass filter.
class LowPass {
  public:
    explicit LowPass(double cutoff) : a_(1.0 - std::exp(-2.0 * kPi * cutoff / kRate)) {}
    double step(double x) {
        y_ += a_ * (x - y_);
        return y_;
    }

  private:
    double a_;
    double y_ = 0.0;
};

// Band-pass biquad (constant 0 dB peak gain) about centre with quality q.
class BandPass {
  public:
    BandPass(double centre, double q) {
        double w = 2.0 * kPi * centre / kRate;
        double alpha = std::sin(w) / (2.0 * q);
        double a0 = 1.0 + alpha;
        b0_ = alpha / a0;
        b2_ = -alpha / a0;
        a1_ = -2.0 * std::cos(w) / a0;
        a2_ = (1.0 - alpha) / a0;
    }
    double step(double x) {
        double y = b0_ * x + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

  private:
    double b0_, b2_, a1_, a2_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

// A sine whose frequency may change from sample to sample.
class Oscillator {
  public:
    // The next sample of sin(phase) + the given harmonics (level of the
    // 2nd, 3rd, ... partial) at frequency hz.
    double step(double hz, std::initializer_list<double> harmonics = {}) {
        double value = std::sin(phase_);
        int n = 2;
        for (double level : harmonics) {
            value += level * std::sin(n * phase_);
            ++n;
        }
        phase_ += 2.0 * kPi * hz / kRate;
        if (phase_ > 2.0 * kPi) {
            phase_ -= 2.0 * kPi;
        }
        return value;
    }

  private:
    double phase_ = 0.0;
};

// Adds source into out from time start (seconds), scaled by level.
void addAt(Samples& out, const Samples& source, double start, double level = 1.0) {
    std::size_t offset = static_cast<std::size_t>(std::lround(start * kRate));
    if (out.size() < offset + source.size()) {
        out.resize(offset + source.size(), 0.0);
    }
    for (std::size_t i = 0; i < source.size(); ++i) {
        out[offset + i] += level * source[i];
    }
}

// Scales the sound so that its largest magnitude is peak (of full scale).
void setPeak(Samples& samples, double peak) {
    double largest = 0.0;
    for (double s : samples) {
        largest = std::max(largest, std::fabs(s));
    }
    if (largest > 0.0) {
        for (double& s : samples) {
            s *= peak / largest;
        }
    }
}

// Brings the last seconds down to silence, so that no effect ends in a click.
void fadeOut(Samples& samples, double seconds) {
    std::size_t n = std::min(samples.size(), static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < n; ++i) {
        double k = static_cast<double>(i) / static_cast<double>(n);
        samples[samples.size() - 1 - i] *= std::sin(0.5 * kPi * k);
    }
}

// A finished effect: faded out and scaled to its peak.
Samples finish(Samples samples, double peak) {
    fadeOut(samples, 0.004);
    setPeak(samples, peak);
    return samples;
}

// The player's beam: a bright zap falling from 2.8 kHz to 700 Hz with a
// high shimmer, 0.26 s.
Samples playerBeam() {
    Samples out = silence(0.26);
    Oscillator tone;
    Noise noise(11);
    BandPass shimmer(6000.0, 3.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double hz = 700.0 + 2100.0 * std::exp(-t / 0.045);
        out[i] = strike(t, 0.002, 0.075) * tone.step(hz, {0.35, 0.12}) +
                 0.8 * strike(t, 0.001, 0.02) * shimmer.step(noise.next());
    }
    return finish(out, 0.36);
}

// Another firefly's beam: softer, lower and duller, 1.6 kHz down to 480 Hz,
// 0.2 s.
Samples otherBeam() {
    Samples out = silence(0.2);
    Oscillator tone;
    LowPass dull(3000.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double hz = 480.0 + 1100.0 * std::exp(-t / 0.04);
        out[i] = dull.step(strike(t, 0.003, 0.05) * tone.step(hz, {0.15}));
    }
    return finish(out, 0.20);
}

// A struck bell at hz: the fundamental and two inharmonic partials that die
// away faster, ringing with time constant decay.
Samples bell(double hz, double seconds, double decay) {
    Samples out = silence(seconds);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double attack = std::min(1.0, t / 0.001);
        out[i] = attack * (std::exp(-t / decay) * std::sin(2.0 * kPi * hz * t) +
                           0.4 * std::exp(-t / 0.06) * std::sin(2.0 * kPi * 2.76 * hz * t) +
                           0.2 * std::exp(-t / 0.03) * std::sin(2.0 * kPi * 5.4 * hz * t));
    }
    fadeOut(out, 0.01);
    return out;
}

// A hit the player landed: a bright rising chime of two bells, E6 then B6,
// 0.5 s.
Samples hitLanded() {
    Samples out = silence(0.5);
    addAt(out, bell(1318.5, 0.5, 0.16), 0.0, 0.8);
    addAt(out, bell(1975.5, 0.425, 0.2), 0.075, 1.0);
    out.resize(static_cast<std::size_t>(0.5 * kRate));
    return finish(out, 0.34);
}

// A hit the player took: a low, heavy thump falling from 160 Hz to 48 Hz,
// saturated and kept below about 300 Hz, 0.5 s.
Samples hitTaken() {
    Samples out = silence(0.5);
    Oscillator tone;
    Noise noise(23);
    LowPass thud(250.0);
    LowPass keepLow1(320.0);
    LowPass keepLow2(320.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double hz = 48.0 + 110.0 * std::exp(-t / 0.08);
        double body = std::tanh(2.2 * tone.step(hz)) / std::tanh(2.2);
        double value = strike(t, 0.002, 0.14) * body +
                       0.4 * strike(t, 0.001, 0.02) * thud.step(noise.next()) * 4.0;
        out[i] = keepLow2.step(keepLow1.step(value));
    }
    return finish(out, 0.42);
}

// A hit between two computer fireflies: a short muted tock, 820 Hz down to
// 620 Hz, 0.2 s.
Samples otherHit() {
    Samples out = silence(0.2);
    Oscillator tone;
    Noise noise(37);
    BandPass click(2000.0, 2.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double hz = 620.0 + 200.0 * std::exp(-t / 0.03);
        out[i] = strike(t, 0.001, 0.035) * tone.step(hz, {0.2}) +
                 0.5 * strike(t, 0.0005, 0.003) * click.step(noise.next());
    }
    return finish(out, 0.16);
}

// Off a lantern: a soft papery tap, noise about 1.1 kHz over a faint 560 Hz
// body, 0.1 s.
Samples bounceLantern() {
    Samples out = silence(0.1);
    Oscillator body;
    Noise noise(41);
    BandPass paper(1100.0, 4.0);
    LowPass soft(3000.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        out[i] = strike(t, 0.002, 0.018) * 3.0 * soft.step(paper.step(noise.next())) +
                 0.5 * strike(t, 0.002, 0.03) * body.step(560.0);
    }
    return finish(out, 0.10);
}

// Off a flower: a leafy brush of noise about 3.4 kHz, its hiss rolled off
// above, 0.12 s.
Samples bounceFlower() {
    Samples out = silence(0.12);
    Noise noise(53);
    BandPass leaves(3400.0, 1.5);
    LowPass soft1(6000.0);
    LowPass soft2(6000.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        out[i] = strike(t, 0.006, 0.025) * soft2.step(soft1.step(leaves.step(noise.next())));
    }
    return finish(out, 0.10);
}

// Off the arena's edge: a soft round boop, G4 with its octave, 0.12 s.
Samples bounceEdge() {
    Samples out = silence(0.12);
    Oscillator tone;
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        out[i] = strike(t, 0.002, 0.035) * tone.step(392.0, {0.3});
    }
    return finish(out, 0.10);
}

// Two fireflies bumping: a double tick at 1568 Hz, the second softer,
// 0.09 s.
Samples bounceFirefly() {
    Samples out = silence(0.09);
    Oscillator tone;
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double ticks = strike(t, 0.001, 0.006) + 0.7 * strike(t - 0.035, 0.001, 0.006);
        out[i] = ticks * tone.step(1568.0);
    }
    return finish(out, 0.10);
}

// One note of a phrase: a tone with the given harmonics, a 5 ms rise and a
// fall with time constant decay; vibrato is the depth of a 5 Hz wobble of
// the pitch (0 for none).
Samples note(double hz, double seconds, double decay, std::initializer_list<double> harmonics,
             double vibrato = 0.0) {
    Samples out = silence(seconds);
    Oscillator tone;
    for (std::size_t i = 0; i < out.size(); ++i) {
        double t = timeOf(i);
        double pitch = hz * (1.0 + vibrato * std::sin(2.0 * kPi * 5.0 * t));
        out[i] = strike(t, 0.005, decay) * tone.step(pitch, harmonics);
    }
    fadeOut(out, 0.05);
    return out;
}

// The player won: a rising major arpeggio, C5 E5 G5 and a ringing C6, 1.8 s.
Samples win() {
    Samples out = silence(1.8);
    const double notes[] = {523.25, 659.26, 783.99};
    for (int k = 0; k < 3; ++k) {
        addAt(out, note(notes[k], 0.9, 0.3, {0.3, 0.12}), 0.14 * k, 0.8);
    }
    addAt(out, note(1046.5, 1.38, 0.55, {0.3, 0.12}), 0.42, 1.0);
    out.resize(static_cast<std::size_t>(1.8 * kRate));
    return finish(out, 0.40);
}

// The player lost: a slow falling minor phrase, G4 E-flat4 C4 and a long,
// wavering G3 in a hollow tone, 2.2 s.
Samples lose() {
    Samples out = silence(2.2);
    const double notes[] = {392.0, 311.13, 261.63};
    for (int k = 0; k < 3; ++k) {
        addAt(out, note(notes[k], 0.9, 0.35, {0.0, 0.2}), 0.32 * k, 0.8);
    }
    addAt(out, note(196.0, 1.24, 0.6, {0.0, 0.2}, 0.01), 0.96, 1.0);
    out.resize(static_cast<std::size_t>(2.2 * kRate));
    fadeOut(out, 0.3);
    return finish(out, 0.40);
}

// The night: two crickets (4.4 kHz chirps of three pulses every 0.5 s, and
// a quieter 5.2 kHz one every 0.8 s) over a faint breeze, a 4 s loop that
// joins without a seam: every tone fits a whole number of cycles into it,
// the chirps repeat within it, and the breeze is filtered round the loop.
Samples night() {
    const double loop = 4.0;
    Samples out = silence(loop);
    const std::size_t n = out.size();

    // The breeze: noise band-limited to about 300-700 Hz, filtered over the
    // loop twice so that its end runs on into its start.
    Noise noise(67);
    Samples raw(n);
    for (double& s : raw) {
        s = noise.next();
    }
    LowPass upper1(700.0);
    LowPass upper2(700.0);
    LowPass upper3(700.0);
    LowPass lower(300.0);
    Samples breeze(n);
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < n; ++i) {
            double low = upper3.step(upper2.step(upper1.step(raw[i])));
            breeze[i] = low - lower.step(low);
        }
    }

    // A pulse train of a cricket: chirps of three 18 ms pulses 32 ms apart.
    auto chirp = [](double t) {
        double level = 0.0;
        for (int k = 0; k < 3; ++k) {
            double u = (t - 0.032 * k) / 0.018;
            if (u >= 0.0 && u < 1.0) {
                level += std::pow(std::sin(kPi * u), 2.0);
            }
        }
        return level;
    };
    const double loudness[] = {1.0, 0.8, 0.95, 0.7, 1.0, 0.85, 0.9, 0.75};
    for (std::size_t i = 0; i < n; ++i) {
        double t = timeOf(i);
        int first = static_cast<int>(t / 0.5);
        double one =
            loudness[first % 8] * chirp(t - 0.5 * first) * std::sin(2.0 * kPi * 4400.0 * t);
        double shifted = std::fmod(t + loop - 0.25, loop);
        double second = 0.45 * chirp(std::fmod(shifted, 0.8)) * std::sin(2.0 * kPi * 5200.0 * t);
        double sway = 1.0 + 0.3 * std::sin(2.0 * kPi * t / loop);
        out[i] = one + second + 0.6 * sway * breeze[i];
    }
    setPeak(out, 0.045);
    return out;
}

// Writes samples (full scale 1.0) as a 16-bit mono PCM WAV file.
bool writeWav(const std::string& path, const Samples& samples) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::vector<unsigned char> bytes;
    auto put16 = [&bytes](std::uint32_t v) {
        bytes.push_back(static_cast<unsigned char>(v & 0xff));
        bytes.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
    };
    auto put32 = [&put16](std::uint32_t v) {
        put16(v & 0xffff);
        put16(v >> 16);
    };
    auto putText = [&bytes](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    putText("RIFF");
    put32(36 + dataBytes);
    putText("WAVE");
    putText("fmt ");
    put32(16);                                    // size of the format block
    put16(1);                                     // PCM
    put16(1);                                     // mono
    put32(static_cast<std::uint32_t>(kRate));     // samples a second
    put32(static_cast<std::uint32_t>(kRate) * 2); // bytes a second
    put16(2);                                     // bytes a sample
    put16(16);                                    // bits a sample
    putText("data");
    put32(dataBytes);
    for (double s : samples) {
        long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        put16(static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))));
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// The synthesis of an effect.
Samples make(Effect effect) {
    switch (effect) {
    case Effect::PlayerBeam:
        return playerBeam();
    case Effect::OtherBeam:
        return otherBeam();
    case Effect::HitLanded:
        return hitLanded();
    case Effect::HitTaken:
        return hitTaken();
    case Effect::OtherHit:
        return otherHit();
    case Effect::BounceEdge:
        return bounceEdge();
    case Effect::BounceFlower:
        return bounceFlower();
    case Effect::BounceLantern:
        return bounceLantern();
    case Effect::BounceFirefly:
        return bounceFirefly();
    case Effect::Win:
        return win();
    case Effect::Lose:
        return lose();
    case Effect::Ambience:
        break;
    }
    return night();
}

} // namespace

bool writeSounds(const std::string& dir) {
    bool ok = true;
    for (const SoundInfo& sound : kSounds) {
        ok = writeWav(dir + "/" + sound.file, make(sound.effect)) && ok;
    }
    return ok;
}
