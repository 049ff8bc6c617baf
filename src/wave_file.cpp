#include "wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// Format tags of the "fmt " chunk: integer PCM, and the extensible form
// whose sub-format (its first two bytes) says the same.
constexpr unsigned kPcmTag = 1;
constexpr unsigned kExtensibleTag = 0xFFFE;
// Bytes of the "fmt " fields the game reads, and of the extensible form
// up to the start of its sub-format.
constexpr std::size_t kFormatBytes = 16;
constexpr std::size_t kExtensibleBytes = 26;

// The resampling filter: a sinc over this many zero crossings on each side,
// shaped by a Blackman window, tabulated at kKernelSteps points a crossing.
constexpr int kKernelCrossings = 16;
constexpr int kKernelSteps = 512;
constexpr double kPi = 3.14159265358979323846;

unsigned readLittle(const std::string& bytes, std::size_t at, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

void writeLittle(std::string& bytes, unsigned value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// One sample of bits bits at bytes[at], as a 16-bit sample: 8-bit samples
// are unsigned, wider ones signed and cut to their 16 highest bits.
std::int16_t sampleAt(const std::string& bytes, std::size_t at, int bits) {
    if (bits == 8) {
        int value = static_cast<unsigned char>(bytes[at]) - 128;
        return static_cast<std::int16_t>(value * 256);
    }
    int count = bits / 8;
    unsigned high = readLittle(bytes, at + static_cast<std::size_t>(count) - 2, 2);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(high));
}

// The windowed sinc at u zero crossings from its centre, 0 <= u.
double kernelAt(double u) {
    if (u >= kKernelCrossings) {
        return 0.0;
    }
    double sinc = u == 0.0 ? 1.0 : std::sin(kPi * u) / (kPi * u);
    double w = kPi * (u / kKernelCrossings + 1.0); // the window's phase, pi..2pi
    double window = 0.42 - 0.5 * std::cos(w) + 0.08 * std::cos(2.0 * w);
    return sinc * window;
}

// kernelAt tabulated, with one point past the end for interpolation.
const std::vector<double>& kernelTable() {
    static const std::vector<double> table = [] {
        std::vector<double> values(kKernelCrossings * kKernelSteps + 2);
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = kernelAt(static_cast<double>(i) / kKernelSteps);
        }
        return values;
    }();
    return table;
}

double kernelLookup(const std::vector<double>& table, double u) {
    double at = std::fabs(u) * kKernelSteps;
    auto index = static_cast<std::size_t>(at);
    if (index + 1 >= table.size()) {
        return 0.0;
    }
    double part = at - static_cast<double>(index);
    return table[index] + part * (table[index + 1] - table[index]);
}

} // namespace

std::string decodeWave(const std::string& bytes, WaveSound& sound) {
    sound = WaveSound{};
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        return "not a WAV file";
    }
    // The chunks after the RIFF header: "fmt " must come before "data".
    bool haveFormat = false;
    unsigned channels = 0;
    unsigned rate = 0;
    unsigned bits = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::string id = bytes.substr(at, 4);
        std::size_t size = readLittle(bytes, at + 4, 4);
        std::size_t start = at + 8;
        std::size_t present = std::min(size, bytes.size() - start);
        if (id == "fmt ") {
            if (present < kFormatBytes) {
                return "its format chunk is cut short";
            }
            unsigned tag = readLittle(bytes, start, 2);
            if (tag == kExtensibleTag && present >= kExtensibleBytes) {
                tag = readLittle(bytes, start + 24, 2);
            }
            if (tag != kPcmTag) {
                return "its samples are not integer PCM (format " + std::to_string(tag) + ")";
            }
            channels = readLittle(bytes, start + 2, 2);
            rate = readLittle(bytes, start + 4, 4);
            unsigned align = readLittle(bytes, start + 12, 2);
            bits = readLittle(bytes, start + 14, 2);
            if (channels != 1 && channels != 2) {
                return "its header says " + std::to_string(channels) +
                       " channels; the game plays mono or stereo";
            }
            if (rate < static_cast<unsigned>(kMinWaveRate) ||
                rate > static_cast<unsigned>(kMaxWaveRate)) {
                return "its header says " + std::to_string(rate) + " Hz, outside " +
                       std::to_string(kMinWaveRate) + ".." + std::to_string(kMaxWaveRate);
            }
            if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
                return "its header says " + std::to_string(bits) +
                       "-bit samples; the game reads 8, 16, 24 or 32";
            }
            if (align != channels * bits / 8) {
                return "its header says " + std::to_string(align) + " bytes a frame, not the " +
                       std::to_string(channels * bits / 8) + " of its channels and bits";
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                return "its samples come before their format";
            }
            // A writer that could not go back to fill in the size leaves it
            // too large: what the file holds is taken.
            std::size_t frameBytes = channels * bits / 8;
            std::size_t frames = present / frameBytes;
            if (frames == 0) {
                return "it holds no samples";
            }
            sound.rate = static_cast<int>(rate);
            sound.channels = static_cast<int>(channels);
            sound.samples.resize(frames * channels);
            for (std::size_t i = 0; i < sound.samples.size(); ++i) {
                sound.samples[i] = sampleAt(bytes, start + i * (bits / 8), static_cast<int>(bits));
            }
            return "";
        }
        if (size > bytes.size() - start) {
            break;
        }
        at = start + size + (size % 2); // chunks are padded to an even length
    }
    sound = WaveSound{};
    return haveFormat ? "it has no samples (no data chunk)" : "it has no format chunk";
}

