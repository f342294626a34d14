// What the two windows comparing the medians of two independent groups share: the data layout, the
// observed medians, the precision check and the result boxes; and the median of values as they are, which
// the one-sample bootstrap (analysis/bootstrap/BootstMedian) uses too. The randomization window
// (analysis/randomization/TwoMedianRandomTest) shuffles the values across the groups; the bootstrap window
// (analysis/bootstrap/TwoMedianBootTest) draws within each group. Qt-free.
//
// Data file: S1, S2 (each at least 1, at most kMaxDataValues values in all), then group 1's values, then
// group 2's. A group of one value is a group: its median is that value. Refused with a DataFileError: an
// empty group, too many values, fewer values than announced, a non-number, and values so far apart that a
// difference of two medians could overflow single precision.
//
// Medians form no running sums, so every figure is the same for any size. What single precision can spoil
// is the seven-digit text rounding the values pass through: where it moves a value by more than a
// thousandth of the data's spread (values of 100000.01 a hundredth apart, or a group of one value with more
// than seven digits), the run is centred (PrecisionCheck, engine/Module1.h): no value is rounded, so the
// medians and the limits are those of the data. Nothing is shifted, since medians form no sums.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

// The boxes both two-median windows show, in window order.
inline constexpr BoxSpec kTwoMedianBoxes[] = {
    {"txtMedian1", "label1", "Median Group 1", BoxFormat::ThreeDecimals},
    {"txtMedian2", "label5", "Median Group 2", BoxFormat::ThreeDecimals},
    {"txtMedDiff", "Label2", "Median Difference", BoxFormat::ThreeDecimals},
    {"txtLowerCL", "Label3", "Lower CL", BoxFormat::ThreeDecimals},
    {"txtUpperCL", "Label6", "Upper CL", BoxFormat::ThreeDecimals},
};

// Values whose extremes lie further apart than this are refused: a difference of two medians, each a value
// of the data passed through its 7-digit text (which moves it by less than one part in a million), then
// stays below the largest float.
inline constexpr double kLargestMedianSpread = 3e38;

struct TwoMedianData {
    std::vector<float> combined;  // group 1's values, then group 2's, in the file's order; never reordered
    std::int32_t size1 = 0;
    bool centred = false;  // no value passes through its seven-digit text (PrecisionCheck)
    std::int32_t Size2() const noexcept { return static_cast<std::int32_t>(combined.size()) - size1; }
};

TwoMedianData ReadTwoMedianData(DataFile& file);

// The median of the values as they are, none passed through its seven-digit text; for an even n the mean of
// the two middle values, the sum in double, rounded to float. x is left reordered in no particular order;
// an empty span gives NaN. The values hold no NaN (no data file does).
float UnroundedMedian(std::span<float> x);

// Centres data read as defined (sets centred) when the seven-digit text moves a value of group 1 by more than
// spread1 / 1000 or one of group 2 by more than spread2 / 1000, or an obtained median by as much. Each
// procedure names the spread its resamples see; 0 (one value, or values all equal) centres on any move.
void CentreIfNeeded(TwoMedianData& data, double spread1, double spread2);

// The obtained figures. The groups are left as the median leaves them: sorted ascending, every position
// but the last passed through its 7-digit text (none in a centred run).
struct ObservedMedians {
    std::vector<float> group1, group2;
    float median1 = 0, median2 = 0;
    float difference = 0;  // median1 - median2
};
ObservedMedians ComputeObservedMedians(const TwoMedianData& data);

// txtMedian1, txtMedian2, txtMedDiff.
std::vector<ResultBox> ObservedMedianBoxes(const ObservedMedians& observed);
// The three above, then txtLowerCL and txtUpperCL.
std::vector<ResultBox> TwoMedianBoxes(const ObservedMedians& observed, float lowerLimit, float upperLimit);

// The result of either window: the resampled differences of the two medians (median1 - median2) and the
// limits read from them.
struct MedianDifferences {
    ObservedMedians observed;
    PercentilePositions positions;
    float lowerLimit = 0, upperLimit = 0;  // sorted differences at the two positions
    std::vector<float> differences;        // resamples 1..R, generation order: output file and histogram
    std::vector<float> sorted;             // the same, ascending
    bool centred = false;                  // the data's
};

// Copies the differences into sorted, sorts them ascending (reporting through control's sort counters) and
// reads the two limits at the nearest-integer percentile positions for confidence q.
void SortAndReadLimits(MedianDifferences& result, float q, RunControl& control);

// The boxes (TwoMedianBoxes), the histogram of the differences with the limits marked, the differences for
// the output file, and the note of a centred run.
RunResult PresentMedianDifferences(MedianDifferences&& result);

}  // namespace brevant
