#include "analysis/randomization/IndepT.h"

#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"
#include "analysis/lanes/GroupSumLanes.h"
#include "analysis/lanes/ShufflePickLanes.h"

#include <algorithm>
#include <numeric>
#include <cmath>
#include <string>
#include <vector>

namespace brevant {

namespace {

// A group's sums: the total and the total of squares as RunningSums gives them, and whether every value
// equals the first.
struct GroupSums {
    double sum = 0, squares = 0;
    bool constant = true;
    GroupSums() = default;
    GroupSums(const RunningSums& running, bool constant_) noexcept
        : sum(running.Sum()), squares(running.Squares()), constant(constant_) {}
    GroupSums(const GroupLaneSums& lanes, int j) noexcept
        : sum(lanes.sum[j]), squares(lanes.squares[j]), constant(lanes.constant[j]) {}
    // The mean and the sample variance by the one-pass sums formula, as RunningSums computes them.
    double Mean(std::int32_t n) const noexcept { return sum / static_cast<double>(n); }
    double Variance(std::int32_t n) const noexcept {
        return (squares - sum * sum / static_cast<double>(n)) / static_cast<double>(n - 1);
    }
};

// t from the two groups' sums, every named quantity rounded to single precision when stored.
inline TFigures FiguresFromSums(const GroupSums& sumsA, const GroupSums& sumsB, std::int32_t nA, std::int32_t nB,
                                double sizeFactor) noexcept {
    const bool constantA = sumsA.constant, constantB = sumsB.constant;
    TFigures f;
    f.meanA = static_cast<float>(sumsA.Mean(nA));
    f.varianceA = static_cast<float>(sumsA.Variance(nA));
    f.meanB = static_cast<float>(sumsB.Mean(nB));
    f.varianceB = static_cast<float>(sumsB.Variance(nB));
    f.pooledVariance = static_cast<float>(
        (static_cast<double>(f.varianceA) * (nA - 1) + static_cast<double>(f.varianceB) * (nB - 1)) /
        static_cast<double>(nA + nB - 2));
    f.difference = f.meanA - f.meanB;
    f.zeroSpread = (constantA && constantB) || !(f.pooledVariance > 0.0f);
    if (f.zeroSpread) {
        f.standardError = 0.0f;
        f.t = ZeroSpreadQuotient(f.difference);  // d / 0
    } else {
        f.standardError = static_cast<float>(std::sqrt(sizeFactor * static_cast<double>(f.pooledVariance)));
        f.t = f.difference / f.standardError;
    }
    return f;
}

// The t computation over two groups. The sums of both groups are formed in one interleaved pass so their
// dependency chains overlap; each group's own sums still add its values in order.
inline TFigures TComputation(const float* a, std::int32_t nA, const float* b, std::int32_t nB,
                             double sizeFactor, SumPrecision sums) noexcept {
    RunningSums sumsA(sums), sumsB(sums);
    bool constantA = true, constantB = true;
    const float firstA = a[0], firstB = b[0];
    const std::int32_t common = nA < nB ? nA : nB;
    for (std::int32_t i = 0; i < common; ++i) {
        sumsA.Add(a[i]);
        sumsB.Add(b[i]);
        constantA &= a[i] == firstA;
        constantB &= b[i] == firstB;
    }
    for (std::int32_t i = common; i < nA; ++i) {
        sumsA.Add(a[i]);
        constantA &= a[i] == firstA;
    }
    for (std::int32_t i = common; i < nB; ++i) {
        sumsB.Add(b[i]);
        constantB &= b[i] == firstB;
    }
    return FiguresFromSums({sumsA, constantA}, {sumsB, constantB}, nA, nB, sizeFactor);
}

// The t of four consecutive arrangements (n = nA + nB floats each, one after another) with their sums
// side by side: eight chains overlap, each still adding its own group's values in order.
inline void FourTs(const float* arrangements, std::int32_t nA, std::int32_t nB, double sizeFactor,
                   SumPrecision sums, float* t) noexcept {
    constexpr int kFour = 4;
    const auto n = static_cast<std::size_t>(nA + nB);
    RunningSums sumsA[kFour] = {RunningSums(sums), RunningSums(sums), RunningSums(sums), RunningSums(sums)};
    RunningSums sumsB[kFour] = {RunningSums(sums), RunningSums(sums), RunningSums(sums), RunningSums(sums)};
    bool constantA[kFour] = {true, true, true, true}, constantB[kFour] = {true, true, true, true};
    for (std::int32_t i = 0; i < nA; ++i) {
        for (int j = 0; j < kFour; ++j) {
            const float* const a = arrangements + static_cast<std::size_t>(j) * n;
            sumsA[j].Add(a[i]);
            constantA[j] &= a[i] == a[0];
        }
    }
    for (std::int32_t i = 0; i < nB; ++i) {
        for (int j = 0; j < kFour; ++j) {
            const float* const b = arrangements + static_cast<std::size_t>(j) * n + static_cast<std::size_t>(nA);
            sumsB[j].Add(b[i]);
            constantB[j] &= b[i] == b[0];
        }
    }
    for (int j = 0; j < kFour; ++j) {
        t[j] = FiguresFromSums({sumsA[j], constantA[j]}, {sumsB[j], constantB[j]}, nA, nB, sizeFactor).t;
    }
}

double SizeFactor(std::int32_t nA, std::int32_t nB) noexcept {
    return 1.0 / static_cast<double>(nA) + 1.0 / static_cast<double>(nB);
}

float EffectSize(const TFigures& observed) noexcept {
    const auto h = static_cast<float>(static_cast<double>(observed.difference) *
                                      static_cast<double>(observed.difference) / 2.0);
    return static_cast<float>(std::sqrt(static_cast<double>((h / 2.0f) / observed.pooledVariance)));
}

// A group size, read as any count so that a group too small for a variance is refused in plain words.
std::int32_t ReadGroupSize(DataFile& file, const std::string& group) {
    const std::int32_t n = file.ReadCount("the size of " + group, 0, kMaxDataValues);
    if (n < 2) {
        RefuseData(file, "announces " + ValueCount(n) + " for " + group +
                             "; each group needs at least 2 values.");
    }
    return n;
}

// The observed groups of data.pooled.
TFigures ObservedFigures(const IndepTData& data) noexcept {
    const std::span<const float> all(data.pooled);
    const auto nA = static_cast<std::size_t>(data.sizeA);
    return ComputeT(all.first(nA), all.subspan(nA), data.sums);
}

ResultBox ObtainedTBox(float t) { return MakeBox(kIndepTBoxes[0], t); }

ResultBox EffectSizeBox(float effectSize) { return MakeBox(kIndepTBoxes[4], effectSize); }

}  // namespace

TFigures ComputeT(std::span<const float> groupA, std::span<const float> groupB, SumPrecision sums) noexcept {
    const auto nA = static_cast<std::int32_t>(groupA.size());
    const auto nB = static_cast<std::int32_t>(groupB.size());
    return TComputation(groupA.data(), nA, groupB.data(), nB, SizeFactor(nA, nB), sums);
}

void ArrangementLaneTs(DrawPath path, const float* arrangements, std::int32_t nA, std::int32_t nB, SumPrecision sums,
                       float* t) noexcept {
    static_assert(kIndepTLanes == kGroupLanes);
    const double sizeFactor = SizeFactor(nA, nB);
    const LaneGroup a{arrangements, nA + nB, nA}, b{arrangements + nA, nA + nB, nB};
    GroupLaneSums sumsA, sumsB;
    SumGroupLanes(path, sums, a, b, sumsA, sumsB);
    for (int j = 0; j < kIndepTLanes; ++j) t[j] = FiguresFromSums({sumsA, j}, {sumsB, j}, nA, nB, sizeFactor).t;
}

void DrawShufflePicks(DrawPath path, BlockGenerator& g, std::span<std::int32_t> picks) noexcept {
    std::int32_t* next = picks.data();
    for (auto top = static_cast<std::int32_t>(picks.size()) + 1; top >= 2;) {
        const std::span<const double> draws = g.Take(static_cast<std::size_t>(top - 1));
        ShufflePicks(path, draws, top, next);
        next += draws.size();
        top -= static_cast<std::int32_t>(draws.size());
    }
}

namespace {

template <typename T>
void SwapByPicks(std::span<const std::int32_t> picks, std::span<T> values) noexcept {
    T* const v = values.data();
    auto i = static_cast<std::int32_t>(values.size());
    for (const std::int32_t j : picks) {
        std::swap(v[j - 1], v[i - 1]);
        --i;
    }
}

}  // namespace

void ApplyShufflePicks(std::span<const std::int32_t> picks, std::span<float> values) noexcept {
    SwapByPicks(picks, values);
}

void ApplyShufflePicks(std::span<const std::int32_t> picks, std::span<std::int32_t> positions) noexcept {
    SwapByPicks(picks, positions);
}

float ComparisonT(float t) noexcept {
    const double wide = t;
    return static_cast<float>(t >= 0.0f ? wide - 0.0001 : wide + 0.0001);
}

IndepTData ReadIndepTData(DataFile& file) {
    IndepTData data;
    data.sizeA = ReadGroupSize(file, "group A");
    const std::int32_t sizeB = ReadGroupSize(file, "group B");
    if (static_cast<std::int64_t>(data.sizeA) + sizeB > kMaxDataValues) {
        RefuseData(file, "announces " + ValueCount(static_cast<std::int64_t>(data.sizeA) + sizeB) +
                             " in its two groups; at most " + std::to_string(kMaxDataValues) + " can be analysed.");
    }
    data.pooled = file.ReadValues(static_cast<std::size_t>(data.sizeA), "a value of group A");
    const std::vector<float> groupB = file.ReadValues(static_cast<std::size_t>(sizeB), "a value of group B");
    data.pooled.insert(data.pooled.end(), groupB.begin(), groupB.end());
    data.sums = SumsFor(static_cast<std::int64_t>(data.pooled.size()), kIndepTDesignedValues);

    double sumOfSquares = 0.0;
    for (const float v : data.pooled) sumOfSquares += static_cast<double>(v) * v;
    CheckSumsOfSquaresFit(file, sumOfSquares);
    const std::span<const float> all(data.pooled);
    if (AllEqual(all.first(static_cast<std::size_t>(data.sizeA))) &&
        AllEqual(all.subspan(static_cast<std::size_t>(data.sizeA)))) {
        RefuseData(file, "has no spread within the groups (the values of each group are all equal), so the "
                         "pooled variance is 0 and t is undefined.");
    }
    CentreIfNeeded(data);
    const TFigures observed = ObservedFigures(data);
    if (observed.zeroSpread || !std::isfinite(observed.t)) {
        // The values of a group differ, but by less than single precision keeps of them once taken around
        // the mean of both groups: the groups lie too far apart for their spread.
        RefuseData(file, "has groups whose values differ too little for single precision once taken around "
                         "the mean of both groups (the groups lie very far apart relative to the spread within "
                         "them), so t cannot be computed.");
    }
    return data;
}

void CentreIfNeeded(IndepTData& data) {
    const std::span<const float> all(data.pooled);
    const auto nA = static_cast<std::size_t>(data.sizeA);
    const std::span<const float> a = all.first(nA), b = all.subspan(nA);
    const double sizeA = static_cast<double>(a.size()), sizeB = static_cast<double>(b.size());
    // The figures in double by two passes, a group of equal values having variance 0.
    const double varianceA = ExactVariance(a), varianceB = ExactVariance(b);
    const double pooled = (varianceA * (sizeA - 1.0) + varianceB * (sizeB - 1.0)) / (sizeA + sizeB - 2.0);
    const double difference = ExactMean(a) - ExactMean(b);
    const double t = difference / std::sqrt(SizeFactor(data.sizeA, data.SizeB()) * pooled);
    const double effectSize = std::fabs(difference) / (2.0 * std::sqrt(pooled));

    const TFigures defined = ObservedFigures(data);
    PrecisionCheck check(data.sums);
    check.Statistic(defined.t, t);
    check.Spread(defined.varianceA, varianceA);
    check.Spread(defined.varianceB, varianceB);
    check.Spread(defined.pooledVariance, pooled);
    check.Location(defined.difference, difference, std::sqrt(pooled));
    check.Statistic(EffectSize(defined), effectSize);
    check.Conditioning(a);
    check.Conditioning(b);
    if (!check.Centred()) return;
    // One shift for both groups: t compares them, so they move together.
    const double shift = ExactMean(all);
    data.centred = true;
    data.sums = check.Sums();
    ShiftValues(data.pooled, shift);
}

std::vector<ResultBox> ObservedIndepTBoxes(const IndepTData& data) {
    const TFigures observed = ObservedFigures(data);
    return {ObtainedTBox(observed.t), EffectSizeBox(EffectSize(observed))};
}

ExactFigures ExactIndepT(const IndepTData& data, const RunSettings& settings, RunControl& control) {
    const std::int32_t nA = data.sizeA, nB = data.SizeB();
    const std::int32_t sizes[] = {nA, nB};
    const double total = DivisionCount(sizes);
    const auto width = static_cast<std::int64_t>(data.pooled.size());
    if (!WithinExactLimit(total, width, settings.exactLimit)) {
        return TooManyArrangements(total, settings.exactLimit, "splits", width);
    }
    // t rises with meanA - meanB, and nA nB (meanA - meanB) = nB sumA - nA sumB.
    const std::vector<double> values = LessTheFirst(data.pooled);
    const ExactStatistic difference = [&values, nA, nB](std::span<const std::int32_t> labels) {
        double sumA = 0.0, sumB = 0.0;
        for (std::size_t i = 0; i < labels.size(); ++i) (labels[i] == 0 ? sumA : sumB) += values[i];
        return static_cast<double>(nB) * sumA - static_cast<double>(nA) * sumB;
    };
    const ExactTail tails[] = {ExactTail::Lower, ExactTail::Upper, ExactTail::Both};
    return MakeExactFigures(CountDivisions(sizes, difference, tails, settings.threads, control),
                            {"txtNumLess", "txtNumGreater", "txtProbMore"}, "splits");
}

IndepTResult RunIndepT(IndepTData data, const RunSettings& settings, Generator& generator, RunControl& control,
                       DrawPath path) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    const std::int32_t nA = data.sizeA;
    const std::int32_t nB = data.SizeB();
    const double sizeFactor = SizeFactor(nA, nB);

