#include "replayed_game.h"

#include <cstdlib>

#include "particles.h"

ReplayedGame playReplay(const Replay& replay, const std::string& path) {
    ReplayedGame game;
    // The sparks take their share of the random sequence only when the
    // pool they come from is there, as it is in the game.
    initParticlePool();
    std::srand(replay.seed);
    game.world = std::make_unique<GameState>(parseLevelMap(replay.mapText, path));
    ReplayPlayer player(replay, path);
    while (player.hasStep()) {
        player.applyNext(*game.world);
        game.world->update();
        game.problem = player.check(*game.world);
        game.steps = player.played();
        if (!game.problem.empty()) {
            break;
        }
        game.world->drawScene();
    }
    return game;
}
