#include "analysis/randomization/TwoMedianRandomTest.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace brevant {

namespace {

// The place of the p-th set bit (p from 1) of the words, each word inverted when clear is set; it lies
// within the words. Made twice, for processors with a population-count instruction and for any other.
__attribute__((target_clones("popcnt", "default"))) std::int32_t NthBit(const std::uint64_t* words, std::int32_t p,
                                                                         bool clear) noexcept {
    for (std::size_t w = 0;; ++w) {
        std::uint64_t x = clear ? ~words[w] : words[w];
        const int c = std::popcount(x);
        if (p <= c) {
            for (std::int32_t i = 1; i < p; ++i) x &= x - 1;
            return static_cast<std::int32_t>(w * 64) + std::countr_zero(x);
        }
        p -= c;
    }
}

// The shuffles by rank. A group's median needs only its middle order statistics, and shuffling the values
// moves them exactly as shuffling their ranks in the pooled order would. So each shuffle permutes the
// ranks of the values in the file's order, marks one group's ranks in a bit set (the other holds the rest)
// and reads each middle rank by counting bits: no value is compared in the loop.
//
// Equal values are bit-identical, so which of several equal values a rank names does not matter; the one
// exception, -0 beside 0 (whose order a median can show), and NaN never come from a data file, and such
// data takes the plain route (ShuffledMedians).
class RankedShuffles {
public:
    // rounded: the values the median exchanges pass through their seven-digit text (not in a centred run).
    RankedShuffles(const std::vector<float>& combined, bool rounded) {
        const std::size_t n = combined.size();
        std::vector<std::int32_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&combined](std::int32_t a, std::int32_t b) {
            return combined[static_cast<std::size_t>(a)] < combined[static_cast<std::size_t>(b)];
        });
        fileRanks_.resize(n);
        ranks_.resize(n);
        sorted_.resize(n);
        rounded_.resize(n);
        for (std::size_t r = 0; r < n; ++r) {
            const auto at = static_cast<std::size_t>(order[r]);
            fileRanks_[at] = static_cast<std::int32_t>(r);
            sorted_[r] = combined[at];
            rounded_[r] = rounded ? RoundTrip7(combined[at]) : combined[at];
        }
        bits_.assign((n + 63) / 64, 0);
    }

    static bool Applicable(const std::vector<float>& combined) noexcept {
        bool negativeZero = false, positiveZero = false;
        for (const float v : combined) {
            if (std::isnan(v)) return false;
            if (v == 0.0f) (std::signbit(v) ? negativeZero : positiveZero) = true;
        }
        return !(negativeZero && positiveZero);
    }

    // The difference of the two medians after a shuffle's settling swaps from the file's order: swap d
    // exchanges places picks[d] (0-based) and N - 1 - d; group 1 is then the first size1 ranks. The smaller
    // group's ranks are marked, the other's are the clear bits; group 2, when it is the one marked, as each
    // of its places settles (a settled place is never read again, so its rank need not be stored).
    float SettledDifference(std::span<const std::uint32_t> picks, std::size_t size1) noexcept {
        const std::size_t n = fileRanks_.size();
        const bool markSecond = n - size1 <= size1;
        std::copy(fileRanks_.begin(), fileRanks_.end(), ranks_.begin());
        std::fill(bits_.begin(), bits_.end(), 0);
        std::int32_t* const ranks = ranks_.data();
        std::size_t place = n - 1;
        if (markSecond) {
            for (const std::uint32_t pick : picks) {
                const auto r = static_cast<std::uint32_t>(ranks[pick]);
                ranks[pick] = ranks[place--];
                Mark(r);
            }
        } else {
            for (const std::uint32_t pick : picks) std::swap(ranks[pick], ranks[place--]);
            for (std::size_t i = 0; i < size1; ++i) Mark(static_cast<std::uint32_t>(ranks[i]));
        }
        const float m1 = Median(static_cast<std::int32_t>(size1), !markSecond);
        const float m2 = Median(static_cast<std::int32_t>(n - size1), markSecond);
        return m1 - m2;
    }

private:
    // The rank of a group's p-th smallest member (p from 1): its p-th set bit, or p-th clear bit for the
    // group not marked. A group of n members has its p <= n members among the first N bits, so the bits
    // past N never count.
    std::int32_t Select(std::int32_t p, bool member) const noexcept { return NthBit(bits_.data(), p, !member); }
    // ArrayMedian's value at sorted position p of n: passed through the 7-digit text unless it is the last.
    float At(std::int32_t p, std::int32_t n, bool member) const noexcept {
        const auto r = static_cast<std::size_t>(Select(p, member));
        return p < n ? rounded_[r] : sorted_[r];
    }
    float Median(std::int32_t n, bool member) const noexcept {
        if (n % 2 == 1) return At((n + 1) / 2, n, member);
        return static_cast<float>((static_cast<double>(At(n / 2, n, member)) +
                                   static_cast<double>(At(n / 2 + 1, n, member))) / 2.0);
    }

    void Mark(std::uint32_t r) noexcept { bits_[r >> 6] |= std::uint64_t{1} << (r & 63); }

    std::vector<std::int32_t> fileRanks_;  // rank of each value in the file's order
    std::vector<std::int32_t> ranks_;      // the same, shuffled
    std::vector<float> sorted_;            // the values by rank
    std::vector<float> rounded_;           // the same through RoundTrip7 (as they are in a centred run)
    std::vector<std::uint64_t> bits_;      // the marked group's ranks
};

}  // namespace

