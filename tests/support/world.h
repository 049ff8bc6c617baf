// Worlds for tests: a GameState built from map text in the test's GL context,
// with the game's own models and tables from data/.
#ifndef FIREFLIES_TEST_WORLD_H
#define FIREFLIES_TEST_WORLD_H

#include <memory>
#include <string>

#include "state.h"

// Writes mapText to a scratch file and builds the world from it. Needs a GL
// context (REQUIRE_GL_CONTEXT) and data/ as the working directory.
std::unique_ptr<GameState> makeWorld(const std::string& mapText);

// Puts firefly i at (x, z) with heading h (degrees) and velocity (vx along Z,
// vy along X).
void place(GameState& world, int i, float x, float z, float heading = 90.0f, float vx = 0.0f,
           float vy = 0.0f);

#endif
