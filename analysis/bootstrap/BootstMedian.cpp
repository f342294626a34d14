#include "analysis/bootstrap/BootstMedian.h"

#include "analysis/Parallel.h"
#include "analysis/TwoMedians.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace brevant {

namespace {

ResultBox ObtainedMedianBox(float median) { return MakeBox(kBootstMedianBoxes[0], median); }

bool HoldsBothZeros(const std::vector<float>& values) {
    bool negative = false, positive = false;
    for (const float v : values) {
        if (v == 0.0f) (std::signbit(v) ? negative : positive) = true;
    }
    return negative && positive;
}

// A resample's median depends only on how many of its draws fall on each position of the sorted source,
// so the loop counts draws per position and walks the counts to the middle instead of sorting the
// resample; equal values are bit-identical, so which of them the walk stops on does not matter. A middle
// position of n >= 3 values is one the median routine passes through RoundTrip7, hence middleValue. Not
// used where the order of -0 and +0 would decide the sign of a middle zero.
class PositionCounter {
public:
    // source in ascending order; rounded: the middle values pass through their seven-digit text (not in a
    // centred run).
    PositionCounter(const std::vector<float>& source, bool rounded)
        : middleValue_(rounded ? RoundedCopy(source) : source), counts_(source.size()) {}

    // One resample of n = source size draws, the generator's stream from seeds on; its median. The draws
    // come a block at a time, whole blocks of kUniformBlock (those past the resample's n unused), with no
    // test for a refill per draw.
    float DrawMedian(Seeds seeds) noexcept {
        const auto n = static_cast<std::int32_t>(counts_.size());
        std::fill(counts_.begin(), counts_.end(), 0);
        std::int32_t* const counts = counts_.data();
        const double scale = static_cast<double>(n) - 0.0001;
        Generator draw{seeds};
        for (std::int32_t done = 0; done < n; done += kDrawChunk) {
            const std::int32_t m = std::min(kDrawChunk, n - done);
            const auto filled = static_cast<std::size_t>((m + kUniformBlock - 1) / kUniformBlock * kUniformBlock);
            FillUniform(draw, std::span<double>(draws_.data(), filled));
            // Index(n) for the whole block first (u >= 0, so truncation is Index's floor), then the counts.
            const auto drawn = static_cast<std::size_t>(m);
            for (std::size_t i = 0; i < drawn; ++i) picks_[i] = static_cast<std::int32_t>(draws_[i] * scale + 1.0);
            for (std::size_t i = 0; i < drawn; ++i) ++counts[picks_[i] - 1];
        }

        // The position at 0-based sorted place (n - 1) / 2, and for an even n the one after it.
        const std::int32_t lowerMiddle = (n - 1) / 2;
        std::int32_t r = 0, before = 0;
        while (before + counts[r] <= lowerMiddle) before += counts[r++];
        const float low = middleValue_[static_cast<std::size_t>(r)];
        if (n % 2 == 1) return low;
        if (before + counts[r] <= lowerMiddle + 1) {
            ++r;
            while (counts[r] == 0) ++r;
        }
        const float high = middleValue_[static_cast<std::size_t>(r)];
        return static_cast<float>((static_cast<double>(low) + static_cast<double>(high)) / 2.0);
    }

private:
    static constexpr std::int32_t kDrawChunk = 2048;  // a multiple of kUniformBlock
    std::vector<float> middleValue_;
    std::vector<std::int32_t> counts_;
    std::vector<double> draws_ = std::vector<double>(kDrawChunk);
    std::vector<std::int32_t> picks_ = std::vector<std::int32_t>(kDrawChunk);
};

// Bootstrap medians 1..R into out, drawn from the rounded sorted data (ascending: rounding keeps the
// order), or in a centred run from the sorted data with no rounding anywhere. Each resample makes n draws
// afresh, so the resamples split across threads; each share counts on its own copy of the counts.
void DrawBootstrapMedians(const std::vector<float>& source, bool centred, std::span<float> out, int threads,
                          Generator& generator, RunControl& control) {
    const auto R = static_cast<std::int32_t>(out.size());
    const auto n = static_cast<std::uint64_t>(source.size());
    const bool counted = source.size() >= 3 && !HoldsBothZeros(source) && std::ranges::is_sorted(source);
    ResamplesInParallel(R, n, threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        if (counted) {
            PositionCounter counter(source, !centred);
            const FixedJump nextResample(n);
            Seeds seeds = g.CurrentSeeds();
            for (std::int32_t k = begin; k < end; ++k) {
                out[static_cast<std::size_t>(k)] = counter.DrawMedian(seeds);
                seeds = nextResample.From(seeds);
                if (!tick()) return;
            }
        } else {
            std::vector<float> work(source.size());
            for (std::int32_t k = begin; k < end; ++k) {
                BootstrapDrawFrom(g, source, work);
                out[static_cast<std::size_t>(k)] = centred ? UnroundedMedian(work) : MedianOf(work);
                if (!tick()) return;
            }
        }
    });
}

}  // namespace

