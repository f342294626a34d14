#include "analysis/DrawnRows.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <charconv>
#include <cstring>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_DRAWNROWS_X86 1
#endif

namespace brevant {

namespace {

// Index(m) - 1, one draw at a time, as Generator::Index forms it.
inline std::int32_t CaseNumber(double u, double scale) noexcept {
    const double k = u * scale + 1.0;
    return static_cast<std::int32_t>(k >= 0.0 ? k : std::floor(k)) - 1;
}

void IndicesBaseline(std::span<const double> draws, double scale, std::int32_t* out) noexcept {
    for (const double u : draws) *out++ = CaseNumber(u, scale);
}

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

#ifdef BREVANT_DRAWNROWS_X86

__attribute__((target("avx2"))) void IndicesAvx2(std::span<const double> draws, double scale,
                                                  std::int32_t* out) noexcept {
    const __m256d scales = _mm256_set1_pd(scale), one = _mm256_set1_pd(1.0);
    const __m128i ones = _mm_set1_epi32(1);
    std::size_t i = 0;
    for (; i + 4 <= draws.size(); i += 4) {
        const __m256d k = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(draws.data() + i), scales), one);
        // Int is the floor: then the truncating conversion changes nothing.
        const __m128i index = _mm256_cvttpd_epi32(_mm256_floor_pd(k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi32(index, ones));
    }
    IndicesBaseline(draws.subspan(i), scale, out + i);
}

template <int G, bool F, bool kSingle, int B>
__attribute__((target("avx2"))) void SumAvx2(const RowTable& t, const std::int32_t* picked, std::int32_t n,
                                             RowSums* out) noexcept {
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
                if constexpr (kSingle) s = _mm256_cvtps_pd(_mm256_cvtpd_ps(s));
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

// How many resamples go side by side: enough chains to cover the latency of an addition and its rounding
// (about sixteen cycles) at the rate the roundings issue, few enough that the sums stay in the sixteen AVX2
// registers (eight resamples of two groups, or of one group and the floats, just fit).
constexpr int kSideBySide = 8;
static_assert(kPickedRowsBatch % kSideBySide == 0);

template <int G, bool F, bool kSingle>
void SumAll(DrawPath path, const RowTable& t, const std::int32_t* picked, std::int32_t n, std::int32_t count,
            RowSums* out) noexcept {
    constexpr int B = kSideBySide;
    std::int32_t j = 0;
    const auto at = [&](std::int32_t k) { return picked + static_cast<std::ptrdiff_t>(k) * n; };
#ifdef BREVANT_DRAWNROWS_X86
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

void DrawIndices(DrawPath path, BlockGenerator& g, std::int32_t m, std::span<std::int32_t> out) noexcept {
    const double scale = static_cast<double>(m) - 0.0001;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::span<const double> draws = g.Take(out.size() - done);
#ifdef BREVANT_DRAWNROWS_X86
        if (path == DrawPath::Avx2) {
            IndicesAvx2(draws, scale, out.data() + done);
            done += draws.size();
            continue;
        }
#endif
        IndicesBaseline(draws, scale, out.data() + done);
        done += draws.size();
    }
    (void)path;
}

void SumPickedRows(DrawPath path, SumPrecision precision, const RowTable& table, const std::int32_t* picked,
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

namespace {
constexpr int kSingleXX = 0, kSingleYY = 1, kSingleXY = 2;  // doubles
constexpr int kSingleX = 0, kSingleY = 1;                    // floats
constexpr int kDoubleX = 0, kDoubleY = 1, kDoubleXX = 2, kDoubleYY = 3, kDoubleXY = 4;
}  // namespace

CorrelationRows CorrelationRowsOf(const float* x, const float* y, std::size_t stride, std::size_t n,
                                  SumPrecision precision) {
    CorrelationRows t;
    if (precision == SumPrecision::Single) {
        t.doubles.resize(4 * n);
        t.floats.resize(4 * n);
        for (std::size_t r = 0; r < n; ++r) {
            const float xr = x[r * stride], yr = y[r * stride];
            const double xd = xr, yd = yr;
            t.doubles[4 * r + kSingleXX] = xd * xd, t.doubles[4 * r + kSingleYY] = yd * yd;
            t.doubles[4 * r + kSingleXY] = xd * yd;
            t.floats[4 * r + kSingleX] = xr, t.floats[4 * r + kSingleY] = yr;
        }
        t.table = {t.doubles.data(), 1, t.floats.data()};
    } else {
        t.doubles.resize(8 * n);
        for (std::size_t r = 0; r < n; ++r) {
            const double xd = x[r * stride], yd = y[r * stride];
            const double row[] = {xd, yd, xd * xd, yd * yd, xd * yd};
            std::copy(std::begin(row), std::end(row), t.doubles.begin() + static_cast<std::ptrdiff_t>(8 * r));
        }
        t.table = {t.doubles.data(), 2, nullptr};
    }
    return t;
}

ExactCorrelation ExactCorrelationOf(std::span<const float> x, std::span<const float> y) noexcept {
    ExactCorrelation e;
    e.varX = ExactVariance(x);
    e.varY = ExactVariance(y);
    e.cov = ExactCovariance(x, y);
    e.r = e.cov / std::sqrt(e.varX * e.varY);
    return e;
}

bool ShownBeyondOne(const ResultBox& box) {
    const std::string text = BoxText(box);  // C locale
    double shown = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    return std::fabs(shown) > 1.0;
}

bool CentreEachColumn(PrecisionCheck& check, const ResultBox& obtained, std::initializer_list<std::vector<float>*> columns) {
    for (const std::vector<float>* column : columns) check.Conditioning(*column);
    if (ShownBeyondOne(obtained)) check.Require();
    if (!check.Centred()) return false;
    for (std::vector<float>* column : columns) ShiftValues(*column, ExactMean(*column));
    return true;
}

CorrelationTotals CorrelationTotalsOf(const RowSums& s, SumPrecision precision) noexcept {
    if (precision == SumPrecision::Single) {
        return {s.floats[kSingleX], s.floats[kSingleY], s.doubles[kSingleXX], s.doubles[kSingleYY],
                s.doubles[kSingleXY]};
    }
    return {s.doubles[kDoubleX], s.doubles[kDoubleY], s.doubles[kDoubleXX], s.doubles[kDoubleYY],
            s.doubles[kDoubleXY]};
}

}  // namespace brevant
