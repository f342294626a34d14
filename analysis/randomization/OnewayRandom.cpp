#include "analysis/randomization/OnewayRandom.h"

#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"
#include "analysis/lanes/ShufflePickLanes.h"

#include <algorithm>
#include <string>

namespace brevant {

namespace {

// Eight fresh shuffles of the values side by side (value i of shuffle b at lanes[kOnewayLanes * i + b]),
// each ShuffleArray's downward swaps from its own n - 1 draws, the shuffles in turn. The draws of a shuffle
// are taken first and turned into its swap positions in one pass, so that the swaps wait on nothing.
class EightShuffles {
public:
    explicit EightShuffles(const std::vector<float>& values)
        : values_(values),
          path_(ActiveDrawPath()),
          draws_(values.size() - 1),
          picks_(values.size() - 1),
          lanes_(kOnewayLanes * values.size()) {}

    const float* Make(BlockGenerator& g) noexcept {
        constexpr std::ptrdiff_t kLanes = kOnewayLanes;
        const auto n = static_cast<std::int32_t>(values_.size());
        float* const lanes = lanes_.data();
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            std::fill_n(lanes + kLanes * i, kLanes, values_[static_cast<std::size_t>(i)]);
        }
        for (std::ptrdiff_t b = 0; b < kLanes; ++b) {
            g.Uniforms(draws_);
            ShufflePositions(path_, draws_, picks_);
            float* const lane = lanes + b;
            for (std::int32_t t = 0; t < n - 1; ++t) {
                const std::int32_t i = n - t;  // ShuffleArray's i, from n down to 2
                std::swap(lane[kLanes * (picks_[static_cast<std::size_t>(t)] - 1)], lane[kLanes * (i - 1)]);
            }
        }
        return lanes;
    }

private:
    const std::vector<float>& values_;
    DrawPath path_;
    std::vector<double> draws_;
    std::vector<std::int32_t> picks_;
    std::vector<float> lanes_;
};

}  // namespace

void ShufflePositions(DrawPath path, std::span<const double> draws, std::span<std::int32_t> picks) noexcept {
    ShufflePicks(path, draws, static_cast<std::int32_t>(draws.size()) + 1, picks.data());
}

OnewayData ReadOnewayRandomData(DataFile& file) {
    OnewayData data = ReadOnewayData(file);
    // A shuffle puts at most all the values into one group.
    double sumOfSquares = 0.0;
    for (const float v : data.values) sumOfSquares += static_cast<double>(v) * v;
    CheckSumsOfSquaresFit(file, sumOfSquares);
    CheckOnewaySpread(file, data);
    return data;
}

std::vector<ResultBox> ObservedOnewayRandomBoxes(const OnewayData& data) {
    const OnewayFigures observed = ComputeOnewayF(data.values, data.sizes, data.sums);
    return {OnewayObtainedFBox(observed.f), OnewayEffectSizeBox(OnewayEffectSize(observed, data.sums))};
}

ExactFigures ExactOnewayRandom(const OnewayData& data, const RunSettings& settings, RunControl& control) {
    const double total = DivisionCount(data.sizes);
    const auto width = static_cast<std::int64_t>(data.values.size());
    if (!WithinExactLimit(total, width, settings.exactLimit)) {
        return TooManyArrangements(total, settings.exactLimit, "divisions into groups", width);
    }
    double sum = 0.0;
    const std::vector<double> values = LessTheFirst(data.values, &sum);
    const double mean = sum / static_cast<double>(values.size());
    const std::vector<std::int32_t> sizes = data.sizes;
    // A sum of squares of its own per group: every term at least 0, so ties stay within the rounding of
    // each term.
    const ExactStatistic between = [&values, &sizes, mean](std::span<const std::int32_t> groups) {
        thread_local std::vector<double> totals;
        totals.assign(sizes.size(), 0.0);
        for (std::size_t i = 0; i < groups.size(); ++i) totals[static_cast<std::size_t>(groups[i])] += values[i];
        double ss = 0.0;
        for (std::size_t g = 0; g < sizes.size(); ++g) {
            const double gap = totals[g] / sizes[g] - mean;
            ss += sizes[g] * gap * gap;
        }
        return ss;
    };
    const ExactTail tails[] = {ExactTail::Upper};
    return MakeExactFigures(CountDivisions(data.sizes, between, tails, settings.threads, control), {"txtFPercent"},
                            "divisions into groups");
}

OnewayRandomResult RunOnewayRandom(const OnewayData& data, const RunSettings& settings, Generator& generator,
                                   RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;

    OnewayRandomResult result;
    result.centred = data.centred;
    const OnewayFigures observed = ComputeOnewayF(data.values, data.sizes, data.sums);
    result.obtainedF = observed.f;
    result.effectSize = OnewayEffectSize(observed, data.sums);
    result.comparisonF = ComparisonF(observed.f);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);
    result.exact = ExactOnewayRandom(data, settings, control);

    // Each resample shuffles the data afresh from the file's order (n - 1 draws), so the resamples split
    // across threads; the count is taken from the F values afterwards.
    const std::size_t n = data.values.size();
    float* const out = result.resampled.data();
    ResamplesInParallel(R, n - 1, settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        OnewayF computeF(data.sizes, data.sums);
        std::int32_t r = begin;
        // Eight shuffles at a time, their F side by side; past very large data one at a time, so that a
        // cancel is seen soon.
        if (n <= static_cast<std::size_t>(kBatchedDrawsLimit)) {
            EightShuffles shuffles(data.values);
            for (; r + kOnewayLanes <= end; r += kOnewayLanes) {
                computeF.OfEight(shuffles.Make(g), out + r);
                for (int b = 0; b < kOnewayLanes; ++b) {
                    if (!tick()) return;
                }
            }
        }
        std::vector<float> shuffled(n);
        const std::span<float> y(shuffled);
        for (; r < end; ++r) {
            std::copy(data.values.begin(), data.values.end(), shuffled.begin());
            ShuffleArray(g, y);
            out[r] = computeF.OfValues(shuffled.data());
            if (!tick()) return;
        }
    });
    const float limit = result.comparisonF;
    std::int64_t count = 0;
    for (const float f : result.resampled) count += f >= limit;

    result.count = count;
    result.proportion = static_cast<double>(count) / R;
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentOnewayRandom(OnewayRandomResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        OnewayObtainedFBox(r.obtainedF),
        OnewayEffectSizeBox(r.effectSize),
        MakeBox(kOnewayRandomBoxes[2], r.proportion),
    };
    run.histogram = {.caption = "Randomization F",
                     .observed = r.comparisonF,
                     .bounds = std::pair{0.0f, 10.0f},
                     .observedLabel = "Obtained F",
                     .obtained = r.obtainedF,
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Upper, r.comparisonF}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(OnewayNoSpreadNote(nf, settings.resamples, "left no spread within any group"));
    }
    if (r.centred) run.notes.push_back(kCentredRunNote);
    run.exact = std::move(r.exact);  // its note follows the Monte Carlo notes (AddMonteCarloNotes)
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult OnewayRandomProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentOnewayRandom(RunOnewayRandom(ReadOnewayRandomData(file), settings, generator, control), settings);
}

}  // namespace brevant
