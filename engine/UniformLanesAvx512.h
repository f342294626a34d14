// The kernels of the AVX-512 path (FillUniform's blocks, FillUniformLanes' lanes), written once for two
// builds: UniformBlocksAvx512.cpp compiles them with the processor's instructions, and the engine test with
// the same intrinsics emulated in portable code, so that their arithmetic is checked bit for bit on
// processors without AVX-512 as well. Include this after the intrinsics (native, or emulated under their
// native names), with BREVANT_AVX512_TARGET defined as the function attribute that enables them (empty when
// emulated). Engine-internal.
#pragma once

#include "engine/UniformStreams.h"

#include <cstddef>

namespace brevant::avx512 {

// A stream's constants, eight lanes wide: the 32 powers of a block in four registers.
struct Lanes {
    __m512d powers[kUniformBlock / 8];
    __m512d k, m, inverse, high, low;
};

BREVANT_AVX512_TARGET inline Lanes LanesOf(const UniformStream& s) {
    Lanes l;
    for (int v = 0; v < kUniformBlock / 8; ++v) l.powers[v] = _mm512_loadu_pd(s.powers.data() + 8 * v);
    l.k = _mm512_set1_pd(s.k);
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

// Sixteen lanes of FillUniformLanes at a time, two registers a stream, for the first lanes / 16 * 16 of
// them; returns how many that is. Each step is s <- k s mod m in each stream, exactly, then the draw.
BREVANT_AVX512_TARGET inline std::size_t FillLanes(Seeds* seeds, std::size_t lanes, std::size_t steps, double* out) {
    const Lanes A = LanesOf(UniformStreamNumber(0)), B = LanesOf(UniformStreamNumber(1)),
                C = LanesOf(UniformStreamNumber(2));
    const std::size_t whole = lanes / 16 * 16;
    for (std::size_t j = 0; j < whole; j += 16) {
        double start[3][16];
        for (std::size_t l = 0; l < 16; ++l) {
            start[0][l] = seeds[j + l].a;
            start[1][l] = seeds[j + l].b;
            start[2][l] = seeds[j + l].c;
        }
        __m512d a[2], b[2], c[2];
        for (int h = 0; h < 2; ++h) {
            a[h] = _mm512_loadu_pd(start[0] + 8 * h);
            b[h] = _mm512_loadu_pd(start[1] + 8 * h);
            c[h] = _mm512_loadu_pd(start[2] + 8 * h);
        }
        double* to = out + j;
        for (std::size_t i = 0; i < steps; ++i, to += lanes) {
            for (int h = 0; h < 2; ++h) {
                a[h] = Reduce(A, _mm512_mul_pd(A.k, a[h]));
                b[h] = Reduce(B, _mm512_mul_pd(B.k, b[h]));
                c[h] = Reduce(C, _mm512_mul_pd(C.k, c[h]));
                __m512d s = _mm512_add_pd(Quotient(B, b[h]), Quotient(A, a[h]));
                s = _mm512_add_pd(s, Quotient(C, c[h]));
                _mm512_storeu_pd(to + 8 * h, _mm512_sub_pd(s, _mm512_roundscale_pd(s, kTruncate)));
            }
        }
        for (int h = 0; h < 2; ++h) {
            _mm512_storeu_pd(start[0] + 8 * h, a[h]);
            _mm512_storeu_pd(start[1] + 8 * h, b[h]);
            _mm512_storeu_pd(start[2] + 8 * h, c[h]);
        }
        for (std::size_t l = 0; l < 16; ++l) {
            seeds[j + l] = {static_cast<std::int32_t>(start[0][l]), static_cast<std::int32_t>(start[1][l]),
                            static_cast<std::int32_t>(start[2][l])};
        }
    }
    return whole;
}

}  // namespace brevant::avx512
