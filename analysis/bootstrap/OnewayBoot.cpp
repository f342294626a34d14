#include "analysis/bootstrap/OnewayBoot.h"

#include <algorithm>
#include <string>

namespace brevant {

namespace {

std::vector<float> Errors(const OnewayData& groups) {
    const OnewayFigures observed = ComputeOnewayF(groups.values, groups.sizes, groups.sums);
    std::vector<float> errors;
    errors.reserve(groups.values.size());
    std::size_t at = 0;
    for (std::size_t j = 0; j < groups.sizes.size(); ++j) {
        for (std::int32_t i = 0; i < groups.sizes[j]; ++i) errors.push_back(groups.values[at++] - observed.means[j]);
    }
    return errors;
}

double LargestSquare(const std::vector<float>& values) {
    double largest = 0.0;
    for (const float v : values) largest = std::max(largest, static_cast<double>(v) * v);
    return largest;
}

}  // namespace

OnewayBootData ReadOnewayBootData(DataFile& file) {
    OnewayBootData data;
    data.groups = ReadOnewayData(file);
    data.errors = Errors(data.groups);
    // A draw can put the largest value of the pool at every position.
    const double largest = std::max(LargestSquare(data.groups.values), LargestSquare(data.errors));
    CheckSumsOfSquaresFit(file, largest * static_cast<double>(data.groups.values.size()));
    RefuseOnewayWithoutSpread(file, data.groups);
    return data;
}

std::vector<ResultBox> ObservedOnewayBootBoxes(const OnewayBootData& data) {
    const OnewayData& g = data.groups;
    const OnewayFigures observed = ComputeOnewayF(g.values, g.sizes, g.sums);
    return {OnewayObtainedFBox(observed.f), OnewayEffectSizeBox(OnewayEffectSize(observed, g.sums))};
}

OnewayBootResult RunOnewayBoot(const OnewayBootData& data, const RunSettings& settings, bool bootstrapErrors,
                               Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    const OnewayData& groups = data.groups;
    const std::int32_t N = groups.Total();

    OnewayBootResult result;
    const OnewayFigures observed = ComputeOnewayF(groups.values, groups.sizes, groups.sums);
    result.obtainedF = observed.f;
    result.effectSize = OnewayEffectSize(observed, groups.sums);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);

    // Every drawn value passes through its 7-significant-digit text: round the pool once. The draws go
    // straight into the sums, position by position, with no work array.
    const std::vector<float> pool = RoundedCopy(bootstrapErrors ? data.errors : groups.values);
    const float* const source = pool.data();
    control.resampleTotal.store(R, std::memory_order_relaxed);
    OnewayF computeF(groups.sizes, groups.sums);
    const float obtained = result.obtainedF;
    float* const out = result.resampled.data();
    std::int64_t count = 0;
    Generator g = generator;
    for (std::int32_t r = 0; r < R; ++r) {
        if (control.CancelRequested()) {
            generator = g;
            throw RunCancelled();
        }
        const float f = computeF.Of([&g, source, N]() noexcept { return source[g.Index(N) - 1]; });
        out[r] = f;
        count += f >= obtained;
        control.resamplesDone.store(r + 1, std::memory_order_relaxed);
    }
    generator = g;

    result.count = count;
    result.proportion = static_cast<double>(count) / R;
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentOnewayBoot(OnewayBootResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        OnewayObtainedFBox(r.obtainedF),
        OnewayEffectSizeBox(r.effectSize),
        {"txtFPercent", "label5", "Percent => Fobt", r.proportion, BoxFormat::ThreeDecimals},
    };
    run.histogram = {.caption = "Bootstrapped F",
                     .observed = r.obtainedF,
                     .bounds = std::pair{0.0f, 10.0f},
                     .observedLabel = "Obtained F",
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Upper, r.obtainedF}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(OnewayNoSpreadNote(nf, settings.resamples, "drew values with no spread within any group"));
    }
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult OnewayBootProcedure(DataFile& file, const RunSettings& settings, bool bootstrapErrors,
                              Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentOnewayBoot(RunOnewayBoot(ReadOnewayBootData(file), settings, bootstrapErrors, generator, control),
                             settings);
}

}  // namespace brevant
