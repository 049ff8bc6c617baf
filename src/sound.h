// The game's sound, beside the silent world: a quiet night ambience loop and
// one effect per thing a step reports (beams, hits, bounces, the end), played
// through SDL_mixer. Every effect of a firefly other than the player's comes
// from where that firefly is, seen from the camera: panned by its bearing off
// the view direction and quieter with distance. The player's own are centred.
//
// The entry point opens a SoundPlayer once, and after every step hands it
// cuesForStep of the world's step record. A machine without a sound device
// plays silently and prints nothing; a sound file that cannot be read is a
// warning, and the game plays on without that one sound. Nothing here draws
// from rand() or changes the world.
#ifndef FIREFLIES_SOUND_H
#define FIREFLIES_SOUND_H

#include <SDL/SDL_mixer.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tools.h"

class GameState;
struct StepRecord;

// The mixer's output: 44.1 kHz, 16-bit, stereo, mixed 1024 frames (23 ms)
// at a time, so that an effect starts within two buffers of its frame.
constexpr int kSampleRate = 44100;
constexpr int kMixerFrames = 1024;

// Largest sound file the game reads, in bytes (8 MB; the longest, the
// ambience, takes about 350 kB).
constexpr std::size_t kMaxSoundBytes = std::size_t{8} << 20;

// The environment variable that starts the game muted, read as people
// write yes and no ("fireflies --mute" sets it to 1).
constexpr const char* kMuteVariable = "FIREFLIES_MUTE";

// Every sound of the game; the numbers index kSounds.
enum class Effect {
    PlayerBeam,    // the player fired
    OtherBeam,     // another firefly fired
    HitLanded,     // the player's beam hit a firefly
    HitTaken,      // a beam hit the player
    OtherHit,      // one computer firefly's beam hit another
    BounceEdge,    // a firefly bounced off the arena's edge
    BounceFlower,  // off a flower
    BounceLantern, // off a lantern
    BounceFirefly, // two fireflies bumped
    Win,           // the game ended and the player won
    Lose,          // the game ended and the player lost
    Ambience,      // the night, looped under everything from the start
};
constexpr int kEffectCount = 12;

// What the game knows of one sound.
struct SoundInfo {
    Effect effect;    // which one; kSounds[i].effect is Effect i
    const char* file; // its file in the data folder, e.g. "beam.wav"
    int voices;       // how many copies may sound at once: a copy more waits for a free one
};
// Every sound, in the order of Effect.
extern const SoundInfo kSounds[kEffectCount];

// The file of an effect, e.g. "beam.wav".
const char* soundFile(Effect effect);

// What the value of kMuteVariable asks for.
struct MuteSetting {
    bool muted = false;  // silence from the start
    std::string problem; // "" unless the value was not understood (the sound then stays on)
};
// Reads the value of kMuteVariable (null when unset): 1, true, yes and on
// mute; 0, false, no, off and nothing do not; case and blanks around the
// word do not matter. Anything else does not mute either, and is a problem.
MuteSetting readMuteSetting(const char* value);

// Where a sound comes from, in the terms of SDL_mixer's positional effect.
struct Placement {
    bool centred = true; // the player's own sound: no positional effect at all
    int angle = 0;       // degrees clockwise from straight ahead, 0..359; 90 is the right
    int distance = 0;    // 0 (at the listener, full volume) .. 255 (silent); never above 240
};

// The placement of a sound at world (x, z) heard from the camera's eye at
// (eyeX, eyeZ) looking along heading (degrees, as a firefly's). A source at
// the eye itself is straight ahead.
Placement placeSound(double eyeX, double eyeZ, double heading, double x, double z);

// One sound to start.
struct Cue {
    Effect effect;       // what to play
    Placement placement; // where from
};

// The sounds of the step that world's record describes, heard from world's
// camera: a beam for a shot, for a hit the player's landed or taken sound or
// the quieter one between computer fireflies (at the one hit), a bounce for
// a contact that began in this step (a lasting contact sounds once), and the
// win or lose phrase when the step ended the game. At most one cue of each
// effect: the player's own, else the nearest (nine beams launched in one
// step would otherwise start together and add up in phase, nine times as
// loud). The player's own sounds come first, then the others nearest first.
std::vector<Cue> cuesForStep(const StepRecord& record, const GameState& world);

// Frames after the start of an effect in which the same effect does not
// start again: more than two mixer buffers (46 ms), so that no two copies of
// one sound start in the same buffer and add up in phase.
constexpr int kRetriggerFrames = 3;

// The sound device with the game's sounds loaded.
class SoundPlayer {
  public:
    SoundPlayer() = default;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    // Closes the device.
    ~SoundPlayer();

    // Opens the sound device through SDL and SDL_mixer (kSampleRate,
    // kMixerFrames), loads every sound from the working directory and starts
    // the ambience; muted starts it silent. Without a sound device it stays
    // closed and returns nothing. Returns one warning per sound file that
    // could not be read (the game plays on without it).
    std::vector<LoadError> open(bool muted);
    // True once a device is open.
    bool isOpen() const { return open_; }
    // Called once a frame: starts every cue that finds a free voice of its
    // effect and whose effect did not start in the kRetriggerFrames frames
    // before. Starts nothing when closed or muted.
    void play(const std::vector<Cue>& cues);
    // Silences everything, the ambience included, or brings it back; the
    // ambience runs on silently meanwhile.
    void setMuted(bool muted);
    // True while silenced.
    bool muted() const { return muted_; }

  private:
    bool open_ = false;
    bool muted_ = false;
    Mix_Chunk* chunks_[kEffectCount] = {}; // owned; null for a sound that could not be read
    long frame_ = 0;                       // calls of play so far
    long started_[kEffectCount] = {};      // frame_ at each effect's latest start, 0 for never
};

#endif
