// Two paired samples by randomization: the paired t of the differences (second minus first), against the
// t of many sign patterns, each difference given a random sign. Qt-free; see analysis/Procedure.h for the
// shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralPairedT.h.
//
// Data file: n (the number of pairs, at least 2, at most kMaxDataValues / 2), then n pairs, each the first
// measurement and then the second. Refused with a DataFileError: fewer than 2 pairs, too many, fewer values
// than announced, a non-number, differences so large that the sum of their squares could overflow, and
// differences that are all equal, for which t is undefined. Differences that vary little relative to their
// size (a constant offset between the measurements) centre the run (PrecisionCheck, engine/Module1.h): its
// sums are kept in double. The differences are not shifted, since their mean is what t tests; differences
// that vary only in their last binary digits, so little that even double sums leave them no variance, are
// refused.
//
// Signs: a draw u (stored as a float) of at most 0.5 flips a difference, and the flipped signs stay for the
// next resample. A difference of 0 becomes -0, which changes no sum: t is never -0, and the output file
// writes every zero as " 0 ".
//
// Degenerate sign patterns: when the differences are all of one size, a pattern can give them all the same
// sign, leaving no spread. The spread is then taken as exactly 0 (also when the single-precision sums leave
// a tiny variance) and t is the IEEE quotient mean / 0: +inf or -inf, counted as at least as extreme on its
// side. Such values stay in generation order, are written as " inf " and "-inf ", are not counted by the
// histogram, and a note says how many there were.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kPairedTBoxes[] = {
    {"txtObtT", "label1", "Obtained t", BoxFormat::General},
    {"txtPctLess", "lblTail", "% < -t | % > +t", BoxFormat::General, BoxMeaning::Proportion},
    {"txtPctGreater", "lblTail", "% < -t | % > +t", BoxFormat::General, BoxMeaning::Proportion},
    {"txtProbMore", "Label3", "p as extreme", BoxFormat::General, BoxMeaning::Proportion},
};

// The window was designed for at most 1,000 pairs; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kPairedTDesignedPairs = 1000;

struct PairedTData {
    std::vector<float> differences;  // second minus first, in the file's order
    SumPrecision sums = SumPrecision::Single;  // single within kPairedTDesignedPairs pairs
    bool centred = false;  // sums kept in double by PrecisionCheck (the differences as they are)
};

PairedTData ReadPairedTData(DataFile& file);
// Keeps the sums in double when PrecisionCheck asks for it (ReadPairedTData calls it).
void CentreIfNeeded(PairedTData& data);
// txtObtT, as the final result shows it.
std::vector<ResultBox> ObservedPairedTBoxes(const PairedTData& data);

// The paired t from the sums of the differences and of their squares: mean = sum / n and
// sd = sqrt((squares - sum^2 / n) / (n - 1)), each stored as a float, t = mean / (sd / sqrt(n)).
struct PairedTFigures {
    float mean = 0;
    float sd = 0;  // 0 when zeroSpread
    float t = 0;
    bool zeroSpread = false;  // the differences all equal, or a variance of 0 or less: spread taken as 0
};
PairedTFigures ComputePairedT(double sum, double squares, std::int64_t n, bool allEqual) noexcept;

// The obtained t as shown: t x 1000 (a float product) to the nearest integer, ties to even, over 1000.
float RoundedPairedT(float t) noexcept;
// The comparison value: tObt - 0.0001 for tObt > 0, else tObt + 0.0001, each stored as a float.
float PairedComparisonT(float roundedT) noexcept;

struct PairedTResult {
    PairedTFigures observed;
    float obtainedT = 0;     // tObt: observed.t rounded to three decimals
    float comparisonT = 0;   // tCmp
    std::int64_t countLess = 0, countGreater = 0;
    double proportionLess = 0, proportionGreater = 0;  // count / R in double
    float probMore = 0;                                // (greater + less) / R, sum and quotient single
    std::vector<float> resampled;                      // t of sign patterns 1..R, generation order
    NonFiniteCount nonFinite;                          // among resampled
    bool centred = false;                              // the data's
    ExactFigures exact;  // over all 2^n sign patterns: txtPctLess, txtPctGreater, txtProbMore
};

// The exact shares of the three proportion boxes over every sign pattern of the differences, when there are
// at most settings.exactLimit patterns (analysis/ExactShares.h); t rises with the sum of the signed
// differences (their sum of squares does not change), taken in double.
ExactFigures ExactPairedT(const PairedTData& data, const RunSettings& settings, RunControl& control);

// Flips data.differences in place from the file's signs at each of the R resamples, as the window does;
// draws n numbers per resample from generator: the flips drawn on settings.threads threads, applied in order
// (the same bits whatever the count); generator ends after all the draws, or on cancellation after the
// chunks of patterns completed. Throws SettingsError for a bad R and RunCancelled when control asks.
PairedTResult RunPairedT(PairedTData data, const RunSettings& settings, Generator& generator, RunControl& control);

// Reads, runs and presents: boxes txtObtT, txtPctLess, txtPctGreater, txtProbMore; the histogram of the
// resampled t between -5 and 5 with tCmp marked.
RunResult PairedTProcedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control);
RunResult PresentPairedT(PairedTResult&& result, const RunSettings& settings);

}  // namespace brevant
