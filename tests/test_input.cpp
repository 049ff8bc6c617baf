// Keyboard input: SDL events pushed into the real queue and drained by
// handleEvents, as the main loop does once per frame.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cmath>

#include "gl_context.h"
#include "world.h"

namespace {
const char* kWorld = "2\n0 0\n-30 0\n0\n0\n4 1 0 1\n";

void push(Uint8 type, SDLKey key) {
    SDL_Event event;
    event.type = type;
    event.key.type = type;
    event.key.state = (type == SDL_KEYDOWN) ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = KMOD_NONE;
    event.key.keysym.unicode = 0;
    event.key.keysym.scancode = 0;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}
} // namespace

TEST(Input, EachKeySetsAndClearsItsFlag) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    push(SDL_KEYDOWN, SDLK_UP);
    push(SDL_KEYDOWN, SDLK_LEFT);
    push(SDL_KEYDOWN, SDLK_RIGHT);
    push(SDL_KEYDOWN, SDLK_SPACE);
    world->handleEvents();
    EXPECT_TRUE(world->keyUp);
    EXPECT_TRUE(world->keyLeft);
    EXPECT_TRUE(world->keyRight);
    EXPECT_TRUE(world->fireflies[0]->fire);
    EXPECT_FALSE(world->fireflies[1]->fire);

    // Flags keep their values across frames until the release.
    world->handleEvents();
    EXPECT_TRUE(world->keyUp);

    push(SDL_KEYUP, SDLK_UP);
    push(SDL_KEYUP, SDLK_LEFT);
    push(SDL_KEYUP, SDLK_RIGHT);
    push(SDL_KEYUP, SDLK_SPACE);
    world->handleEvents();
    EXPECT_FALSE(world->keyUp);
    EXPECT_FALSE(world->keyLeft);
    EXPECT_FALSE(world->keyRight);
    EXPECT_FALSE(world->fireflies[0]->fire);
}

TEST(Input, SpacePressedAndReleasedInOneFrameFiresNothing) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    push(SDL_KEYDOWN, SDLK_SPACE);
    push(SDL_KEYUP, SDLK_SPACE);
    world->handleEvents();
    EXPECT_FALSE(world->fireflies[0]->fire);
    world->update();
    EXPECT_EQ(world->fireflies[0]->beam.framesLeft, 0);
    EXPECT_EQ(world->fireflies[0]->fireCooldown, 0);
}

TEST(Input, HoldingSpaceFiresOnceAndTheDownArrowDoesNothing) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    push(SDL_KEYDOWN, SDLK_DOWN);
    push(SDL_KEYDOWN, SDLK_a);
    world->handleEvents();
    EXPECT_FALSE(world->keyUp);
    EXPECT_FALSE(world->keyLeft);
    EXPECT_FALSE(world->keyRight);
    EXPECT_FALSE(world->fireflies[0]->fire);

    push(SDL_KEYDOWN, SDLK_SPACE);
    world->handleEvents();
    world->update();
    EXPECT_EQ(world->fireflies[0]->fireCooldown, 100);
    // Still held, but the step cleared the request: no second shot when the
    // cooldown has run out.
    for (int step = 0; step < 150; ++step) {
        world->handleEvents();
        world->update();
    }
    EXPECT_EQ(world->fireflies[0]->fireCooldown, 0);
    EXPECT_EQ(world->fireflies[0]->beam.framesLeft, 0);
}

TEST(Input, UpThrustsAndLeftWithRightCancel) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    float heading = world->fireflies[0]->heading;
    push(SDL_KEYDOWN, SDLK_LEFT);
    push(SDL_KEYDOWN, SDLK_RIGHT);
    push(SDL_KEYDOWN, SDLK_UP);
    world->handleEvents();
    for (int step = 0; step < 10; ++step) {
        world->update();
    }
    const Firefly& player = *world->fireflies[0];
    EXPECT_NEAR(player.heading, heading, 1e-3);
    EXPECT_GT(player.x, 0.0f); // heading 90 faces +X
    EXPECT_NEAR(player.z, 0.0f, 1e-3);
}

TEST(Input, LeftRaisesAndRightLowersTheHeading) {
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    push(SDL_KEYDOWN, SDLK_LEFT);
    world->handleEvents();
    world->update();
    EXPECT_NEAR(world->fireflies[0]->heading, 91.7f, 1e-4);
    push(SDL_KEYUP, SDLK_LEFT);
    push(SDL_KEYDOWN, SDLK_RIGHT);
    world->handleEvents();
    world->update();
    world->update();
    EXPECT_NEAR(world->fireflies[0]->heading, 88.3f, 1e-4);
}

TEST(InputDeathTest, WindowCloseEndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    REQUIRE_GL_CONTEXT();
    auto world = makeWorld(kWorld);
    EXPECT_EXIT(
        {
            SDL_Event event;
            event.type = SDL_QUIT;
            SDL_PushEvent(&event);
            world->handleEvents();
        },
        testing::ExitedWithCode(0), "");
}
