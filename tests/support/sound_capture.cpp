#include "sound_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "installed_game.h"
#include "learner.h"
#include "output_lines.h"

namespace {

// Little-endian 16-bit samples from raw bytes.
std::vector<int> samplesOf(const std::string& bytes) {
    std::vector<int> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        unsigned low = static_cast<unsigned char>(bytes[2 * i]);
        unsigned high = static_cast<unsigned char>(bytes[2 * i + 1]);
        samples[i] = static_cast<short>(static_cast<unsigned short>(low | (high << 8)));
    }
    return samples;
}
} // namespace

void writeSteadyTables(const std::string& folder, int action) {
    Learner tables;
    std::fill(tables.transProbs.begin(), tables.transProbs.end(), 0.0);
    std::fill(tables.values.begin(), tables.values.end(), 0.0);
    // The action leads to the only state of any value, every other to one of none.
    tables.values[0] = 1.0;
    for (int s = 0; s < kStateCount; ++s) {
        for (int a = 0; a < kActionCount; ++a) {
            tables.transProb(s, a == action ? 0 : 1, a) = 1.0;
        }
    }
    std::string trans = folder + "/learner.trans";
    std::string val = folder + "/learner.val";
    std::remove(trans.c_str());
    std::remove(val.c_str());
    std::string problem = tables.saveTransitions(trans) + tables.saveValues(val);
    if (!problem.empty()) {
        throw std::runtime_error(problem);
    }
}

Capture readCapture(const std::string& path) {
    std::vector<int> both = samplesOf(readFile(path));
    Capture capture;
    for (std::size_t i = 0; i + 1 < both.size(); i += 2) {
        capture.left.push_back(both[i]);
        capture.right.push_back(both[i + 1]);
    }
    return capture;
}

std::vector<int> soundSamples(const std::string& path) {
    CommandResult raw =
        runCommand("sox " + shellWord(path) + " -t raw -e signed-integer -b 16 -L -c 1 -");
    if (raw.status != 0) {
        throw std::runtime_error("sox could not read " + path + ": " + raw.err);
    }
    return samplesOf(raw.out);
}

std::size_t firstSound(const Capture& capture, std::size_t from) {
    for (std::size_t i = from; i < capture.frames(); ++i) {
        if (capture.left[i] != 0 || capture.right[i] != 0) {
            return i;
        }
    }
    return capture.frames();
}

int peakIn(const Capture& capture, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < to && i < capture.frames(); ++i) {
        peak = std::max(peak, std::max(std::abs(capture.left[i]), std::abs(capture.right[i])));
    }
    return peak;
}

double rmsIn(const std::vector<int>& channel, std::size_t from, std::size_t to) {
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t i = from; i < to && i < channel.size(); ++i) {
        sum += static_cast<double>(channel[i]) * channel[i];
        ++n;
    }
    return n == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(n));
}

double toneFrequency(const std::vector<int>& channel, std::size_t from, std::size_t to, int rate) {
    // A crossing lies between a sample below 0 and the next at or above it;
    // its place is interpolated between the two.
    double first = -1.0;
    double last = -1.0;
    int rises = 0;
    for (std::size_t i = from + 1; i < to && i < channel.size(); ++i) {
        if (channel[i - 1] < 0 && channel[i] >= 0) {
            double at = static_cast<double>(i - 1) +
                        static_cast<double>(-channel[i - 1]) / (channel[i] - channel[i - 1]);
            if (first < 0.0) {
                first = at;
            }
            last = at;
            ++rises;
        }
    }
    return rises < 2 ? 0.0 : (rises - 1) * static_cast<double>(rate) / (last - first);
}

SoundMatch findSound(const std::vector<int>& channel, const std::vector<int>& sound,
                     std::size_t from, std::size_t to) {
    SoundMatch best;
    best.correlation = -2.0;
    double soundEnergy = 0.0;
    for (int s : sound) {
        soundEnergy += static_cast<double>(s) * s;
    }
    for (std::size_t start = from; start <= to && start < channel.size(); ++start) {
        double cross = 0.0;
        double energy = 0.0;
        for (std::size_t n = 0; n < sound.size() && start + n < channel.size(); ++n) {
            double c = channel[start + n];
            cross += c * sound[n];
            energy += c * c;
        }
        double correlation =
            (energy > 0.0 && soundEnergy > 0.0) ? cross / std::sqrt(energy * soundEnergy) : 0.0;
        if (correlation > best.correlation) {
            best.start = start;
            best.correlation = correlation;
            best.gain = soundEnergy > 0.0 ? cross / soundEnergy : 0.0;
        }
    }
    return best;
}

GameRun runGame(const std::string& folder, const std::string& steps, const std::string& environment,
                const std::string& mapArgument) {
    TempDir scratch;
    std::string out = scratch.path() + "/out";
    std::string err = scratch.path() + "/err";
    // A shell that becomes the game, its output sent to files of its own.
    std::string game = "-c " +
                       shellWord("exec \"$0\" \"$@\" >" + shellWord(out) + " 2>" + shellWord(err)) +
                       " " + shellWord(kGameBinary);
    if (!mapArgument.empty()) {
        game += " " + shellWord(mapArgument);
    }
    GameRun run;
    run.driver = runCommand(kPrivateDisplay + "env " + environment + " " + shellWord(kDriveGame) +
                            " /bin/sh " + shellWord(folder) + " " + shellWord(steps) + " " + game +
                            " </dev/null");
    run.out = readFile(out);
    run.err = checkedStandardError(readFile(err), "the game");
    std::istringstream lines(run.driver.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("mark ", 0) == 0) {
            run.marks.push_back(std::strtoull(line.c_str() + 5, nullptr, 10) / 4);
        }
    }
    return run;
}

CapturedRun runCapturedGame(const std::string& folder, const std::string& steps,
                            const std::string& environment, const std::string& mapArgument) {
    TempDir scratch;
    std::string capture = scratch.path() + "/capture.raw";
    std::string withCapture = steps;
    for (std::size_t at; (at = withCapture.find("CAPTURE")) != std::string::npos;) {
        withCapture.replace(at, 7, capture);
    }
    // One buffer of 1024 frames is 23.2 ms: the driver then writes in real time.
    std::string disk =
        "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + shellWord(capture) + " SDL_DISKAUDIODELAY=23 ";
    CapturedRun result;
    result.run = runGame(folder, withCapture, disk + environment, mapArgument);
    result.capture = readCapture(capture);
    return result;
}
