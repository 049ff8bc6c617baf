// Start-up cost of the mist: building a whole noise volume (lattice, curve,
// 262144 voxels and the 3D texture upload) and the voxel pass alone.
// Run under Xvfb: the constructor needs a GL context.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_context.h"
#include "noise_volume.h"

namespace {

void BM_NoiseVolumeConstruction(benchmark::State& state) {
    if (!haveContext(state)) {
        return;
    }
    std::srand(1);
    for (auto _ : state) {
        auto noise = std::make_unique<NoiseVolume>(3, 1);
        benchmark::DoNotOptimize(noise->volume[4096]);
        glFinish();
        state.PauseTiming();
        glDeleteTextures(1, &noise->volumeTexture);
        noise.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NoiseVolumeConstruction)->Unit(benchmark::kMillisecond);

void BM_NoiseVolumeNoisePass(benchmark::State& state) {
    if (!haveContext(state)) {
        return;
    }
    std::srand(1);
    auto noise = std::make_unique<NoiseVolume>(3, 1);
    std::vector<unsigned char> volume(sizeof noise->volume);
    for (auto _ : state) {
        computeNoiseVolume(noise->lattice, noise->densityCurve, noise->octaves, volume.data());
        benchmark::DoNotOptimize(volume[4096]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 64 * 64 * 64);
}
BENCHMARK(BM_NoiseVolumeNoisePass)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
