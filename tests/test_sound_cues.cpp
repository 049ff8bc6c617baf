// From a step's record to the sounds that tell it: where each comes from as
// the camera hears it, which effect sounds for what, one cue per effect a
// step, nothing drawn from rand(); and the player on SDL's disk driver: its
// voices, its pause between two starts of a sound, mute, and no device.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "gl_context.h"
#include "sound.h"
#include "temp_dir.h"
#include "world.h"

namespace {
constexpr double kDegrees = 3.14159265358979323846 / 180.0;

// Four fireflies in a large arena, a lantern and a flower far off.
const char* kWorld = "4\n0 0\n10 0\n-30 30\n30 -30\n1\n-60 -60\n1\n60 60\n9 1 0 1\n";

// A world after one step, so that the camera follows the player: the
// player at the centre facing +X (heading 90), the eye 10 behind it.
std::unique_ptr<GameState> steppedWorld() {
    auto world = makeWorld(kWorld);
    world->advance();
    place(*world, 0, 0.0f, 0.0f, 90.0f);
    world->camera.eye[0] = -10.0;
    world->camera.eye[2] = 0.0;
    return world;
}

// The placement of firefly i as the world's camera hears it.
Placement heard(const GameState& world, int i) {
    return placeSound(world.camera.eye[0], world.camera.eye[2], world.fireflies[0]->heading,
                      world.fireflies[i]->x, world.fireflies[i]->z);
}

bool samePlace(const Placement& a, const Placement& b) {
    return a.centred == b.centred && a.angle == b.angle && a.distance == b.distance;
}

// The cues of a record as (effect, centred) in order, for comparing.
std::vector<std::pair<Effect, bool>> effects(const std::vector<Cue>& cues) {
    std::vector<std::pair<Effect, bool>> list;
    for (const Cue& cue : cues) {
        list.push_back({cue.effect, cue.placement.centred});
    }
    return list;
}
} // namespace

TEST(SoundCues, ASoundIsPlacedByItsBearingOffTheViewAndQuieterFarther) {
    // A source in direction heading - offset (headings grow to the left) is
    // offset degrees to the right: SDL_mixer's 90 is the right, 270 the left.
    for (double heading : {0.0, 37.0, 90.0, 200.0, 359.0}) {
        for (int offset : {0, 30, 90, 135, 180, 250, 270, 315}) {
            double direction = (heading - offset) * kDegrees;
            double x = 3.0 + 20.0 * std::sin(direction);
            double z = -4.0 + 20.0 * std::cos(direction);
            Placement p = placeSound(3.0, -4.0, heading, x, z);
            EXPECT_FALSE(p.centred);
            EXPECT_EQ(p.angle, offset) << "heading " << heading;
        }
    }
    // Louder near, quieter far, never silent, half way at 50.
    EXPECT_EQ(placeSound(0.0, 0.0, 90.0, 0.0, 0.0).distance, 0);
    int last = 0;
    for (double d : {1.0, 5.0, 20.0, 50.0, 100.0, 170.0, 1000.0, 1e6}) {
        int distance = placeSound(0.0, 0.0, 90.0, d, 0.0).distance;
        EXPECT_GT(distance, last) << d;
        EXPECT_LE(distance, 240) << d;
        last = distance;
    }
    EXPECT_EQ(placeSound(0.0, 0.0, 90.0, 50.0, 0.0).distance, 120);
}

TEST(SoundCues, EachEventSoundsItsEffectFromWhereItHappened) {
    REQUIRE_GL_CONTEXT();
    auto world = steppedWorld();
    StepRecord record;
    record.shots = {0, 2};
    record.hits = {Hit{0, 1}, Hit{2, 0}, Hit{1, 3}};
    record.contacts = {Contact{0, Obstacle::Lantern, 0, true}, Contact{1, Obstacle::Edge, -1, true},
                       Contact{2, Obstacle::Flower, 0, false}};
    std::vector<Cue> cues = cuesForStep(record, *world);
    using E = Effect;
    // The player's own first, centred, in the record's order; then the
    // others nearest first: firefly 1 (the edge) is 14 from the eye,
    // firefly 3 (hit) 36 and firefly 2 (its beam) 50.
    EXPECT_EQ(effects(cues), (std::vector<std::pair<E, bool>>{{E::PlayerBeam, true},
                                                              {E::HitLanded, true},
                                                              {E::HitTaken, true},
                                                              {E::BounceLantern, true},
                                                              {E::BounceEdge, false},
                                                              {E::OtherHit, false},
                                                              {E::OtherBeam, false}}));
    ASSERT_EQ(cues.size(), 7u);
    EXPECT_TRUE(samePlace(cues[4].placement, heard(*world, 1)));
    EXPECT_TRUE(samePlace(cues[5].placement, heard(*world, 3))); // at the one hit
    EXPECT_TRUE(samePlace(cues[6].placement, heard(*world, 2))); // at the shooter
    // For a player facing +X, +Z is the right: firefly 1 (z 10) is on the
    // right, firefly 2 (x 30, z -30) ahead on the left, firefly 3 (x -30,
    // z 30) behind on the right.
    EXPECT_GT(cues[4].placement.angle, 0);
    EXPECT_LT(cues[4].placement.angle, 90);
    EXPECT_GT(cues[6].placement.angle, 270);
    EXPECT_GT(cues[5].placement.angle, 90);
    EXPECT_LT(cues[5].placement.angle, 180);
}

