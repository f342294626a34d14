// Draws in blocks against the one-at-a-time generator: the exact lane arithmetic over every state, whole
// streams on every instruction path (and on the AVX-512 kernel emulated, where the processor lacks it), and
// jumps ahead.
#include "engine/UniformBlocks.h"

#include <gtest/gtest.h>

// The AVX-512 kernel compiled on portable emulations of its intrinsics (under their own names).
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx512.h>
#define BREVANT_AVX512_TARGET
#include "engine/UniformLanesAvx512.h"

#include <bit>
#include <span>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DrawPath;
using brevant::Generator;
using brevant::Seeds;

TEST(UniformBlocks, LaneArithmeticIsExactForEveryState) {
    const std::int64_t k[] = {171, 172, 170};
    const std::int32_t m[] = {brevant::kModulusA, brevant::kModulusB, brevant::kModulusC};
    for (int stream = 0; stream < 3; ++stream) {
        std::int64_t power = 1;
        for (int j = 0; j < brevant::kUniformBlock; ++j) {
            power = power * k[stream] % m[stream];
            for (std::int32_t s = 1; s < m[stream]; ++s) {
                ASSERT_EQ(brevant::LaneState(stream, j, s), power * s % m[stream]) << stream << " " << j << " " << s;
            }
        }
        for (std::int32_t s = 1; s < m[stream]; ++s) {
            const double exact = static_cast<double>(s) / static_cast<double>(m[stream]);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(brevant::LaneQuotient(stream, s)), std::bit_cast<std::uint64_t>(exact))
                << stream << " " << s;
        }
    }
}

