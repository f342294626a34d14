#include "analysis/bootstrap/BootstMean.h"

#include "analysis/Parallel.h"
#include "analysis/lanes/ResamplePickSumLanes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace brevant {

namespace {

constexpr std::size_t kLanes = kBootstMeanLanes;
static_assert(kLanes == kPickSumLanes);

// Observed mean, variance and standard error of the mean, each stored as a float. `shift` is added back to
// the mean of centred values.
struct Observed {
    float mean, variance, standardError;
};
Observed ObservedFigures(const std::vector<float>& values, SumPrecision sums, double shift = 0.0) {
    const auto n = static_cast<std::int32_t>(values.size());
    Observed o{};
    o.mean = shift == 0.0 ? static_cast<float>(ArrayMean(values, sums))
                          : static_cast<float>(shift + ArrayMean(values, sums));
    o.variance = static_cast<float>(ArrayVariance(values, sums));
    o.standardError = static_cast<float>(std::sqrt(static_cast<double>(o.variance) / static_cast<double>(n)));
    return o;
}

ResultBox ObtainedMeanBox(float mean) { return MakeBox(kBootstMeanBoxes[0], mean); }

}  // namespace

BootstMeanData ReadBootstMeanData(DataFile& file) {
    BootstMeanData data;
    // Read as any count, so that too few values for a standard error are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of values", 0, kMaxDataValues);
    if (n < 2) RefuseData(file, "announces " + ValueCount(n) + "; a standard error needs at least 2 values.");
    data.values = file.ReadValues(static_cast<std::size_t>(n), "a value");
    data.sums = SumsFor(n, kBootstMeanDesignedValues);

    double largestSquare = 0.0;
    for (const float v : data.values) largestSquare = std::max(largestSquare, static_cast<double>(v) * v);
    CheckSumsOfSquaresFit(file, largestSquare * n);
    if (AllEqual(data.values)) {
        RefuseData(file, "holds values that are all equal, so the standard error is 0 and the bootstrap t is "
                         "undefined.");
    }
    CentreIfNeeded(data);
    return data;
}

void CentreIfNeeded(BootstMeanData& data) {
    const double mean = ExactMean(data.values);
    const double variance = ExactVariance(data.values);
    const Observed o = ObservedFigures(data.values, data.sums);
    PrecisionCheck check(data.sums);
    check.Location(o.mean, mean, std::sqrt(variance));
    check.Spread(o.standardError, std::sqrt(variance / static_cast<double>(data.values.size())));
    check.Conditioning(data.values);
    check.TextRounding(data.values, std::sqrt(variance));
    if (!check.Centred()) return;
    data.centred = true;
    data.shift = mean;
    data.sums = check.Sums();
    ShiftValues(data.values, mean);
}

std::vector<ResultBox> ObservedBootstMeanBoxes(const BootstMeanData& data) {
    return {ObtainedMeanBox(ObservedFigures(data.values, data.sums, data.shift).mean)};
}

