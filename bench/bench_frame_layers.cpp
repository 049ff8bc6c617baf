// What each layer of a frame costs the software renderer: every shipped
// level's start, drawn whole (scene and overlay, as the game draws it but
// for the swap) and layer by layer: the backdrop, the fireflies, the
// lanterns, the flowers, the mist (seven ground sheets and the fog sheet,
// together and each alone) and the overlay. Each iteration clears the buffers, draws and waits for
// the renderer (glFinish). Run from data/ under a display (xvfb-run):
//   ../build/bench_frame_layers --benchmark_min_time=1
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_context.h"
#include "levels.h"
#include "model.h"
#include "particles.h"
#include "state.h"
#include "tools.h"

namespace {

enum Layer {
    kWhole,
    kBackdrop,
    kFireflies,
    kLanterns,
    kFlowers,
    kMist,
    kGroundSheets,
    kFogSheet,
    kOverlay,
    kLayers
};
const char* const kLayerNames[kLayers] = {"whole",         "backdrop",  "fireflies",
                                          "lanterns",      "flowers",   "mist",
                                          "ground sheets", "fog sheet", "overlay"};

const std::vector<LevelEntry>& levels() {
    static const std::vector<LevelEntry> list = readLevelList("levels.txt");
    return list;
}

// The world of a level after its first step, built once.
GameState* world(int level) {
    static std::map<int, std::unique_ptr<GameState>> worlds;
    std::unique_ptr<GameState>& made = worlds[level];
    if (!made) {
        std::srand(1);
        made = std::make_unique<GameState>(levelMapPath("levels.txt", levels()[level]));
        made->update();
    }
    return made.get();
}

void lightAbove(double x, float height, double z) {
    float position[4] = {static_cast<float>(x), height, static_cast<float>(z), 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, position);
}

// One layer with the state the scene draw gives it. The camera is loaded
// first, as the step before every frame loads it (the overlay replaces it).
void drawLayer(GameState& w, Layer layer) {
    w.camera.apply();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    const Firefly& player = *w.fireflies[0];
    float view[3] = {static_cast<float>(player.x - w.camera.eye[0]), -2.0f,
                     static_cast<float>(player.z - w.camera.eye[2])};
    setSortDirection(view);
    switch (layer) {
    case kWhole:
        w.drawScene();
        break;
    case kBackdrop:
        w.bounds.draw(static_cast<float>(2.0 * w.levelRadius));
        break;
    case kFireflies:
        for (int i = 0; i < w.fireflyCount; ++i) {
            lightAbove(w.fireflies[i]->x, 2.0f, w.fireflies[i]->z);
            w.fireflies[i]->draw(0.0f, 0.0f, 0.0f);
        }
        break;
    case kLanterns:
        for (int i = 0; i < w.lanternCount; ++i) {
            lightAbove(w.lanterns[i]->x, 2.0f, w.lanterns[i]->z);
            w.lanterns[i]->draw(0.0);
        }
        break;
    case kFlowers:
        for (int i = 0; i < w.flowerCount; ++i) {
            lightAbove(w.flowers[i]->x, 7.0f, w.flowers[i]->z);
            w.flowers[i]->draw(0.0);
        }
        break;
    case kMist:
    case kGroundSheets:
    case kFogSheet: {
        const NoiseVolume::Layers part = layer == kGroundSheets ? NoiseVolume::Layers::GroundSheets
                                         : layer == kFogSheet   ? NoiseVolume::Layers::FogSheet
                                                                : NoiseVolume::Layers::All;
        w.noiseVolume->draw(w.camera.eye, view, static_cast<double>(player.heading), w.levelRadius,
                            part);
        break;
    }
    case kOverlay:
        w.drawHud();
        break;
    case kLayers:
        break;
    }
}

void BM_FrameLayer(benchmark::State& state) {
    if (!readyForWorlds(state)) {
        return;
    }
    const int level = static_cast<int>(state.range(0));
    const Layer layer = static_cast<Layer>(state.range(1));
    if (level >= static_cast<int>(levels().size())) {
        state.SkipWithError("no such level");
        return;
    }
    GameState& w = *world(level);
    state.SetLabel(levels()[level].name + " " + kLayerNames[layer]);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawLayer(w, layer);
        glFinish();
    }
}
BENCHMARK(BM_FrameLayer)
    ->ArgsProduct({{0, 1, 2, 3, 4},
                   {kWhole, kBackdrop, kFireflies, kLanterns, kFlowers, kMist, kGroundSheets,
                    kFogSheet, kOverlay}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
