// The bootstrapped correlation: the Pearson r of two paired variables, the standard deviation of the r of
// bootstrap samples of whole cases, and percentile limits read off the sorted bootstrap correlations by
// the integer-part rule. Qt-free; see analysis/Procedure.h for the shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralBootstCorr.h.
//
// Data file: N (at least 2, at most kMaxDataValues / 2 cases), then N pairs X, Y. Refused with a
// DataFileError: N below 2, fewer values than announced, a non-number, values so large that a sum of their
// squares or the product of two variances (of deviations from the means) could overflow single precision, a
// column whose values are all equal (no variance), for which r is undefined, and variances so small that their
// single-precision product falls below the smallest normal single.
//
// Values that differ little relative to their size (values near 10,000 with a spread of 1, say): where the
// obtained r or a variance as defined strays from its double-precision figure, or a column's conditioning says
// single sums cannot hold its spread, the whole run works on each column shifted by its own mean with double
// sums (PrecisionCheck, engine/Module1.h), and a note says so.
//
// A resample whose X column (then Y column) has no variance (all its drawn values equal, or, on the defined
// path, a variance that computes as 0 or less in single precision) stops the run: RunStopped with "X has no
// variance, ... Process terminating with k resamples." (k the resample's number). The obtained r stays on show;
// no other box, no output file, no histogram. The generator keeps the draws made.
//
// A bootstrap r beyond 1 in size (rounding in single precision) is kept as it came and counted; one
// message after the run gives the first such value and how many there were. An r that is not finite (the
// product of two tiny variances underflowing to 0) is kept too, sorted as the engine sorts (NaN last) and
// explained in a note.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kBootstCorrBoxes[] = {
    {"txtObtR", "label1", "Obtained r", BoxFormat::ThreeDecimals},
    {"StErrBox", "Label6", "St. Error", BoxFormat::ThreeDecimals},
    {"LowerCI", "Label2", "Lower Conf. Limit", BoxFormat::ThreeDecimals},
    {"UpperCI", "Label3", "Upper Conf. Limit", BoxFormat::ThreeDecimals},
};

// The window was designed for at most 10,000 cases; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kBootstCorrDesignedCases = 10000;

struct BootstCorrData {
    std::vector<float> x, y;  // case i's X and Y, in the file's order
    SumPrecision sums = SumPrecision::Single;  // of the data and of each resample
    bool centred = false;  // x and y hold deviations from their own means (PrecisionCheck)
};

BootstCorrData ReadBootstCorrData(DataFile& file);
// txtObtR, as the final result shows it.
std::vector<ResultBox> ObservedBootstCorrBoxes(const BootstCorrData& data);

// Variances, covariance and r of two columns, each stored as single: r = cov / sqrt(varY * varX), the
// product of the two singles rounded to single, its square root in double.
struct CorrelationFigures {
    float varX = 0, varY = 0, cov = 0, r = 0;
};
CorrelationFigures Correlation(const std::vector<float>& x, const std::vector<float>& y, SumPrecision sums);
float CorrelationFrom(float varX, float varY, float cov) noexcept;

struct BootstCorrResult {
    float r = 0;
    bool centred = false;     // the run was centred: a note says so
    ResampledSpread spread;   // of the bootstrap r (ResampledStandardError)
    float standardError = 0;  // the standard error shown: spread.standardError
    PercentilePositions positions;
    float lowerLimit = 0, upperLimit = 0;
    std::vector<float> bootstrapR;  // generation order: the output file
    std::vector<float> sortedR;     // ascending, NaN last
    std::int64_t illegalCount = 0;  // |r*| > 1
    float firstIllegal = 0;
    NonFiniteCount nonFinite;
};

// "X has no variance, which sometimes happens with very small samples. Process terminating with 7
// resamples." (column "X" or "Y").
std::string NoVarianceMessage(const std::string& column, std::int32_t resample);
inline constexpr const char* kIllegalRText = "This is an illegal value of r";

// R resamples of N cases each from generator, split across settings.threads threads with the bits of one: the
// generator ends after the whole run's draws, after the stopping resample's on a stop (the earliest in generation
// order), or after as many resamples' draws as were made when cancelled; then the sort. Throws SettingsError for R
// or q out of range (including R too small for q), RunStopped for a resample with a column of no variance,
// RunCancelled when control asks.
BootstCorrResult RunBootstCorr(const BootstCorrData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control);

// Reads, runs and presents: boxes txtObtR, StErrBox, LowerCI, UpperCI; the histogram of the bootstrap
// correlations over their own range with r marked.
RunResult BootstCorrProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control);
RunResult PresentBootstCorr(BootstCorrResult&& result, const RunSettings& settings);

}  // namespace brevant
