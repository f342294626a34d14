// Whole runs of the paired t and the repeated-measures F at their heaviest window settings (1,000 pairs;
// 100 subjects of 5 treatments, as defined and centred; 100,000 resamples) against their floor: the time
// the engine takes just to draw the same random numbers in the same pattern from blocks (n uniforms per
// sign pattern; k - 1 shuffle indices per subject per pass), and the same drawn one at a time. Each run on
// one thread (target: within 1.5 times the block floor) and on two (compare with one; measured in wall
// time). The literal transcriptions run at a smaller count, for scale.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralPairedT.h"
#include "literal/LiteralRepeated1way.h"

#include <benchmark/benchmark.h>


namespace {

using bench::kSeeds;
using bench::Values;
constexpr std::int32_t kPairs = 1000;
constexpr std::int32_t kSubjects = 100;
constexpr std::int32_t kTreatments = 5;

brevant::PairedTData PairedData() {
    brevant::PairedTData data;
    data.differences = Values(kPairs, 0.5f, 1);
    return data;
}

void PairedT_Run(benchmark::State& state) {
    const brevant::PairedTData data = PairedData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunPairedT(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void PairedT_DrawFloor(benchmark::State& state) {
    floors::FloatDraws<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), kPairs);
}

void PairedT_BlockDraws(benchmark::State& state) {
    floors::FloatDraws<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kPairs);
}

void PairedT_Literal(benchmark::State& state) {
    std::vector<float> pairs;
    for (const float d : Values(kPairs, 0.5f, 1)) {
        pairs.push_back(0.0f);
        pairs.push_back(d);
    }
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunPairedT(pairs, R);
        benchmark::DoNotOptimize(run.resampled.data());
    }
}

brevant::Repeated1wayData RepeatedData() {
    brevant::Repeated1wayData data;
    data.treatments = kTreatments;
    data.subjects = kSubjects;
    data.scores = Values(kSubjects * kTreatments, 40.0f, 2);
    return data;
}

void Repeated1way_Run(benchmark::State& state) {
    const brevant::Repeated1wayData data = RepeatedData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunRepeated1way(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

// The same run centred: scores near 10,000 (spread 10), shifted by their mean with double sums.
void Repeated1way_Centred(benchmark::State& state) {
    brevant::Repeated1wayData data = RepeatedData();
    data.scores = Values(kSubjects * kTreatments, 10000.0f, 2);
    if (!brevant::CentreRepeated1wayIfNeeded(data)) {
        state.SkipWithError("the data did not centre the run");
        return;
    }
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunRepeated1way(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void Repeated1way_DrawFloor(benchmark::State& state) {
    floors::ShufflePicks<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), kTreatments, kSubjects);
}

void Repeated1way_BlockDraws(benchmark::State& state) {
    floors::ShufflePicks<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kTreatments, kSubjects);
}

void Repeated1way_Literal(benchmark::State& state) {
    const std::vector<float> scores = Values(kSubjects * kTreatments, 40.0f, 2);
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunRepeated1way(scores, kTreatments, kSubjects, R);
        benchmark::DoNotOptimize(run.resampled.data());
    }
}

BENCHMARK(PairedT_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PairedT_BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PairedT_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PairedT_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Repeated1way_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Repeated1way_Centred)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Repeated1way_BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Repeated1way_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Repeated1way_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