BootstMeanResult RunBootstMean(const BootstMeanData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control, DrawPath path) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const auto n = static_cast<std::int32_t>(data.values.size());

    BootstMeanResult result;
    result.centred = data.centred;
    const Observed o = ObservedFigures(data.values, data.sums, data.shift);
    result.mean = o.mean;
    result.variance = o.variance;
    result.standardError = o.standardError;

    // Every drawn value passes through its 7-significant-digit text (not in a centred run): round the source once.
    const std::vector<float> rounded = data.centred ? data.values : RoundedCopy(data.values);
    result.sortedT.assign(static_cast<std::size_t>(R), 0.0f);
    result.bootstrapMeans.assign(static_cast<std::size_t>(R), 0.0f);

    // The draw and the sums of each resample in one pass: no work array. Each resample draws n values
    // afresh from the data, so the resamples split across threads.
    const float* const source = rounded.data();
    float* const tOut = result.sortedT.data();
    float* const meanOut = result.bootstrapMeans.data();
    // A centred run measures each bootstrap mean from the mean of the deviations and adds the shift back.
    const double observedMean = data.centred ? ArrayMean(data.values, data.sums) : o.mean;
    const double shift = data.shift;
    const bool centred = data.centred;
    const double size = n;
    const SumPrecision sums = data.sums;
    // One resample: its figures from the sums of the values drawn, in the order drawn (the mean and the
    // sample variance by the one-pass sums formula, as RunningSums gives them).
    const auto finish = [&](std::int32_t k, double sum, double squares, bool constant) {
        const double m = sum / size;
        const double v = (squares - sum * sum / size) / static_cast<double>(n - 1);
        tOut[k] = constant || !(v > 0.0) ? ZeroSpreadQuotient(m - observedMean)
                                         : static_cast<float>((m - observedMean) / std::sqrt(v / size));
        meanOut[k] = centred ? static_cast<float>(shift + m) : static_cast<float>(m);
    };
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        // Each resample's sums are one chain of roundings in draw order; kLanes resamples drawn and summed
        // side by side, each in its own lane, let their chains overlap, each still in its own order.
        // Past kBatchedDrawsLimit draws a resample goes alone, so a cancel is still seen quickly.
        const bool batched = n <= kBatchedDrawsLimit;
        std::int32_t k = begin;
        if (batched && end - k >= kBootstMeanLanes) {
            Seeds at = g.CurrentSeeds();
            GroupLaneSums lanes[2];
            for (; end - k >= kBootstMeanLanes; k += kBootstMeanLanes) {
                at = PickAndSumLanes(path, sums, rounded, at, lanes);
                for (std::size_t j = 0; j < kLanes; ++j) {
                    const GroupLaneSums& group = lanes[j / kGroupLanes];
                    const std::size_t lane = j % kGroupLanes;
                    finish(k + static_cast<std::int32_t>(j), group.sum[lane], group.squares[lane], group.constant[lane]);
                    if (!tick()) return;
                }
            }
            g = BlockGenerator(at);
        }
        for (; k < end; ++k) {
            RunningSums running(sums);
            const float first = source[g.Index(n) - 1];
            running.Add(first);
            bool constant = true;
            for (std::int32_t i = 1; i < n; ++i) {
                const float x = source[g.Index(n) - 1];
                running.Add(x);
                constant &= x == first;
            }
            finish(k, running.Sum(), running.Squares(), constant);
            if (!tick()) return;
        }
    });

    // Ascending, NaN last (the engine's sort puts NaNs behind everything, in the order they had).
    result.nonFiniteT = CountNonFinite(result.sortedT);
    SortResampledValues(result.sortedT, control);

    result.positions = NearestPercentilePositions(R, settings.confidence);
    const float tUpper = result.sortedT[static_cast<std::size_t>(result.positions.upper - 1)];
    const float tLower = result.sortedT[static_cast<std::size_t>(result.positions.lower - 1)];
    result.lowerLimit = result.mean - tUpper * result.standardError;
    result.upperLimit = result.mean - tLower * result.standardError;

    result.bootstrapSpread = ResampledStandardError(result.bootstrapMeans);
    result.bootstrapStandardError = result.bootstrapSpread.standardError;
    return result;
}

RunResult PresentBootstMean(BootstMeanResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedMeanBox(r.mean),
        MakeBox(kBootstMeanBoxes[1], r.lowerLimit),
        MakeBox(kBootstMeanBoxes[2], r.upperLimit),
        MakeBox(kBootstMeanBoxes[3], r.bootstrapStandardError),
    };
    run.histogram = {.caption = "Bootstrapped Mean",
                     .observed = r.mean,
                     .observedLabel = "Obtained Mean",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower CI", "Upper CI"}};
    const NonFiniteCount& nf = r.nonFiniteT;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + ResampleCount(settings.resamples) +
            " drew values with no spread, so their studentized distance is undefined: " +
            std::to_string(nf.positiveInfinite) + " sorted as +inf, " + std::to_string(nf.negativeInfinite) +
            " as -inf and " + std::to_string(nf.undefined) +
            " (mean equal to the observed mean) as nan after all others. A limit read from one of them shows "
            "as inf, -inf or nan.");
    }
    if (r.centred) run.notes.push_back(kCentredRunNote);
    if (r.bootstrapSpread.corrected) run.notes.push_back(CorrectedSpreadNote("bootstrap means", r.bootstrapSpread));
    run.resampled = std::move(r.bootstrapMeans);
    return run;
}

RunResult BootstMeanProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstMean(RunBootstMean(ReadBootstMeanData(file), settings, generator, control), settings);
}

}  // namespace brevant
