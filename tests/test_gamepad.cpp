// The gamepad: which device is chosen, and joystick events pushed into SDL's
// real queue, drained by handleEvents as the main loop does, steering the
// player's firefly as the keys do, together with the keys.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gl_context.h"
#include "world.h"

namespace {
// The player in the middle of a large arena, its opponent far behind.
const char* kWorld = "2\n0 0\n-30 0\n0\n0\n9 1 0 1\n";
constexpr float kTurn = 1.7f; // degrees a step

void pushAxis(int device, int axis, int value) {
    SDL_Event event;
    event.type = SDL_JOYAXISMOTION;
    event.jaxis.type = SDL_JOYAXISMOTION;
    event.jaxis.which = static_cast<Uint8>(device);
    event.jaxis.axis = static_cast<Uint8>(axis);
    event.jaxis.value = static_cast<Sint16>(value);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void pushHat(int device, int value) {
    SDL_Event event;
    event.type = SDL_JOYHATMOTION;
    event.jhat.type = SDL_JOYHATMOTION;
    event.jhat.which = static_cast<Uint8>(device);
    event.jhat.hat = 0;
    event.jhat.value = static_cast<Uint8>(value);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void pushButton(int device, int button, bool down) {
    SDL_Event event;
    event.type = down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
    event.jbutton.type = event.type;
    event.jbutton.which = static_cast<Uint8>(device);
    event.jbutton.button = static_cast<Uint8>(button);
    event.jbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void pushKey(SDLKey key, bool down) {
    SDL_Event event;
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.type = event.type;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = KMOD_NONE;
    event.key.keysym.unicode = 0;
    event.key.keysym.scancode = 0;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

// One frame: the events, then a step; returns the player's heading change.
float frame(GameState& world) {
    float before = world.fireflies[0]->heading;
    world.handleEvents();
    world.update();
    float turned = world.fireflies[0]->heading - before;
    return turned > 180.0f ? turned - 360.0f : (turned < -180.0f ? turned + 360.0f : turned);
}

// The player's speed.
float speed(const GameState& world) {
    return world.fireflies[0]->body.speed();
}

// True when the player launched a beam in the latest step.
bool playerFired(const GameState& world) {
    const std::vector<int>& shots = world.events.shots;
    return std::find(shots.begin(), shots.end(), 0) != shots.end();
}

// A world whose player is steered by pad device 0 as well as the keys.
std::unique_ptr<GameState> padWorld() {
    auto world = makeWorld(kWorld);
    world->pad.device = 0;
    return world;
}
} // namespace

TEST(Gamepad, TheFirstDeviceWithAButtonIsChosenAndButtonlessOnesNever) {
    PadDescription accelerometer{"accelerometer", 3, 0, 0};
    PadDescription pad{"pad", 2, 8, 1};
    PadDescription stick{"stick", 4, 2, 0};
    EXPECT_EQ(choosePad({}), -1);
    EXPECT_EQ(choosePad({accelerometer}), -1);
    EXPECT_EQ(choosePad({accelerometer, pad}), 1);
    EXPECT_EQ(choosePad({stick, pad}), 0);
    EXPECT_EQ(choosePad({accelerometer, accelerometer, stick}), 2);
    PadDescription oneButton{"one button", 0, 1, 0};
    EXPECT_EQ(choosePad({oneButton}), 0);
}

TEST(Gamepad, TheStickTurnsAndThrustsBeyondItsDeadZone) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    pushAxis(0, kTurnAxis, -30000);
    EXPECT_NEAR(frame(*world), kTurn, 1e-3); // left raises the heading
    EXPECT_NEAR(frame(*world), kTurn, 1e-3); // held
    pushAxis(0, kTurnAxis, 30000);
    EXPECT_NEAR(frame(*world), -kTurn, 1e-3);
    pushAxis(0, kTurnAxis, kStickDeadZone - 1); // barely off centre counts as centre
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
    EXPECT_EQ(speed(*world), 0.0f);

    pushAxis(0, kThrustAxis, -30000); // up
    frame(*world);
    float moving = speed(*world);
    EXPECT_GT(moving, 0.0f);
    frame(*world);
    EXPECT_GT(speed(*world), moving);
    pushAxis(0, kThrustAxis, 30000); // down does nothing, like the down arrow
    float coasting = speed(*world);
    frame(*world);
    EXPECT_LT(speed(*world), coasting);
}

TEST(Gamepad, TheHatTurnsAndThrustsAndTheSecondButtonThrusts) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    pushHat(0, SDL_HAT_LEFTUP);
    EXPECT_NEAR(frame(*world), kTurn, 1e-3);
    EXPECT_GT(speed(*world), 0.0f);
    pushHat(0, SDL_HAT_RIGHT);
    EXPECT_NEAR(frame(*world), -kTurn, 1e-3);
    pushHat(0, SDL_HAT_CENTERED);
    float coasting = speed(*world);
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
    EXPECT_LT(speed(*world), coasting);

    pushButton(0, kThrustButton, true);
    coasting = speed(*world);
    frame(*world);
    EXPECT_GT(speed(*world), coasting);
    pushButton(0, kThrustButton, false);
    coasting = speed(*world);
    frame(*world);
    EXPECT_LT(speed(*world), coasting);
}

TEST(Gamepad, TheFirstButtonFiresOncePerPress) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    const Firefly& player = *world->fireflies[0];
    pushButton(0, kFireButton, true);
    frame(*world);
    EXPECT_EQ(player.fireCooldown, 100);
    EXPECT_TRUE(playerFired(*world));
    // Held through the whole cooldown and beyond: no second beam.
    for (int step = 0; step < 150; ++step) {
        frame(*world);
        ASSERT_FALSE(playerFired(*world)) << "step " << step;
    }
    pushButton(0, kFireButton, false);
    frame(*world);
    pushButton(0, kFireButton, true);
    frame(*world);
    EXPECT_TRUE(playerFired(*world));
    // Pressed and released between two frames, like Space: nothing.
    for (int step = 0; step < 120; ++step) {
        frame(*world);
    }
    pushButton(0, kFireButton, false);
    pushButton(0, kFireButton, true);
    pushButton(0, kFireButton, false);
    frame(*world);
    EXPECT_FALSE(playerFired(*world));
}

TEST(Gamepad, KeysAndPadSteerTogether) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    pushKey(SDLK_LEFT, true);
    pushAxis(0, kTurnAxis, -30000);
    EXPECT_NEAR(frame(*world), kTurn, 1e-3);
    // Letting go of the key leaves the pad's left held, and the other way round.
    pushKey(SDLK_LEFT, false);
    EXPECT_NEAR(frame(*world), kTurn, 1e-3);
    pushKey(SDLK_LEFT, true);
    pushAxis(0, kTurnAxis, 0);
    EXPECT_NEAR(frame(*world), kTurn, 1e-3);
    pushKey(SDLK_LEFT, false);
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
    // The pad's left and the right arrow cancel, as the two arrows do.
    pushAxis(0, kTurnAxis, -30000);
    pushKey(SDLK_RIGHT, true);
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
}

