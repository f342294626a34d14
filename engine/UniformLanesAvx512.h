// The block kernel of FillUniform's AVX-512 path, written once for two builds: UniformBlocksAvx512.cpp
// compiles it with the processor's instructions, and the engine test with the same intrinsics emulated in
// portable code, so that its arithmetic is checked bit for bit on processors without AVX-512 as well.
// Include it after the intrinsics (native, or emulated under their native names), with
// BREVANT_AVX512_TARGET defined as the function attribute that enables them (empty when emulated).
// Engine-internal.
#pragma once

#include "engine/UniformStreams.h"

#include <cstddef>

namespace brevant::avx512 {

// A stream's constants, eight lanes wide: the 32 powers of a block in four registers.
struct Lanes {
    __m512d powers[kUniformBlock / 8];
    __m512d m, inverse, high, low;
};

BREVANT_AVX512_TARGET inline Lanes LanesOf(const UniformStream& s) {
    Lanes l;
    for (int v = 0; v < kUniformBlock / 8; ++v) l.powers[v] = _mm512_loadu_pd(s.powers.data() + 8 * v);
    l.m = _mm512_set1_pd(s.m);
    l.inverse = _mm512_set1_pd(s.inverse);
    l.high = _mm512_set1_pd(s.high);
    l.low = _mm512_set1_pd(s.low);
    return l;
}

// Truncation to an integer (scale 2^0, rounding toward zero). The inexact flag it may raise is never read.
inline constexpr int kTruncate = _MM_FROUND_TO_ZERO;

// The AVX2 path's operations, eight lanes at a time: the same exact reduction (a truncated quotient, then a
// fused multiply-add whose product q m is exact) and the same correctly rounded s / m (s high is exact).
BREVANT_AVX512_TARGET inline __m512d Reduce(const Lanes& l, __m512d product) {
    const __m512d q = _mm512_roundscale_pd(_mm512_mul_pd(product, l.inverse), kTruncate);
    return _mm512_fnmadd_pd(q, l.m, product);
}
BREVANT_AVX512_TARGET inline __m512d Quotient(const Lanes& l, __m512d s) {
    return _mm512_fmadd_pd(s, l.high, _mm512_mul_pd(s, l.low));
}

// blocks whole blocks of kUniformBlock draws into out from seeds, which it advances past them.
BREVANT_AVX512_TARGET inline void FillBlocks(Seeds& seeds, double* out, std::size_t blocks) {
    const Lanes A = LanesOf(UniformStreamNumber(0)), B = LanesOf(UniformStreamNumber(1)),
                C = LanesOf(UniformStreamNumber(2));
    for (std::size_t block = 0; block < blocks; ++block, out += kUniformBlock) {
        const __m512d a0 = _mm512_set1_pd(seeds.a), b0 = _mm512_set1_pd(seeds.b), c0 = _mm512_set1_pd(seeds.c);
        __m512d a = a0, b = b0, c = c0;
        for (int v = 0; v < kUniformBlock / 8; ++v) {
            a = Reduce(A, _mm512_mul_pd(A.powers[v], a0));
            b = Reduce(B, _mm512_mul_pd(B.powers[v], b0));
            c = Reduce(C, _mm512_mul_pd(C.powers[v], c0));
            __m512d s = _mm512_add_pd(Quotient(B, b), Quotient(A, a));
            s = _mm512_add_pd(s, Quotient(C, c));
            const __m512d u = _mm512_sub_pd(s, _mm512_roundscale_pd(s, kTruncate));
            _mm512_storeu_pd(out + 8 * v, u);
        }
        // The next block starts from the last lane's states.
        double last[3][8];
        _mm512_storeu_pd(last[0], a);
        _mm512_storeu_pd(last[1], b);
        _mm512_storeu_pd(last[2], c);
        seeds = {static_cast<std::int32_t>(last[0][7]), static_cast<std::int32_t>(last[1][7]),
                 static_cast<std::int32_t>(last[2][7])};
    }
}

}  // namespace brevant::avx512
