// The frame with and without sound: one step, its sounds and one whole frame
// drawn by the software renderer, in the ten-firefly swarm where every
// firefly fires whenever it can, silent and then with the mixer
// playing on SDL's disk driver in real time (into a scratch file). Wall
// time per frame, and the whole process's processor time per frame, the
// mixer's thread included. Run from data/ under a display (xvfb-run).
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_context.h"
#include "particles.h"
#include "sound.h"
#include "state.h"

namespace {

// The swarm level: ten fireflies among lanterns and flowers, all flown by
// the agent.
std::unique_ptr<GameState> swarm() {
    auto world = std::make_unique<GameState>("swarm.map");
    world->playerIsAgent = true;
    return world;
}

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Frames with the sound player given (closed for none); counts the cues.
void frames(benchmark::State& state, SoundPlayer& sound) {
    if (!readyForWorlds(state)) {
        return;
    }
    std::srand(1);
    auto world = swarm();
    long cues = 0;
    double cpuStart = processSeconds();
    for (auto _ : state) {
        // Every firefly's agent fires when its beam is ready: the busiest sound.
        world->decide();
        for (int i = 0; i < world->fireflyCount; ++i) {
            world->learner.actions[i] = 1;
        }
        world->advance();
        std::vector<Cue> step = cuesForStep(world->events, *world);
        cues += static_cast<long>(step.size());
        sound.play(step);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        world->drawScene();
        glFinish();
        if (world->gameOver) {
            world->restart();
        }
    }
    double cpu = processSeconds() - cpuStart;
    state.counters["cues_per_frame"] =
        benchmark::Counter(static_cast<double>(cues), benchmark::Counter::kAvgIterations);
    state.counters["process_cpu_ms"] =
        benchmark::Counter(cpu * 1000.0, benchmark::Counter::kAvgIterations);
}

void BM_FrameSilent(benchmark::State& state) {
    SoundPlayer none; // never opened
    frames(state, none);
}
BENCHMARK(BM_FrameSilent)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

void BM_FrameWithSound(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    // A scratch file: SDL 2's disk driver (under sdl12-compat) refuses /dev/null.
    std::string file = (std::filesystem::temp_directory_path() / "fireflies-bench-sound.raw").string();
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "23", 1);
    SoundPlayer sound;
    sound.open(false);
    std::remove(file.c_str()); // the driver writes on into the open file
    if (!sound.isOpen()) {
        state.SkipWithError("the disk driver did not open");
        return;
    }
    frames(state, sound);
}
BENCHMARK(BM_FrameWithSound)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

} // namespace

BENCHMARK_MAIN();
