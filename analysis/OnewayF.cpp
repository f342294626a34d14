#include "analysis/OnewayF.h"

#include "analysis/Procedure.h"

#include <cmath>
#include <string>

namespace brevant {

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

OnewayF::OnewayF(std::span<const std::int32_t> sizes, SumPrecision sums)
    : sizes_(sizes.begin(), sizes.end()),
      precision_(sums),
      single_(sums == SumPrecision::Single),
      sum_(sizes.size()),
      squares_(sizes.size()) {
    for (const std::int32_t n : sizes_) total_ += n;
    figures_.means.resize(sizes.size());
    figures_.variances.resize(sizes.size());
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

void RefuseOnewayWithoutSpread(const DataFile& file, const OnewayData& data) {
    const OnewayFigures observed = ComputeOnewayF(data.values, data.sizes, data.sums);
    if (observed.zeroSpread) {
        RefuseData(file, "has no spread within the groups (the values of each group are all equal, or differ too "
                         "little for single precision), so the pooled variance is 0 and F is undefined.");
    }
    if (!std::isfinite(observed.f) || !std::isfinite(OnewayEffectSize(observed, data.sums))) {
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
