#include "analysis/lanes/ShufflePickLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <cstddef>

namespace brevant {

namespace {

// One pick at a time. Index's floor is the truncation here: u (m - 0.0001) + 1 is at least 1.
void PicksPlain(std::span<const double> draws, std::int32_t top, std::int32_t* picks) noexcept {
    const std::size_t count = draws.size();
    const double* const u = draws.data();
    for (std::size_t k = 0; k < count; ++k) {
        const double m = static_cast<double>(top - static_cast<std::int32_t>(k)) - 0.0001;
        picks[k] = static_cast<std::int32_t>(u[k] * m + 1.0);
    }
}

#ifdef BREVANT_LANES_X86
// Eight picks at a time: each lane does the scalar operations (the size as a whole double, counted down
// exactly; the subtraction, the product, the sum, the truncation).
BREVANT_AVX2 void PicksAvx2(std::span<const double> draws, std::int32_t top, std::int32_t* picks) noexcept {
    const std::size_t count = draws.size();
    const double* const u = draws.data();
    const __m256d offset = _mm256_set1_pd(0.0001), one = _mm256_set1_pd(1.0), eight = _mm256_set1_pd(8.0);
    const double t = top;
    __m256d low = _mm256_setr_pd(t, t - 1.0, t - 2.0, t - 3.0);
    __m256d high = _mm256_setr_pd(t - 4.0, t - 5.0, t - 6.0, t - 7.0);
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256d a = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(u + k), _mm256_sub_pd(low, offset)), one);
        const __m256d b = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(u + k + 4), _mm256_sub_pd(high, offset)), one);
        const __m256i both = _mm256_set_m128i(_mm256_cvttpd_epi32(b), _mm256_cvttpd_epi32(a));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(picks + k), both);
        low = _mm256_sub_pd(low, eight);
        high = _mm256_sub_pd(high, eight);
    }
    PicksPlain(draws.subspan(k), top - static_cast<std::int32_t>(k), picks + k);
}
#endif

}  // namespace

void ShufflePicks(DrawPath path, std::span<const double> draws, std::int32_t top, std::int32_t* picks) noexcept {
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        PicksAvx2(draws, top, picks);
        return;
    }
#endif
    (void)path;
    PicksPlain(draws, top, picks);
}

}  // namespace brevant
