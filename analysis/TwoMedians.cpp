#include "analysis/TwoMedians.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace brevant {

namespace {

// A group size, read as any count so that an empty group is refused in plain words.
std::int32_t ReadGroupSize(DataFile& file, const std::string& group) {
    const std::int32_t n = file.ReadCount("the size of " + group, 0, kMaxDataValues);
    if (n < 1) RefuseData(file, "announces 0 values for " + group + "; each group needs at least 1 value.");
    return n;
}

// The median of sorted values as they are.
float SortedMedian(std::span<const float> x) {
    const std::size_t n = x.size();
    if (n % 2 == 1) return x[n / 2];
    return static_cast<float>((static_cast<double>(x[n / 2 - 1]) + static_cast<double>(x[n / 2])) / 2.0);
}

}  // namespace

TwoMedianData ReadTwoMedianData(DataFile& file) {
    TwoMedianData data;
    data.size1 = ReadGroupSize(file, "group 1");
    const std::int32_t size2 = ReadGroupSize(file, "group 2");
    const std::int64_t total = static_cast<std::int64_t>(data.size1) + size2;
    if (total > kMaxDataValues) {
        RefuseData(file, "announces " + ValueCount(total) + " in its two groups; at most " +
                             std::to_string(kMaxDataValues) + " can be analysed.");
    }
    data.combined = file.ReadValues(static_cast<std::size_t>(data.size1), "a value of group 1");
    const std::vector<float> group2 = file.ReadValues(static_cast<std::size_t>(size2), "a value of group 2");
    data.combined.insert(data.combined.end(), group2.begin(), group2.end());

    const auto [low, high] = std::minmax_element(data.combined.begin(), data.combined.end());
    if (static_cast<double>(*high) - static_cast<double>(*low) > kLargestMedianSpread) {
        RefuseData(file, "holds values more than 3E+38 apart, too far apart for a single-precision difference "
                         "of two medians; divide them all by a power of ten.");
    }
    return data;
}

float UnroundedMedian(std::span<float> x) {
    const std::size_t n = x.size();
    if (n == 0) return std::numeric_limits<float>::quiet_NaN();
    const std::size_t lower = (n - 1) / 2;  // 0-based place of the (lower) middle value
    std::nth_element(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(lower), x.end());
    const float low = x[lower];
    if (n % 2 == 1) return low;
    const float high = *std::min_element(x.begin() + static_cast<std::ptrdiff_t>(lower) + 1, x.end());
    return static_cast<float>((static_cast<double>(low) + static_cast<double>(high)) / 2.0);
}

void CentreIfNeeded(TwoMedianData& data, double spread1, double spread2) {
    const std::span<const float> all(data.combined);
    const std::span<const float> group1 = all.first(static_cast<std::size_t>(data.size1));
    const std::span<const float> group2 = all.subspan(static_cast<std::size_t>(data.size1));
    const ObservedMedians defined = ComputeObservedMedians(data);
    std::vector<float> work1(group1.begin(), group1.end()), work2(group2.begin(), group2.end());
    PrecisionCheck check(SumPrecision::Single);  // no sums: only the text rounding matters
    check.TextRounding(group1, spread1);
    check.TextRounding(group2, spread2);
    check.Location(defined.median1, UnroundedMedian(work1), spread1);
    check.Location(defined.median2, UnroundedMedian(work2), spread2);
    data.centred = check.Centred();
}

ObservedMedians ComputeObservedMedians(const TwoMedianData& data) {
    ObservedMedians o;
    const auto split = data.combined.begin() + data.size1;
    o.group1.assign(data.combined.begin(), split);
    o.group2.assign(split, data.combined.end());
    if (data.centred) {
        SortArray(o.group1);
        SortArray(o.group2);
        o.median1 = SortedMedian(o.group1);
        o.median2 = SortedMedian(o.group2);
    } else {
        o.median1 = ArrayMedian(o.group1);
        o.median2 = ArrayMedian(o.group2);
    }
    o.difference = o.median1 - o.median2;
    return o;
}

std::vector<ResultBox> ObservedMedianBoxes(const ObservedMedians& observed) {
    return {MakeBox(kTwoMedianBoxes[0], observed.median1), MakeBox(kTwoMedianBoxes[1], observed.median2),
            MakeBox(kTwoMedianBoxes[2], observed.difference)};
}

std::vector<ResultBox> TwoMedianBoxes(const ObservedMedians& observed, float lowerLimit, float upperLimit) {
    std::vector<ResultBox> boxes = ObservedMedianBoxes(observed);
    boxes.push_back(MakeBox(kTwoMedianBoxes[3], lowerLimit));
    boxes.push_back(MakeBox(kTwoMedianBoxes[4], upperLimit));
    return boxes;
}

void SortAndReadLimits(MedianDifferences& result, float q, RunControl& control) {
    result.sorted = result.differences;
    SortResampledValues(result.sorted, control);
    result.positions = NearestPercentilePositions(static_cast<std::int32_t>(result.sorted.size()), q);
    result.lowerLimit = result.sorted[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperLimit = result.sorted[static_cast<std::size_t>(result.positions.upper - 1)];
}

RunResult PresentMedianDifferences(MedianDifferences&& r) {
    RunResult run;
    run.boxes = TwoMedianBoxes(r.observed, r.lowerLimit, r.upperLimit);
    run.histogram = {.caption = "Bootstrapped Median Differences",
                     .observed = r.observed.difference,
                     .observedLabel = "Median Difference",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower CL", "Upper CL"}};
    if (r.centred) run.notes.push_back(kUnroundedRunNote);
    run.resampled = std::move(r.differences);
    return run;
}

}  // namespace brevant
