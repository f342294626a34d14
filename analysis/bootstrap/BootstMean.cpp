#include "analysis/bootstrap/BootstMean.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace brevant {

namespace {

// Observed mean, variance and standard error of the mean, each stored as a float.
struct Observed {
    float mean, variance, standardError;
};
Observed ObservedFigures(const std::vector<float>& values, SumPrecision sums) {
    const auto n = static_cast<std::int32_t>(values.size());
    Observed o{};
    o.mean = static_cast<float>(ArrayMean(values, sums));
    o.variance = static_cast<float>(ArrayVariance(values, sums));
    o.standardError = static_cast<float>(std::sqrt(static_cast<double>(o.variance) / static_cast<double>(n)));
    return o;
}

ResultBox ObtainedMeanBox(float mean) {
    return {"txtMean", "label1", "Obtained Mean", mean, BoxFormat::ThreeDecimals};
}

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
    const bool allEqual = std::all_of(data.values.begin(), data.values.end(),
                                      [&](float v) { return v == data.values.front(); });
    const Observed o = ObservedFigures(data.values, data.sums);
    if (allEqual || !(o.variance > 0.0f) || !(o.standardError > 0.0f)) {
        RefuseData(file, "holds values with no spread (they are all equal, or differ too little for single "
                         "precision), so the standard error is 0 and the bootstrap t is undefined.");
    }
    return data;
}

std::vector<ResultBox> ObservedBootstMeanBoxes(const BootstMeanData& data) {
    return {ObtainedMeanBox(ObservedFigures(data.values, data.sums).mean)};
}

BootstMeanResult RunBootstMean(const BootstMeanData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const auto n = static_cast<std::int32_t>(data.values.size());

    BootstMeanResult result;
    const Observed o = ObservedFigures(data.values, data.sums);
    result.mean = o.mean;
    result.variance = o.variance;
    result.standardError = o.standardError;

    // Every drawn value passes through its 7-significant-digit text: round the source once.
    const std::vector<float> rounded = RoundedCopy(data.values);
    result.sortedT.assign(static_cast<std::size_t>(R), 0.0f);
    result.bootstrapMeans.assign(static_cast<std::size_t>(R), 0.0f);

    // The draw and the sums of each resample in one pass: no work array. Each resample draws n values
    // afresh from the data, so the resamples split across threads.
    const float* const source = rounded.data();
    float* const tOut = result.sortedT.data();
    float* const meanOut = result.bootstrapMeans.data();
    const double observedMean = o.mean;
    const double size = n;
    const SumPrecision sums = data.sums;
    // One resample: its figures from the values drawn, in the order drawn.
    const auto finish = [&](std::int32_t k, const RunningSums& running, bool constant) {
        const double m = running.Mean(n);
        const double v = running.Variance(n);
        tOut[k] = constant || !(v > 0.0) ? ZeroSpreadQuotient(m - observedMean)
                                         : static_cast<float>((m - observedMean) / std::sqrt(v / size));
        meanOut[k] = static_cast<float>(m);
    };
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        // Each resample's sums are one chain of roundings in draw order; four resamples drawn first and
        // summed side by side let their chains overlap, each still in its own order. Past kBatchedDrawsLimit
        // draws a resample goes alone, so a cancel is still seen quickly.
        constexpr std::int32_t kSideBySide = 4;
        const bool batched = n <= kBatchedDrawsLimit;
        std::vector<float> drawn(batched ? static_cast<std::size_t>(kSideBySide) * static_cast<std::size_t>(n) : 0);
        std::int32_t k = begin;
        for (; batched && end - k >= kSideBySide; k += kSideBySide) {
            for (float& x : drawn) x = source[g.Index(n) - 1];
            const float* const d = drawn.data();
            RunningSums running[kSideBySide] = {RunningSums(sums), RunningSums(sums), RunningSums(sums),
                                                RunningSums(sums)};
            bool constant[kSideBySide] = {true, true, true, true};
            for (std::int32_t i = 0; i < n; ++i) {
                for (std::int32_t j = 0; j < kSideBySide; ++j) {
                    const float x = d[static_cast<std::size_t>(j) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)];
                    running[j].Add(x);
                    constant[j] &= x == d[static_cast<std::size_t>(j) * static_cast<std::size_t>(n)];
                }
            }
            for (std::int32_t j = 0; j < kSideBySide; ++j) {
                finish(k + j, running[j], constant[j]);
                if (!tick()) return;
            }
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
            finish(k, running, constant);
            if (!tick()) return;
        }
    });

    // Ascending, NaN last (the engine's sort puts NaNs behind everything, in the order they had).
    result.nonFiniteT = CountNonFinite(result.sortedT);
    control.sortTotal.store(R, std::memory_order_relaxed);
    SortArray(result.sortedT, [&control](std::int32_t done, std::int32_t) {
        control.sortDone.store(done, std::memory_order_relaxed);
    });
    control.sortDone.store(R, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();

    result.positions = NearestPercentilePositions(R, settings.confidence);
    const float tUpper = result.sortedT[static_cast<std::size_t>(result.positions.upper - 1)];
    const float tLower = result.sortedT[static_cast<std::size_t>(result.positions.lower - 1)];
    result.lowerLimit = result.mean - tUpper * result.standardError;
    result.upperLimit = result.mean - tLower * result.standardError;

    const double spread = ArrayVariance(result.bootstrapMeans, SumsFor(R, kDesignedResamples));
    result.bootstrapStandardError =
        spread < 0.0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(std::sqrt(spread));
    return result;
}

RunResult PresentBootstMean(BootstMeanResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedMeanBox(r.mean),
        {"LowerCL", "Label2", "Lower CI", r.lowerLimit, BoxFormat::ThreeDecimals},
        {"UpperCL", "Label3", "Upper CI", r.upperLimit, BoxFormat::ThreeDecimals},
        {"txtStError", "Label6", "St. Error of Bootstrap Distribution", r.bootstrapStandardError,
         BoxFormat::ThreeDecimals},
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
    if (std::isnan(r.bootstrapStandardError)) {
        run.notes.push_back("The bootstrap means differ too little for single-precision sums: the variance of "
                            "their distribution computes as negative, so its standard error is shown as nan.");
    }
    run.resampled = std::move(r.bootstrapMeans);
    return run;
}

RunResult BootstMeanProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstMean(RunBootstMean(ReadBootstMeanData(file), settings, generator, control), settings);
}

}  // namespace brevant
