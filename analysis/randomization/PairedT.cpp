#include "analysis/randomization/PairedT.h"

#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

namespace brevant {

namespace {

// The sum of the squared differences: the same in every resample, since a sign flip leaves each square as
// it was and the squares are added in the same order.
double SumOfSquares(std::span<const float> d, SumPrecision sums) noexcept {
    RunningSums running(sums);
    for (const float v : d) running.Add(v);
    return running.Squares();
}

double SumOf(std::span<const float> d, SumPrecision sums) noexcept {
    RunningSum running(sums);
    for (const float v : d) running.Add(v);
    return running.Value();
}

bool AllSameSize(std::span<const float> d) noexcept {
    return std::all_of(d.begin(), d.end(), [&](float v) { return std::fabs(v) == std::fabs(d.front()); });
}

// The sign flips of one pattern: each difference whose draw u, stored as a float, is at most 0.5 changes
// sign (an exchange of the sign bit, which is exactly the product with -1, 0 becoming -0).
void DrawFlips(BlockGenerator& g, std::span<std::int32_t> flips) noexcept {
    for (std::int32_t& flip : flips) {
        const auto u = static_cast<float>(g.Uniform());
        flip = static_cast<std::int32_t>(static_cast<std::uint32_t>(u <= 0.5f) << 31);
    }
}

void ApplyFlips(std::span<const std::int32_t> flips, std::span<const float> from, std::span<float> to) noexcept {
    for (std::size_t i = 0; i < to.size(); ++i) {
        to[i] = std::bit_cast<float>(std::bit_cast<std::uint32_t>(from[i]) ^ static_cast<std::uint32_t>(flips[i]));
    }
}

// Flipping by earlier and then by later is flipping by both masks at once.
void ComposeFlips(std::span<const std::int32_t> earlier, std::span<const std::int32_t> later,
                  std::span<std::int32_t> to) noexcept {
    for (std::size_t i = 0; i < to.size(); ++i) to[i] = earlier[i] ^ later[i];
}

// The t of each of count sign patterns (one after another, n differences each). Acc is float for
// single-precision sums (a float addition is the double addition rounded to float) and double past the
// designed size. Eight patterns are summed side by side, so their separate dependency chains overlap.
template <typename Acc>
void PatternTs(const float* patterns, std::size_t n, std::int32_t first, std::int32_t count, double squares,
               bool sameSize, float* out) noexcept {
    constexpr std::int32_t kSide = 8;
    const auto t = [&](const float* d, Acc sum) {
        return ComputePairedT(sum, squares, static_cast<std::int64_t>(n),
                              sameSize && AllEqual(std::span<const float>(d, n))).t;
    };
    std::int32_t b = 0;
    for (; b + kSide <= count; b += kSide) {
        const float* const d = patterns + static_cast<std::size_t>(b) * n;
        Acc sums[kSide] = {};
        for (std::size_t i = 0; i < n; ++i) {
            for (std::int32_t j = 0; j < kSide; ++j) sums[j] += static_cast<Acc>(d[static_cast<std::size_t>(j) * n + i]);
        }
        for (std::int32_t j = 0; j < kSide; ++j) out[first + b + j] = t(d + static_cast<std::size_t>(j) * n, sums[j]);
    }
    for (; b < count; ++b) {
        const float* const d = patterns + static_cast<std::size_t>(b) * n;
        Acc sum = 0;
        for (std::size_t i = 0; i < n; ++i) sum += static_cast<Acc>(d[i]);
        out[first + b] = t(d, sum);
    }
}

ResultBox ObtainedTBox(float roundedT) { return MakeBox(kPairedTBoxes[0], roundedT); }

PairedTFigures ObservedFigures(const PairedTData& data) {
    const std::span<const float> d(data.differences);
    return ComputePairedT(SumOf(d, data.sums), SumOfSquares(d, data.sums), static_cast<std::int64_t>(d.size()),
                          AllEqual(d));
}

}  // namespace

PairedTFigures ComputePairedT(double sum, double squares, std::int64_t n, bool allEqual) noexcept {
    const auto size = static_cast<double>(n);
    PairedTFigures f;
    f.mean = static_cast<float>(sum / size);
    const double variance = (squares - sum * sum / size) / (size - 1.0);
    if (!allEqual && variance > 0.0) f.sd = static_cast<float>(std::sqrt(variance));
    f.zeroSpread = !(f.sd > 0.0f);
    f.t = f.zeroSpread ? ZeroSpreadQuotient(f.mean)
                       : static_cast<float>(static_cast<double>(f.mean) / (static_cast<double>(f.sd) / std::sqrt(size)));
    return f;
}

float RoundedPairedT(float t) noexcept {
    const float scaled = t * 1000.0f;
    return static_cast<float>(static_cast<double>(std::nearbyint(scaled)) / 1000.0);
}

float PairedComparisonT(float roundedT) noexcept {
    const double wide = roundedT;
    return static_cast<float>(roundedT > 0.0f ? wide - 0.0001 : wide + 0.0001);
}

PairedTData ReadPairedTData(DataFile& file) {
    // Read as any count, so that too few pairs are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of pairs", 0, kMaxDataValues);
    if (n < 2) {
        RefuseData(file, "announces " + std::to_string(n) + (n == 1 ? " pair" : " pairs") +
                             "; the paired t needs at least 2 pairs.");
    }
    if (n > kMaxDataValues / 2) {
        RefuseData(file, "announces " + std::to_string(n) + " pairs; at most " + std::to_string(kMaxDataValues / 2) +
                             " can be analysed.");
    }
    const std::vector<float> values = file.ReadValues(2 * static_cast<std::size_t>(n), "a measurement of a pair");
    PairedTData data;
    data.differences.resize(static_cast<std::size_t>(n));
    double squares = 0.0;
    for (std::size_t i = 0; i < data.differences.size(); ++i) {
        data.differences[i] = values[2 * i + 1] - values[2 * i];  // second minus first, a float difference
        squares += static_cast<double>(data.differences[i]) * data.differences[i];
    }
    data.sums = SumsFor(n, kPairedTDesignedPairs);
    CheckSumsOfSquaresFit(file, squares);
    if (AllEqual(data.differences)) {
        RefuseData(file, "has differences (second minus first) with no spread: they are all equal, so their "
                         "standard deviation is 0 and t is undefined.");
    }
    CentreIfNeeded(data);
    const PairedTFigures observed = ObservedFigures(data);
    if (observed.zeroSpread || !std::isfinite(observed.t)) {
        RefuseData(file, "has differences (second minus first) that vary only in their last binary digits "
                         "relative to their size, too little for even double-precision sums, so t cannot be "
                         "computed.");
    }
    return data;
}

void CentreIfNeeded(PairedTData& data) {
    const std::span<const float> d(data.differences);
    const double mean = ExactMean(d);
    const double sd = std::sqrt(ExactVariance(d));
    const PairedTFigures defined = ObservedFigures(data);
    PrecisionCheck check(data.sums);
    check.Statistic(defined.t, mean / (sd / std::sqrt(static_cast<double>(d.size()))));
    check.Spread(defined.sd, sd);
    check.Conditioning(d);
    if (!check.Centred()) return;
    data.centred = true;
    data.sums = check.Sums();
}

std::vector<ResultBox> ObservedPairedTBoxes(const PairedTData& data) {
    return {ObtainedTBox(RoundedPairedT(ObservedFigures(data).t))};
}

ExactFigures ExactPairedT(const PairedTData& data, const RunSettings& settings, RunControl& control) {
    const auto n = static_cast<std::int32_t>(data.differences.size());
    const double total = SignPatternCount(n);
    if (!WithinExactLimit(total, n, settings.exactLimit)) {
        return TooManyArrangements(total, settings.exactLimit, "sign patterns", n);
    }
    const std::vector<double> d(data.differences.begin(), data.differences.end());
    const ExactStatistic signedSum = [&d](std::span<const std::int32_t> flips) {
        double sum = 0.0;
        for (std::size_t i = 0; i < flips.size(); ++i) sum += flips[i] != 0 ? -d[i] : d[i];
        return sum;
    };
    const ExactTail tails[] = {ExactTail::Lower, ExactTail::Upper, ExactTail::Both};
    return MakeExactFigures(CountSignPatterns(n, signedSum, tails, settings.threads, control),
                            {"txtPctLess", "txtPctGreater", "txtProbMore"}, "sign patterns");
}

PairedTResult RunPairedT(PairedTData data, const RunSettings& settings, Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    const std::span<float> d(data.differences);

    PairedTResult result;
    result.centred = data.centred;
    result.observed = ObservedFigures(data);
    result.obtainedT = RoundedPairedT(result.observed.t);
    result.comparisonT = PairedComparisonT(result.obtainedT);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);
    result.exact = ExactPairedT(data, settings, control);

