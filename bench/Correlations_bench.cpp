// Whole runs of the two correlation procedures (1,000 cases, 100,000 resamples) against their floor: the
// time the engine takes just to draw the same random numbers (N uniform draws per resample, each stored as a
// float as the runs store them) from blocks, and the same drawn one at a time. Each run on one thread
// (target: within 1.5 times the block floor) and on two (compare with one; wall time). The literal
// transcriptions run at a smaller count, for scale.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/PairedCorr.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralCorr1.h"
#include "literal/LiteralPairedCorr.h"

#include <benchmark/benchmark.h>


namespace {

using bench::kSeeds;
using bench::Values;
constexpr int kCases = 1000;

brevant::Corr1Data Corr1Data() {
    brevant::Corr1Data data;
    data.x = Values(kCases, 50.0f, 1);
    data.y = Values(kCases, 20.0f, 2);
    for (std::size_t i = 0; i < data.x.size(); ++i) data.y[i] += 0.3f * data.x[i];
    return data;
}

brevant::PairedCorrData PairedCorrData() {
    brevant::PairedCorrData data;
    data.x1 = Values(kCases, 50.0f, 3);
    data.y1 = Values(kCases, 20.0f, 4);
    data.x2 = Values(kCases, 52.0f, 5);
    data.y2 = Values(kCases, 21.0f, 6);
    data.sums = brevant::SumsFor(kCases, brevant::kPairedCorrDesignedCases);  // as a data file of this size reads
    return data;
}

// N draws per resample, each kept as a float, as both runs draw them; consumed by an integer count, whose
// one-cycle chain does not hold the draws back as a running float sum would.
void DrawFloor(benchmark::State& state) {
    floors::FloatDraws<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), kCases);
}

void BlockDraws(benchmark::State& state) {
    floors::FloatDraws<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kCases);
}

void Corr1_Run(benchmark::State& state) {
    const brevant::Corr1Data data = Corr1Data();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunCorr1(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void Corr1_Literal(benchmark::State& state) {
    const brevant::Corr1Data data = Corr1Data();
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto result = brevant::literal::RunCorr1(data.x, data.y, R);
        benchmark::DoNotOptimize(result.permuted.data());
    }
}

void PairedCorr_Run(benchmark::State& state) {
    const brevant::PairedCorrData data = PairedCorrData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunPairedCorr(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void PairedCorr_Literal(benchmark::State& state) {
    const brevant::PairedCorrData data = PairedCorrData();
    std::vector<std::array<float, 4>> cases;
    for (std::size_t i = 0; i < data.x1.size(); ++i) cases.push_back({data.x1[i], data.y1[i], data.x2[i], data.y2[i]});
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto result = brevant::literal::RunPairedCorr(cases, R, 0.975f);
        benchmark::DoNotOptimize(result.sorted.data());
    }
}

}  // namespace

BENCHMARK(BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Corr1_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PairedCorr_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Corr1_Literal)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PairedCorr_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
