// The one-way analysis of variance of independent groups, shared by the randomization and the bootstrap
// windows: the data layout (k, the k group sizes, then every group's values in turn), the F of groups laid
// out one after the other, and the effect size. Qt-free.
//
// F = SSb / (k - 1) / MSw with
//   grand mean gm = (sum of all values in position order) / N,
//   per group: sum s and sum of squares q (squares formed in double), mean s / n and variance
//   (q - s^2 / n) / (n - 1) in double, both stored single,
//   SSb = sum over groups of (mean - gm)^2 * n, MSw = PooledVariance of the group variances.
// Every running sum is single within kOnewayDesignedValues values and kOnewayDesignedGroups groups, double
// past either (SumPrecision); a sum is rounded to float where it is stored (SSb, the effect size's sum).
//
// No spread within the groups (each group's values all equal, or MSw computing as 0 or less): the spread
// is taken as exactly 0 and F is the IEEE quotient SSb / 0, +inf, or NaN when all values are equal (the
// between-groups sum is then taken as 0 too). Only data whose groups each hold one value are refused for
// that; a resample like that keeps its inf or NaN (see the procedures).
//
// Values that differ little relative to their size (1 +- 1e-4, values near 10,000 with a spread of 1)
// would lose the spread within the groups to single sums of squares: PrecisionCheck (engine/Module1.h)
// compares F, MSw and the effect size as defined with their double-precision values around the mean, and
// where it asks, the run is centred: every value shifted by one common mean (F does not change) and every
// sum double (CheckOnewaySpread).
#pragma once

#include "analysis/Procedure.h"
#include "analysis/lanes/InterleavedSumLanes.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brevant {

// The two boxes both one-way windows show first.
inline constexpr BoxSpec kOnewayObtainedFBox{"txtObtF", "lblObtF", "Obtained F", BoxFormat::ThreeDecimals};
inline constexpr BoxSpec kOnewayEffectSizeBox{"txtEffectSize", "Label2", "Effect size", BoxFormat::ThreeDecimals};

// The windows were designed for at most 1,000 observations in at most 10 groups.
inline constexpr std::int64_t kOnewayDesignedValues = 1000;
inline constexpr std::int64_t kOnewayDesignedGroups = 10;

struct OnewayData {
    std::vector<float> values;         // group 1's values, then group 2's, ..., in the file's order
    std::vector<std::int32_t> sizes;   // one per group, each at least 2
    SumPrecision sums = SumPrecision::Single;
    bool centred = false;              // values shifted by their common mean, sums double (PrecisionCheck)
    std::int32_t Groups() const noexcept { return static_cast<std::int32_t>(sizes.size()); }
    std::int32_t Total() const noexcept { return static_cast<std::int32_t>(values.size()); }
};

// Reads k, the k sizes and the values. Refused with a DataFileError: k below 2, a group of fewer than 2,
// more than kMaxDataValues values in all, fewer values than announced, a non-number. The spread is checked
// by CheckOnewaySpread, once the caller has checked its sums of squares.
OnewayData ReadOnewayData(DataFile& file);

// Everything the F of one arrangement is made of, each stored as a float.
struct OnewayFigures {
    float grandMean = 0;
    std::vector<float> means, variances;  // per group
    float betweenSquares = 0;             // SSb
    float withinVariance = 0;             // MSw
    float f = 0;
    bool zeroSpread = false;
};
OnewayFigures ComputeOnewayF(std::span<const float> values, std::span<const std::int32_t> sizes, SumPrecision sums);

// sqrt((sum over groups of (mean - gm)^2) / k / MSw): each group counts once, whatever its size.
float OnewayEffectSize(const OnewayFigures& figures, SumPrecision sums) noexcept;

// MSw, F and the effect size in double precision, each group's deviations taken around its own mean (two
// passes): the references PrecisionCheck compares the defined figures with.
struct ExactOnewayFigures {
    double withinVariance = 0, f = 0, effectSize = 0;
};
ExactOnewayFigures ComputeExactOnewayF(std::span<const float> values, std::span<const std::int32_t> sizes);

