#include "analysis/randomization/TwoMedianRandomTest.h"

#include <algorithm>

namespace brevant {

TwoMedianRandomTestData ReadTwoMedianRandomTestData(DataFile& file) { return ReadTwoMedianData(file); }

std::vector<ResultBox> ObservedTwoMedianRandomTestBoxes(const TwoMedianRandomTestData& data) {
    return ObservedMedianBoxes(ComputeObservedMedians(data));
}

TwoMedianRandomTestResult RunTwoMedianRandomTest(const TwoMedianRandomTestData& data, const RunSettings& settings,
                                                 Generator& generator, RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const std::size_t size1 = static_cast<std::size_t>(data.size1);

    TwoMedianRandomTestResult result;
    result.observed = ComputeObservedMedians(data);
    result.differences.assign(static_cast<std::size_t>(R), 0.0f);

    control.resampleTotal.store(R, std::memory_order_relaxed);
    std::vector<float> work(data.combined.size());
    const std::span<float> all(work);
    float* const out = result.differences.data();
    Generator g = generator;
    for (std::int32_t k = 0; k < R; ++k) {
        if (control.CancelRequested()) {
            generator = g;
            throw RunCancelled();
        }
        std::copy(data.combined.begin(), data.combined.end(), work.begin());  // from the file's order
        ShuffleArray(g, all);
        // MedianOf gives ArrayMedian's median without sorting; the groups are not needed afterwards.
        const float m1 = MedianOf(all.first(size1));
        const float m2 = MedianOf(all.subspan(size1));
        out[k] = m1 - m2;
        control.resamplesDone.store(k + 1, std::memory_order_relaxed);
    }
    generator = g;

    result.sorted = result.differences;
    const MedianLimits limits = SortAndReadLimits(result.sorted, settings.confidence, control);
    result.positions = limits.positions;
    result.lowerLimit = limits.lower;
    result.upperLimit = limits.upper;
    return result;
}

RunResult PresentTwoMedianRandomTest(TwoMedianRandomTestResult&& r, const RunSettings&) {
    RunResult run;
    run.boxes = TwoMedianBoxes(r.observed, r.lowerLimit, r.upperLimit);
    run.histogram = {"Bootstrapped Median Differences", r.observed.difference, std::nullopt};
    run.resampled = std::move(r.differences);
    return run;
}

RunResult TwoMedianRandomTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                       RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentTwoMedianRandomTest(
        RunTwoMedianRandomTest(ReadTwoMedianRandomTestData(file), settings, generator, control), settings);
}

}  // namespace brevant
