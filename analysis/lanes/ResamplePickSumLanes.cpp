#include "analysis/lanes/ResamplePickSumLanes.h"

#include "analysis/lanes/EightLaneSums.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>

namespace brevant {

namespace {

constexpr std::size_t kLanes = kPickSumLanes;
// Draws filled ahead per lane: the sixteen lanes' draws of a stretch stay in the first-level cache.
constexpr std::size_t kSteps = 64;

// Where the resample's values come from: source[Index(n) - 1], Index(n) = floor(u (n - 0.0001) + 1), at
// least 1, so the truncation.
struct Picks {
    const float* before;  // source - 1: positions 1..n
    double scale;         // n - 0.0001
};

// The next steps draws of every lane, lane j's draw i at draws[i * kLanes + j].
void FillDraws(std::span<Seeds, kLanes> seeds, std::size_t steps, double* draws) noexcept {
    FillUniformLanes(FastestDrawPath(), seeds, steps, draws);
}

// The baseline: each lane takes RunningSums' own steps (a float or a double addition, the square formed in
// double and, for single sums, the sum of squares rounded to float after each addition).
template <bool kSingle>
void PickSumPlain(const Picks& p, std::int32_t n, std::span<Seeds, kLanes> seeds, GroupLaneSums (&out)[2]) noexcept {
    using Sum = std::conditional_t<kSingle, float, double>;
    Sum sum[kLanes] = {}, squares[kLanes] = {};
    bool constant[kLanes];
    float first[kLanes];
    std::fill_n(constant, kLanes, true);
    alignas(32) double draws[kSteps * kLanes];
    for (std::int32_t done = 0; done < n;) {
        const auto steps = std::min<std::size_t>(kSteps, static_cast<std::size_t>(n - done));
        FillDraws(seeds, steps, draws);
        for (std::size_t i = 0; i < steps; ++i) {
            for (std::size_t j = 0; j < kLanes; ++j) {
                const float x = p.before[static_cast<std::int32_t>(draws[i * kLanes + j] * p.scale + 1.0)];
                if (done == 0 && i == 0) first[j] = x;
                sum[j] = sum[j] + static_cast<Sum>(x);
                squares[j] = static_cast<Sum>(static_cast<double>(squares[j]) + static_cast<double>(x) * x);
                constant[j] &= x == first[j];
            }
        }
        done += static_cast<std::int32_t>(steps);
    }
    for (std::size_t j = 0; j < kLanes; ++j) {
        out[j / kGroupLanes].sum[j % kGroupLanes] = sum[j];
        out[j / kGroupLanes].squares[j % kGroupLanes] = squares[j];
        out[j / kGroupLanes].constant[j % kGroupLanes] = constant[j];
    }
}

#ifdef BREVANT_LANES_X86

// Eight lanes' values from their draws u[0..7]: the product, the sum and the truncation as one at a time,
// then the values read one by one from the source (faster here than a gather, which the next step waits on).
BREVANT_AVX2 inline __m256 Picked(const Picks& p, const double* u) noexcept {
    const __m256d factor = _mm256_set1_pd(p.scale), one = _mm256_set1_pd(1.0);
    const __m256d a = _mm256_add_pd(_mm256_mul_pd(_mm256_load_pd(u), factor), one);
    const __m256d b = _mm256_add_pd(_mm256_mul_pd(_mm256_load_pd(u + 4), factor), one);
    alignas(16) std::int32_t at[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm256_cvttpd_epi32(a));
    _mm_store_si128(reinterpret_cast<__m128i*>(at + 4), _mm256_cvttpd_epi32(b));
    const float* const v = p.before;
    return _mm256_setr_ps(v[at[0]], v[at[1]], v[at[2]], v[at[3]], v[at[4]], v[at[5]], v[at[6]], v[at[7]]);
}

template <bool kSingle>
BREVANT_AVX2 void PickSumAvx2(const Picks& p, std::int32_t n, std::span<Seeds, kLanes> seeds,
                              GroupLaneSums (&out)[2]) noexcept {
    static_assert(kLanes == 16);
    alignas(32) double draws[kSteps * kLanes];
    std::size_t steps = std::min<std::size_t>(kSteps, static_cast<std::size_t>(n));
    FillDraws(seeds, steps, draws);
    lanes::EightLaneSums<kSingle> low(Picked(p, draws)), high(Picked(p, draws + 8));
    std::size_t i = 0;
    for (std::int32_t done = 0;;) {
        for (const double* u = draws + i * kLanes; i < steps; ++i, u += kLanes) {
            low.Add(Picked(p, u));
            high.Add(Picked(p, u + 8));
        }
        done += static_cast<std::int32_t>(steps);
        if (done == n) break;
        steps = std::min<std::size_t>(kSteps, static_cast<std::size_t>(n - done));
        FillDraws(seeds, steps, draws);
        i = 0;
    }
    low.Store(out[0]);
    high.Store(out[1]);
}

#endif

}  // namespace

Seeds PickAndSumLanes(DrawPath path, SumPrecision precision, std::span<const float> source, Seeds start,
                      GroupLaneSums (&sums)[2]) noexcept {
    const auto n = static_cast<std::int32_t>(source.size());
    const Picks p{source.data() - 1, static_cast<double>(n) - 0.0001};
    // Lane j starts j n draws on: each lane's seeds are the last's times k^n mod m in each generator.
    const Seeds power = JumpAhead(Seeds{1, 1, 1}, static_cast<std::uint64_t>(n));
    const auto times = [](std::int32_t s, std::int32_t k, std::int32_t m) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(s) * k % m);
    };
    std::array<Seeds, kLanes> lanes;
    lanes[0] = start;
    for (std::size_t j = 1; j < kLanes; ++j) {
        const Seeds& last = lanes[j - 1];
        lanes[j] = {times(last.a, power.a, kModulusA), times(last.b, power.b, kModulusB),
                    times(last.c, power.c, kModulusC)};
    }
    const std::span<Seeds, kLanes> seeds(lanes);
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        if (precision == SumPrecision::Single) {
            PickSumAvx2<true>(p, n, seeds, sums);
        } else {
            PickSumAvx2<false>(p, n, seeds, sums);
        }
        return lanes[kLanes - 1];
    }
#endif
    (void)path;
    if (precision == SumPrecision::Single) {
        PickSumPlain<true>(p, n, seeds, sums);
    } else {
        PickSumPlain<false>(p, n, seeds, sums);
    }
    return lanes[kLanes - 1];
}

}  // namespace brevant
