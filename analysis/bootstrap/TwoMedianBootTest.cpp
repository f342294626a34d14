#include "analysis/bootstrap/TwoMedianBootTest.h"

#include <algorithm>

namespace brevant {

TwoMedianBootTestData ReadTwoMedianBootTestData(DataFile& file) { return ReadTwoMedianData(file); }

std::vector<ResultBox> ObservedTwoMedianBootTestBoxes(const TwoMedianBootTestData& data) {
    return ObservedMedianBoxes(ComputeObservedMedians(data));
}

TwoMedianBootTestResult RunTwoMedianBootTest(const TwoMedianBootTestData& data, const RunSettings& settings,
                                             Generator& generator, RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;

    TwoMedianBootTestResult result;
    result.observed = ComputeObservedMedians(data);
    result.differences.assign(static_cast<std::size_t>(R), 0.0f);

    // Every drawn value passes through its 7-digit text: round each sorted group once.
    const std::vector<float> source1 = RoundedCopy(result.observed.group1);
    const std::vector<float> source2 = RoundedCopy(result.observed.group2);
    std::vector<float> work1(source1.size()), work2(source2.size());

    control.resampleTotal.store(R, std::memory_order_relaxed);
    float* const out = result.differences.data();
    Generator g = generator;
    for (std::int32_t k = 0; k < R; ++k) {
        if (control.CancelRequested()) {
            generator = g;
            throw RunCancelled();
        }
        BootstrapDrawFrom(g, source1, work1);
        BootstrapDrawFrom(g, source2, work2);
        const float b1 = MedianOf(work1);
        const float b2 = MedianOf(work2);
        out[k] = b1 - b2;
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

RunResult PresentTwoMedianBootTest(TwoMedianBootTestResult&& r, const RunSettings&) {
    RunResult run;
    run.boxes = TwoMedianBoxes(r.observed, r.lowerLimit, r.upperLimit);
    run.histogram = {"Bootstrapped Median Differences", r.observed.difference, std::nullopt};
    run.resampled = std::move(r.differences);
    return run;
}

RunResult TwoMedianBootTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                     RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentTwoMedianBootTest(
        RunTwoMedianBootTest(ReadTwoMedianBootTestData(file), settings, generator, control), settings);
}

}  // namespace brevant
