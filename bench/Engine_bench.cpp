// The engine's hot routines against their literal transcriptions. Every timed iteration starts from a fresh
// copy of the same unsorted input (the copy is timed on both sides).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/Module1.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "engine/UniformBlocks.h"
#include "literal/LiteralEngine.h"

namespace {

using namespace brevant;

std::vector<float> RandomValues(std::size_t n, unsigned seed) {
    std::mt19937 pick(seed);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);  // mostly 8 or 9 significant digits
    std::vector<float> x(n);
    for (float& v : x) v = value(pick);
    return x;
}

void BM_RandomUniform(benchmark::State& state) {
    Generator g{{1, 1, 1}};
    double sum = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) sum += g.Uniform();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_RandomUniform);

// Draws in blocks of 4,096 on each instruction path (argument: 0 baseline, 1 AVX2, 2 AVX-512).
void BM_FillUniform(benchmark::State& state) {
    const auto path = static_cast<DrawPath>(state.range(0));
    if (!DrawPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    Generator g{{1, 1, 1}};
    std::vector<double> block(4096);
    for (auto _ : state) {
        FillUniformWith(path, g, block);
        benchmark::DoNotOptimize(block.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_FillUniform)->Arg(0)->Arg(1)->Arg(2);

// Sixteen generators side by side, 256 draws each, on each instruction path (as BM_FillUniform).
void BM_FillUniformLanes(benchmark::State& state) {
    const auto path = static_cast<DrawPath>(state.range(0));
    if (!DrawPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    std::vector<Seeds> seeds(16);
    for (std::size_t j = 0; j < seeds.size(); ++j) seeds[j] = JumpAhead(Seeds{1, 1, 1}, 1000 * j);
    std::vector<double> draws(16 * 256);
    for (auto _ : state) {
        FillUniformLanes(path, seeds, 256, draws.data());
        benchmark::DoNotOptimize(draws.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(draws.size()));
}
BENCHMARK(BM_FillUniformLanes)->Arg(0)->Arg(1)->Arg(2);

void BM_RandomUniformLiteral(benchmark::State& state) {
    literal::seedTable = {1, 1, 1};
    double sum = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) sum += literal::RandomUniform();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_RandomUniformLiteral);

void BM_RoundTrip7(benchmark::State& state) {
    const std::vector<float> x = RandomValues(1000, 1);
    float sum = 0.0f;
    for (auto _ : state) {
        for (const float v : x) sum += RoundTrip7(v);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_RoundTrip7);

void BM_RoundTrip7Literal(benchmark::State& state) {
    const std::vector<float> x = RandomValues(1000, 1);
    float sum = 0.0f;
    for (auto _ : state) {
        for (const float v : x) sum += literal::ReadSingle(literal::GeneralText(v));
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_RoundTrip7Literal);

void BM_SortArray(benchmark::State& state) {
    const std::vector<float> input = RandomValues(static_cast<std::size_t>(state.range(0)), 2);
    for (auto _ : state) {
        std::vector<float> x = input;
        SortArray(x);
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_SortArray)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SortArrayLiteral(benchmark::State& state) {
    const std::vector<float> input = RandomValues(static_cast<std::size_t>(state.range(0)), 2);
    for (auto _ : state) {
        literal::Values x = literal::OneBased(input);
        literal::SortArray(x, static_cast<std::int32_t>(state.range(0)));
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_SortArrayLiteral)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortArrayLiteral)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ArrayMedian(benchmark::State& state) {
    const std::vector<float> input = RandomValues(1000, 3);
    for (auto _ : state) {
        std::vector<float> x = input;
        benchmark::DoNotOptimize(ArrayMedian(x));
    }
}
BENCHMARK(BM_ArrayMedian)->Unit(benchmark::kMicrosecond);

void BM_MedianOf(benchmark::State& state) {
    const std::vector<float> input = RandomValues(1000, 3);
    for (auto _ : state) {
        std::vector<float> x = input;
        benchmark::DoNotOptimize(MedianOf(x));
    }
}
BENCHMARK(BM_MedianOf)->Unit(benchmark::kMicrosecond);

void BM_ArrayMedianLiteral(benchmark::State& state) {
    const std::vector<float> input = RandomValues(1000, 3);
    for (auto _ : state) {
        literal::Values x = literal::OneBased(input);
        benchmark::DoNotOptimize(literal::ArrayMedian(x, 1000));
    }
}
BENCHMARK(BM_ArrayMedianLiteral)->Unit(benchmark::kMicrosecond);

std::vector<Record> RandomRecords(std::size_t n) {
    std::mt19937 pick(4);
    std::uniform_real_distribution<float> key(0.0f, 1.0f);
    std::vector<Record> r(n);
    for (std::size_t i = 0; i < n; ++i) r[i] = {key(pick), static_cast<std::int32_t>(i), static_cast<float>(i)};
    return r;
}

void BM_SortRecords(benchmark::State& state) {
    const std::vector<Record> input = RandomRecords(1000);
    for (auto _ : state) {
        std::vector<Record> r = input;
        SortRecords(r);
        benchmark::DoNotOptimize(r.data());
    }
}
BENCHMARK(BM_SortRecords)->Unit(benchmark::kMicrosecond);

void BM_SortRecordsLiteral(benchmark::State& state) {
    const std::vector<Record> input = RandomRecords(1000);
    for (auto _ : state) {
        std::vector<Record> r(1);
        r.insert(r.end(), input.begin(), input.end());
        literal::SortRecords(r, 1000);
        benchmark::DoNotOptimize(r.data());
    }
}
BENCHMARK(BM_SortRecordsLiteral)->Unit(benchmark::kMicrosecond);

// One resample of 1,000 values: BootstrapDraw rounds its source on every call; BootstrapDrawFrom uses a
// source rounded once per run, as the resample loops do.
void BM_BootstrapDraw(benchmark::State& state) {
    const std::vector<float> input = RandomValues(1000, 5);
    Generator g{{1, 1, 1}};
    for (auto _ : state) {
        std::vector<float> x = input;
        BootstrapDraw(g, std::span<float>(x));
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_BootstrapDraw)->Unit(benchmark::kMicrosecond);

void BM_BootstrapDrawFrom(benchmark::State& state) {
    const std::vector<float> rounded = RoundedCopy(RandomValues(1000, 5));
    std::vector<float> out(1000);
    Generator g{{1, 1, 1}};
    for (auto _ : state) {
        BootstrapDrawFrom(g, rounded, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_BootstrapDrawFrom)->Unit(benchmark::kMicrosecond);

void BM_BootstrapDrawLiteral(benchmark::State& state) {
    const std::vector<float> input = RandomValues(1000, 5);
    literal::seedTable = {1, 1, 1};
    for (auto _ : state) {
        literal::Values x = literal::OneBased(input);
        literal::BootstrapDraw(x, 1000);
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_BootstrapDrawLiteral)->Unit(benchmark::kMicrosecond);

// An output file's text: 100,000 values of the kind resamples give (mostly seven significant digits and
// more), by the fast writer (ValueLines) and by the std::to_chars text it replaced, one string a value.
void BM_ValueLines(benchmark::State& state) {
    const std::vector<float> values = RandomValues(100000, 8);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = ValueLines(values);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_ValueLines)->Unit(benchmark::kMillisecond);

void BM_ValueLinesReference(benchmark::State& state) {
    const std::vector<float> values = RandomValues(100000, 8);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text;
        text.reserve(values.size() * 16);
        for (const float v : values) {
            text += ReferenceDefaultNumberText(v);
            text += "\r\n";
        }
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_ValueLinesReference)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
