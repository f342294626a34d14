// Whole runs of the bootstrapped median (1,000 values, 100,000 resamples) and the bootstrapped correlation
// (1,000 cases, 50,000 resamples) against their floor: the time the engine takes just to draw the same
// random indices (n per resample) from blocks. The target is a run on one thread within 1.5 times its
// floor, and on two threads at least 1.8 times as fast as on one (real time). The literal transcriptions
// run at a smaller count, for scale. Past 10,000 cases the correlation's sums are double; that run is timed
// against its own floor too.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/bootstrap/BootstCorr.h"
#include "analysis/bootstrap/BootstMedian.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralBootstCorr.h"
#include "literal/LiteralBootstMedian.h"

#include <benchmark/benchmark.h>


namespace {

using bench::kSeeds;
using bench::Values;
constexpr std::int32_t kValues = 1000;

brevant::BootstCorrData CorrData() {
    brevant::BootstCorrData data;
    data.x = Values(kValues, 50.0f, 1);
    data.y = Values(kValues, 20.0f, 2);
    for (std::size_t i = 0; i < data.y.size(); ++i) data.y[i] += 0.5f * data.x[i];
    return data;
}

void DrawFloor(benchmark::State& state) {
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kValues, kValues);
}

void BootstMedian_Run(benchmark::State& state) {
    const brevant::BootstMedianData data{Values(kValues, 20.0f, 3)};
    const auto R = static_cast<std::int32_t>(state.range(0));
    const auto threads = static_cast<int>(state.range(1));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstMedian(data, {R, 0.975f, {}, threads}, g, control);
    });
}

void BootstMedian_Literal(benchmark::State& state) {
    const std::vector<float> values = Values(kValues, 20.0f, 3);
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunBootstMedian(values, R, 0.975f);
        benchmark::DoNotOptimize(run.medians.data());
    }
}

void BootstCorr_Run(benchmark::State& state) {
    const brevant::BootstCorrData data = CorrData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    const auto threads = static_cast<int>(state.range(1));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstCorr(data, {R, 0.975f, {}, threads}, g, control);
    });
}

// n cases of the same kind as CorrData's.
brevant::BootstCorrData CorrCases(int n) {
    brevant::BootstCorrData data;
    data.x = Values(n, 50.0f, 1);
    data.y = Values(n, 20.0f, 2);
    for (std::size_t i = 0; i < data.y.size(); ++i) data.y[i] += 0.5f * data.x[i];
    data.sums = brevant::SumsFor(n, brevant::kBootstCorrDesignedCases);
    return data;
}

void BootstCorr_RunCases(benchmark::State& state) {
    const brevant::BootstCorrData data = CorrCases(static_cast<int>(state.range(0)));
    const auto R = static_cast<std::int32_t>(state.range(1));
    const auto threads = static_cast<int>(state.range(2));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunBootstCorr(data, {R, 0.975f, {}, threads}, g, control);
    });
}

void BootstCorr_DrawFloor(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(1)), n, n);
}

void BootstCorr_Literal(benchmark::State& state) {
    const brevant::BootstCorrData data = CorrData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunBootstCorr(data.x, data.y, R, 0.975f);
        benchmark::DoNotOptimize(run.bootR.data());
    }
}

// Each run next to its floor, so the pair sees the same load; then the same run on two threads.
BENCHMARK(BootstMedian_Run)->Args({100000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstMedian_Run)->Args({100000, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstMedian_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BootstCorr_Run)->Args({50000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(DrawFloor)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstCorr_Run)->Args({50000, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstCorr_RunCases)->Args({20000, 2500, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstCorr_DrawFloor)->Args({20000, 2500})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstCorr_RunCases)->Args({20000, 2500, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BootstCorr_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
