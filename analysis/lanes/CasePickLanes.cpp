#include "analysis/lanes/CasePickLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <cmath>
#include <cstddef>

namespace brevant {

namespace {

// Index(m) - 1, one draw at a time, as Generator::Index forms it; scale = m - 0.0001.
inline std::int32_t CaseNumber(double u, double scale) noexcept {
    const double k = u * scale + 1.0;
    return static_cast<std::int32_t>(k >= 0.0 ? k : std::floor(k)) - 1;
}

void CaseNumbersPlain(std::span<const double> draws, double scale, std::int32_t* out) noexcept {
    for (const double u : draws) *out++ = CaseNumber(u, scale);
}

void PairRowsPlain(std::span<const double> draws, std::int32_t i, std::int32_t* out) noexcept {
    for (const double u : draws) {
        *out++ = 2 * i + (static_cast<float>(u) < 0.5f ? 0 : 1);
        ++i;
    }
}

#ifdef BREVANT_LANES_X86

// Four at a time: the product, the sum and the floor as the scalar (then the truncation changes nothing).
BREVANT_AVX2 void CaseNumbersAvx2(std::span<const double> draws, double scale, std::int32_t* out) noexcept {
    const __m256d scales = _mm256_set1_pd(scale), one = _mm256_set1_pd(1.0);
    const __m128i ones = _mm_set1_epi32(1);
    std::size_t i = 0;
    for (; i + 4 <= draws.size(); i += 4) {
        const __m256d k = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(draws.data() + i), scales), one);
        const __m128i index = _mm256_cvttpd_epi32(_mm256_floor_pd(k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi32(index, ones));
    }
    CaseNumbersPlain(draws.subspan(i), scale, out + i);
}

// Four at a time: rounded to float as one at a time, compared with 0.5, the all-ones mask (-1) taking
// 2 i + 1 down to 2 i.
BREVANT_AVX2 void PairRowsAvx2(std::span<const double> draws, std::int32_t i, std::int32_t* out) noexcept {
    const __m128 half = _mm_set1_ps(0.5f);
    __m128i row = _mm_add_epi32(_mm_set1_epi32(2 * i + 1), _mm_setr_epi32(0, 2, 4, 6));
    const __m128i step = _mm_set1_epi32(8);
    std::size_t d = 0;
    for (; d + 4 <= draws.size(); d += 4) {
        const __m128 u = _mm256_cvtpd_ps(_mm256_loadu_pd(draws.data() + d));
        const __m128i first = _mm_castps_si128(_mm_cmplt_ps(u, half));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + d), _mm_add_epi32(row, first));
        row = _mm_add_epi32(row, step);
    }
    PairRowsPlain(draws.subspan(d), i + static_cast<std::int32_t>(d), out + d);
}

#endif

}  // namespace

void CaseNumbers(DrawPath path, std::span<const double> draws, std::int32_t m, std::int32_t* out) noexcept {
    const double scale = static_cast<double>(m) - 0.0001;
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        CaseNumbersAvx2(draws, scale, out);
        return;
    }
#endif
    (void)path;
    CaseNumbersPlain(draws, scale, out);
}

void PairRows(DrawPath path, std::span<const double> draws, std::int32_t i, std::int32_t* out) noexcept {
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        PairRowsAvx2(draws, i, out);
        return;
    }
#endif
    (void)path;
    PairRowsPlain(draws, i, out);
}

}  // namespace brevant
