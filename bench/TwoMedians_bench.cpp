// Whole runs of the two-medians procedures at their heaviest setting (500 + 500 values, 100,000 resamples)
// against their floor: the time the engine takes just to draw the same random numbers (N - 1 shuffle
// indices, or S1 then S2 bootstrap indices, per resample). The target is a run within twice its floor. The
// literal transcriptions run at a smaller count, for scale.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "engine/UniformBlocks.h"
#include "analysis/Parallel.h"
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "literal/LiteralTwoMedianBootTest.h"

#include <benchmark/benchmark.h>


namespace {

using bench::kSeeds;
using bench::Values;
constexpr std::int32_t kSize = 500;

brevant::TwoMedianData Data() {
    brevant::TwoMedianData data;
    data.combined = Values(kSize, 50.0f, 1);
    const std::vector<float> b = Values(kSize, 51.0f, 2);
    data.combined.insert(data.combined.end(), b.begin(), b.end());
    data.size1 = kSize;
    return data;
}

void TwoMedianRandomTest_Run(benchmark::State& state) {
    const brevant::TwoMedianData data = Data();
    const auto R = static_cast<std::int32_t>(state.range(0));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunTwoMedianRandomTest(data, {R, 0.975f, {}, static_cast<int>(state.range(1))}, g, control);
    });
}

void TwoMedianRandomTest_DrawFloor(benchmark::State& state) {
    floors::ShufflePicks<brevant::Generator>(state, static_cast<std::int32_t>(state.range(0)), 2 * kSize);
}

// The randomization test's draws from blocks: its floor on one thread. Its runs go on one thread and on two
// (wall time); the target on one thread is within 1.5 times this floor.
void TwoMedianRandomTest_BlockDraws(benchmark::State& state) {
    floors::ShufflePicks<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), 2 * kSize);
}

// The draws the randomization test makes since it stops each shuffle once group 2 is settled: the first
// S2 of every N - 1 (in whole blocks of draws), turned into indices, the stream then jumping on.
void TwoMedianRandomTest_SettlingDraws(benchmark::State& state) {
    const auto R = static_cast<std::int32_t>(state.range(0));
    constexpr std::size_t kSettling = kSize;
    constexpr std::size_t kBlock = brevant::kUniformBlock;
    std::vector<double> u((kSettling + kBlock - 1) / kBlock * kBlock);
    const brevant::FixedJump next(2 * kSize - 1);
    for (auto _ : state) {
        brevant::Seeds seeds = kSeeds;
        std::int64_t sum = 0;
        for (std::int32_t k = 0; k < R; ++k) {
            brevant::Generator g{seeds};
            brevant::FillUniform(g, u);
            seeds = next.From(seeds);
            for (std::size_t d = 0; d < kSettling; ++d) {
                sum += static_cast<std::int32_t>(u[d] * (static_cast<double>(2 * kSize - d) - 0.0001) + 1.0);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

void TwoMedianBootTest_Run(benchmark::State& state) {
    const brevant::TwoMedianData data = Data();
    const auto R = static_cast<std::int32_t>(state.range(0));
    const auto threads = static_cast<int>(state.range(1));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunTwoMedianBootTest(data, {R, 0.975f, {}, threads}, g, control);
    });
}

// The bootstrap test's draws from blocks: S1 indices into group 1, then S2 into group 2, per resample.
void TwoMedianBootTest_DrawFloor(benchmark::State& state) {
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(0)), 2 * kSize, kSize);
}

void TwoMedianRandomTest_Literal(benchmark::State& state) {
    const brevant::TwoMedianData data = Data();
    const std::vector<float> g1(data.combined.begin(), data.combined.begin() + kSize);
    const std::vector<float> g2(data.combined.begin() + kSize, data.combined.end());
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunTwoMedianRandomTest(g1, g2, R, 0.975f);
        benchmark::DoNotOptimize(run.differences.data());
    }
}

void TwoMedianBootTest_Literal(benchmark::State& state) {
    const brevant::TwoMedianData data = Data();
    const std::vector<float> g1(data.combined.begin(), data.combined.begin() + kSize);
    const std::vector<float> g2(data.combined.begin() + kSize, data.combined.end());
    const auto R = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunTwoMedianBootTest(g1, g2, R, 0.975f);
        benchmark::DoNotOptimize(run.differences.data());
    }
}

// Each run next to its floor, so the pair sees the same load.
BENCHMARK(TwoMedianRandomTest_Run)->Args({100000, 1})->Args({100000, 2})->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TwoMedianRandomTest_BlockDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TwoMedianRandomTest_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TwoMedianRandomTest_SettlingDraws)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
// The bootstrap test on one thread within 1.5 times its floor; on two at least 1.8 times as fast (real time).
BENCHMARK(TwoMedianBootTest_Run)->Args({100000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(TwoMedianBootTest_DrawFloor)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(TwoMedianBootTest_Run)->Args({100000, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(TwoMedianRandomTest_Literal)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TwoMedianBootTest_Literal)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
