// The steps every AVX2 lane routine of the procedures is made of: float lanes widened to double, a double
// lane sum rounded to single precision, a square added. Each lane is an ordinary IEEE operation, so every
// lane is bit for bit the scalar step it stands for: a single-precision running sum of squares adds the
// double square of a float to the sum held in double and rounds the result to float; no fused multiply-add
// (the square is rounded on its own). Included only by the lane routines (analysis/lanes/*.cpp); every
// function here is for code compiled for AVX2 (BREVANT_AVX2).
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define BREVANT_LANES_X86 1
#include <immintrin.h>

#define BREVANT_AVX2 __attribute__((target("avx2")))

namespace brevant::lanes {

// Eight double lanes: lanes 0-3 and 4-7.
struct EightDoubles {
    __m256d low, high;
};

// Float lanes 0-3, 4-7 as doubles.
BREVANT_AVX2 inline __m256d WidenLow(__m256 v) noexcept { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
BREVANT_AVX2 inline __m256d WidenHigh(__m256 v) noexcept { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
BREVANT_AVX2 inline EightDoubles Widen(__m256 v) noexcept { return {WidenLow(v), WidenHigh(v)}; }
// Four floats from memory as doubles.
BREVANT_AVX2 inline __m256d WidenFour(const float* p) noexcept { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

// Each double lane rounded to single precision and held as a double again.
BREVANT_AVX2 inline __m256d RoundedToFloat(__m256d sum) noexcept { return _mm256_cvtps_pd(_mm256_cvtpd_ps(sum)); }
BREVANT_AVX2 inline EightDoubles RoundedToFloat(EightDoubles sum) noexcept {
    return {RoundedToFloat(sum.low), RoundedToFloat(sum.high)};
}

// x * x in each lane.
BREVANT_AVX2 inline EightDoubles Squares(EightDoubles x) noexcept {
    return {_mm256_mul_pd(x.low, x.low), _mm256_mul_pd(x.high, x.high)};
}
// sum + x * x in each lane, the product rounded before the sum.
BREVANT_AVX2 inline __m256d AddSquare(__m256d sum, __m256d x) noexcept {
    return _mm256_add_pd(sum, _mm256_mul_pd(x, x));
}
BREVANT_AVX2 inline EightDoubles AddSquares(EightDoubles sum, EightDoubles x) noexcept {
    return {AddSquare(sum.low, x.low), AddSquare(sum.high, x.high)};
}
BREVANT_AVX2 inline EightDoubles Add(EightDoubles sum, EightDoubles x) noexcept {
    return {_mm256_add_pd(sum.low, x.low), _mm256_add_pd(sum.high, x.high)};
}

BREVANT_AVX2 inline EightDoubles ZeroDoubles() noexcept { return {_mm256_setzero_pd(), _mm256_setzero_pd()}; }
BREVANT_AVX2 inline void Store(EightDoubles d, double* out) noexcept {
    _mm256_storeu_pd(out, d.low);
    _mm256_storeu_pd(out + 4, d.high);
}

// Lane j of a gather reading values stride apart: j * stride.
BREVANT_AVX2 inline __m256i LaneOffsets(std::int32_t stride) noexcept {
    return _mm256_mullo_epi32(_mm256_set1_epi32(stride), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

}  // namespace brevant::lanes

#endif
