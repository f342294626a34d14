#include "analysis/lanes/GroupSumLanes.h"

#include "analysis/lanes/EightLaneSums.h"

#include <cstddef>
#include <type_traits>

namespace brevant {

namespace {

// The baseline: four lanes side by side through a group (more would leave the registers), lanes 0-3 of a,
// then of b, then lanes 4-7. Each lane takes RunningSums' own steps: a float or a double addition, the
// square formed in double and, for single sums, the sum of squares rounded to float after each addition.
constexpr int kPlainSide = 4;

template <bool kSingle>
void SumFourPlain(const LaneGroup& g, int firstLane, GroupLaneSums& out) noexcept {
    using Sum = std::conditional_t<kSingle, float, double>;
    Sum sum[kPlainSide] = {}, squares[kPlainSide] = {};
    bool constant[kPlainSide] = {true, true, true, true};
    const auto stride = static_cast<std::size_t>(g.stride);
    const float* const lanes = g.first + static_cast<std::size_t>(firstLane) * stride;
    for (std::int32_t i = 0; i < g.count; ++i) {
        for (int j = 0; j < kPlainSide; ++j) {
            const float* const lane = lanes + static_cast<std::size_t>(j) * stride;
            const float x = lane[i];
            sum[j] = sum[j] + static_cast<Sum>(x);
            squares[j] = static_cast<Sum>(static_cast<double>(squares[j]) + static_cast<double>(x) * x);
            constant[j] &= x == lane[0];
        }
    }
    for (int j = 0; j < kPlainSide; ++j) {
        out.sum[firstLane + j] = sum[j];
        out.squares[firstLane + j] = squares[j];
        out.constant[firstLane + j] = constant[j];
    }
}

template <bool kSingle>
void SumPlain(const LaneGroup& a, const LaneGroup& b, GroupLaneSums& sumsA, GroupLaneSums& sumsB) noexcept {
    for (int lane = 0; lane < kGroupLanes; lane += kPlainSide) {
        SumFourPlain<kSingle>(a, lane, sumsA);
        SumFourPlain<kSingle>(b, lane, sumsB);
    }
}

#ifdef BREVANT_LANES_X86

// One group's sums over eight AVX2 lanes, lane j at first + j stride, its values gathered one step at a
// time; two groups go side by side while both have values.
template <bool kSingle>
struct Avx2Lanes {
    const float* first;
    __m256i offsets;
    lanes::EightLaneSums<kSingle> sums;

    BREVANT_AVX2 explicit Avx2Lanes(const LaneGroup& g) noexcept
        : first(g.first), offsets(lanes::LaneOffsets(g.stride)), sums(_mm256_i32gather_ps(g.first, offsets, 4)) {}

    BREVANT_AVX2 void Add(std::int32_t i) noexcept { sums.Add(_mm256_i32gather_ps(first + i, offsets, 4)); }
    BREVANT_AVX2 void Store(GroupLaneSums& out) const noexcept { sums.Store(out); }
};

template <bool kSingle>
BREVANT_AVX2 void SumAvx2(const LaneGroup& a, const LaneGroup& b, GroupLaneSums& sumsA, GroupLaneSums& sumsB) noexcept {
    static_assert(kGroupLanes == 8);
    Avx2Lanes<kSingle> lanesA(a), lanesB(b);
    const std::int32_t common = a.count < b.count ? a.count : b.count;
    for (std::int32_t i = 0; i < common; ++i) {
        lanesA.Add(i);
        lanesB.Add(i);
    }
    for (std::int32_t i = common; i < a.count; ++i) lanesA.Add(i);
    for (std::int32_t i = common; i < b.count; ++i) lanesB.Add(i);
    lanesA.Store(sumsA);
    lanesB.Store(sumsB);
}

#endif

}  // namespace

void SumGroupLanes(DrawPath path, SumPrecision precision, const LaneGroup& a, const LaneGroup& b, GroupLaneSums& sumsA,
                   GroupLaneSums& sumsB) noexcept {
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        if (precision == SumPrecision::Single) {
            SumAvx2<true>(a, b, sumsA, sumsB);
        } else {
            SumAvx2<false>(a, b, sumsA, sumsB);
        }
        return;
    }
#endif
    (void)path;
    if (precision == SumPrecision::Single) {
        SumPlain<true>(a, b, sumsA, sumsB);
    } else {
        SumPlain<false>(a, b, sumsA, sumsB);
    }
}

}  // namespace brevant