TEST(Gamepad, EventsOfAnotherDeviceOrWithoutAChosenPadChangeNothing) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    pushAxis(1, kTurnAxis, -30000);
    pushHat(1, SDL_HAT_UP);
    pushButton(1, kFireButton, true);
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
    EXPECT_EQ(speed(*world), 0.0f);
    EXPECT_FALSE(playerFired(*world));

    // Only a buttonless device was there: none was chosen.
    world->pad.device = choosePad({PadDescription{"accelerometer", 3, 0, 0}});
    pushAxis(0, kTurnAxis, -30000);
    pushAxis(0, kThrustAxis, -30000);
    pushButton(0, kFireButton, true);
    EXPECT_NEAR(frame(*world), 0.0f, 1e-3);
    EXPECT_EQ(speed(*world), 0.0f);
    EXPECT_FALSE(playerFired(*world));
}

TEST(Gamepad, MIsCountedForTheEntryPointAndChangesNothingInTheWorld) {
    REQUIRE_GL_CONTEXT();
    auto world = padWorld();
    pushKey(SDLK_m, true);
    pushKey(SDLK_m, false);
    world->handleEvents();
    EXPECT_EQ(world->muteRequests, 1);
    pushKey(SDLK_m, true);
    pushKey(SDLK_m, false);
    pushKey(SDLK_m, true);
    world->handleEvents();
    EXPECT_EQ(world->muteRequests, 3);
    EXPECT_FALSE(world->keyUp || world->keyLeft || world->keyRight || world->fireflies[0]->fire);
}
