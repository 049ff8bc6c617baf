// The agent's three costly steps: reading "learner.trans" at start-up, the
// planner's 384 sweeps, and the per-frame choice for ten fireflies.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "learner.h"
#include "test_fireflies.h"

namespace {

// A transition table with varied numbers, saved once into a scratch folder.
class SavedTable {
  public:
    SavedTable() {
        char pattern[] = "/tmp/fireflies-bench-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            folder_ = pattern;
        }
        Learner learner;
        for (std::size_t k = 0; k < learner.transProbs.size(); ++k) {
            learner.transProbs[k] = static_cast<double>(k % 9973) / 9973.0 / 96.0;
        }
        path_ = folder_ + "/learner.trans";
        learner.saveTransitions(path_);
    }
    ~SavedTable() {
        std::remove(path_.c_str());
        rmdir(folder_.c_str());
    }
    const std::string& path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

void BM_LoadTransitions(benchmark::State& state) {
    SavedTable table;
    Learner learner;
    for (auto _ : state) {
        std::string problem = learner.loadTransitions(table.path());
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            break;
        }
        benchmark::DoNotOptimize(learner.transProbs.data());
    }
}
BENCHMARK(BM_LoadTransitions)->Unit(benchmark::kMillisecond);

void BM_Solve(benchmark::State& state) {
    Learner learner;
    for (int s = 0; s < kStateCount; ++s) {
        learner.rewards[s] = (s % 7) - 3.0;
    }
    // solve ends with an empty line on standard output; keep it off the table.
    std::ostringstream sink;
    std::streambuf* screen = std::cout.rdbuf(sink.rdbuf());
    for (auto _ : state) {
        learner.solve();
        benchmark::DoNotOptimize(learner.values.data());
    }
    std::cout.rdbuf(screen);
}
BENCHMARK(BM_Solve)->Unit(benchmark::kMillisecond);

void BM_ChooseActionsTenFireflies(benchmark::State& state) {
    TestFlock flock;
    for (int i = 0; i < 10; ++i) {
        flock.add(static_cast<float>(i * 7 % 13 - 6) * 4.0f,
                  static_cast<float>(i * 5 % 11 - 5) * 3.0f, static_cast<float>(i * 37 % 360));
    }
    Learner learner;
    for (int s = 0; s < kStateCount; ++s) {
        learner.values[s] = s * 0.01;
    }
    std::srand(1);
    for (auto _ : state) {
        learner.observe(flock.list(), flock.count(), nullptr, 0);
        learner.chooseActions(flock.list(), flock.count(), nullptr, 0);
        benchmark::DoNotOptimize(learner.actions.data());
    }
}
BENCHMARK(BM_ChooseActionsTenFireflies)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
