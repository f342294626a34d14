#include "analysis/lanes/GroupSumLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <bit>
#include <cstddef>

namespace brevant {

namespace {

// The baseline: one RunningSums per lane, the lanes of both groups side by side.
struct PlainLanes {
    const LaneGroup& group;
    RunningSums running[kGroupLanes];
    bool constant[kGroupLanes] = {true, true, true, true, true, true, true, true};

    PlainLanes(const LaneGroup& g, SumPrecision precision) noexcept
        : group(g),
          running{RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision),
                  RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision)} {}

    void Add(std::int32_t i) noexcept {
        for (std::size_t j = 0; j < kGroupLanes; ++j) {
            const float* const lane = group.first + j * static_cast<std::size_t>(group.stride);
            running[j].Add(lane[i]);
            constant[j] &= lane[i] == lane[0];
        }
    }
    void Store(GroupLaneSums& out) const noexcept {
        for (std::size_t j = 0; j < kGroupLanes; ++j) {
            out.sum[j] = running[j].Sum();
            out.squares[j] = running[j].Squares();
            out.constant[j] = constant[j];
        }
    }
};

void SumPlain(SumPrecision precision, const LaneGroup& a, const LaneGroup& b, GroupLaneSums& sumsA,
              GroupLaneSums& sumsB) noexcept {
    PlainLanes lanesA(a, precision), lanesB(b, precision);
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

#ifdef BREVANT_LANES_X86

using lanes::EightDoubles;

// One group's sums over eight AVX2 lanes: a float addition, or for double sums a double one; the square
// formed in double, added in double and, for single sums, rounded to float.
template <bool kSingle>
struct Avx2Lanes {
    const float* first;
    __m256i offsets;
    __m256 single, constant, firstValues;
    EightDoubles sum, squares;

    BREVANT_AVX2 explicit Avx2Lanes(const LaneGroup& g) noexcept
        : first(g.first), offsets(lanes::LaneOffsets(g.stride)), single(_mm256_setzero_ps()),
          constant(_mm256_castsi256_ps(_mm256_set1_epi32(-1))), firstValues(_mm256_i32gather_ps(g.first, offsets, 4)),
          sum(lanes::ZeroDoubles()), squares(lanes::ZeroDoubles()) {}

    BREVANT_AVX2 void Add(std::int32_t i) noexcept {
        const __m256 x = _mm256_i32gather_ps(first + i, offsets, 4);
        constant = _mm256_and_ps(constant, _mm256_cmp_ps(x, firstValues, _CMP_EQ_OQ));
        const EightDoubles wide = lanes::Widen(x);
        squares = lanes::AddSquares(squares, wide);
        if constexpr (kSingle) {
            single = _mm256_add_ps(single, x);
            squares = lanes::RoundedToFloat(squares);
        } else {
            sum = lanes::Add(sum, wide);
        }
    }

    BREVANT_AVX2 void Store(GroupLaneSums& out) const noexcept {
        lanes::Store(kSingle ? lanes::Widen(single) : sum, out.sum);
        lanes::Store(squares, out.squares);
        alignas(32) float masks[kGroupLanes];
        _mm256_store_ps(masks, constant);
        for (std::size_t j = 0; j < kGroupLanes; ++j) out.constant[j] = std::bit_cast<std::uint32_t>(masks[j]) != 0;
    }
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
    SumPlain(precision, a, b, sumsA, sumsB);
}

}  // namespace brevant
