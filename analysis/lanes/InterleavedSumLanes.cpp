#include "analysis/lanes/InterleavedSumLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <algorithm>
#include <cstddef>

namespace brevant {

namespace {

constexpr std::ptrdiff_t kLanes = kInterleavedLanes;

// The sums of the eight arrangements in plain code, one lane after another at every value: double
// sums past the designed size (no rounding to single inside the loop), single ones where there are no
// SIMD lanes.
template <typename S>
void PlainLaneSums(const float* v, const std::vector<std::int32_t>& sizes, std::int64_t total, double* grandOut,
                   double* sums, double* squares) noexcept {
    S grand[kLanes] = {};
    for (std::int64_t i = 0; i < total; ++i) {
        for (std::ptrdiff_t b = 0; b < kLanes; ++b) grand[b] = grand[b] + static_cast<S>(v[kLanes * i + b]);
    }
    const float* at = v;
    for (std::size_t j = 0; j < sizes.size(); ++j) {
        S s[kLanes], q[kLanes];
        for (std::ptrdiff_t b = 0; b < kLanes; ++b) {
            s[b] = static_cast<S>(at[b]);
            q[b] = static_cast<S>(static_cast<double>(at[b]) * static_cast<double>(at[b]));
        }
        for (std::ptrdiff_t i = 1; i < sizes[j]; ++i) {
            for (std::ptrdiff_t b = 0; b < kLanes; ++b) {
                const float x = at[kLanes * i + b];
                s[b] = s[b] + static_cast<S>(x);
                q[b] = static_cast<S>(static_cast<double>(q[b]) + static_cast<double>(x) * static_cast<double>(x));
            }
        }
        for (std::ptrdiff_t b = 0; b < kLanes; ++b) {
            sums[kLanes * static_cast<std::ptrdiff_t>(j) + b] = s[b];
            squares[kLanes * static_cast<std::ptrdiff_t>(j) + b] = q[b];
        }
        at += kLanes * sizes[j];
    }
    for (std::ptrdiff_t b = 0; b < kLanes; ++b) grandOut[b] = grand[b];
}

#ifdef BREVANT_LANES_X86

using lanes::EightDoubles;

// The lane routines below pass AVX registers by value between inline functions that all end up inside
// the AVX2 entry point: no such call is left to cross the calling convention GCC warns about.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

// Single-precision sums of eight lanes, each lane an ordinary IEEE operation, so that every lane is bit for
// bit the scalar sum it stands for: a float sum adds floats; a sum of squares adds the double square of a
// float to the sum held in double and rounds the result to float (converted there and back).
struct Avx2Lanes {
    using Values = __m256;
    using Squares = EightDoubles;
    BREVANT_AVX2 static Values Zero() noexcept { return _mm256_setzero_ps(); }
    BREVANT_AVX2 static Values Load(const float* p) noexcept { return _mm256_loadu_ps(p); }
    BREVANT_AVX2 static Values Add(Values a, Values b) noexcept { return _mm256_add_ps(a, b); }
    BREVANT_AVX2 static Squares Square(const float* p) noexcept {
        const EightDoubles x{lanes::WidenFour(p), lanes::WidenFour(p + 4)};
        return lanes::RoundedToFloat(lanes::Squares(x));
    }
    BREVANT_AVX2 static Squares AddSquare(Squares q, const float* p) noexcept {
        const EightDoubles x{lanes::WidenFour(p), lanes::WidenFour(p + 4)};
        return lanes::RoundedToFloat(lanes::AddSquares(q, x));
    }
    BREVANT_AVX2 static void Store(Values v, double* out) noexcept { lanes::Store(lanes::Widen(v), out); }
    BREVANT_AVX2 static void Store(Squares q, double* out) noexcept { lanes::Store(q, out); }
};

// The same in SSE2, which every x86-64 processor has: eight lanes as two registers of floats, four of doubles.
struct Sse2Lanes {
    struct Values {
        __m128 low, high;
    };
    struct Squares {
        __m128d part[4];
    };
    static Values Zero() noexcept { return {_mm_setzero_ps(), _mm_setzero_ps()}; }
    static Values Load(const float* p) noexcept { return {_mm_loadu_ps(p), _mm_loadu_ps(p + 4)}; }
    static Values Add(Values a, Values b) noexcept { return {_mm_add_ps(a.low, b.low), _mm_add_ps(a.high, b.high)}; }
    static __m128d Rounded(__m128d x) noexcept { return _mm_cvtps_pd(_mm_cvtpd_ps(x)); }
    // Lanes 2h, 2h + 1 of p as doubles.
    static __m128d Wide(const float* p, int h) noexcept {
        const __m128 four = _mm_loadu_ps(p + 4 * (h / 2));
        return _mm_cvtps_pd(h % 2 == 0 ? four : _mm_movehl_ps(four, four));
    }
    static Squares Square(const float* p) noexcept {
        Squares q;
        for (int h = 0; h < 4; ++h) {
            const __m128d x = Wide(p, h);
            q.part[h] = Rounded(_mm_mul_pd(x, x));
        }
        return q;
    }
    static Squares AddSquare(Squares q, const float* p) noexcept {
        for (int h = 0; h < 4; ++h) {
            const __m128d x = Wide(p, h);
            q.part[h] = Rounded(_mm_add_pd(q.part[h], _mm_mul_pd(x, x)));
        }
        return q;
    }
    static void Store(Values v, double* out) noexcept {
        _mm_storeu_pd(out, _mm_cvtps_pd(v.low));
        _mm_storeu_pd(out + 2, _mm_cvtps_pd(_mm_movehl_ps(v.low, v.low)));
        _mm_storeu_pd(out + 4, _mm_cvtps_pd(v.high));
        _mm_storeu_pd(out + 6, _mm_cvtps_pd(_mm_movehl_ps(v.high, v.high)));
    }
    static void Store(Squares q, double* out) noexcept {
        for (int h = 0; h < 4; ++h) _mm_storeu_pd(out + 2 * h, q.part[h]);
    }
};

// The grand sum of eight lanes, through every value in position order, a few values at a time.
template <class L>
struct GrandLanes {
    typename L::Values sum = L::Zero();
    const float* values;
    std::int64_t next = 0, total;
    [[gnu::always_inline]] inline void Advance(std::int64_t count) noexcept {
        const std::int64_t stop = std::min(next + count, total);
        for (; next < stop; ++next) sum = L::Add(sum, L::Load(values + kLanes * next));
    }
};

// W consecutive groups from at, their sums side by side; the grand sum advances step values at each value
// they have in common, so that its chain overlaps theirs. Each group's sums start from its first value.
template <class L, int W>
[[gnu::always_inline]] inline void GroupPass(const float* at, const std::int32_t* sizes, GrandLanes<L>& grand,
                                             std::int32_t step, double* sums, double* squares) noexcept {
    const float* group[W];
    std::int32_t common = sizes[0];
    group[0] = at;
    for (int w = 1; w < W; ++w) {
        group[w] = group[w - 1] + kLanes * sizes[w - 1];
        common = std::min(common, sizes[w]);
    }
    typename L::Values s[W];
    typename L::Squares q[W];
    for (int w = 0; w < W; ++w) {
        s[w] = L::Load(group[w]);
        q[w] = L::Square(group[w]);
    }
    for (std::ptrdiff_t i = 1; i < common; ++i) {
        for (int w = 0; w < W; ++w) {
            const float* const v = group[w] + kLanes * i;
            s[w] = L::Add(s[w], L::Load(v));
            q[w] = L::AddSquare(q[w], v);
        }
        grand.Advance(step);
    }
    for (int w = 0; w < W; ++w) {
        for (std::ptrdiff_t i = common; i < sizes[w]; ++i) {
            const float* const v = group[w] + kLanes * i;
            s[w] = L::Add(s[w], L::Load(v));
            q[w] = L::AddSquare(q[w], v);
        }
        L::Store(s[w], sums + kLanes * w);
        L::Store(q[w], squares + kLanes * w);
    }
}

template <class L>
[[gnu::always_inline]] inline void SingleLaneSums(const float* v, const std::vector<std::int32_t>& sizes,
                                                  const std::vector<std::int32_t>& passes, std::int64_t total,
                                                  std::int32_t step, double* grandOut, double* sums,
                                                  double* squares) noexcept {
    GrandLanes<L> grand{.values = v, .total = total};
    const float* at = v;
    const std::int32_t* size = sizes.data();
    for (const std::int32_t count : passes) {
        switch (count) {
            case 1: GroupPass<L, 1>(at, size, grand, step, sums, squares); break;
            case 2: GroupPass<L, 2>(at, size, grand, step, sums, squares); break;
            case 3: GroupPass<L, 3>(at, size, grand, step, sums, squares); break;
            default: GroupPass<L, 4>(at, size, grand, step, sums, squares); break;
        }
        for (std::int32_t w = 0; w < count; ++w) at += kLanes * size[w];
        size += count;
        sums += kLanes * count;
        squares += kLanes * count;
    }
    grand.Advance(total);
    L::Store(grand.sum, grandOut);
}

BREVANT_AVX2 void SingleLaneSumsAvx2(const float* v, const std::vector<std::int32_t>& sizes,
                                     const std::vector<std::int32_t>& passes, std::int64_t total, std::int32_t step,
                                     double* grand, double* sums, double* squares) noexcept {
    SingleLaneSums<Avx2Lanes>(v, sizes, passes, total, step, grand, sums, squares);
}

void SingleLaneSumsSse2(const float* v, const std::vector<std::int32_t>& sizes, const std::vector<std::int32_t>& passes,
                        std::int64_t total, std::int32_t step, double* grand, double* sums, double* squares) noexcept {
    SingleLaneSums<Sse2Lanes>(v, sizes, passes, total, step, grand, sums, squares);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

}  // namespace

InterleavedGroupSums::InterleavedGroupSums(std::span<const std::int32_t> sizes, SumPrecision precision, DrawPath path)
    : sizes_(sizes.begin(), sizes.end()), single_(precision == SumPrecision::Single), path_(path) {
    for (const std::int32_t n : sizes_) total_ += n;
    // At most four groups at a time (their sums fill the registers), as evenly as they go.
    const auto k = static_cast<std::int32_t>(sizes_.size());
    const std::int32_t count = (k + 3) / 4;
    for (std::int32_t p = 0; p < count; ++p) passes_.push_back(k / count + (p < k % count ? 1 : 0));
    // The grand sum keeps pace with the groups' sums: all N values within the steps the passes make.
    std::int64_t steps = 0;
    std::size_t j = 0;
    for (const std::int32_t w : passes_) {
        steps += *std::min_element(sizes_.begin() + j, sizes_.begin() + j + w) - 1;
        j += w;
    }
    grandStep_ = static_cast<std::int32_t>(steps > 0 ? (total_ + steps - 1) / steps : 1);
}

void InterleavedGroupSums::Sum(const float* v, double* grand, double* sums, double* squares) const noexcept {
    if (!single_) {
        PlainLaneSums<double>(v, sizes_, total_, grand, sums, squares);
        return;
    }
#ifdef BREVANT_LANES_X86
    if (path_ == DrawPath::Avx2) {
        SingleLaneSumsAvx2(v, sizes_, passes_, total_, grandStep_, grand, sums, squares);
    } else {
        SingleLaneSumsSse2(v, sizes_, passes_, total_, grandStep_, grand, sums, squares);
    }
#else
    PlainLaneSums<float>(v, sizes_, total_, grand, sums, squares);
#endif
}

}  // namespace brevant
