// The bootstrapped mean: the mean of one sample, the standard deviation of its bootstrap means, and a
// bootstrap-t interval read off the sorted studentized distances of the resamples. Qt-free; see
// analysis/Procedure.h for the shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralBootstMean.h.
//
// Data file: n (at least 2, at most kMaxDataValues), then n values. Refused with a DataFileError: n below 2,
// fewer values than announced, a non-number, values so large that n times the largest square could
// overflow a single-precision sum, and values that are all equal, for which the studentized distance is
// undefined. Values that differ little relative to their size centre the run (PrecisionCheck): the
// resamples are drawn from the deviations from the mean, and the mean is added back to each bootstrap mean.
//
// Degenerate resamples: a draw can pick the same value n times (likely for small n). Its spread is then
// taken as exactly 0, also when the single-precision sums leave a tiny positive or negative variance (a
// negative one would otherwise give the square root of a negative number), and its studentized value is
// the IEEE quotient (m* - mean) / 0: +inf or -inf, or NaN when m* equals the mean exactly. The sort puts
// -inf first, +inf after every finite value and NaN after +inf; a limit read from such a position is shown
// as -inf, inf or nan, and a note says how many resamples were degenerate. The bootstrap means themselves
// are always finite; they fill the output file and the histogram.
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
inline constexpr BoxSpec kBootstMeanBoxes[] = {
    {"txtMean", "label1", "Obtained Mean", BoxFormat::ThreeDecimals},
    {"LowerCL", "Label2", "Lower CI", BoxFormat::ThreeDecimals},
    {"UpperCL", "Label3", "Upper CI", BoxFormat::ThreeDecimals},
    {"txtStError", "Label6", "St. Error of Bootstrap Distribution", BoxFormat::ThreeDecimals},
};

// The window was designed for at most 1,000 values; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kBootstMeanDesignedValues = 1000;

struct BootstMeanData {
    std::vector<float> values;  // in the file's order; never reordered
    SumPrecision sums = SumPrecision::Single;  // of the data and of each resample
    bool centred = false;  // values hold the deviations from `shift`, the data's mean (PrecisionCheck)
    double shift = 0.0;
};

BootstMeanData ReadBootstMeanData(DataFile& file);
// Centres data read as defined when PrecisionCheck asks for it (ReadBootstMeanData calls it).
void CentreIfNeeded(BootstMeanData& data);
// txtMean, as the final result shows it.
std::vector<ResultBox> ObservedBootstMeanBoxes(const BootstMeanData& data);

struct BootstMeanResult {
    float mean = 0;           // x̄ = ArrayMean, as a float
    float variance = 0;       // ArrayVariance, as a float
    float standardError = 0;  // sqrt(s2 / n), the quotient in double
    PercentilePositions positions;
    float lowerLimit = 0;  // x̄ - t(upper) * se
    float upperLimit = 0;  // x̄ - t(lower) * se
    ResampledSpread bootstrapSpread;   // of the bootstrap means (ResampledStandardError)
    float bootstrapStandardError = 0;  // the standard error shown: bootstrapSpread.standardError
    std::vector<float> bootstrapMeans;  // generation order: the output file and the histogram
    std::vector<float> sortedT;         // studentized values, ascending, NaN last
    NonFiniteCount nonFiniteT;          // degenerate resamples
    bool centred = false;               // the data's
};

// Resamples drawn and summed at once, each in its own lane.
inline constexpr std::int32_t kBootstMeanLanes = 16;

// R resamples of n draws each from generator (drawn in blocks in the loop, its seeds stored back at the end or on
// cancellation); then the sort, reported through control.sortDone / sortTotal. Throws SettingsError for R
// or q out of range (including R too small for q) and RunCancelled when control asks. The lanes run on path
// (which must be available); the results do not depend on it.
BootstMeanResult RunBootstMean(const BootstMeanData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control, DrawPath path = ActiveDrawPath());

// Reads, runs and presents: boxes txtMean, LowerCL, UpperCL, txtStError; the histogram of the bootstrap
// means over their own range with the observed mean marked.
RunResult BootstMeanProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control);
RunResult PresentBootstMean(BootstMeanResult&& result, const RunSettings& settings);

}  // namespace brevant