WaveSound resampleWave(const WaveSound& sound, int rate, bool looped) {
    WaveSound out;
    out.rate = rate;
    out.channels = sound.channels;
    const std::size_t inFrames = sound.frames();
    if (inFrames == 0 || sound.rate <= 0 || rate <= 0) {
        return out;
    }
    if (sound.rate == rate) {
        out.samples = sound.samples;
        return out;
    }
    const auto outFrames = static_cast<std::size_t>(
        (static_cast<unsigned long long>(inFrames) * static_cast<unsigned>(rate) +
         static_cast<unsigned>(sound.rate) / 2) /
        static_cast<unsigned>(sound.rate));
    out.samples.assign(std::max<std::size_t>(outFrames, 1) * out.channels, 0);
    const std::vector<double>& table = kernelTable();
    const double step = static_cast<double>(sound.rate) / rate; // input frames an output frame
    // Going down, the filter is widened so that it cuts at the new half rate.
    const double scale = std::min(1.0, 1.0 / step);
    const double reach = kKernelCrossings / scale; // input frames on each side
    const long long count = static_cast<long long>(inFrames);
    for (std::size_t n = 0; n < out.frames(); ++n) {
        double t = static_cast<double>(n) * step;
        long long first = static_cast<long long>(std::ceil(t - reach));
        long long last = static_cast<long long>(std::floor(t + reach));
        for (int c = 0; c < out.channels; ++c) {
            double sum = 0.0;
            for (long long k = first; k <= last; ++k) {
                long long index = k;
                if (looped) {
                    index = ((k % count) + count) % count;
                } else if (k < 0 || k >= count) {
                    continue;
                }
                double weight = kernelLookup(table, (t - static_cast<double>(k)) * scale);
                sum += weight * sound.samples[static_cast<std::size_t>(index) * out.channels +
                                              static_cast<std::size_t>(c)];
            }
            double value = std::lround(sum * scale);
            out.samples[n * out.channels + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
        }
    }
    return out;
}

std::string waveBytes(const WaveSound& sound) {
    const auto channels = static_cast<unsigned>(sound.channels);
    const auto dataBytes = static_cast<unsigned>(sound.samples.size() * 2);
    std::string bytes = "RIFF";
    writeLittle(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    writeLittle(bytes, kFormatBytes, 4);
    writeLittle(bytes, kPcmTag, 2);
    writeLittle(bytes, channels, 2);
    writeLittle(bytes, static_cast<unsigned>(sound.rate), 4);
    writeLittle(bytes, static_cast<unsigned>(sound.rate) * channels * 2, 4);
    writeLittle(bytes, channels * 2, 2);
    writeLittle(bytes, 16, 2);
    bytes += "data";
    writeLittle(bytes, dataBytes, 4);
    for (std::int16_t sample : sound.samples) {
        writeLittle(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    return bytes;
}
