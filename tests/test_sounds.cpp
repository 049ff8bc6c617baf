// The generated sounds, measured with sox: the generator reproduces every
// sound of data/ byte for byte; each is a 16-bit mono WAV at the mixer's
// rate, short, below full scale, free of clicks at its ends, different from
// the others, and has the character its event asks for; the night loops
// without a seam and is the quietest of all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "installed_game.h"
#include "sound.h"
#include "sound_capture.h"

namespace {
const std::string kData = FIREFLIES_DATA_DIR;

std::string path(Effect effect) {
    return kData + "/" + soundFile(effect);
}

// What sox says of a file: one soxi field, e.g. "-r" for the rate.
std::string soxi(const std::string& file, const std::string& field) {
    CommandResult result = runCommand("soxi " + field + " " + shellWord(file));
    EXPECT_EQ(result.status, 0) << result.err;
    std::string text = result.out;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// Seconds of a file, as sox measures it.
double seconds(const std::string& file) {
    return std::atof(soxi(file, "-D").c_str());
}

// Root mean square of a file after a sox effect ("" for none), of full scale.
double rms(const std::string& file, const std::string& effect = "") {
    CommandResult result = runCommand("sox " + shellWord(file) + " -n " + effect + " stats");
    EXPECT_EQ(result.status, 0) << result.err;
    std::size_t at = result.err.find("RMS lev dB");
    EXPECT_NE(at, std::string::npos) << result.err;
    double db = std::atof(result.err.c_str() + at + 10);
    return std::pow(10.0, db / 20.0);
}

// Largest magnitude of the samples, of full scale.
double peakOf(const std::vector<int>& samples) {
    int peak = 0;
    for (int s : samples) {
        peak = std::max(peak, std::abs(s));
    }
    return peak / 32767.0;
}

// Shares of a file's energy in seven bands: below 250 Hz, the octaves from
// 250 Hz to 8 kHz, and above.
std::vector<double> spectrum(const std::string& file) {
    const char* bands[] = {"-250",      "250-500",   "500-1000", "1000-2000",
                           "2000-4000", "4000-8000", "8000"};
    std::vector<double> shares;
    double total = 0.0;
    for (const char* band : bands) {
        double r = rms(file, std::string("sinc ") + band);
        shares.push_back(r * r);
        total += r * r;
    }
    for (double& share : shares) {
        share /= total;
    }
    return shares;
}

bool isEffect(Effect effect) {
    return effect != Effect::Ambience;
}
} // namespace

TEST(Sounds, TheGeneratorReproducesEverySoundOfData) {
    TempDir out;
    CommandResult run =
        runCommand(std::string("'") + FIREFLIES_BINARY_DIR + "/make_assets' '" + out.path() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> made, shipped, played;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
        if (entry.path().extension() == ".wav") {
            made.insert(entry.path().filename().string());
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(kData)) {
        if (entry.path().extension() == ".wav") {
            shipped.insert(entry.path().filename().string());
        }
    }
    for (const SoundInfo& sound : kSounds) {
        played.insert(sound.file);
    }
    EXPECT_EQ(made, shipped);
    EXPECT_EQ(played, shipped) << "data/ holds a sound the game does not play, or lacks one";
    for (const std::string& name : made) {
        EXPECT_TRUE(readFile(out.path() + "/" + name) == readFile(kData + "/" + name))
            << name << " differs from data/: run make_assets data from the build and commit";
    }
}

TEST(Sounds, EveryOneIsAShortSixteenBitMonoWaveBelowFullScaleWithoutClicks) {
    for (const SoundInfo& sound : kSounds) {
        std::string file = kData + "/" + sound.file;
        SCOPED_TRACE(sound.file);
        EXPECT_EQ(soxi(file, "-t"), "wav");
        EXPECT_EQ(soxi(file, "-r"), std::to_string(kSampleRate));
        EXPECT_EQ(soxi(file, "-c"), "1");
        EXPECT_EQ(soxi(file, "-b"), "16");
        EXPECT_EQ(soxi(file, "-e"), "Signed Integer PCM");
        double length = seconds(file);
        if (sound.effect == Effect::Ambience) {
            EXPECT_GE(length, 2.0);
            EXPECT_LE(length, 10.0);
        } else if (sound.effect == Effect::Win || sound.effect == Effect::Lose) {
            EXPECT_GE(length, 1.0);
            EXPECT_LE(length, 3.0);
        } else {
            EXPECT_LT(length, 1.0);
        }
        std::vector<int> samples = soundSamples(file);
        ASSERT_FALSE(samples.empty());
        // Half of full scale at most, so that several at once stay below it.
        EXPECT_LE(peakOf(samples), 0.5);
        EXPECT_GT(peakOf(samples), 0.03) << "too quiet to hear";
        if (isEffect(sound.effect)) {
            // Starts and ends at silence: no click.
            EXPECT_LE(std::abs(samples.front()), 100);
            EXPECT_LE(std::abs(samples.back()), 100);
        }
    }
}

TEST(Sounds, TheNightLoopsWithoutASeamAndIsTheQuietest) {
    std::vector<int> night = soundSamples(path(Effect::Ambience));
    ASSERT_GT(night.size(), 2u);
    int largestStep = 0;
    for (std::size_t i = 1; i < night.size(); ++i) {
        largestStep = std::max(largestStep, std::abs(night[i] - night[i - 1]));
    }
    int seam = std::abs(night.front() - night.back());
    EXPECT_LE(seam, largestStep / 4) << "the loop jumps where it joins";
    double quiet = rms(path(Effect::Ambience));
    for (const SoundInfo& sound : kSounds) {
        if (isEffect(sound.effect)) {
            EXPECT_GT(rms(kData + "/" + sound.file), 2.0 * quiet) << sound.file;
        }
    }
}

TEST(Sounds, EachSoundsLikeWhatItTells) {
    // The player's beam is louder and brighter than the others' beams.
    EXPECT_GT(rms(path(Effect::PlayerBeam)), 1.2 * rms(path(Effect::OtherBeam)));
    EXPECT_GT(peakOf(soundSamples(path(Effect::PlayerBeam))),
              peakOf(soundSamples(path(Effect::OtherBeam))));
    std::vector<double> beam = spectrum(path(Effect::PlayerBeam));
    std::vector<double> otherBeam = spectrum(path(Effect::OtherBeam));
    EXPECT_GT(beam[4] + beam[5] + beam[6], otherBeam[4] + otherBeam[5] + otherBeam[6]);
    // A hit landed is bright: most of it above 1 kHz; a hit taken is low:
    // most of it below 250 Hz; a hit between others is quieter than both.
    std::vector<double> landed = spectrum(path(Effect::HitLanded));
    EXPECT_GT(landed[3] + landed[4] + landed[5] + landed[6], 0.8);
    EXPECT_GT(spectrum(path(Effect::HitTaken))[0], 0.8);
    double other = rms(path(Effect::OtherHit));
    EXPECT_LT(other, rms(path(Effect::HitLanded)));
    EXPECT_LT(other, rms(path(Effect::HitTaken)));
    // Bounces are soft and short: quieter than any beam or hit, under 0.15 s.
    for (Effect bounce :
         {Effect::BounceEdge, Effect::BounceFlower, Effect::BounceLantern, Effect::BounceFirefly}) {
        SCOPED_TRACE(soundFile(bounce));
        EXPECT_LT(seconds(path(bounce)), 0.15);
        for (Effect louder : {Effect::PlayerBeam, Effect::OtherBeam, Effect::HitLanded,
                              Effect::HitTaken, Effect::OtherHit}) {
            EXPECT_LT(rms(path(bounce)), rms(path(louder))) << soundFile(louder);
        }
    }
}

TEST(Sounds, NoTwoAreAlike) {
    // Two sounds differ in their spectrum (a third of their energy in other
    // bands) or in their length (by a third).
    std::vector<std::vector<double>> spectra;
    std::vector<double> lengths;
    for (const SoundInfo& sound : kSounds) {
        spectra.push_back(spectrum(kData + "/" + sound.file));
        lengths.push_back(seconds(kData + "/" + sound.file));
    }
    for (int a = 0; a < kEffectCount; ++a) {
        for (int b = a + 1; b < kEffectCount; ++b) {
            double apart = 0.0;
            for (std::size_t k = 0; k < spectra[a].size(); ++k) {
                apart += std::fabs(spectra[a][k] - spectra[b][k]);
            }
            double longer = std::max(lengths[a], lengths[b]);
            double lengthApart = std::fabs(lengths[a] - lengths[b]) / longer;
            EXPECT_TRUE(apart > 0.33 || lengthApart > 0.33)
                << kSounds[a].file << " and " << kSounds[b].file << ": spectra " << apart
                << " apart, lengths " << lengthApart;
        }
    }
}
