#include "analysis/bootstrap/TwoMedianBootTest.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace brevant {

namespace {

// Bootstrap medians by counting. A resample's median needs only its middle order statistics: each draw of
// a source position adds one to the count of that position's rank in the sorted source, and a walk over
// the counts finds the middle ranks. No value is moved or compared in the loop.
//
// Equal values are bit-identical, so which of several equal values a rank names does not matter; the one
// exception, -0 beside 0 (whose order a median can show), and NaN never come from a data file, and such
// data takes the plain route (BootstrapDrawFrom and MedianOf).
class CountedDraws {
public:
    // rounded: the values the median exchanges pass through their seven-digit text (not in a centred run).
    CountedDraws(const std::vector<float>& source, bool rounded) : n_(static_cast<std::int32_t>(source.size())) {
        std::vector<std::int32_t> order(source.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&source](std::int32_t a, std::int32_t b) {
            return source[static_cast<std::size_t>(a)] < source[static_cast<std::size_t>(b)];
        });
        rankOf_.resize(source.size());
        sorted_.resize(source.size());
        rounded_.resize(source.size());
        for (std::size_t r = 0; r < source.size(); ++r) {
            const auto at = static_cast<std::size_t>(order[r]);
            rankOf_[at] = static_cast<std::int32_t>(r);
            sorted_[r] = source[at];
            rounded_[r] = rounded ? RoundTrip7(source[at]) : source[at];
        }
        counts_.assign(source.size(), 0);
    }

    static bool Applicable(const std::vector<float>& source) noexcept {
        bool negativeZero = false, positiveZero = false;
        for (const float v : source) {
            if (std::isnan(v)) return false;
            if (v == 0.0f) (std::signbit(v) ? negativeZero : positiveZero) = true;
        }
        return !(negativeZero && positiveZero);
    }

    // n draws of source positions from g, in order, and ArrayMedian of the values drawn.
    template <typename G>
    float DrawMedian(G& g) noexcept {
        std::int32_t* const counts = counts_.data();
        const std::int32_t* const rankOf = rankOf_.data();
        for (std::int32_t i = 0; i < n_; ++i) ++counts[rankOf[g.Index(n_) - 1]];

        float median;
        std::int32_t below = 0;
        if (n_ % 2 == 1) {
            median = At((n_ + 1) / 2, Rank((n_ + 1) / 2, 0, below));
        } else {
            const std::int32_t low = Rank(n_ / 2, 0, below);
            const std::int32_t high = Rank(n_ / 2 + 1, low, below);
            median = static_cast<float>((static_cast<double>(At(n_ / 2, low)) +
                                         static_cast<double>(At(n_ / 2 + 1, high))) / 2.0);
        }
        std::fill(counts_.begin(), counts_.end(), 0);
        return median;
    }

private:
    // The rank holding the p-th smallest value drawn, walking up from rank `from`; below counts the values
    // drawn below `from` on entry and below the rank found on return.
    std::int32_t Rank(std::int32_t p, std::int32_t from, std::int32_t& below) const noexcept {
        std::int32_t r = from;
        while (below + counts_[static_cast<std::size_t>(r)] < p) below += counts_[static_cast<std::size_t>(r++)];
        return r;
    }
    // ArrayMedian's value at sorted position p: passed through the 7-digit text unless it is the last.
    float At(std::int32_t p, std::int32_t rank) const noexcept {
        const auto r = static_cast<std::size_t>(rank);
        return p < n_ ? rounded_[r] : sorted_[r];
    }

    std::int32_t n_;
    std::vector<std::int32_t> rankOf_;  // rank of each source position
    std::vector<float> sorted_;         // the source values by rank
    std::vector<float> rounded_;        // the same through RoundTrip7: the median's exchange (none if centred)
    std::vector<std::int32_t> counts_;  // draws per rank in the current resample
};

}  // namespace

TwoMedianBootTestData ReadTwoMedianBootTestData(DataFile& file) {
    TwoMedianBootTestData data = ReadTwoMedianData(file);
    // The resamples draw within each group, so their differences vary with the spread within both groups
    // (a group of one value adds none).
    const std::span<const float> all(data.combined);
    const auto within = [](std::span<const float> group) {
        return group.size() < 2 ? 0.0 : ExactVariance(group);
    };
    const double spread = std::sqrt(within(all.first(static_cast<std::size_t>(data.size1))) +
                                    within(all.subspan(static_cast<std::size_t>(data.size1))));
    CentreIfNeeded(data, spread, spread);
    return data;
}

std::vector<ResultBox> ObservedTwoMedianBootTestBoxes(const TwoMedianBootTestData& data) {
    return ObservedMedianBoxes(ComputeObservedMedians(data));
}

TwoMedianBootTestResult RunTwoMedianBootTest(const TwoMedianBootTestData& data, const RunSettings& settings,
                                             Generator& generator, RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;

    TwoMedianBootTestResult result;
    result.centred = data.centred;
    result.observed = ComputeObservedMedians(data);
    result.differences.assign(static_cast<std::size_t>(R), 0.0f);

    // Every drawn value passes through its 7-digit text (not in a centred run): round each sorted group once.
    const bool centred = data.centred;
    const std::vector<float> source1 = centred ? result.observed.group1 : RoundedCopy(result.observed.group1);
    const std::vector<float> source2 = centred ? result.observed.group2 : RoundedCopy(result.observed.group2);
    // Each resample draws S1 + S2 values afresh, so the resamples split across threads; each share counts
    // on its own copies.
    float* const out = result.differences.data();
    const bool counted = CountedDraws::Applicable(source1) && CountedDraws::Applicable(source2);
    const auto drawsPerResample = static_cast<std::uint64_t>(source1.size() + source2.size());
    ResamplesInParallel(R, drawsPerResample, settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        if (counted) {
            CountedDraws draws1(source1, !centred), draws2(source2, !centred);
            for (std::int32_t k = begin; k < end; ++k) {
                const float b1 = draws1.DrawMedian(g);  // group 1's draws come first
                const float b2 = draws2.DrawMedian(g);
                out[k] = b1 - b2;
                if (!tick()) return;
            }
        } else {
            std::vector<float> work1(source1.size()), work2(source2.size());
            for (std::int32_t k = begin; k < end; ++k) {
                BootstrapDrawFrom(g, source1, work1);
                BootstrapDrawFrom(g, source2, work2);
                // MedianOf gives ArrayMedian's median without sorting; the draws are not needed afterwards.
                const float b1 = centred ? UnroundedMedian(work1) : MedianOf(work1);
                const float b2 = centred ? UnroundedMedian(work2) : MedianOf(work2);
                out[k] = b1 - b2;
                if (!tick()) return;
            }
        }
    });

    SortAndReadLimits(result, settings.confidence, control);
    return result;
}

RunResult PresentTwoMedianBootTest(TwoMedianBootTestResult&& r, const RunSettings&) {
    return PresentMedianDifferences(std::move(r));
}

RunResult TwoMedianBootTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                     RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentTwoMedianBootTest(
        RunTwoMedianBootTest(ReadTwoMedianBootTestData(file), settings, generator, control), settings);
}

}  // namespace brevant
