#include "analysis/OnewayF.h"

#include "analysis/Procedure.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_ONEWAY_X86 1
#endif

#include <algorithm>
#include <cmath>
#include <string>

namespace brevant {

namespace {

constexpr std::ptrdiff_t kLanes = kOnewayLanes;

// OnewayF::Of's sums for eight arrangements in plain code, one lane after another at every value: double
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

#ifdef BREVANT_ONEWAY_X86

// The lane routines below pass AVX registers by value between inline functions that all end up inside
// the AVX2 entry point: no such call is left to cross the calling convention GCC warns about.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

// Single-precision sums of eight lanes, each lane an ordinary IEEE operation, so that every lane is bit for
// bit the scalar sum it stands for: a float sum adds floats; a sum of squares adds the double square of a
// float to the sum held in double and rounds the result to float (converted there and back).
#define BREVANT_AVX2 __attribute__((target("avx2")))
struct Avx2Lanes {
    using Values = __m256;
    struct Squares {
        __m256d low, high;
    };
    BREVANT_AVX2 static Values Zero() noexcept { return _mm256_setzero_ps(); }
    BREVANT_AVX2 static Values Load(const float* p) noexcept { return _mm256_loadu_ps(p); }
    BREVANT_AVX2 static Values Add(Values a, Values b) noexcept { return _mm256_add_ps(a, b); }
    BREVANT_AVX2 static __m256d Wide(const float* p) noexcept { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
    BREVANT_AVX2 static __m256d Rounded(__m256d x) noexcept { return _mm256_cvtps_pd(_mm256_cvtpd_ps(x)); }
    BREVANT_AVX2 static Squares Square(const float* p) noexcept {
        const __m256d low = Wide(p), high = Wide(p + 4);
        return {Rounded(_mm256_mul_pd(low, low)), Rounded(_mm256_mul_pd(high, high))};
    }
    BREVANT_AVX2 static Squares AddSquare(Squares q, const float* p) noexcept {
        const __m256d low = Wide(p), high = Wide(p + 4);
        return {Rounded(_mm256_add_pd(q.low, _mm256_mul_pd(low, low))),
                Rounded(_mm256_add_pd(q.high, _mm256_mul_pd(high, high)))};
    }
    BREVANT_AVX2 static void Store(Values v, double* out) noexcept {
        _mm256_storeu_pd(out, _mm256_cvtps_pd(_mm256_castps256_ps128(v)));
        _mm256_storeu_pd(out + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)));
    }
    BREVANT_AVX2 static void Store(Squares q, double* out) noexcept {
        _mm256_storeu_pd(out, q.low);
        _mm256_storeu_pd(out + 4, q.high);
    }
};
#undef BREVANT_AVX2

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

__attribute__((target("avx2"))) void SingleLaneSumsAvx2(const float* v, const std::vector<std::int32_t>& sizes,
                                                         const std::vector<std::int32_t>& passes, std::int64_t total,
                                                         std::int32_t step, double* grand, double* sums,
                                                         double* squares) noexcept {
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

OnewayData ReadOnewayData(DataFile& file) {
    OnewayData data;
    // Read as any count, so that too few groups are refused in plain words.
    const std::int32_t k = file.ReadCount("the number of groups", 0, kMaxDataValues);
    if (k < 2) {
        RefuseData(file, "announces " + std::to_string(k) + (k == 1 ? " group" : " groups") +
                             "; a one-way analysis needs at least 2 groups.");
    }
    if (k > kMaxDataValues / 2) {
        RefuseData(file, "announces " + std::to_string(k) + " groups; with at least 2 values in each, at most " +
                             std::to_string(kMaxDataValues / 2) + " groups can be analysed.");
    }
    std::int64_t total = 0;
    data.sizes.reserve(static_cast<std::size_t>(k));
    for (std::int32_t j = 1; j <= k; ++j) {
        const std::string group = "group " + std::to_string(j);
        const std::int32_t n = file.ReadCount("the size of " + group, 0, kMaxDataValues);
        if (n < 2) {
            RefuseData(file, "announces " + ValueCount(n) + " for " + group + "; each group needs at least 2 values.");
        }
        total += n;
        data.sizes.push_back(n);
    }
    if (total > kMaxDataValues) {
        RefuseData(file, "announces " + ValueCount(total) + " in its " + std::to_string(k) + " groups; at most " +
                             std::to_string(kMaxDataValues) + " can be analysed.");
    }
    data.values.reserve(static_cast<std::size_t>(total));
    for (std::int32_t j = 1; j <= k; ++j) {
        const auto n = static_cast<std::size_t>(data.sizes[static_cast<std::size_t>(j - 1)]);
        const std::vector<float> group = file.ReadValues(n, "a value of group " + std::to_string(j));
        data.values.insert(data.values.end(), group.begin(), group.end());
    }
    data.sums = Wider(SumsFor(total, kOnewayDesignedValues), SumsFor(k, kOnewayDesignedGroups));
    return data;
}

OnewayF::OnewayF(std::span<const std::int32_t> sizes, SumPrecision sums, DrawPath path)
    : sizes_(sizes.begin(), sizes.end()),
      precision_(sums),
      single_(sums == SumPrecision::Single),
      path_(path),
      sum_(sizes.size()),
      squares_(sizes.size()),
      laneGrand_(kOnewayLanes),
      laneSums_(kOnewayLanes * sizes.size()),
      laneSquares_(kOnewayLanes * sizes.size()) {
    for (const std::int32_t n : sizes_) total_ += n;
    figures_.means.resize(sizes.size());
    figures_.variances.resize(sizes.size());
    // At most four groups at a time (their sums fill the registers), as evenly as they go.
    const auto k = static_cast<std::int32_t>(sizes.size());
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

void OnewayF::LaneSums(const float* v) noexcept {
    if (!single_) {
        PlainLaneSums<double>(v, sizes_, total_, laneGrand_.data(), laneSums_.data(), laneSquares_.data());
        return;
    }
#ifdef BREVANT_ONEWAY_X86
    if (path_ == DrawPath::Avx2) {
        SingleLaneSumsAvx2(v, sizes_, passes_, total_, grandStep_, laneGrand_.data(), laneSums_.data(),
                           laneSquares_.data());
    } else {
        SingleLaneSumsSse2(v, sizes_, passes_, total_, grandStep_, laneGrand_.data(), laneSums_.data(),
                           laneSquares_.data());
    }
#else
    PlainLaneSums<float>(v, sizes_, total_, laneGrand_.data(), laneSums_.data(), laneSquares_.data());
#endif
}

// Whether every group of the lane holds one value throughout; usually settled at a group's second value.
bool OnewayF::LaneConstantWithin(const float* v, int lane) const noexcept {
    const float* at = v + lane;
    for (const std::int32_t n : sizes_) {
        const float first = at[0];
        for (std::ptrdiff_t i = 1; i < n; ++i) {
            if (at[kLanes * i] != first) return false;
        }
        at += kLanes * n;
    }
    return true;
}

void OnewayF::OfEight(const float* interleaved, float* out) noexcept {
    LaneSums(interleaved);
    const std::size_t k = sizes_.size();
    for (int b = 0; b < kOnewayLanes; ++b) {
        for (std::size_t j = 0; j < k; ++j) {
            sum_[j] = laneSums_[kOnewayLanes * j + static_cast<std::size_t>(b)];
            squares_[j] = laneSquares_[kOnewayLanes * j + static_cast<std::size_t>(b)];
        }
        const bool constantWithin = LaneConstantWithin(interleaved, b);
        bool allEqual = constantWithin;
        const float* first = interleaved + b;
        for (std::size_t j = 0; j < k && allEqual; first += kLanes * sizes_[j], ++j) {
            allEqual = *first == interleaved[b];
        }
        out[b] = Finish(laneGrand_[static_cast<std::size_t>(b)], constantWithin, allEqual);
    }
}

float OnewayF::Finish(double grand, bool constantWithin, bool allEqual) noexcept {
    OnewayFigures& f = figures_;
    // A float sum over a 16-bit count is a single-precision quotient; in double, the same rounded once.
    f.grandMean = static_cast<float>(grand / static_cast<double>(total_));
    RunningSum between(precision_);
    for (std::size_t j = 0; j < sizes_.size(); ++j) {
        const auto n = static_cast<double>(sizes_[j]);
        const double s = sum_[j];
        f.means[j] = static_cast<float>(s / n);
        f.variances[j] = static_cast<float>((squares_[j] - s * s / n) / (n - 1.0));
        const float deviation = f.means[j] - f.grandMean;
        between.Add(static_cast<double>(deviation) * static_cast<double>(deviation) * n);
    }
    f.betweenSquares = static_cast<float>(between.Value());
    f.withinVariance = PooledVariance(f.variances, sizes_, precision_);
    f.zeroSpread = constantWithin || !(f.withinVariance > 0.0f);
    const auto k = static_cast<std::int64_t>(sizes_.size());
    if (f.zeroSpread) {
        f.f = ZeroSpreadQuotient(allEqual ? 0.0 : static_cast<double>(f.betweenSquares));  // SSb / 0
    } else {
        f.f = f.betweenSquares / static_cast<float>(k - 1) / f.withinVariance;
    }
    return f.f;
}

OnewayFigures ComputeOnewayF(std::span<const float> values, std::span<const std::int32_t> sizes, SumPrecision sums) {
    OnewayF f(sizes, sums);
    f.OfValues(values.data());
    return f.Last();
}

float OnewayEffectSize(const OnewayFigures& figures, SumPrecision sums) noexcept {
    RunningSum deviations(sums);
    for (const float mean : figures.means) {
        const float d = mean - figures.grandMean;
        deviations.Add(static_cast<double>(d) * static_cast<double>(d));
    }
    const float k = static_cast<float>(figures.means.size());
    const float ratio = static_cast<float>(deviations.Value()) / k / figures.withinVariance;
    return static_cast<float>(std::sqrt(static_cast<double>(ratio)));
}

ExactOnewayFigures ComputeExactOnewayF(std::span<const float> values, std::span<const std::int32_t> sizes) {
    const double grandMean = ExactMean(values);
    double between = 0.0, unweighted = 0.0, within = 0.0;
    std::size_t at = 0;
    for (const std::int32_t size : sizes) {
        const std::span<const float> group = values.subspan(at, static_cast<std::size_t>(size));
        at += group.size();
        const double mean = ExactMean(group);
        for (const float v : group) within += (v - mean) * (v - mean);
        const double deviation = mean - grandMean;
        between += deviation * deviation * static_cast<double>(size);
        unweighted += deviation * deviation;
    }
    const auto k = static_cast<double>(sizes.size());
    ExactOnewayFigures exact;
    exact.withinVariance = within / (static_cast<double>(values.size()) - k);
    exact.f = between / (k - 1.0) / exact.withinVariance;
    exact.effectSize = std::sqrt(unweighted / k / exact.withinVariance);
    return exact;
}

bool CentreOnewayIfNeeded(OnewayData& data) {
    const OnewayFigures defined = ComputeOnewayF(data.values, data.sizes, data.sums);
    const ExactOnewayFigures exact = ComputeExactOnewayF(data.values, data.sizes);
    PrecisionCheck check(data.sums);
    check.Statistic(defined.f, exact.f);
    check.Spread(defined.withinVariance, exact.withinVariance);
    check.Statistic(OnewayEffectSize(defined, data.sums), exact.effectSize);
    check.Conditioning(data.values);
    // The bootstrap draws values through their seven-digit text, which can lose what double sums would hold.
    check.TextRounding(data.values, std::sqrt(exact.withinVariance));
    if (!check.Centred()) return false;
    data.centred = true;
    data.sums = check.Sums();
    // F is the same for any common shift; one rounded to single keeps the shift exact for every value
    // within a factor of two of it.
    ShiftValues(data.values, static_cast<float>(ExactMean(data.values)));
    return true;
}

void CheckOnewaySpread(const DataFile& file, OnewayData& data) {
    bool constantWithin = true;
    std::size_t at = 0;
    for (const std::int32_t size : data.sizes) {
        constantWithin = constantWithin && AllEqual(std::span<const float>(data.values).subspan(at, size));
        at += static_cast<std::size_t>(size);
    }
    if (constantWithin) {
        RefuseData(file, "has no spread within the groups (the values of each group are all equal), so the pooled "
                         "variance is 0 and F is undefined.");
    }
    CentreOnewayIfNeeded(data);
    const OnewayFigures observed = ComputeOnewayF(data.values, data.sizes, data.sums);
    if (observed.zeroSpread || !std::isfinite(observed.f) || !std::isfinite(OnewayEffectSize(observed, data.sums))) {
        RefuseData(file, "has so little spread within the groups, against the differences between them, that F "
                         "exceeds the single-precision range.");
    }
}

std::string OnewayNoSpreadNote(const NonFiniteCount& nf, std::int32_t resamples, const std::string& what) {
    std::string note = std::to_string(nf.Total());
    note += " of the ";
    note += ResampleCount(resamples);
    note += ' ';
    note += what;
    note += ':';
    if (nf.positiveInfinite > 0) {
        note += ' ';
        note += std::to_string(nf.positiveInfinite);
        note += " gave an infinite F, counted as at least as large as the obtained F";
        note += nf.undefined > 0 ? ";" : ".";
    }
    if (nf.undefined > 0) {
        note += ' ';
        note += std::to_string(nf.undefined);
        note += " held one value throughout and gave an undefined F, not counted.";
    }
    note += " The output file shows them as inf or nan; the histogram leaves them out.";
    return note;
}

ResultBox OnewayObtainedFBox(float f) { return {"txtObtF", "lblObtF", "Obtained F", f, BoxFormat::ThreeDecimals}; }

ResultBox OnewayEffectSizeBox(float effectSize) {
    return {"txtEffectSize", "Label2", "Effect size", effectSize, BoxFormat::ThreeDecimals};
}

float ComparisonF(float f) noexcept { return static_cast<float>(static_cast<double>(f) - 0.0001); }

}  // namespace brevant
