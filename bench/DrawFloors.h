// The floors that whole runs are measured against: the time the engine takes just to make a run's draws,
// taken as the run takes them (case numbers, a shuffle's picks, floats), R resamples of them, from blocks
// (BlockGenerator) or one draw at a time (Generator). Each is consumed by an integer count, whose one-cycle
// chain holds nothing back.
#pragma once

#include "BenchSupport.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace floors {

using bench::kSeeds;

// R resamples of perResample(g), a fresh generator each benchmark iteration.
template <typename Source, typename Draws>
void Repeat(benchmark::State& state, std::int32_t R, Draws perResample) {
    for (auto _ : state) {
        Source g{kSeeds};
        std::int64_t sum = 0;
        for (std::int32_t k = 0; k < R; ++k) sum += perResample(g);
        benchmark::DoNotOptimize(sum);
    }
}

// A bootstrap resample's case numbers: n draws, each as Index(m).
template <typename Source>
void CaseNumbers(benchmark::State& state, std::int32_t R, std::int32_t n, std::int32_t m) {
    Repeat<Source>(state, R, [n, m](Source& g) {
        std::int64_t sum = 0;
        for (std::int32_t i = 0; i < n; ++i) sum += g.Index(m);
        return sum;
    });
}

// The picks of shuffles of rows rows of n values each: Index(i) for i = n down to 2, row after row.
template <typename Source>
void ShufflePicks(benchmark::State& state, std::int32_t R, std::int32_t n, std::int32_t rows = 1) {
    Repeat<Source>(state, R, [n, rows](Source& g) {
        std::int64_t sum = 0;
        for (std::int32_t j = 0; j < rows; ++j) {
            for (std::int32_t i = n; i >= 2; --i) sum += g.Index(i);
        }
        return sum;
    });
}

// n draws, each kept as a float.
template <typename Source>
void FloatDraws(benchmark::State& state, std::int32_t R, std::int32_t n) {
    Repeat<Source>(state, R, [n](Source& g) {
        std::int64_t low = 0;
        for (std::int32_t i = 0; i < n; ++i) low += static_cast<float>(g.Uniform()) <= 0.5f;
        return low;
    });
}

}  // namespace floors
