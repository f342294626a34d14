// Two medians by randomization: the difference of two group medians, against the differences of many
// shuffles of all values split again into groups of the observed sizes. Reports the two medians, their
// difference, and two percentiles of the shuffled differences at the chosen level (no probability).
// Qt-free; see analysis/Procedure.h for the shape every procedure shares, analysis/TwoMedians.h for the
// data layout and its refusals.
// Its readable definition is its literal transcription, tests/literal/LiteralTwoMedianRandomTest.h.
//
// Every shuffle starts again from the file's order. No shuffle is degenerate: a median always exists, and
// the data's spread is checked so that no difference can overflow. Values that differ little relative to
// their size, where the seven-digit text would move one by more than a thousandth of the spread of all
// values, centre the run (TwoMedians.h): no value is rounded.
#pragma once

#include "analysis/TwoMedians.h"

#include <cstdint>
#include <vector>

namespace brevant {

// The result boxes in window order: the two medians, their difference and its limits (analysis/TwoMedians.h).
inline constexpr auto& kTwoMedianRandomTestBoxes = kTwoMedianBoxes;

using TwoMedianRandomTestData = TwoMedianData;

TwoMedianRandomTestData ReadTwoMedianRandomTestData(DataFile& file);
// txtMedian1, txtMedian2, txtMedDiff, as the final result shows them.
std::vector<ResultBox> ObservedTwoMedianRandomTestBoxes(const TwoMedianRandomTestData& data);

using TwoMedianRandomTestResult = MedianDifferences;  // the shuffled differences

// R shuffles of N values, N - 1 draws each, from generator, on settings.threads threads (the same bits whatever the
// count), each share jumping ahead to its place in the stream; generator ends after all the draws, or on cancellation
// after the unbroken run of completed resamples from the first. Then the sort, reported through control.sortDone /
// sortTotal. Throws SettingsError for R or q out of range (including R too small for q) and RunCancelled when control
// asks.
TwoMedianRandomTestResult RunTwoMedianRandomTest(const TwoMedianRandomTestData& data, const RunSettings& settings,
                                                 Generator& generator, RunControl& control);

// Reads, runs and presents: boxes txtMedian1, txtMedian2, txtMedDiff, txtLowerCL, txtUpperCL; the histogram
// of the shuffled differences over their own range with the obtained difference marked.
RunResult TwoMedianRandomTestProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                       RunControl& control);
RunResult PresentTwoMedianRandomTest(TwoMedianRandomTestResult&& result, const RunSettings& settings);

}  // namespace brevant