// Centres the run where PrecisionCheck asks: F, MSw and the effect size as defined against
// ComputeExactOnewayF, and the conditioning of all the values. A centred run's values are shifted by their
// mean rounded to single precision (so values within a factor of two of it shift exactly, ties and all),
// its sums are double, and data.centred says so. Returns whether it centred.
bool CentreOnewayIfNeeded(OnewayData& data);

// Refuses data whose groups each hold one value throughout (no spread within the groups, F undefined),
// centres the run where needed (CentreOnewayIfNeeded), then refuses an observed F or effect size that is
// still not finite (a spread within the groups too small against the differences between them).
void CheckOnewaySpread(const DataFile& file, OnewayData& data);

// Arrangements whose F OnewayF::OfEight forms side by side, their sums one to a lane
// (analysis/lanes/InterleavedSumLanes.h).
inline constexpr int kOnewayLanes = kInterleavedLanes;

// The F of many arrangements of the same group sizes, without allocating: the values of each arrangement
// are taken one at a time in position order (group 1 first), so a resample loop can feed them straight
// from its shuffled array or from its draws. Gives bit for bit ComputeOnewayF(...).f.
class OnewayF {
public:
    // path: the instructions OfEight uses (every path gives the same bits).
    OnewayF(std::span<const std::int32_t> sizes, SumPrecision sums, DrawPath path = ActiveDrawPath());

    // next() returns the value at the next position; called exactly N times.
    template <typename Next>
    float Of(Next&& next) noexcept {
        return single_ ? Pass<float>(next) : Pass<double>(next);
    }
    // The values of the arrangement in an array of N. The same sums in the same order as Of, formed four
    // groups at a time so that their dependency chains overlap.
    float OfValues(const float* values) noexcept {
        return single_ ? ArrayPass<float>(values) : ArrayPass<double>(values);
    }
    // The F of kOnewayLanes arrangements at once, value i of arrangement b at interleaved[kOnewayLanes * i + b],
    // into out[0..kOnewayLanes-1]. Each lane makes the same additions in the same order as Of, so every F
    // is bit for bit the one Of gives; the lanes' and the groups' chains of roundings run side by side.
    void OfEight(const float* interleaved, float* out) noexcept;
    // The figures of the last arrangement.
    const OnewayFigures& Last() const noexcept { return figures_; }

private:
    template <typename S, typename Next>
    float Pass(Next& next) noexcept;
    template <typename S>
    float ArrayPass(const float* values) noexcept;
    float Finish(double grand, bool constantWithin, bool allEqual) noexcept;
    bool LaneConstantWithin(const float* interleaved, int lane) const noexcept;

    std::vector<std::int32_t> sizes_;
    std::int64_t total_ = 0;
    SumPrecision precision_;
    bool single_;
    InterleavedGroupSums lanes_;  // OfEight's sums, on the path given
    std::vector<double> sum_, squares_;  // per group; float values under Single
    OnewayFigures figures_;
    // OfEight's sums: group j's of lane b at kOnewayLanes * j + b; float values under Single.
    std::vector<double> laneGrand_, laneSums_, laneSquares_;
};

// Each sum in S, float or double; a float sum of a float and a double square is rounded to float after
// the addition, as a single-precision running sum is.
template <typename S, typename Next>
float OnewayF::Pass(Next& next) noexcept {
    S grand = 0;
    bool constantWithin = true, sameFirsts = true;
    float firstOfAll = 0;
    const std::size_t k = sizes_.size();
    for (std::size_t j = 0; j < k; ++j) {
        const float first = next();
        S s = static_cast<S>(first);
        S q = static_cast<S>(static_cast<double>(first) * static_cast<double>(first));
        grand = grand + static_cast<S>(first);
        bool constant = true;
        for (std::int32_t i = 1, n = sizes_[j]; i < n; ++i) {
            const float v = next();
            grand = grand + static_cast<S>(v);
            s = s + static_cast<S>(v);
            q = static_cast<S>(static_cast<double>(q) + static_cast<double>(v) * static_cast<double>(v));
            constant &= v == first;
        }
        sum_[j] = s;
        squares_[j] = q;
        constantWithin &= constant;
        if (j == 0) firstOfAll = first;
        sameFirsts &= first == firstOfAll;
    }
    return Finish(static_cast<double>(grand), constantWithin, constantWithin && sameFirsts);
}

