#include "world.h"

#include "temp_dir.h"

std::unique_ptr<GameState> makeWorld(const std::string& mapText) {
    TempDir dir;
    std::string path = dir.write("test.map", mapText);
    return std::make_unique<GameState>(path);
}

void place(GameState& world, int i, float x, float z, float heading, float vx, float vy) {
    Firefly& firefly = *world.fireflies[i];
    firefly.x = x;
    firefly.z = z;
    firefly.heading = heading;
    firefly.body.vx = vx;
    firefly.body.vy = vy;
}