TEST(SoundCues, ALastingContactIsSilentAndAPairSoundsBetweenItsFireflies) {
    REQUIRE_GL_CONTEXT();
    auto world = steppedWorld();
    place(*world, 1, 20.0f, 10.0f);
    place(*world, 2, 20.0f, 12.0f);
    StepRecord record;
    record.contacts = {Contact{1, Obstacle::Firefly, 2, true},
                       Contact{3, Obstacle::Edge, -1, false}};
    std::vector<Cue> cues = cuesForStep(record, *world);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].effect, Effect::BounceFirefly);
    Placement between = placeSound(-10.0, 0.0, 90.0, 20.0, 11.0);
    EXPECT_TRUE(samePlace(cues[0].placement, between));

    // A pair with the player is the player's own: centred.
    record.contacts = {Contact{0, Obstacle::Firefly, 2, true}};
    cues = cuesForStep(record, *world);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_TRUE(cues[0].placement.centred);
}

TEST(SoundCues, OneCueOfAnEffectAStepTheNearest) {
    REQUIRE_GL_CONTEXT();
    auto world = steppedWorld();
    place(*world, 1, 40.0f, 0.0f);
    place(*world, 2, 5.0f, 5.0f);
    place(*world, 3, -40.0f, 0.0f);
    StepRecord record;
    record.shots = {1, 2, 3};
    record.contacts = {Contact{1, Obstacle::Edge, -1, true}, Contact{0, Obstacle::Edge, -1, true}};
    std::vector<Cue> cues = cuesForStep(record, *world);
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].effect, Effect::BounceEdge);
    EXPECT_TRUE(cues[0].placement.centred); // the player's own wins
    EXPECT_EQ(cues[1].effect, Effect::OtherBeam);
    EXPECT_TRUE(samePlace(cues[1].placement, heard(*world, 2)));
}

TEST(SoundCues, TheEndSoundsWinOrLoseAsTheGameSays) {
    REQUIRE_GL_CONTEXT();
    auto world = steppedWorld();
    StepRecord record;
    record.ended = true;
    world->gameOver = true;
    world->fireflies[2]->score = 20;
    world->fireflies[0]->score = 19;
    ASSERT_EQ(world->endText(), "YOU LOSE!");
    std::vector<Cue> cues = cuesForStep(record, *world);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].effect, Effect::Lose);
    world->fireflies[0]->score = 20;
    ASSERT_EQ(world->endText(), "YOU WIN!");
    cues = cuesForStep(record, *world);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].effect, Effect::Win);
    EXPECT_TRUE(cues[0].placement.centred);
}

TEST(SoundCues, SoundDrawsNothingFromRand) {
    REQUIRE_GL_CONTEXT();
    auto world = steppedWorld();
    StepRecord record;
    record.shots = {0, 1, 2, 3};
    record.hits = {Hit{1, 2}};
    record.contacts = {Contact{3, Obstacle::Edge, -1, true}};
    std::srand(7);
    int expected = std::rand();
    std::srand(7);
    cuesForStep(record, *world);
    SoundPlayer closed;
    closed.play(cuesForStep(record, *world));
    EXPECT_EQ(std::rand(), expected);
}

