// Figures for the whole game: one simulation step of a full arena, one whole
// frame drawn at 800x600 by the software renderer, and the time from start to
// the first frame, and what recording a replay adds to a frame. Run from
// data/ under a display (xvfb-run).
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench_context.h"
#include "model.h"
#include "particles.h"
#include "replay.h"
#include "state.h"

namespace {

// Ten fireflies, four lanterns and six flowers in an arena of radius 60.
const char* kFullArena =
    "10\n0 0\n20 10\n-20 10\n10 -25\n-15 -20\n30 -5\n-30 5\n5 35\n-5 -35\n25 25\n"
    "4\n15 -12\n-12 15\n-25 -25\n25 -25\n"
    "6\n-20 -5\n20 5\n5 30\n-35 10\n35 -15\n0 -20\n"
    "4 1 0 1\n";

std::unique_ptr<GameState> fullArena() {
    const char* path = "/tmp/fireflies-bench-full.map";
    std::ofstream(path) << kFullArena;
    return std::make_unique<GameState>(path);
}

void BM_UpdateFullArena(benchmark::State& state) {
    if (!readyForWorlds(state)) {
        return;
    }
    std::srand(1);
    auto world = fullArena();
    for (auto _ : state) {
        world->update();
        if (world->gameOver) {
            state.PauseTiming();
            world = fullArena();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_UpdateFullArena)->Unit(benchmark::kMicrosecond);

void BM_DrawFullArena(benchmark::State& state) {
    if (!readyForWorlds(state)) {
        return;
    }
    std::srand(1);
    auto world = fullArena();
    world->update();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        world->drawScene();
        glFinish();
    }
}
BENCHMARK(BM_DrawFullArena)->Unit(benchmark::kMillisecond);

void BM_StartToFirstFrame(benchmark::State& state) {
    if (!readyForWorlds(state)) {
        return;
    }
    for (auto _ : state) {
        std::srand(1);
        auto world = std::make_unique<GameState>("final.map");
        world->update();
        world->drawScene();
        glFinish();
    }
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

// What recording adds to a frame: the step's controls kept, and once a
// second the checksum, the second's bytes written and flushed to a file.
// Only the recorder is timed; the step itself is not.
void BM_RecordStepFullArena(benchmark::State& state) {
    if (!readyForWorlds(state)) {
        return;
    }
    std::srand(1);
    auto world = fullArena();
    Replay header;
    header.gameVersion = "bench";
    header.mapText = kFullArena;
    header.data = fingerprintWorldData(".");
    ReplayRecorder recorder;
    std::string problem = recorder.open("/tmp/fireflies-bench-record.ffr", header);
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    Controls controls;
    controls.up = true;
    for (auto _ : state) {
        world->update();
        if (world->gameOver || !recorder.recording()) {
            world->restart();
            recorder.open("/tmp/fireflies-bench-record.ffr", header);
        }
        auto start = std::chrono::steady_clock::now();
        recorder.step(controls, *world);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
// A fixed count: each iteration also runs an untimed step. 6000 steps are
// 100 s of play, 100 seconds written.
BENCHMARK(BM_RecordStepFullArena)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(6000);

} // namespace

BENCHMARK_MAIN();