SortedSample SortForMedian(std::vector<float> values, bool centred) {
    SortedSample s;
    s.values = std::move(values);
    if (centred) {
        SortArray(s.values);
        std::vector<float> middle = s.values;
        s.median = UnroundedMedian(middle);
    } else {
        s.median = ArrayMedian(s.values);
    }
    return s;
}

BootstMedianData ReadBootstMedianData(DataFile& file) {
    BootstMedianData data;
    const std::int32_t n = file.ReadCount("the number of values", 0, kMaxDataValues);
    if (n < 1) RefuseData(file, "announces 0 values; a median needs at least 1 value.");
    data.values = file.ReadValues(static_cast<std::size_t>(n), "a value");
    CentreIfNeeded(data);
    return data;
}

void CentreIfNeeded(BootstMedianData& data) {
    // One value, or values all equal, have no spread: any rounding that moves one centres the run.
    const double spread = data.values.size() < 2 ? 0.0 : std::sqrt(ExactVariance(data.values));
    std::vector<float> work = data.values;
    PrecisionCheck check(SumPrecision::Single);  // no sums: only the text rounding matters
    check.TextRounding(data.values, spread);
    check.Location(SortForMedian(data.values).median, UnroundedMedian(work), spread);
    data.centred = check.Centred();
}

std::vector<ResultBox> ObservedBootstMedianBoxes(const BootstMedianData& data) {
    return {ObtainedMedianBox(SortForMedian(data.values, data.centred).median)};
}

BootstMedianResult RunBootstMedian(const BootstMedianData& data, const RunSettings& settings, Generator& generator,
                                   RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;

    BootstMedianResult result;
    result.centred = data.centred;
    const SortedSample sorted = SortForMedian(data.values, data.centred);
    result.median = sorted.median;

    // Every drawn value passes through its 7-significant-digit text (not in a centred run): round the sorted
    // data once.
    const std::vector<float> source = data.centred ? sorted.values : RoundedCopy(sorted.values);
    result.bootstrapMedians.assign(static_cast<std::size_t>(R), 0.0f);
    DrawBootstrapMedians(source, data.centred, result.bootstrapMedians, settings.threads, generator, control);

    result.sortedMedians = result.bootstrapMedians;
    SortResampledValues(result.sortedMedians, control);

    result.positions = NearestPercentilePositions(R, settings.confidence);
    const float M = result.median;
    result.lowerPercentile = result.sortedMedians[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperPercentile = result.sortedMedians[static_cast<std::size_t>(result.positions.upper - 1)];
    // The percentiles reflected around M, each difference and limit rounded to single.
    result.lowerDistance = M - result.lowerPercentile;
    result.upperDistance = result.upperPercentile - M;
    result.lowerLimit = M - result.upperDistance;
    result.upperLimit = M + result.lowerDistance;
    return result;
}

RunResult PresentBootstMedian(BootstMedianResult&& r) {
    RunResult run;
    run.boxes = {
        ObtainedMedianBox(r.median),
        MakeBox(kBootstMedianBoxes[1], r.lowerLimit),
        MakeBox(kBootstMedianBoxes[2], r.upperLimit),
    };
    run.histogram = {.caption = "Bootstrapped Median",
                     .observed = r.median,
                     .observedLabel = "Obtained Median",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower CI", "Upper CI"}};
    if (r.centred) run.notes.push_back(kUnroundedRunNote);
    run.resampled = std::move(r.bootstrapMedians);
    return run;
}

RunResult BootstMedianProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstMedian(RunBootstMedian(ReadBootstMedianData(file), settings, generator, control));
}

}  // namespace brevant
