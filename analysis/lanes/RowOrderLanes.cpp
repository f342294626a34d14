#include "analysis/lanes/RowOrderLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <algorithm>
#include <utility>

namespace brevant {

namespace {

#ifdef BREVANT_LANES_X86

// One row shuffled by its order: the eight floats from the row's start permuted, the lanes past the row
// left in place (the next row's store writes over them).
BREVANT_AVX2 inline void OrderRowAvx2(const std::uint8_t* order, const float* from, float* to) {
    const __m256i lanes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(order)));
    _mm256_storeu_ps(to, _mm256_permutevar8x32_ps(_mm256_loadu_ps(from), lanes));
}

// The same for a row whose eight floats would pass the end of the arrays: only its own k lanes loaded and
// stored.
BREVANT_AVX2 inline void OrderLastRowAvx2(const std::uint8_t* order, std::int32_t k,
                                          const float* from, float* to) {
    const __m256i lanes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(order)));
    const __m256i own = _mm256_cmpgt_epi32(_mm256_set1_epi32(k), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    _mm256_maskstore_ps(to, own, _mm256_permutevar8x32_ps(_mm256_maskload_ps(from, own), lanes));
}

// The rows whose eight floats and (for up to four draws a row) four draws lie inside the arrays; the
// code of a row of up to four draws from one vector: each index exactly as Index (product, then sum, then
// truncation), the weighted sum by a multiply-add of 16-bit halves (indices and weights are small).
BREVANT_AVX2 void OrderRowsAvx2(const std::uint8_t* orders, const double* scales,
                                const std::int32_t* weights, std::int32_t firstCode,
                                std::int32_t k, std::size_t rows, const double* draws,
                                const float* from, float* to) {
    const auto rowDraws = static_cast<std::size_t>(k - 1);
    const __m256d scale = _mm256_loadu_pd(scales), one = _mm256_set1_pd(1.0);
    const __m128i weight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights));
    for (std::size_t r = 0; r < rows; ++r) {
        const __m256d x = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(draws + r * rowDraws), scale), one);
        __m128i sum = _mm_madd_epi16(_mm256_cvttpd_epi32(x), weight);
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
        const std::int32_t code = _mm_cvtsi128_si32(sum) - firstCode;
        OrderRowAvx2(orders + 8 * static_cast<std::size_t>(code), from + r * static_cast<std::size_t>(k),
                     to + r * static_cast<std::size_t>(k));
    }
}

#endif

}  // namespace

RowOrders::RowOrders(std::int32_t k) : k_(k) {
    std::int32_t codes = 1;
    for (std::int32_t m = k_; m >= 2; --m) {
        scales_.push_back(static_cast<double>(m) - 0.0001);
        weights_.push_back(codes);
        firstCode_ += codes;
        codes *= m;
    }
    // Every order, from the swaps its indices make: index j of the draw that picks among m swaps places j
    // and m, as ShuffleArray does, applied here to the places the values come from.
    orders_.resize(8 * static_cast<std::size_t>(codes));
    for (std::int32_t code = 0; code < codes; ++code) {
        std::uint8_t* const order = orders_.data() + 8 * static_cast<std::size_t>(code);
        for (std::uint8_t t = 0; t < 8; ++t) order[t] = t;
        std::int32_t rest = code;
        for (std::int32_t m = k_; m >= 2; --m) {
            std::swap(order[rest % m], order[m - 1]);
            rest /= m;
        }
    }
    // The AVX2 path reads eight floats from a row's start, and for rows of up to five values four draws:
    // the last rows, whose reads would pass the end, go on their own.
    const auto beyond = [](std::int32_t read, std::int32_t per) { return (read + per - 1) / per - 1; };
    lastRows_ = static_cast<std::size_t>(std::max(beyond(8, k_), k_ <= 5 ? beyond(4, k_ - 1) : 0));
    // It reads four scales and weights: zeros past the draws give index 1 with weight 0.
    scales_.resize(std::max<std::size_t>(scales_.size(), 4), 0.0);
    weights_.resize(std::max<std::size_t>(weights_.size(), 4), 0);
}

std::int32_t RowOrders::Code(const double* draws) const noexcept {
    std::int32_t code = -firstCode_;
    for (std::int32_t d = 0; d < k_ - 1; ++d) {
        const double index = draws[d] * scales_[static_cast<std::size_t>(d)] + 1.0;  // as Index: index >= 1
        code += static_cast<std::int32_t>(index) * weights_[static_cast<std::size_t>(d)];
    }
    return code;
}

void RowOrders::Apply(DrawPath path, const double* draws, std::span<const float> from, std::span<float> to) const {
    const auto k = static_cast<std::size_t>(k_);
    const std::size_t rows = from.size() / k;
    std::size_t r = 0;
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        const std::size_t whole = rows > lastRows_ ? rows - lastRows_ : 0;
        if (k_ <= 5) {
            OrderRowsAvx2(orders_.data(), scales_.data(), weights_.data(), firstCode_, k_, whole, draws, from.data(),
                          to.data());
        } else {
            for (std::size_t w = 0; w < whole; ++w) {
                OrderRowAvx2(orders_.data() + 8 * static_cast<std::size_t>(Code(draws + w * (k - 1))),
                             from.data() + w * k, to.data() + w * k);
            }
        }
        for (r = whole; r < rows; ++r) {
            OrderLastRowAvx2(orders_.data() + 8 * static_cast<std::size_t>(Code(draws + r * (k - 1))), k_,
                             from.data() + r * k, to.data() + r * k);
        }
        return;
    }
#endif
    (void)path;
    for (; r < rows; ++r) {
        const std::uint8_t* const order = orders_.data() + 8 * static_cast<std::size_t>(Code(draws + r * (k - 1)));
        for (std::size_t t = 0; t < k; ++t) to[r * k + t] = from[r * k + order[t]];
    }
}

}  // namespace brevant
