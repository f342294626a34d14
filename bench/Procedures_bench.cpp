// Whole runs of the first two procedures, on one thread and on two (wall time), against their floor: the
// time the engine takes just to draw the same random numbers (N - 1 shuffle indices, or n bootstrap
// indices, per resample), one at a time and from blocks. The literal transcriptions run at a smaller
// count, for scale.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/randomization/IndepT.h"
#include "engine/OutputFile.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralBootstMean.h"
#include "literal/LiteralIndepT.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

using bench::kSeeds;
using bench::Values;

brevant::IndepTData IndepTData() {
    brevant::IndepTData data;
    data.pooled = Values(500, 50.0f, 1);
    const std::vector<float> b = Values(500, 51.0f, 2);
    data.pooled.insert(data.pooled.end(), b.begin(), b.end());
    data.sizeA = 500;
    return data;
}

void IndepT_Run(benchmark::State& state) {
    const brevant::IndepTData data = IndepTData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunIndepT(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

// One thread on the baseline instruction path (what a processor without AVX2 runs).
void IndepT_RunBaseline(benchmark::State& state) {
    const brevant::IndepTData data = IndepTData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunIndepT(data, {R, 0.975f, {}, 1}, g, control, brevant::DrawPath::Baseline);
    });
}

void IndepT_DrawFloor(benchmark::State& state) {
    floors::ShufflePicks<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), 1000);
}

void IndepT_DrawBlocks(benchmark::State& state) {
    floors::ShufflePicks<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), 1000);
}

// The shuffles alone, as the one-thread run makes them: the picks worked out a run of
// draws at a time, and one Index call per draw.
void IndepT_Shuffle(benchmark::State& state) {
    const auto R = static_cast<std::int32_t>(state.range(0));
    const brevant::DrawPath path = brevant::ActiveDrawPath();
    for (auto _ : state) {
        std::vector<float> values = IndepTData().pooled;
        std::vector<std::int32_t> picks(values.size() - 1);
        brevant::BlockGenerator g{kSeeds};
        for (std::int32_t k = 0; k < R; ++k) {
            brevant::DrawShufflePicks(path, g, picks);
            brevant::ApplyShufflePicks(picks, values);
        }
        benchmark::DoNotOptimize(values.data());
    }
}

void IndepT_ShufflePerDraw(benchmark::State& state) {
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        std::vector<float> values = IndepTData().pooled;
        brevant::BlockGenerator g{kSeeds};
        for (std::int32_t k = 0; k < R; ++k) brevant::ShuffleArray(g, std::span<float>(values));
        benchmark::DoNotOptimize(values.data());
    }
}

void IndepT_Literal(benchmark::State& state) {
    const brevant::IndepTData data = IndepTData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunIndepT(data.pooled, 500, 500, R);
        benchmark::DoNotOptimize(run.resampled.data());
    }
}

void BootstMean_Run(benchmark::State& state) {
    const brevant::BootstMeanData data{Values(1000, 20.0f, 3)};
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstMean(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void BootstMean_RunBaseline(benchmark::State& state) {
    const brevant::BootstMeanData data{Values(1000, 20.0f, 3)};
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstMean(data, {R, 0.975f, {}, 1}, g, control, brevant::DrawPath::Baseline);
    });
}

// The same run on values 1000 +- 10, which the precision rule centres: double sums over the deviations.
void BootstMean_RunCentred(benchmark::State& state) {
    brevant::BootstMeanData data{Values(1000, 1000.0f, 3)};
    brevant::CentreIfNeeded(data);
    if (!data.centred) state.SkipWithError("the data were not centred");
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstMean(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void BootstMean_DrawFloor(benchmark::State& state) {
    floors::CaseNumbers<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), 1000, 1000);
}

void BootstMean_DrawBlocks(benchmark::State& state) {
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), 1000, 1000);
}

// The parts of a whole batch run after the resamples: the sort of the studentized values, and the output
// file's lines and the file itself (written beside the other and renamed over it, synced to disk).
brevant::BootstMeanResult BootstMeanResult(std::int32_t R) {
    const brevant::BootstMeanData data{Values(1000, 20.0f, 3)};
    brevant::Generator g{kSeeds};
    brevant::RunControl control;
    return brevant::RunBootstMean(data, {R, 0.975f, {}, 1}, g, control);
}

void BootstMean_Sort(benchmark::State& state) {
    const brevant::BootstMeanResult result = BootstMeanResult(static_cast<std::int32_t>(state.range(0)));
    std::mt19937 random(5);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<float> t = result.sortedT;
        std::shuffle(t.begin(), t.end(), random);
        state.ResumeTiming();
        brevant::SortArray(t);
        benchmark::DoNotOptimize(t.data());
    }
}

void BootstMean_OutputLines(benchmark::State& state) {
    const brevant::BootstMeanResult result = BootstMeanResult(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(brevant::ValueLines(result.bootstrapMeans));
}

void BootstMean_OutputFile(benchmark::State& state) {
    const brevant::BootstMeanResult result = BootstMeanResult(static_cast<std::int32_t>(state.range(0)));
    const std::string path = "/tmp/BootstMean_bench_out.dat";
    for (auto _ : state) brevant::WriteOutputFile({1, 0.975f, path}, result.bootstrapMeans);
    std::remove(path.c_str());
}

void BootstMean_Literal(benchmark::State& state) {
    const std::vector<float> values = Values(1000, 20.0f, 3);
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunBootstMean(values, R, 0.975f);
        benchmark::DoNotOptimize(run.means.data());
    }
}

BENCHMARK(IndepT_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_RunBaseline)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_DrawBlocks)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_Shuffle)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_ShufflePerDraw)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(IndepT_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BootstMean_Run)->Args({50000, 1})->Args({50000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BootstMean_RunCentred)->Args({50000, 1})->Args({50000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BootstMean_RunBaseline)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BootstMean_DrawBlocks)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BootstMean_DrawFloor)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BootstMean_Sort)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BootstMean_OutputLines)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BootstMean_OutputFile)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BootstMean_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
