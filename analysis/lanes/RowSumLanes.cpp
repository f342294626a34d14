#include "analysis/lanes/RowSumLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <cstddef>
#include <cstring>

namespace brevant {

namespace {

// Two-double and four-float vectors for the baseline path (SSE2 on x86-64): each lane an ordinary IEEE
// operation, so each is bit for bit the scalar sum it stands for.
using Double2 = double __attribute__((vector_size(16)));
using Float2 = float __attribute__((vector_size(8)));
using Float4 = float __attribute__((vector_size(16)));
using Double2Unaligned = double __attribute__((vector_size(16), aligned(8)));
using Float4Unaligned = float __attribute__((vector_size(16), aligned(4)));

inline Double2 RoundedToSingle(Double2 sum) noexcept {
#if defined(__SSE2__)
    // The two conversions alone, without the zeroing of the upper half a two-float vector costs.
    return reinterpret_cast<Double2>(_mm_cvtps_pd(_mm_cvtpd_ps(reinterpret_cast<__m128d>(sum))));
#else
    return __builtin_convertvector(__builtin_convertvector(sum, Float2), Double2);
#endif
}

// B resamples side by side, G groups of four doubles a row, F: with floats.
template <int G, bool F, bool kSingle, int B>
void SumBaseline(const RowTable& t, const std::int32_t* picked, std::int32_t n, RowSums* out) noexcept {
    Double2 sums[B][2 * G] = {};
    Float4 floats[B] = {};
    for (std::int32_t i = 0; i < n; ++i) {
        for (int j = 0; j < B; ++j) {
            const auto r = static_cast<std::size_t>(picked[static_cast<std::ptrdiff_t>(j) * n + i]);
            const double* const row = t.doubles + 4 * G * r;
            for (int h = 0; h < 2 * G; ++h) {
                Double2 s = sums[j][h] + *reinterpret_cast<const Double2Unaligned*>(row + 2 * h);
                if constexpr (kSingle) s = RoundedToSingle(s);
                sums[j][h] = s;
            }
            if constexpr (F) floats[j] += *reinterpret_cast<const Float4Unaligned*>(t.floats + 4 * r);
        }
    }
    for (int j = 0; j < B; ++j) {
        for (int h = 0; h < 2 * G; ++h) std::memcpy(out[j].doubles + 2 * h, &sums[j][h], sizeof(Double2));
        if constexpr (F) std::memcpy(out[j].floats, &floats[j], sizeof(Float4));
    }
}

#ifdef BREVANT_LANES_X86

template <int G, bool F, bool kSingle, int B>
BREVANT_AVX2 void SumAvx2(const RowTable& t, const std::int32_t* picked, std::int32_t n, RowSums* out) noexcept {
    __m256d sums[B][G];
    __m128 floats[B];
    for (int j = 0; j < B; ++j) {
        for (int g = 0; g < G; ++g) sums[j][g] = _mm256_setzero_pd();
        floats[j] = _mm_setzero_ps();
    }
    for (std::int32_t i = 0; i < n; ++i) {
        for (int j = 0; j < B; ++j) {
            const auto r = static_cast<std::size_t>(picked[static_cast<std::ptrdiff_t>(j) * n + i]);
            const double* const row = t.doubles + 4 * G * r;
            for (int g = 0; g < G; ++g) {
                __m256d s = _mm256_add_pd(sums[j][g], _mm256_loadu_pd(row + 4 * g));
                if constexpr (kSingle) s = lanes::RoundedToFloat(s);
                sums[j][g] = s;
            }
            if constexpr (F) floats[j] = _mm_add_ps(floats[j], _mm_loadu_ps(t.floats + 4 * r));
        }
    }
    for (int j = 0; j < B; ++j) {
        for (int g = 0; g < G; ++g) _mm256_storeu_pd(out[j].doubles + 4 * g, sums[j][g]);
        if constexpr (F) _mm_storeu_ps(out[j].floats, floats[j]);
    }
}

#endif

template <int G, bool F, bool kSingle>
void SumAll(DrawPath path, const RowTable& t, const std::int32_t* picked, std::int32_t n, std::int32_t count,
            RowSums* out) noexcept {
    constexpr int B = kRowSumsSideBySide;
    std::int32_t j = 0;
    const auto at = [&](std::int32_t k) { return picked + static_cast<std::ptrdiff_t>(k) * n; };
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        for (; j + B <= count; j += B) SumAvx2<G, F, kSingle, B>(t, at(j), n, out + j);
        for (; j < count; ++j) SumAvx2<G, F, kSingle, 1>(t, at(j), n, out + j);
        return;
    }
#endif
    (void)path;
    for (; j + B <= count; j += B) SumBaseline<G, F, kSingle, B>(t, at(j), n, out + j);
    for (; j < count; ++j) SumBaseline<G, F, kSingle, 1>(t, at(j), n, out + j);
}

template <int G, bool F>
void SumInPrecision(DrawPath path, SumPrecision precision, const RowTable& t, const std::int32_t* picked,
                    std::int32_t n, std::int32_t count, RowSums* out) noexcept {
    if (precision == SumPrecision::Single) {
        SumAll<G, F, true>(path, t, picked, n, count, out);
    } else {
        SumAll<G, F, false>(path, t, picked, n, count, out);
    }
}

}  // namespace

void SumRowLanes(DrawPath path, SumPrecision precision, const RowTable& table, const std::int32_t* picked,
                 std::int32_t n, std::int32_t count, RowSums* out) noexcept {
    const bool floats = table.floats != nullptr;
    if (table.groups == 2) {
        floats ? SumInPrecision<2, true>(path, precision, table, picked, n, count, out)
               : SumInPrecision<2, false>(path, precision, table, picked, n, count, out);
    } else {
        floats ? SumInPrecision<1, true>(path, precision, table, picked, n, count, out)
               : SumInPrecision<1, false>(path, precision, table, picked, n, count, out);
    }
}

}  // namespace brevant
