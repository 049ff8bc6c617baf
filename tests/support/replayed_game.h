// Replays played inside a test binary the way the game plays them: the
// sparks' pool filled, srand from the replay, the world built from its map, then per step the recorded
// controls, one update and one drawn frame (drawing takes its share of the
// random sequence), checked against the replay after every step. Needs a GL
// context (REQUIRE_GL_CONTEXT) and data/ as the working directory.
#ifndef FIREFLIES_TEST_REPLAYED_GAME_H
#define FIREFLIES_TEST_REPLAYED_GAME_H

#include <cstddef>
#include <memory>
#include <string>

#include "replay.h"
#include "state.h"

// How a replay played.
struct ReplayedGame {
    std::unique_ptr<GameState> world; // the world as the replay left it
    std::string problem;              // "" or the out-of-step line
    std::size_t steps = 0;            // steps played, the failing one included
};

// Plays every step of replay (path names it in the out-of-step line).
ReplayedGame playReplay(const Replay& replay, const std::string& path);

#endif
