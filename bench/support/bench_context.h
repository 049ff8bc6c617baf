// The benchmarks' GL window: every benchmark that draws opens it through
// here, and is skipped (with the reason) where no window can be made.
#ifndef FIREFLIES_BENCH_CONTEXT_H
#define FIREFLIES_BENCH_CONTEXT_H

#include <benchmark/benchmark.h>

// Opens the shared GL window once; false, with the benchmark skipped and
// the reason given, when there is none (no display, no OpenGL).
bool haveContext(benchmark::State& state);

// haveContext, and the sparkle particles' pool filled once, as the game
// fills it before it builds a world.
bool readyForWorlds(benchmark::State& state);

#endif
