#include "bench_context.h"

#include <string>

#include "gl_context.h"
#include "particles.h"

bool haveContext(benchmark::State& state) {
    std::string why;
    if (!openTestContext(&why)) {
        state.SkipWithError(why.empty() ? "no display" : why.c_str());
        return false;
    }
    return true;
}

bool readyForWorlds(benchmark::State& state) {
    if (!haveContext(state)) {
        return false;
    }
    static bool pool = false;
    if (!pool) {
        initParticlePool();
        pool = true;
    }
    return true;
}
