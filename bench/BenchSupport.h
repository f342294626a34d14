// What the benchmark programs share: the seeds every run starts from, data of a chosen centre, and the
// timing of whole runs.
#pragma once

#include "analysis/Procedure.h"
#include "engine/Module1.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace bench {

inline constexpr brevant::Seeds kSeeds{1234, 5678, 9012};

// n normal values around centre (spread 10), the same for the same seed.
inline std::vector<float> Values(int n, float centre, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(centre, 10.0f);
    std::vector<float> values(static_cast<std::size_t>(n));
    for (float& v : values) v = normal(random);
    return values;
}

// Whole runs, run(g, control), each from kSeeds with a fresh control; the result is kept from being
// optimized away.
template <typename Run>
void TimeRuns(benchmark::State& state, Run run) {
    for (auto _ : state) {
        brevant::Generator g{kSeeds};
        brevant::RunControl control;
        auto result = run(g, control);
        benchmark::DoNotOptimize(&result);
    }
}

}  // namespace bench
