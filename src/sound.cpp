#include "sound.h"

#include <SDL/SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "state.h"
#include "step_record.h"
#include "wave_file.h"

const SoundInfo kSounds[kEffectCount] = {
    {Effect::PlayerBeam, "beam.wav", 1},
    {Effect::OtherBeam, "beam_other.wav", 3},
    {Effect::HitLanded, "hit_landed.wav", 1},
    {Effect::HitTaken, "hit_taken.wav", 2},
    {Effect::OtherHit, "hit_other.wav", 2},
    {Effect::BounceEdge, "bounce_edge.wav", 2},
    {Effect::BounceFlower, "bounce_flower.wav", 2},
    {Effect::BounceLantern, "bounce_lantern.wav", 2},
    {Effect::BounceFirefly, "bounce_firefly.wav", 2},
    {Effect::Win, "win.wav", 1},
    {Effect::Lose, "lose.wav", 1},
    {Effect::Ambience, "night.wav", 1},
};

const char* soundFile(Effect effect) {
    return kSounds[static_cast<int>(effect)].file;
}

MuteSetting readMuteSetting(const char* value) {
    MuteSetting setting;
    if (value == nullptr) {
        return setting;
    }
    std::string word = value;
    const char* blanks = " \t\n\r\f\v";
    word.erase(0, word.find_first_not_of(blanks));
    word.erase(word.find_last_not_of(blanks) + 1);
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a'); // the same in every locale
        }
    }
    for (const char* yes : {"1", "true", "yes", "on"}) {
        setting.muted = setting.muted || word == yes;
    }
    bool known = setting.muted || word.empty();
    for (const char* no : {"0", "false", "no", "off"}) {
        known = known || word == no;
    }
    if (!known) {
        setting.problem = std::string(kMuteVariable) + "=\"" + printable(value) +
                          "\" is neither 1, true, yes, on (mute) nor 0, false, no, off; the "
                          "sound stays on";
    }
    return setting;
}

namespace {

// Distance scale of a positioned sound: a source this far from the eye
// (world units) is half way to the quietest, which is kQuietest.
constexpr double kHalfwayDistance = 50.0;
constexpr double kQuietest = 240.0;

// The effect of a bounce off what.
Effect bounceEffect(Obstacle obstacle) {
    switch (obstacle) {
    case Obstacle::Edge:
        return Effect::BounceEdge;
    case Obstacle::Flower:
        return Effect::BounceFlower;
    case Obstacle::Lantern:
        return Effect::BounceLantern;
    case Obstacle::Firefly:
        break;
    }
    return Effect::BounceFirefly;
}

// ALSA writes its own complaints to standard error, one screenful when a
// machine has no sound card; the game's output stays its own.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Reads a sound file whole into bytes; returns "", or why it could not be
// read, as a warning goes on after the file's name.
std::string readSoundBytes(const std::string& file, std::string& bytes) {
    std::string other = notAFile(file);
    if (!other.empty()) {
        return "cannot be read (" + other + ")";
    }
    switch (readFileUpTo(file, kMaxSoundBytes, bytes)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return "";
    case FileRead::kCannotOpen:
        return std::string("cannot be opened (") + std::strerror(errno) + ")";
    case FileRead::kTooLarge:
        return "is larger than " + std::to_string(kMaxSoundBytes >> 20) +
               " MB, more than the game reads for a sound";
    case FileRead::kCannotRead:
        break;
    }
    return "cannot be read";
}

} // namespace

Placement placeSound(double eyeX, double eyeZ, double heading, double x, double z) {
    Placement placement;
    placement.centred = false;
    // Bearings are measured as headings are, from +Z toward +X, and a
    // heading grows to the left; SDL_mixer's angle grows to the right.
    double bearing = angleBetween(eyeZ, eyeX, z, x);
    if (std::isnan(bearing)) {
        bearing = heading;
    }
    double angle = std::fmod(heading - bearing, 360.0);
    if (angle < 0.0) {
        angle += 360.0;
    }
    placement.angle = static_cast<int>(std::lround(angle)) % 360;
    double d = distance(eyeZ, eyeX, z, x);
    placement.distance = static_cast<int>(std::lround(kQuietest * d / (d + kHalfwayDistance)));
    return placement;
}

std::vector<Cue> cuesForStep(const StepRecord& record, const GameState& world) {
    const Firefly& player = *world.fireflies[0];
    const double eyeX = world.camera.eye[0];
    const double eyeZ = world.camera.eye[2];
    std::vector<Cue> cues;
    auto centred = [&cues](Effect effect) { cues.push_back(Cue{effect, Placement{}}); };
    auto at = [&](Effect effect, double x, double z) {
        cues.push_back(Cue{effect, placeSound(eyeX, eyeZ, player.heading, x, z)});
    };
    auto atFirefly = [&](Effect effect, int i) {
        at(effect, world.fireflies[i]->x, world.fireflies[i]->z);
    };

    for (int shooter : record.shots) {
        if (shooter == 0) {
            centred(Effect::PlayerBeam);
        } else {
            atFirefly(Effect::OtherBeam, shooter);
        }
    }
    for (const Hit& hit : record.hits) {
        if (hit.shooter == 0) {
            centred(Effect::HitLanded);
        } else if (hit.target == 0) {
            centred(Effect::HitTaken);
        } else {
            atFirefly(Effect::OtherHit, hit.target);
        }
    }
    for (const Contact& contact : record.contacts) {
        if (!contact.fresh) {
            continue;
        }
        Effect effect = bounceEffect(contact.obstacle);
        if (contact.firefly == 0) {
            centred(effect); // a pair's lower index: the player in any pair with it
        } else if (contact.obstacle == Obstacle::Firefly) {
            const Firefly& a = *world.fireflies[contact.firefly];
            const Firefly& b = *world.fireflies[contact.other];
            at(effect, (a.x + b.x) / 2.0, (a.z + b.z) / 2.0);
        } else {
            atFirefly(effect, contact.firefly);
        }
    }
    if (record.ended) {
        centred(world.playerWon() ? Effect::Win : Effect::Lose);
    }
    std::stable_sort(cues.begin(), cues.end(), [](const Cue& a, const Cue& b) {
        int nearA = a.placement.centred ? -1 : a.placement.distance;
        int nearB = b.placement.centred ? -1 : b.placement.distance;
        return nearA < nearB;
    });
    bool taken[kEffectCount] = {};
    std::vector<Cue> kept;
    for (const Cue& cue : cues) {
        bool& seen = taken[static_cast<int>(cue.effect)];
        if (!seen) {
            kept.push_back(cue);
            seen = true;
        }
    }
    return kept;
}