TEST(SoundCues, MuteIsReadAsPeopleWriteYesAndNo) {
    for (const char* yes : {"1", "true", "yes", "on", "TRUE", " Yes\t", "On\n"}) {
        MuteSetting setting = readMuteSetting(yes);
        EXPECT_TRUE(setting.muted) << '"' << yes << '"';
        EXPECT_EQ(setting.problem, "") << '"' << yes << '"';
    }
    EXPECT_FALSE(readMuteSetting(nullptr).muted);
    for (const char* no : {"", "0", "false", "no", "off", " 0", "OFF ", "  ", "False"}) {
        MuteSetting setting = readMuteSetting(no);
        EXPECT_FALSE(setting.muted) << '"' << no << '"';
        EXPECT_EQ(setting.problem, "") << '"' << no << '"';
    }
    // Anything else leaves the sound on, and says so.
    for (const char* odd : {"00", "2", "y", "mute", "truee", "o n"}) {
        MuteSetting setting = readMuteSetting(odd);
        EXPECT_FALSE(setting.muted) << '"' << odd << '"';
        EXPECT_EQ(setting.problem, std::string("FIREFLIES_MUTE=\"") + odd +
                                       "\" is neither 1, true, yes, on (mute) nor 0, false, no, "
                                       "off; the sound stays on");
    }
    EXPECT_EQ(readMuteSetting("\x1b[2J").problem.rfind("FIREFLIES_MUTE=\"?[2J\" is", 0), 0u);
}

namespace {
// The disk driver writing in real time into a scratch file (SDL 2's driver
// under sdl12-compat takes only a regular file or a pipe, not /dev/null).
void useDiskDriver() {
    static TempDir scratch;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (scratch.path() + "/sound.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "23", 1);
}

// Channels playing now.
int playing() {
    return Mix_Playing(-1);
}
} // namespace

TEST(SoundPlayer, OpensLoadsEverySoundAndLoopsTheNight) {
    useDiskDriver();
    SoundPlayer player; // the tests run in data/, where the sounds are
    EXPECT_TRUE(player.open(false).empty());
    ASSERT_TRUE(player.isOpen());
    EXPECT_EQ(playing(), 1); // the ambience
    int channels = 0;
    for (const SoundInfo& sound : kSounds) {
        channels += sound.voices;
        EXPECT_EQ(kSounds[static_cast<int>(sound.effect)].file, sound.file);
    }
    EXPECT_EQ(Mix_AllocateChannels(-1), channels);
}

TEST(SoundPlayer, ASoundRestartsOnlyAfterAPauseAndOnlyOnAFreeVoice) {
    useDiskDriver();
    SoundPlayer player;
    ASSERT_TRUE(player.open(false).empty());
    ASSERT_TRUE(player.isOpen());
    Cue beam{Effect::OtherBeam, placeSound(0.0, 0.0, 0.0, 5.0, 5.0)};
    // Five in one frame: one starts.
    player.play({beam, beam, beam, beam, beam});
    EXPECT_EQ(playing(), 2);
    // Not again in the next kRetriggerFrames frames.
    for (int frame = 0; frame < kRetriggerFrames; ++frame) {
        player.play({beam});
    }
    EXPECT_EQ(playing(), 2);
    player.play({beam});
    EXPECT_EQ(playing(), 3);
    // Three voices: a fourth copy waits, while another sound has its own.
    for (int frame = 0; frame < 3 * (kRetriggerFrames + 1); ++frame) {
        player.play({beam});
    }
    EXPECT_EQ(playing(), 4);
    EXPECT_EQ(Mix_GroupAvailable(static_cast<int>(Effect::OtherBeam)), -1);
    player.play({Cue{Effect::HitLanded, Placement{}}});
    EXPECT_EQ(playing(), 5);
}

TEST(SoundPlayer, MutedNothingStartsAndEverythingIsSilentUntilUnmuted) {
    useDiskDriver();
    SoundPlayer player;
    ASSERT_TRUE(player.open(true).empty());
    EXPECT_TRUE(player.muted());
    EXPECT_EQ(Mix_Volume(0, -1), 0);
    player.play({Cue{Effect::PlayerBeam, Placement{}}});
    EXPECT_EQ(playing(), 1); // the ambience runs on, silently
    player.setMuted(false);
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
        EXPECT_EQ(Mix_Volume(channel, -1), MIX_MAX_VOLUME);
    }
    player.play({Cue{Effect::PlayerBeam, Placement{}}});
    EXPECT_EQ(playing(), 2);
    player.setMuted(true);
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
        EXPECT_EQ(Mix_Volume(channel, -1), 0);
    }
}

TEST(SoundPlayer, WithoutADeviceItStaysClosedQuietly) {
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    SoundPlayer player;
    EXPECT_TRUE(player.open(false).empty());
    EXPECT_FALSE(player.isOpen());
    player.play({Cue{Effect::PlayerBeam, Placement{}}});
    player.setMuted(true);
    EXPECT_TRUE(player.muted());
}
