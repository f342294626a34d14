#include "analysis/OnewayF.h"

#include "analysis/Procedure.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace brevant {

namespace {
constexpr std::ptrdiff_t kLanes = kOnewayLanes;
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
      lanes_(sizes, sums, path),
      sum_(sizes.size()),
      squares_(sizes.size()),
      laneGrand_(kOnewayLanes),
      laneSums_(kOnewayLanes * sizes.size()),
      laneSquares_(kOnewayLanes * sizes.size()) {
    for (const std::int32_t n : sizes_) total_ += n;
    figures_.means.resize(sizes.size());
    figures_.variances.resize(sizes.size());
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
    lanes_.Sum(interleaved, laneGrand_.data(), laneSums_.data(), laneSquares_.data());
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

ResultBox OnewayObtainedFBox(float f) { return MakeBox(kOnewayObtainedFBox, f); }

ResultBox OnewayEffectSizeBox(float effectSize) { return MakeBox(kOnewayEffectSizeBox, effectSize); }

float ComparisonF(float f) noexcept { return static_cast<float>(static_cast<double>(f) - 0.0001); }

}  // namespace brevant