SoundPlayer::~SoundPlayer() {
    if (!open_) {
        return;
    }
    Mix_HaltChannel(-1);
    for (Mix_Chunk*& chunk : chunks_) {
        if (chunk != nullptr) {
            Mix_FreeChunk(chunk);
            chunk = nullptr;
        }
    }
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::vector<LoadError> SoundPlayer::open(bool muted) {
    std::vector<LoadError> warnings;
    if (open_) {
        return warnings;
    }
    snd_lib_error_set_handler(quietAlsa);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return warnings;
    }
    if (Mix_OpenAudio(kSampleRate, AUDIO_S16SYS, 2, kMixerFrames) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return warnings;
    }
    open_ = true;
    // The device may have been opened at another rate than asked for.
    int mixerRate = kSampleRate;
    Uint16 mixerFormat = 0;
    int mixerChannels = 0;
    if (Mix_QuerySpec(&mixerRate, &mixerFormat, &mixerChannels) == 0 ||
        mixerRate < kMinWaveRate || mixerRate > kMaxWaveRate) {
        mixerRate = kSampleRate;
    }

    // Each sound has channels of its own, as many as its voices, grouped
    // under its number: a burst of one sound cannot crowd out the others.
    int channels = 0;
    for (const SoundInfo& sound : kSounds) {
        channels += sound.voices;
    }
    Mix_AllocateChannels(channels);
    int first = 0;
    for (const SoundInfo& sound : kSounds) {
        Mix_GroupChannels(first, first + sound.voices - 1, static_cast<int>(sound.effect));
        first += sound.voices;
    }

    for (const SoundInfo& sound : kSounds) {
        std::string file = sound.file;
        std::string bytes;
        std::string problem = readSoundBytes(file, bytes);
        Mix_Chunk* chunk = nullptr;
        if (problem.empty()) {
            // The mixer is handed only a sound checked and brought to its
            // rate here (a header of 0 channels would crash its conversion).
            WaveSound wave;
            std::string reason = decodeWave(bytes, wave);
            if (reason.empty()) {
                std::string playable =
                    waveBytes(resampleWave(wave, mixerRate, sound.effect == Effect::Ambience));
                SDL_RWops* in =
                    SDL_RWFromConstMem(playable.data(), static_cast<int>(playable.size()));
                chunk = in != nullptr ? Mix_LoadWAV_RW(in, 1) : nullptr;
                if (chunk == nullptr) {
                    reason = Mix_GetError();
                }
            }
            if (chunk == nullptr) {
                problem = "is not a sound the game can play (" + reason + ")";
            }
        }
        if (chunk == nullptr) {
            warnings.push_back(
                LoadError{file + ": " + problem + "; the game plays on without it", false, file});
        }
        chunks_[static_cast<int>(sound.effect)] = chunk;
    }

    setMuted(muted);
    if (Mix_Chunk* night = chunks_[static_cast<int>(Effect::Ambience)]) {
        Mix_PlayChannel(Mix_GroupAvailable(static_cast<int>(Effect::Ambience)), night, -1);
    }
    return warnings;
}

void SoundPlayer::play(const std::vector<Cue>& cues) {
    ++frame_;
    if (!open_ || muted_) {
        return;
    }
    for (const Cue& cue : cues) {
        int tag = static_cast<int>(cue.effect);
        Mix_Chunk* chunk = chunks_[tag];
        if (chunk == nullptr) {
            continue;
        }
        if (started_[tag] != 0 && frame_ - started_[tag] <= kRetriggerFrames) {
            continue; // too soon after the last one
        }
        int channel = Mix_GroupAvailable(tag);
        if (channel < 0) {
            continue; // every voice of this sound is busy
        }
        // The channel is silent, so its placement can be set before it plays.
        if (cue.placement.centred) {
            Mix_SetPosition(channel, 0, 0);
        } else {
            Mix_SetPosition(channel, static_cast<Sint16>(cue.placement.angle),
                            static_cast<Uint8>(cue.placement.distance));
        }
        if (Mix_PlayChannel(channel, chunk, 0) >= 0) {
            started_[tag] = frame_;
        }
    }
}

void SoundPlayer::setMuted(bool muted) {
    muted_ = muted;
    if (open_) {
        Mix_Volume(-1, muted ? 0 : MIX_MAX_VOLUME);
    }
}
