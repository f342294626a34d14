// The mediation-by-bootstrap run at its heaviest window setting (1,000 cases, 50,000 resamples) against
// its floor: the time the engine takes just to draw the same case indices (N per resample) from blocks. The
// target is a run on one thread within 1.5 times its floor, and on two threads at least 1.8 times as fast
// as on one (real time). The literal transcription runs at a smaller count, for scale. Past 10,000 cases
// the sums are double; that run is timed too.
#include "BenchSupport.h"
#include "DrawFloors.h"
#include "analysis/bootstrap/MediationBoot.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralMediationBoot.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using bench::kSeeds;

brevant::MediationBootData Cases(int n) {
    std::mt19937 random(static_cast<unsigned>(n));
    std::normal_distribution<float> normal(0.0f, 10.0f);
    brevant::MediationBootData data;
    for (int i = 0; i < n; ++i) {
        const float x = normal(random) + 50.0f;
        const float y = 0.5f * x + normal(random);
        data.x.push_back(x);
        data.y.push_back(y);
        data.z.push_back(0.7f * y + normal(random));
    }
    data.sums = brevant::SumsFor(n, brevant::kMediationBootDesignedCases);
    return data;
}

void MediationBoot_Run(benchmark::State& state) {
    const brevant::MediationBootData data = Cases(static_cast<int>(state.range(0)));
    const auto R = static_cast<std::int32_t>(state.range(1));
    const auto threads = static_cast<int>(state.range(2));
    bench::TimeRuns(state, [&](brevant::Generator& g, brevant::RunControl& control) {
        return brevant::RunMediationBoot(data, {R, 0.975f, {}, threads}, g, control);
    });
}

void MediationBoot_DrawFloor(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    floors::CaseNumbers<brevant::BlockGenerator>(state, static_cast<std::int32_t>(state.range(1)), n, n);
}

void MediationBoot_Literal(benchmark::State& state) {
    const brevant::MediationBootData data = Cases(static_cast<int>(state.range(0)));
    const auto R = static_cast<std::int32_t>(state.range(1));
    for (auto _ : state) {
        brevant::literal::seedTable = kSeeds;
        auto run = brevant::literal::RunMediationBoot(data.x, data.y, data.z, R, 0.975f);
        benchmark::DoNotOptimize(run.values.data());
    }
}

// Each run next to its floor, so the pair sees the same load; then the same run on two threads.
BENCHMARK(MediationBoot_Run)->Args({1000, 50000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_DrawFloor)->Args({1000, 50000})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_Run)->Args({1000, 50000, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_Run)->Args({20000, 2000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_DrawFloor)->Args({20000, 2000})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_Run)->Args({20000, 2000, 2})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(MediationBoot_Literal)->Args({1000, 1000})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
