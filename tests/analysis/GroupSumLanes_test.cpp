// The eight-lane group sums that IndepT and BootstMean share, against RunningSums over each lane's values
// one at a time: groups of unequal lengths either way round, a lane of one value, lanes of equal values,
// single sums and double, on the baseline and (where the processor has it) the AVX2 path.
#include "analysis/lanes/GroupSumLanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DrawPath;
using brevant::GroupLaneSums;
using brevant::kGroupLanes;
using brevant::LaneGroup;
using brevant::SumPrecision;

void ExpectLaneSums(const LaneGroup& group, SumPrecision precision, const GroupLaneSums& sums) {
    for (int j = 0; j < kGroupLanes; ++j) {
        const float* const lane = group.first + static_cast<std::ptrdiff_t>(j) * group.stride;
        brevant::RunningSums running(precision);
        bool constant = true;
        for (std::int32_t i = 0; i < group.count; ++i) {
            running.Add(lane[i]);
            constant &= lane[i] == lane[0];
        }
        EXPECT_EQ(std::bit_cast<std::uint64_t>(sums.sum[j]), std::bit_cast<std::uint64_t>(running.Sum())) << j;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(sums.squares[j]), std::bit_cast<std::uint64_t>(running.Squares())) << j;
        EXPECT_EQ(sums.constant[j], constant) << j;
    }
}

TEST(GroupSumLanes, EachLaneIsItsRunningSums) {
    struct Case {
        std::int32_t countA, countB;
    };
    const Case cases[] = {{1, 1}, {2, 1}, {5, 13}, {13, 5}, {300, 7}, {1000, 1000}};
    std::mt19937 random(7);
    std::normal_distribution<float> value(50.0f, 12.0f);
    for (const Case& c : cases) {
        // Arrangements as IndepT lays them out: group A's values, then group B's, one arrangement after another.
        const std::int32_t stride = c.countA + c.countB;
        std::vector<float> values(static_cast<std::size_t>(kGroupLanes * stride));
        for (float& v : values) v = value(random);
        // Lane 3 of both groups holds one value throughout.
        std::fill_n(values.begin() + 3 * stride, stride, 1.25f);
        const LaneGroup a{values.data(), stride, c.countA}, b{values.data() + c.countA, stride, c.countB};
        for (const SumPrecision precision : {SumPrecision::Single, SumPrecision::Double}) {
            for (const DrawPath path : {DrawPath::Baseline, DrawPath::Avx2}) {
                if (!brevant::DrawPathAvailable(path)) continue;
                SCOPED_TRACE(std::to_string(c.countA) + "+" + std::to_string(c.countB) +
                             (precision == SumPrecision::Single ? " single" : " double") +
                             (path == DrawPath::Avx2 ? " avx2" : " baseline"));
                GroupLaneSums sumsA{}, sumsB{};
                brevant::SumGroupLanes(path, precision, a, b, sumsA, sumsB);
                ExpectLaneSums(a, precision, sumsA);
                ExpectLaneSums(b, precision, sumsB);
            }
        }
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
