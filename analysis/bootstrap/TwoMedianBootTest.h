// Two medians by bootstrap: the difference of two group medians and a percentile interval for it. Each
// resample draws, within each group, as many values as it holds with replacement from that group's own
// values (group 1's draws first), and records the difference of the two resampled medians. Qt-free; see
// analysis/Procedure.h for the shape every procedure shares, analysis/TwoMedians.h for the data layout and
// its refusals.
// Its readable definition is its literal transcription, tests/literal/LiteralTwoMedianBootTest.h.
//
// The draws come from each group as its median left it (sorted, every position but the last passed
// through its 7-digit text), and each drawn value passes through its 7-digit text again, as every
// bootstrap draw does. No resample is degenerate: a median always exists, and the data's spread is checked
// so that no difference can overflow. Values that differ little relative to their size, where the
// seven-digit text would move one by more than a thousandth of the spread within the groups
// (sqrt(s1^2 + s2^2), a group of one adding 0), centre the run (TwoMedians.h): no value is rounded, so the
// limits of groups of equal values are their obtained difference.
#pragma once

#include "analysis/TwoMedians.h"

#include <cstdint>
#include <vector>

namespace brevant {

// The result boxes in window order: the two medians, their difference and its limits (analysis/TwoMedians.h).
inline constexpr auto& kTwoMedianBootTestBoxes = kTwoMedianBoxes;

using TwoMedianBootTestData = TwoMedianData;

TwoMedianBootTestData ReadTwoMedianBootTestData(DataFile& file);
// txtMedian1, txtMedian2, txtMedDiff, as the final result shows them.
std::vector<ResultBox> ObservedTwoMedianBootTestBoxes(const TwoMedianBootTestData& data);

using TwoMedianBootTestResult = MedianDifferences;  // the bootstrap differences

// R resamples of S1 + S2 draws each from generator, split across settings.threads threads with the bits of one (the
// generator ends after the draws of the whole run, or of the resamples made when cancelled); then the sort,
// reported through control.sortDone / sortTotal. Throws SettingsError for R or q out of range (including R too
// small for q) and RunCancelled when control asks.
TwoMedianBootTestResult RunTwoMedianBootTest(const TwoMedianBootTestData& data, const RunSettings& settings,
                                             Generator& generator, RunControl& control);

// Reads, runs and presents: boxes txtMedian1, txtMedian2, txtMedDiff, txtLowerCL, txtUpperCL; the histogram
// of the bootstrap differences over their own range with the obtained difference marked.
RunResult TwoMedianBootTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                     RunControl& control);
RunResult PresentTwoMedianBootTest(TwoMedianBootTestResult&& result, const RunSettings& settings);

}  // namespace brevant