TwoMedianRandomTestData ReadTwoMedianRandomTestData(DataFile& file) {
    TwoMedianRandomTestData data = ReadTwoMedianData(file);
    // The shuffles mix both groups, so their medians vary with the spread of all values together.
    const double spread = std::sqrt(ExactVariance(data.combined));
    CentreIfNeeded(data, spread, spread);
    return data;
}

std::vector<ResultBox> ObservedTwoMedianRandomTestBoxes(const TwoMedianRandomTestData& data) {
    return ObservedMedianBoxes(ComputeObservedMedians(data));
}

TwoMedianRandomTestResult RunTwoMedianRandomTest(const TwoMedianRandomTestData& data, const RunSettings& settings,
                                                 Generator& generator, RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const std::size_t size1 = static_cast<std::size_t>(data.size1);

    TwoMedianRandomTestResult result;
    result.centred = data.centred;
    result.observed = ComputeObservedMedians(data);
    result.differences.assign(static_cast<std::size_t>(R), 0.0f);

    // Each resample shuffles afresh from the file's order (n - 1 draws), so the resamples split across
    // threads, each with its own work arrays.
    float* const out = result.differences.data();
    const std::size_t n = data.combined.size();
    const std::uint64_t draws = n - 1;
    if (RankedShuffles::Applicable(data.combined)) {
        // ShuffleArray's swaps go from the last place down, and a place is settled once passed: after the
        // first N - S1 swaps group 2's places are settled, and the swaps left only reorder group 1, which
        // leaves both medians as they are. So a shuffle makes those N - S1 swaps alone, its indices worked
        // out together from a block of draws, and the stream moves on by all N - 1 draws.
        const RankedShuffles prepared(data.combined, !data.centred);
        const std::size_t settling = n - size1;
        std::vector<double> scales(settling);  // m - 0.0001 for the draw that picks 1..m, m = N, N - 1, ...
        for (std::size_t d = 0; d < settling; ++d) scales[d] = static_cast<double>(n - d) - 0.0001;
        const FixedJump nextShuffle(draws);
        ResamplesInParallel(R, draws, settings.threads, generator, control,
                            [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
            RankedShuffles shuffles = prepared;
            std::vector<std::uint32_t> picks(settling);
            // Whole blocks of draws, so that every draw comes from the lanes; those past the N - S1 unused.
            std::vector<double> u((settling + kUniformBlock - 1) / kUniformBlock * kUniformBlock);
            Seeds seeds = g.CurrentSeeds();
            for (std::int32_t k = begin; k < end; ++k) {
                Generator shuffle{seeds};
                FillUniform(shuffle, u);
                seeds = nextShuffle.From(seeds);
                for (std::size_t d = 0; d < settling; ++d) {  // Index(m) - 1: u >= 0, so truncation is its floor
                    picks[d] = static_cast<std::uint32_t>(static_cast<std::int32_t>(u[d] * scales[d] + 1.0) - 1);
                }
                out[k] = shuffles.SettledDifference(picks, size1);
                if (!tick()) return;
            }
        });
    } else {
        const bool centred = data.centred;
        ResamplesInParallel(R, draws, settings.threads, generator, control,
                            [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
            std::vector<float> work(n);
            const std::span<float> all(work);
            for (std::int32_t k = begin; k < end; ++k) {
                std::copy(data.combined.begin(), data.combined.end(), work.begin());  // from the file's order
                ShuffleArray(g, all);
                // MedianOf gives ArrayMedian's median without sorting; the groups are not needed afterwards.
                const float m1 = centred ? UnroundedMedian(all.first(size1)) : MedianOf(all.first(size1));
                const float m2 = centred ? UnroundedMedian(all.subspan(size1)) : MedianOf(all.subspan(size1));
                out[k] = m1 - m2;
                if (!tick()) return;
            }
        });
    }

    SortAndReadLimits(result, settings.confidence, control);
    return result;
}

RunResult PresentTwoMedianRandomTest(TwoMedianRandomTestResult&& r, const RunSettings&) {
    return PresentMedianDifferences(std::move(r));
}

RunResult TwoMedianRandomTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                       RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentTwoMedianRandomTest(
        RunTwoMedianRandomTest(ReadTwoMedianRandomTestData(file), settings, generator, control), settings);
}

}  // namespace brevant
