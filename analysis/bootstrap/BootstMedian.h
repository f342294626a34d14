// The bootstrapped median: the median of one sample and a confidence interval for it, the percentiles of
// the sorted bootstrap medians reflected around the obtained median. Qt-free; see analysis/Procedure.h for
// the shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralBootstMedian.h.
//
// Data file: n (at least 1, at most kMaxDataValues), then n values. Refused with a DataFileError: n below 1,
// fewer values than announced, a non-number. A single value is allowed: every bootstrap median is then that
// value, and so are both limits.
//
// Values pass through their seven-significant-digit text where the median routine exchanges them: the
// data are sorted by the median routine before the first draw (every position but the last passed through
// RoundTrip7), each draw passes its value through RoundTrip7 again, and each resample's median routine
// rounds the middle values once more. So a value with more than seven significant digits, or one halfway at
// the eighth digit (1234.5625 reads back as 1234.562, ties to even), enters the bootstrap medians rounded,
// while the obtained median of an odd n keeps the data value where it sits last after sorting.
//
// No running sums are formed, so the figures do not depend on n: beyond the 1,000 values the window was
// designed for, the run is the same.
//
// Values that differ little relative to their size, where the seven-digit text would move one (or the
// obtained median) by more than a thousandth of their standard deviation, centre the run (PrecisionCheck,
// engine/Module1.h): no value is rounded, so a single value or values all equal give limits equal to the
// obtained median, and values such as 100000.01 a hundredth apart keep their digits. Nothing is shifted.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kBootstMedianBoxes[] = {
    {"txtMedian", "label1", "Obtained Median", BoxFormat::ThreeDecimals},
    {"LowerCL", "Label3", "Lower CI", BoxFormat::ThreeDecimals},
    {"UpperCL", "Label2", "Upper CI", BoxFormat::ThreeDecimals},
};

struct BootstMedianData {
    std::vector<float> values;  // in the file's order
    bool centred = false;       // no value passes through its seven-digit text (PrecisionCheck)
};

BootstMedianData ReadBootstMedianData(DataFile& file);
// Centres data read as defined when PrecisionCheck asks for it (ReadBootstMedianData calls it).
void CentreIfNeeded(BootstMedianData& data);
// txtMedian, as the final result shows it.
std::vector<ResultBox> ObservedBootstMedianBoxes(const BootstMedianData& data);

struct BootstMedianResult {
    float median = 0;  // M = ArrayMedian of the data
    PercentilePositions positions;
    float lowerPercentile = 0;  // L, sorted bootstrap median at the lower position
    float upperPercentile = 0;  // U
    float lowerDistance = 0;    // M - L
    float upperDistance = 0;    // U - M
    float lowerLimit = 0;       // M - (U - M)
    float upperLimit = 0;       // M + (M - L)
    std::vector<float> bootstrapMedians;  // generation order: the output file
    std::vector<float> sortedMedians;     // ascending
    bool centred = false;                 // the data's
};

// The data sorted and rounded as the median routine leaves them, and M; centred: sorted as they are, and
// their median unrounded.
struct SortedSample {
    std::vector<float> values;
    float median = 0;
};
SortedSample SortForMedian(std::vector<float> values, bool centred = false);

// R resamples of n draws each from generator, split across settings.threads threads with the bits of one (the
// generator ends after the draws of the whole run, or of the resamples made when cancelled); then the sort,
// reported through control.sortDone / sortTotal. Throws SettingsError for R or q out of range (including R too
// small for q) and RunCancelled when control asks.
BootstMedianResult RunBootstMedian(const BootstMedianData& data, const RunSettings& settings, Generator& generator,
                                   RunControl& control);

// Reads, runs and presents: boxes txtMedian, LowerCL, UpperCL; the histogram of the bootstrap medians over
// their own range with the obtained median marked.
RunResult BootstMedianProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control);
RunResult PresentBootstMedian(BootstMedianResult&& result);

}  // namespace brevant
