// Two independent samples by randomization: the pooled-variance t of two groups, against the t of many
// shuffles of the pooled values split into groups of the observed sizes. Qt-free; see analysis/Procedure.h
// for the shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralIndepT.h.
//
// Data file: nA, nB (each at least 2, at most kMaxDataValues values in all), then group A's values, then
// group B's. Refused with a DataFileError: a group of fewer than 2, too many values, fewer values than
// announced, a non-number, values so large that sums of their squares could overflow, and data with no
// spread within the groups (each group's values all equal), for which t is undefined. Values that differ
// little relative to their size centre the run (PrecisionCheck, engine/Module1.h): t and the effect size do
// not change when both groups move together, so every shuffle works on the pooled values less their common
// mean, with double sums and no refusal of spread that single sums would lose. Only groups so far apart
// for the spread within them that, taken around that mean, each group's values come out equal as floats
// are refused.
//
// Degenerate shuffles: a shuffle can leave no spread within either group (for example A = 1 1, B = 2 2
// from the data 1 2 / 1 2). Its spread is then taken as exactly 0, also when the single-precision sums
// leave a tiny positive or negative pooled variance, and its t is the IEEE quotient d / 0: +inf or -inf,
// counted as at least as extreme on its side, or NaN when the means are equal as well, counted on neither
// side, like a t of exactly 0. Such values stay in generation order, are written as " inf ", "-inf " and
// " nan ", are not counted by the histogram, and a note says how many there were.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kIndepTBoxes[] = {
    {"txtObtT", "label1", "Obtained t", BoxFormat::ThreeDecimals},
    {"txtNumLess", "Label2(0)", "% < - t   | % >  +t", BoxFormat::General, BoxMeaning::Proportion},
    {"txtNumGreater", "Label2(0)", "% < - t   | % >  +t", BoxFormat::General, BoxMeaning::Proportion},
    {"txtProbMore", "Label3(0)", "p more extreme", BoxFormat::General, BoxMeaning::Proportion},
    {"txtEffectSize", "Label3(1)", "Effect size", BoxFormat::ThreeDecimals},
};

// The window was designed for at most 1,000 values in all; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kIndepTDesignedValues = 1000;

struct IndepTData {
    std::vector<float> pooled;  // group A's values, then group B's, in the file's order
    std::int32_t sizeA = 0;
    SumPrecision sums = SumPrecision::Single;  // single within kIndepTDesignedValues values in all
    bool centred = false;  // pooled holds the values less their common mean (PrecisionCheck)
    std::int32_t SizeB() const noexcept { return static_cast<std::int32_t>(pooled.size()) - sizeA; }
};

IndepTData ReadIndepTData(DataFile& file);
// Centres data read as defined when PrecisionCheck asks for it (ReadIndepTData calls it).
void CentreIfNeeded(IndepTData& data);
// txtObtT and txtEffectSize, as the final result shows them.
std::vector<ResultBox> ObservedIndepTBoxes(const IndepTData& data);

// The t computation, every named quantity rounded to single precision when stored. In a centred run the
// means are those of the centred values.
struct TFigures {
    float meanA = 0, meanB = 0, varianceA = 0, varianceB = 0;
    float pooledVariance = 0;  // in double from the single values, then rounded
    float difference = 0;      // meanA - meanB
    float standardError = 0;   // sqrt((1/nA + 1/nB) * s2), the sum in double; 0 when zeroSpread
    float t = 0;
    bool zeroSpread = false;   // each group's values all equal, or s2 <= 0: spread taken as 0
};
TFigures ComputeT(std::span<const float> groupA, std::span<const float> groupB, SumPrecision sums) noexcept;

// The t of kIndepTLanes arrangements at once: arrangement j (nA values of group A, then nB of group B)
// starts at arrangements + j * (nA + nB); t[j] is ComputeT(A, B, sums).t of arrangement j. The AVX2 path
// (where available) and the baseline give the same bits.
inline constexpr std::int32_t kIndepTLanes = 8;
void ArrangementLaneTs(DrawPath path, const float* arrangements, std::int32_t nA, std::int32_t nB, SumPrecision sums,
                       float* t) noexcept;

// ShuffleArray(g, values) in two halves: the picks of its swaps from the draws (in AVX2 lanes where path
// is Avx2), then the swaps. DrawShufflePicks takes the n - 1 draws of a shuffle of n = picks.size() + 1
// values from g's blocks, a run at a time; ApplyShufflePicks makes the swaps on values (n of them). The
// same draws and the same swaps as ShuffleArray, on either path.
void DrawShufflePicks(DrawPath path, BlockGenerator& g, std::span<std::int32_t> picks) noexcept;
void ApplyShufflePicks(std::span<const std::int32_t> picks, std::span<float> values) noexcept;
void ApplyShufflePicks(std::span<const std::int32_t> picks, std::span<std::int32_t> positions) noexcept;

// t' of the comparisons: t - 0.0001 for t >= 0, else t + 0.0001, the difference in double, stored single.
float ComparisonT(float t) noexcept;

struct IndepTResult {
    TFigures observed;
    float comparisonT = 0;  // t'
    float effectSize = 0;   // sqrt((h / 2) / s2), h = d^2 / 2 as a float: |mA - mB| / (2 s)
    std::int64_t countLess = 0, countGreater = 0;
    double proportionLess = 0, proportionGreater = 0;  // count / R in double
    float probMore = 0;                                // (greater + less) / R, sum and quotient single
    std::vector<float> resampled;                      // t of shuffles 1..R, generation order
    NonFiniteCount nonFinite;                          // among resampled
    bool centred = false;                              // the data's
    ExactFigures exact;  // over all C(nA + nB, nA) splits: txtNumLess, txtNumGreater, txtProbMore
};

// The exact shares of the three proportion boxes over every split of the pool into groups of nA and nB, when
// there are at most settings.exactLimit splits (analysis/ExactShares.h); the t is ordered by the difference
// of the group means, taken in double from the values as data holds them.
ExactFigures ExactIndepT(const IndepTData& data, const RunSettings& settings, RunControl& control);

// Shuffles data.pooled in place from the file's order for each of the R resamples, as the window does;
// draws N - 1 numbers per resample from generator (drawn in blocks in the loop, its seeds stored back at the end or on
// cancellation). Throws SettingsError for a bad R and RunCancelled when control asks. The lanes run on path
// (which must be available); the results do not depend on it.
IndepTResult RunIndepT(IndepTData data, const RunSettings& settings, Generator& generator, RunControl& control,
                       DrawPath path = ActiveDrawPath());

// Reads, runs and presents: boxes txtObtT, txtNumLess, txtNumGreater, txtProbMore, txtEffectSize; the
// histogram of the resampled t between -5 and 5 with t' marked.
RunResult IndepTProcedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control);
RunResult PresentIndepT(IndepTResult&& result, const RunSettings& settings);

}  // namespace brevant
