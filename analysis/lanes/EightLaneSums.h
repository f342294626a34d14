// Eight AVX2 lanes' running sums from values in hand, each lane RunningSums' own steps: a float addition,
// or for double sums a double one; the square formed in double, added in double and, for single sums,
// rounded to float; and whether every value equals the lane's first. Shared by the lane routines that
// gather their values (GroupSumLanes) and those that pick them from draws (ResamplePickSumLanes).
#pragma once

#include "analysis/lanes/Avx2Widen.h"
#include "analysis/lanes/GroupSumLanes.h"

#ifdef BREVANT_LANES_X86

#include <bit>
#include <cstddef>
#include <cstdint>

namespace brevant::lanes {

template <bool kSingle>
struct EightLaneSums {
    __m256 single, constant, firstValues;
    EightDoubles sum, squares;

    BREVANT_AVX2 explicit EightLaneSums(__m256 first) noexcept
        : single(_mm256_setzero_ps()), constant(_mm256_castsi256_ps(_mm256_set1_epi32(-1))), firstValues(first),
          sum(ZeroDoubles()), squares(ZeroDoubles()) {}

    BREVANT_AVX2 void Add(__m256 x) noexcept {
        constant = _mm256_and_ps(constant, _mm256_cmp_ps(x, firstValues, _CMP_EQ_OQ));
        const EightDoubles wide = Widen(x);
        squares = AddSquares(squares, wide);
        if constexpr (kSingle) {
            single = _mm256_add_ps(single, x);
            squares = RoundedToFloat(squares);
        } else {
            sum = lanes::Add(sum, wide);
        }
    }

    BREVANT_AVX2 void Store(GroupLaneSums& out) const noexcept {
        lanes::Store(kSingle ? Widen(single) : sum, out.sum);
        lanes::Store(squares, out.squares);
        alignas(32) float masks[kGroupLanes];
        _mm256_store_ps(masks, constant);
        for (std::size_t j = 0; j < kGroupLanes; ++j) out.constant[j] = std::bit_cast<std::uint32_t>(masks[j]) != 0;
    }
};

}  // namespace brevant::lanes

#endif