// The draws of FillUniform against Uniform() one at a time, from several starts and over lengths around
// the blocks; fill(generator, out) fills out.
template <typename Fill>
void ExpectTheOneAtATimeStream(const Fill& fill) {
    const Seeds starts[] = {{1, 1, 1}, {12345, 23456, 30000}, {30268, 30306, 30322}, {7, 9000, 23423}};
    const std::size_t lengths[] = {0, 1, 31, 32, 33, 1000, 100'003};
    for (const Seeds& start : starts) {
        for (const std::size_t n : lengths) {
            Generator one{start}, blocks{start};
            std::vector<double> drawn(n);
            fill(blocks, std::span<double>(drawn));
            for (std::size_t i = 0; i < n; ++i) {
                ASSERT_EQ(std::bit_cast<std::uint64_t>(drawn[i]), std::bit_cast<std::uint64_t>(one.Uniform()))
                    << "draw " << i << " of " << n;
            }
            EXPECT_EQ(blocks.seeds, one.seeds);
        }
    }
}

class EveryPath : public testing::TestWithParam<DrawPath> {};

TEST_P(EveryPath, StreamsEqualTheOneAtATimeGenerator) {
    const DrawPath path = GetParam();
    if (!brevant::DrawPathAvailable(path)) GTEST_SKIP() << "this processor lacks the path's instructions";
    ExpectTheOneAtATimeStream([path](Generator& g, std::span<double> out) { brevant::FillUniformWith(path, g, out); });
}

std::string PathName(const testing::TestParamInfo<DrawPath>& info) {
    const char* const names[] = {"Baseline", "Avx2", "Avx512"};
    return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(UniformBlocks, EveryPath,
                         testing::Values(DrawPath::Baseline, DrawPath::Avx2, DrawPath::Avx512), PathName);

TEST(UniformBlocks, ChosenPathsAreAvailable) {
    EXPECT_TRUE(brevant::DrawPathAvailable(brevant::ActiveDrawPath()));
    EXPECT_TRUE(brevant::DrawPathAvailable(brevant::FastestDrawPath()));
    EXPECT_GE(brevant::FastestDrawPath(), brevant::ActiveDrawPath());
    // Each path has the instructions of those before it.
    EXPECT_TRUE(!brevant::DrawPathAvailable(DrawPath::Avx512) || brevant::DrawPathAvailable(DrawPath::Avx2));
}

// The AVX-512 kernel's own source on emulated instructions: its arithmetic checked on any processor.
TEST(UniformBlocks, Avx512KernelEmulatedGivesTheStream) {
    ExpectTheOneAtATimeStream([](Generator& g, std::span<double> out) {
        const std::size_t blocks = out.size() / brevant::kUniformBlock;
        brevant::avx512::FillBlocks(g.seeds, out.data(), blocks);
        for (double& u : out.subspan(blocks * brevant::kUniformBlock)) u = g.Uniform();
    });
}

// Lanes side by side: each lane's draws those of its own generator, for lane counts around the vector
// widths; fill(seeds, steps, out) fills out.
template <typename Fill>
void ExpectEachLaneItsOwnStream(const Fill& fill) {
    for (const std::size_t lanes : {1u, 3u, 8u, 16u, 21u, 32u, 40u}) {
        for (const std::size_t steps : {0u, 1u, 7u, 300u}) {
            std::vector<Seeds> seeds(lanes), after(lanes);
            for (std::size_t j = 0; j < lanes; ++j) seeds[j] = brevant::JumpAhead(Seeds{11, 22, 33}, 1000 * j + 7);
            std::vector<double> drawn(lanes * steps);
            after = seeds;
            fill(std::span<Seeds>(after), steps, drawn.data());
            for (std::size_t j = 0; j < lanes; ++j) {
                Generator one{seeds[j]};
                for (std::size_t i = 0; i < steps; ++i) {
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(drawn[i * lanes + j]), std::bit_cast<std::uint64_t>(one.Uniform()))
                        << "lane " << j << " of " << lanes << ", step " << i;
                }
                EXPECT_EQ(after[j], one.seeds) << "lane " << j << " of " << lanes;
            }
        }
    }
}

TEST_P(EveryPath, LanesEachFollowTheirOwnStream) {
    const DrawPath path = GetParam();
    if (!brevant::DrawPathAvailable(path)) GTEST_SKIP() << "this processor lacks the path's instructions";
    ExpectEachLaneItsOwnStream([path](std::span<Seeds> seeds, std::size_t steps, double* out) {
        brevant::FillUniformLanes(path, seeds, steps, out);
    });
}

TEST(UniformBlocks, Avx512LanesKernelEmulatedFollowsTheStreams) {
    ExpectEachLaneItsOwnStream([](std::span<Seeds> seeds, std::size_t steps, double* out) {
        const std::size_t done = brevant::avx512::FillLanes(seeds.data(), seeds.size(), steps, out);
        EXPECT_EQ(done, seeds.size() / 16 * 16);
        // The lanes past the kernel's, one at a time.
        for (std::size_t j = done; j < seeds.size(); ++j) {
            Generator g{seeds[j]};
            for (std::size_t i = 0; i < steps; ++i) out[i * seeds.size() + j] = g.Uniform();
            seeds[j] = g.seeds;
        }
    });
}

// Uniforms hands out the same draws as Uniform, across the refills of the blocks, and leaves the same seeds.
TEST(UniformBlocks, DrawsTakenInBlocksAreTheDrawsOneAtATime) {
    brevant::BlockGenerator blocks{Seeds{4, 5, 6}};
    Generator one{Seeds{4, 5, 6}};
    for (const std::size_t n : {0u, 1u, 999u, 2047u, 2048u, 2049u, 5000u}) {
        std::vector<double> drawn(n);
        blocks.Uniforms(drawn);
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(drawn[i]), std::bit_cast<std::uint64_t>(one.Uniform())) << n << " " << i;
        }
        EXPECT_EQ(blocks.CurrentSeeds(), one.seeds);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(blocks.Uniform()), std::bit_cast<std::uint64_t>(one.Uniform()));
    }
}

TEST(UniformBlocks, JumpAheadLandsWhereTheDrawsWould) {
    for (const std::uint64_t n : {0ull, 1ull, 31ull, 32ull, 1'000'003ull}) {
        Generator g{Seeds{111, 222, 333}};
        for (std::uint64_t i = 0; i < n; ++i) g.Uniform();
        EXPECT_EQ(brevant::JumpAhead(Seeds{111, 222, 333}, n), g.seeds) << n;
    }
    // Each generator comes back to its seed after m - 1 draws.
    const Seeds back = brevant::JumpAhead(Seeds{5, 6, 7}, std::uint64_t{brevant::kModulusA - 1});
    EXPECT_EQ(back.a, 5);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
