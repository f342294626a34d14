// Whole one-way runs, 10 groups of 100 and 100,000 resamples, against their floor: the time the engine
// takes just to draw the same random numbers (N - 1 shuffle indices, or N bootstrap indices, per
// resample). The target is a run within 1.5 times its floor on one thread, and a centred run (data near
// 10,000) within twice the same run as defined. The F of eight arrangements side by side on each
// instruction path against eight one at a time shows what the lanes save. The literal transcriptions run
// at a smaller count, for scale.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/bootstrap/OnewayBoot.h"
#include "analysis/randomization/OnewayRandom.h"
#include "engine/NumberText.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralOnewayBoot.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

using bench::kSeeds;
constexpr std::int32_t kGroups = 10, kSize = 100, kN = kGroups * kSize;

// centre 50, or 10,000 for data that centre the run.
brevant::OnewayData Groups(float centre = 50.0f) {
    std::mt19937 random(7);
    brevant::OnewayData data;
    for (std::int32_t j = 0; j < kGroups; ++j) {
        std::normal_distribution<float> normal(centre + 0.3f * static_cast<float>(j), 10.0f);
        for (std::int32_t i = 0; i < kSize; ++i) data.values.push_back(normal(random));
        data.sizes.push_back(kSize);
    }
    return data;
}

brevant::OnewayBootData BootData(float centre = 50.0f) {
    const std::string name = "bench";
    brevant::OnewayData groups = Groups(centre);
    std::string text = std::to_string(kGroups) + "\n";
    for (const std::int32_t n : groups.sizes) text += std::to_string(n) + " ";
    for (const float v : groups.values) text += brevant::ShortestText(v) + " ";
    brevant::DataFile file = brevant::DataFile::FromText(text, name);
    return brevant::ReadOnewayBootData(file);
}

// range(2): 1 for data near 10,000, whose run is centred.
void OnewayRandom_Run(benchmark::State& state) {
    brevant::OnewayData data = Groups(state.range(2) != 0 ? 10000.0f : 50.0f);
    if (brevant::CentreOnewayIfNeeded(data) != (state.range(2) != 0)) {
        state.SkipWithError("the run is not centred as meant");
        return;
    }
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunOnewayRandom(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void OnewayRandom_DrawFloor(benchmark::State& state) {
    floors::ShufflePicks<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), kN);
}

// The randomization test's draws from blocks: its floor on one thread. Its runs go on one thread and on two
// (wall time); the target on one thread is within 1.5 times this floor.
void OnewayRandom_BlockDraws(benchmark::State& state) {
    floors::ShufflePicks<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kN);
}

void OnewayRandom_Literal(benchmark::State& state) {
    const brevant::OnewayData data = Groups();
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunOnewayRandom(data.values, data.sizes, R);
        benchmark::DoNotOptimize(run.resampled.data());
    }
}

// range(3): 1 for data near 10,000, whose run is centred.
void OnewayBoot_Run(benchmark::State& state) {
    const brevant::OnewayBootData data = BootData(state.range(3) != 0 ? 10000.0f : 50.0f);
    if (data.groups.centred != (state.range(3) != 0)) {
        state.SkipWithError("the run is not centred as meant");
        return;
    }
    const auto R = static_cast<std::int32_t>(state.range(0));
    const bool errors = state.range(1) != 0;
    const auto threads = static_cast<int>(state.range(2));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunOnewayBoot(data, {R, 0.975f, {}, threads}, errors, g, control);
    });
}

// The bootstrap's draws from blocks: N indices into the pool per resample.
void OnewayBoot_DrawFloor(benchmark::State& state) {
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), kN, kN);
}

void OnewayBoot_Literal(benchmark::State& state) {
    const brevant::OnewayBootData data = BootData();
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunOnewayBoot(data.groups.values, data.groups.sizes, R, true);
        benchmark::DoNotOptimize(run.resampled.data());
    }
}

// 100,000 arrangements of the data, eight at a time, interleaved as OnewayF::OfEight takes them.
std::vector<float> EightArrangements(const brevant::OnewayData& data) {
    std::mt19937 random(11);
    std::vector<float> lanes(static_cast<std::size_t>(brevant::kOnewayLanes) * data.values.size());
    for (int b = 0; b < brevant::kOnewayLanes; ++b) {
        std::vector<float> a = data.values;
        std::shuffle(a.begin(), a.end(), random);
        for (std::size_t i = 0; i < a.size(); ++i) lanes[i * brevant::kOnewayLanes + static_cast<std::size_t>(b)] = a[i];
    }
    return lanes;
}

// range(0): 0 baseline path, 1 AVX2; range(1): 1 for the double sums past the designed size.
void OnewayF_EightSideBySide(benchmark::State& state) {
    const auto path = state.range(0) == 0 ? brevant::DrawPath::Baseline : brevant::DrawPath::Avx2;
    if (!brevant::DrawPathAvailable(path)) {
        state.SkipWithError("path not available");
        return;
    }
    brevant::OnewayData data = Groups();
    if (state.range(1) != 0) data.sums = brevant::SumPrecision::Double;
    const std::vector<float> lanes = EightArrangements(data);
    brevant::OnewayF computeF(data.sizes, data.sums, path);
    float out[brevant::kOnewayLanes];
    for (auto _ : state) {
        for (int r = 0; r < 100000; r += brevant::kOnewayLanes) {
            computeF.OfEight(lanes.data(), out);
            benchmark::DoNotOptimize(out);
        }
    }
}

void OnewayF_OneAtATime(benchmark::State& state) {
    brevant::OnewayData data = Groups();
    if (state.range(0) != 0) data.sums = brevant::SumPrecision::Double;
    brevant::OnewayF computeF(data.sizes, data.sums);
    float f = 0;
    for (auto _ : state) {
        for (int r = 0; r < 100000; ++r) {
            f = computeF.OfValues(data.values.data());
            benchmark::DoNotOptimize(f);
        }
    }
}

BENCHMARK(OnewayRandom_Run)->Args({100000, 1, 0})->Args({100000, 2, 0})->Args({100000, 1, 1})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OnewayRandom_BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OnewayRandom_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OnewayRandom_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
// The bootstrap (both pools) on one thread within 1.5 times its floor; on two at least 1.8 times as fast.
BENCHMARK(OnewayBoot_Run)->Args({100000, 0, 1, 0})->Args({100000, 1, 1, 0})->Unit(benchmark::kMillisecond)
    ->Iterations(2)->UseRealTime();
BENCHMARK(OnewayBoot_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(OnewayBoot_Run)->Args({100000, 0, 2, 0})->Args({100000, 1, 2, 0})->Unit(benchmark::kMillisecond)
    ->Iterations(2)->UseRealTime();
// Centred runs (data near 10,000) on one thread: within twice the same runs as defined.
BENCHMARK(OnewayBoot_Run)->Args({100000, 0, 1, 1})->Args({100000, 1, 1, 1})->Unit(benchmark::kMillisecond)
    ->Iterations(2)->UseRealTime();
BENCHMARK(OnewayBoot_Literal)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OnewayF_EightSideBySide)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(OnewayF_OneAtATime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