    IndepTResult result;
    result.centred = data.centred;
    result.observed = TComputation(data.pooled.data(), nA, data.pooled.data() + nA, nB, sizeFactor, data.sums);
    result.comparisonT = ComparisonT(result.observed.t);
    result.effectSize = EffectSize(result.observed);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);
    result.exact = ExactIndepT(data, settings, control);

    // Each shuffle continues from the last arrangement. On one thread the shuffles run in order, the t of
    // eight arrangements at a time computed side by side. On several, since a shuffle's swaps depend on its own
    // draws alone, each shuffle is drawn as a permutation of the positions on every thread and chained
    // there, which spares the one shuffling thread. The counts are taken from the t values afterwards.
    float* const out = result.resampled.data();
    const SumPrecision sums = data.sums;
    const auto n = static_cast<std::size_t>(nA + nB);
    const ArrangementBatch statistics = [&](std::int32_t first, std::int32_t count, const float* arrangements) {
            std::int32_t j = 0;
            for (; count - j >= kIndepTLanes; j += kIndepTLanes) {
                ArrangementLaneTs(path, arrangements + static_cast<std::size_t>(j) * n, nA, nB, sums, out + first + j);
            }
            for (; count - j >= 4; j += 4) {
                FourTs(arrangements + static_cast<std::size_t>(j) * n, nA, nB, sizeFactor, sums, out + first + j);
            }
            for (; j < count; ++j) {
                const float* const a = arrangements + static_cast<std::size_t>(j) * n;
                out[first + j] = TComputation(a, nA, a + nA, nB, sizeFactor, sums).t;
            }
        };
    if (ThreadsFor(settings.threads, R) == 1) {
        std::vector<std::int32_t> picks(n - 1);
        ArrangementsInOrder(
            data.pooled, R, generator, control,
            [&picks, path](BlockGenerator& g, std::span<float> values) {
                DrawShufflePicks(path, g, picks);
                ApplyShufflePicks(picks, values);
            },
            statistics);
    } else {
        const CarriedStep shuffle =
            PositionPermutations(n - 1, n, [path](BlockGenerator& g, std::span<std::int32_t> positions) {
                thread_local std::vector<std::int32_t> picks;
                picks.resize(positions.size() - 1);
                DrawShufflePicks(path, g, picks);
                std::iota(positions.begin(), positions.end(), 0);
                ApplyShufflePicks(picks, positions);
            });
        StepsAlongside(data.pooled, R, settings.threads, generator, control, shuffle, statistics);
    }
    const float limit = std::fabs(result.comparisonT);
    std::int64_t greater = 0, less = 0;
    for (const float t : result.resampled) {
        greater += t > 0.0f && std::fabs(t) >= limit;
        less += t < 0.0f && std::fabs(t) >= limit;
    }

    result.countGreater = greater;
    result.countLess = less;
    result.proportionGreater = static_cast<double>(greater) / R;
    result.proportionLess = static_cast<double>(less) / R;
    const float either = static_cast<float>(greater) + static_cast<float>(less);
    result.probMore = static_cast<float>(static_cast<double>(either) / R);
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentIndepT(IndepTResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedTBox(r.observed.t),
        MakeBox(kIndepTBoxes[1], r.proportionLess),
        MakeBox(kIndepTBoxes[2], r.proportionGreater),
        MakeBox(kIndepTBoxes[3], r.probMore),
        EffectSizeBox(r.effectSize),
    };
    run.histogram = {.caption = "t Value",
                     .observed = r.comparisonT,
                     .bounds = std::pair{-5.0f, 5.0f},
                     .observedLabel = "Obtained t",
                     .obtained = r.observed.t,
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Both, std::fabs(r.comparisonT)}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + std::to_string(settings.resamples) +
            (settings.resamples == 1 ? " shuffle" : " shuffles") + " left no spread within either group: " +
            std::to_string(nf.positiveInfinite + nf.negativeInfinite) +
            " gave an infinite t (counted as at least as extreme on its side) and " + std::to_string(nf.undefined) +
            " an undefined t (equal means as well; counted on neither side). The output file shows them as "
            "inf or nan; the histogram leaves them out.");
    }
    if (r.centred) run.notes.push_back(kCentredRunNote);
    run.exact = std::move(r.exact);  // its note follows the Monte Carlo notes (AddMonteCarloNotes)
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult IndepTProcedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentIndepT(RunIndepT(ReadIndepTData(file), settings, generator, control), settings);
}

}  // namespace brevant
