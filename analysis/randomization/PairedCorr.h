// Paired correlations: cases that each carry two pairs (X1, Y1) and (X2, Y2). The obtained r is that of X1
// with Y1; each resample exchanges, case by case with probability one half, the first pair for the second
// and correlates the X and Y that result. The percentiles of the sorted randomized r give the limits, and
// their standard deviation the standard error. Qt-free; see analysis/Procedure.h for the shape every
// procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralPairedCorr.h.
//
// Data file: N (at least 2 cases, at most kMaxDataValues values in all), then per case X1, Y1, X2, Y2.
// Refused with a DataFileError: fewer than 2 cases, too many, fewer values than announced, a non-number,
// values so large that sums of their squares could overflow, an X1 or Y1 column whose values are all equal (no
// spread), for which r is undefined, and X1 or Y1 variances too small for single precision.
//
// Values that differ little relative to their size (values near 10,000 with a spread of 1, say): where the
// obtained r or a variance as defined strays from its double-precision figure, or a column's conditioning says
// single sums cannot hold its spread, the whole run works on X1 and X2 shifted by their common mean and Y1 and
// Y2 by theirs, with double sums (PrecisionCheck, engine/Module1.h), and a note says so. Where the single
// product of two positive variances overflows or underflows (values of size 1e10), it is taken in double.
//
// Degenerate resamples: the exchanges can gather a column with no spread (for example X2 all equal and
// every case exchanged). Its spread is then taken as exactly 0: r* is NaN when a column's values are all
// equal (the covariance is exactly 0 then), and otherwise, when the variance product computes as 0 or
// less, the IEEE quotient covariance / 0 (+inf, -inf or NaN). The sort puts -inf first, +inf after every
// finite value and NaN last; a limit read from such a position shows as -inf, inf or nan, the standard
// error is nan, and a note says how many there were. A finite r* beyond 1.01 in size is kept as it came,
// and one message after the run says how many there were (IllegalValueMessage).
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
inline constexpr BoxSpec kPairedCorrBoxes[] = {
    {"txtObtR", "label1", "Obtained r", BoxFormat::ThreeDecimals},
    {"txtLowerCI", "Label2", "Lower Conf. Limit", BoxFormat::ThreeDecimals},
    {"txtUpperCI", "Label3", "Upper Conf. Limit", BoxFormat::ThreeDecimals},
    {"StErrBox", "Label6", "St. Error", BoxFormat::ThreeDecimals},
};

// The window was designed for at most 200 cases; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kPairedCorrDesignedCases = 200;

struct PairedCorrData {
    std::vector<float> x1, y1, x2, y2;  // the cases in the file's order
    SumPrecision sums = SumPrecision::Single;
    bool centred = false;  // X1, X2 hold deviations from their common mean, Y1, Y2 from theirs (PrecisionCheck)
    std::int32_t Cases() const noexcept { return static_cast<std::int32_t>(x1.size()); }
};

PairedCorrData ReadPairedCorrData(DataFile& file);
// txtObtR, as the final result shows it.
std::vector<ResultBox> ObservedPairedCorrBoxes(const PairedCorrData& data);

// The correlation of two columns, each named quantity stored as a float: the variances and the covariance
// by the engine's one-pass sums (ArrayVariance, ArrayCovariance), r = cov / sqrt(varX * varY), the product of
// the two singles in single (in double where that product is not a normal number).
struct ColumnCorrelation {
    float varianceX = 0, varianceY = 0, covariance = 0, r = 0;
    bool zeroSpread = false;  // a column's values all equal, or varX * varY <= 0 (a variance not positive)
};
ColumnCorrelation CorrelateColumns(std::span<const float> x, std::span<const float> y, SumPrecision sums) noexcept;

// The pairs of resamples drawn at once: out.size() / n resamples, each n draws in case order; out[j n + i] =
// 2 i + 1 where resample j takes case i's second pair (its draw, as a float, is 0.5 or more), else 2 i: the
// number of that pair's row in rows (below). The AVX2 path (where available) and the baseline give the same
// values.
void DrawPairPicks(DrawPath path, BlockGenerator& g, std::int32_t n, std::span<std::int32_t> out) noexcept;

// The r of count resamples at once: rows holds each case's X1, Y1, X2, Y2 in case order (so pair row r's X
// and Y at rows[2 r], rows[2 r + 1]); picked[j n + i] is the row resample j takes for case i; out[j] is
// resample j's r. The AVX2 path (where available) and the baseline give the same bits.
void CorrelatePickedPairs(DrawPath path, SumPrecision precision, std::span<const float> rows,
                          const std::int32_t* picked, std::int32_t count, float* out);

struct PairedCorrResult {
    ColumnCorrelation observed;
    bool centred = false;     // the run was centred: a note says so
    PercentilePositions positions;
    float lowerLimit = 0, upperLimit = 0;
    ResampledSpread spread;   // of the r* in generation order (ResampledStandardError; all equal: 0)
    float standardError = 0;  // the standard error shown: spread.standardError
    std::int64_t illegalCount = 0;       // finite r* beyond 1.01 in size
    float firstIllegal = 0;
    NonFiniteCount nonFinite;            // degenerate resamples
    std::vector<float> sorted;           // r* ascending, NaN last: the histogram's values
};

// R resamples of N draws each from generator, on settings.threads threads (the same bits whatever the count), each
// share jumping ahead to its place in the stream; generator ends after all the draws, or on cancellation after the
// unbroken run of completed resamples from the first. Then the sort, reported through control.sortDone / sortTotal. The
// limits are read at the integer-part positions of settings.confidence. Throws SettingsError for R or q out of range
// (including R too small for q) and RunCancelled when control asks.
PairedCorrResult RunPairedCorr(const PairedCorrData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control);

// Reads, runs and presents: boxes txtObtR, txtLowerCI, txtUpperCI, StErrBox; the histogram of the r*
// between -5 and 5 with r marked; notes and the illegal-value message. No output file.
RunResult PairedCorrProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control);
RunResult PresentPairedCorr(PairedCorrResult&& result, const RunSettings& settings);

}  // namespace brevant