namespace oneway_detail {

// One group's running sums, started from its first value.
template <typename S>
struct GroupSums {
    S s, q;
    float first;
    bool constant = true;
    explicit GroupSums(float v) noexcept
        : s(static_cast<S>(v)), q(static_cast<S>(static_cast<double>(v) * static_cast<double>(v))), first(v) {}
    void Add(float v) noexcept {
        s = s + static_cast<S>(v);
        q = static_cast<S>(static_cast<double>(q) + static_cast<double>(v) * static_cast<double>(v));
        constant &= v == first;
    }
};

}  // namespace oneway_detail

template <typename S>
float OnewayF::ArrayPass(const float* values) noexcept {
    using oneway_detail::GroupSums;
    S grand = 0;
    for (std::int64_t i = 0; i < total_; ++i) grand = grand + static_cast<S>(values[i]);

    bool constantWithin = true, sameFirsts = true;
    const float firstOfAll = values[0];
    const auto keep = [&](std::size_t j, const GroupSums<S>& g) {
        sum_[j] = g.s;
        squares_[j] = g.q;
        constantWithin &= g.constant;
        sameFirsts &= g.first == firstOfAll;
    };
    const std::size_t k = sizes_.size();
    const float* at = values;
    std::size_t j = 0;
    for (; j + 4 <= k; j += 4) {
        const float* const a = at;
        const float* const b = a + sizes_[j];
        const float* const c = b + sizes_[j + 1];
        const float* const d = c + sizes_[j + 2];
        at = d + sizes_[j + 3];
        GroupSums<S> ga(a[0]), gb(b[0]), gc(c[0]), gd(d[0]);
        std::int32_t common = sizes_[j];
        for (std::size_t l = 1; l < 4; ++l) common = std::min(common, sizes_[j + l]);
        for (std::int32_t i = 1; i < common; ++i) {
            ga.Add(a[i]);
            gb.Add(b[i]);
            gc.Add(c[i]);
            gd.Add(d[i]);
        }
        for (std::int32_t i = common; i < sizes_[j]; ++i) ga.Add(a[i]);
        for (std::int32_t i = common; i < sizes_[j + 1]; ++i) gb.Add(b[i]);
        for (std::int32_t i = common; i < sizes_[j + 2]; ++i) gc.Add(c[i]);
        for (std::int32_t i = common; i < sizes_[j + 3]; ++i) gd.Add(d[i]);
        keep(j, ga);
        keep(j + 1, gb);
        keep(j + 2, gc);
        keep(j + 3, gd);
    }
    for (; j < k; ++j) {
        GroupSums<S> g(at[0]);
        for (std::int32_t i = 1; i < sizes_[j]; ++i) g.Add(at[i]);
        at += sizes_[j];
        keep(j, g);
    }
    return Finish(static_cast<double>(grand), constantWithin, constantWithin && sameFirsts);
}

// The note after a run in which some resamples had no spread within any group: how many, and how many of
// them gave +inf (counted) and NaN (not counted). what says what those resamples did ("left no spread").
std::string OnewayNoSpreadNote(const NonFiniteCount& nonFinite, std::int32_t resamples, const std::string& what);

// The boxes both windows show first: txtObtF "Obtained F" and txtEffectSize "Effect size", three decimals.
ResultBox OnewayObtainedFBox(float f);
ResultBox OnewayEffectSizeBox(float effectSize);

// F - 0.0001, the difference in double, stored single: the randomization window's comparison value.
float ComparisonF(float f) noexcept;

}  // namespace brevant
