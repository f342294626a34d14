#include "analysis/bootstrap/OnewayBoot.h"

#include "analysis/Parallel.h"

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

// Resamples begin..end-1 of one share: eight at a time, their N draws each in stream order, then their F
// side by side (OnewayF::OfEight); the few left over (all of them for very large N) one at a time.
void OnewayShare(const OnewayData& groups, const float* source, std::int32_t begin, std::int32_t end,
                 BlockGenerator& g, const ResampleTick& tick, float* out) {
    constexpr std::size_t kLanes = kOnewayLanes;
    const std::int32_t N = groups.Total();
    OnewayF computeF(groups.sizes, groups.sums);
    const auto n = static_cast<std::size_t>(N);
    std::vector<float> drawn(kLanes * n);
    std::int32_t r = begin;
    const std::int32_t batchedEnd = N > kBatchedDrawsLimit ? begin : end;
    for (; r + kOnewayLanes <= batchedEnd; r += kOnewayLanes) {
        for (std::size_t b = 0; b < kLanes; ++b) {
            for (std::size_t i = 0; i < n; ++i) drawn[i * kLanes + b] = source[g.Index(N) - 1];
        }
        computeF.OfEight(drawn.data(), out + r);
        for (std::size_t b = 0; b < kLanes; ++b) {
            if (!tick()) return;
        }
    }
    for (; r < end; ++r) {
        for (std::int32_t i = 0; i < N; ++i) drawn[static_cast<std::size_t>(i)] = source[g.Index(N) - 1];
        out[r] = computeF.OfValues(drawn.data());
        if (!tick()) return;
    }
}

}  // namespace

OnewayBootData ReadOnewayBootData(DataFile& file) {
    OnewayBootData data;
    data.groups = ReadOnewayData(file);
    data.errors = Errors(data.groups);
    // A draw can put the largest value of the pool at every position.
    const double largest = std::max(LargestSquare(data.groups.values), LargestSquare(data.errors));
    CheckSumsOfSquaresFit(file, largest * static_cast<double>(data.groups.values.size()));
    CheckOnewaySpread(file, data.groups);
    // A centred run draws its errors from the shifted values, with their means from double sums.
    if (data.groups.centred) data.errors = Errors(data.groups);
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
    result.centred = groups.centred;
    const OnewayFigures observed = ComputeOnewayF(groups.values, groups.sizes, groups.sums);
    result.obtainedF = observed.f;
    result.effectSize = OnewayEffectSize(observed, groups.sums);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);

    // Every drawn value passes through its 7-significant-digit text (not in a centred run): round the pool
    // once.
    const std::vector<float>& from = bootstrapErrors ? data.errors : groups.values;
    const std::vector<float> pool = groups.centred ? from : RoundedCopy(from);
    const float* const source = pool.data();
    // Each resample draws N values afresh, so the resamples split across threads.
    const float obtained = result.obtainedF;
    float* const out = result.resampled.data();
    ResamplesInParallel(R, static_cast<std::uint64_t>(N), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        OnewayShare(groups, source, begin, end, g, tick, out);
    });
    const std::int64_t count = std::count_if(result.resampled.begin(), result.resampled.end(),
                                             [obtained](float f) { return f >= obtained; });

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
        MakeBox(kOnewayBootBoxes[2], r.proportion),
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
    if (r.centred) run.notes.push_back(kCentredRunNote);
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