    // The signs carry over from one pattern to the next, but each pattern's flips depend only on its own n
    // draws: the flips are drawn and combined on every thread, and the t of each pattern computed there;
    // the counts are taken from the t values afterwards.
    const double squares = SumOfSquares(d, data.sums);
    const bool sameSize = AllSameSize(d);
    const std::size_t n = d.size();
    float* const out = result.resampled.data();
    CarriedStep flips;
    flips.drawsPerResample = n;
    flips.stepSize = n;
    flips.draw = DrawFlips;
    flips.apply = ApplyFlips;
    flips.compose = ComposeFlips;
    const bool single = data.sums == SumPrecision::Single;
    StepsAlongside(d, R, settings.threads, generator, control, flips,
                   [&](std::int32_t first, std::int32_t count, const float* patterns) {
                       if (single) {
                           PatternTs<float>(patterns, n, first, count, squares, sameSize, out);
                       } else {
                           PatternTs<double>(patterns, n, first, count, squares, sameSize, out);
                       }
                   });
    const float limit = std::fabs(result.comparisonT);
    for (const float t : result.resampled) {
        result.countGreater += t > 0.0f && std::fabs(t) >= limit;
        result.countLess += t < 0.0f && std::fabs(t) >= limit;
    }

    result.proportionGreater = static_cast<double>(result.countGreater) / R;
    result.proportionLess = static_cast<double>(result.countLess) / R;
    const float either = static_cast<float>(result.countGreater) + static_cast<float>(result.countLess);
    result.probMore = static_cast<float>(static_cast<double>(either) / R);
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

// The tail boxes stand under the label's two halves: the share at or below -|t| on the left, the share at or
// above +|t| on the right.
RunResult PresentPairedT(PairedTResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedTBox(r.obtainedT),
        MakeBox(kPairedTBoxes[1], r.proportionLess),
        MakeBox(kPairedTBoxes[2], r.proportionGreater),
        MakeBox(kPairedTBoxes[3], r.probMore),
    };
    run.histogram = {.caption = "t Values",
                     .observed = r.comparisonT,
                     .bounds = std::pair{-5.0f, 5.0f},
                     .observedLabel = "Obtained t",
                     .obtained = r.obtainedT,
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Both, std::fabs(r.comparisonT)}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + std::to_string(settings.resamples) +
            " sign patterns left the differences with no spread (all equal, or too close for single precision): "
            "their t is infinite (" +
            std::to_string(nf.positiveInfinite) + " +inf, " + std::to_string(nf.negativeInfinite) +
            " -inf), counted as at least as extreme on its side. The output file shows them as inf; the "
            "histogram leaves them out.");
    }
    if (r.centred) run.notes.push_back(kDoubleSumsNote);
    run.exact = std::move(r.exact);  // its note follows the Monte Carlo notes (AddMonteCarloNotes)
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult PairedTProcedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentPairedT(RunPairedT(ReadPairedTData(file), settings, generator, control), settings);
}

}  // namespace brevant
