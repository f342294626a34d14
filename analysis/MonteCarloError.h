// How far a p value or tail proportion counted over R resamples may lie from the one an endless run would
// give, told as notes beside the result boxes (the boxes themselves do not change). The windows and the
// batch tool both take their notes from here, so they say the same.
#pragma once

#include "analysis/Procedure.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brevant {

// The significance levels a proportion is compared with.
inline constexpr double kMonteCarloLevels[] = {0.05, 0.01};

// √(p(1 − p)/R), in double precision; 0 for p = 0 or 1.
double MonteCarloStandardError(double p, std::int64_t resamples) noexcept;

// The resample count at which p, if it stayed where it is, would lie three standard errors from the level:
// 9 p (1 − p) / (p − level)², rounded up. None when p equals the level (no count settles it).
std::optional<double> ResamplesToSettle(double p, double level) noexcept;

// One box holding a proportion (BoxMeaning::Proportion) with a finite value.
struct MonteCarloFigure {
    std::string control;  // the box's control name
    std::string name;     // how the notes name it: its label, or its half of a label two boxes share
    std::string text;     // the value's text as the batch tool shows it
    double p = 0.0;
    double standardError = 0.0;
};
std::vector<MonteCarloFigure> MonteCarloFigures(std::span<const ResultBox> boxes, std::int32_t resamples);

// The notes: one sentence giving every proportion's standard error, then one per proportion and level
// where p lies within three standard errors of the level, saying how many resamples would place it clearly
// on one side; a proportion of 0 or 1, whose error is 0, gets the bound 3/R instead. Nothing when no box
// holds a proportion. offered is the most resamples the caller can run (a window's largest count button):
// a count beyond it is said to be the batch tool's to draw.
std::vector<std::string> MonteCarloNotes(std::span<const ResultBox> boxes, std::int32_t resamples,
                                         std::int32_t offered = kMaxResamples);

// Appends MonteCarloNotes to the result's notes, then the exact shares' note (ExactNotes), where the
// procedure counted its arrangements.
void AddMonteCarloNotes(RunResult& result, std::int32_t resamples, std::int32_t offered = kMaxResamples);

// The note on the exact shares (analysis/ExactShares.h): each box's share over all the arrangements, named as
// the Monte Carlo notes name it; or, when there were too many to count, how many there are. Nothing when
// no count was asked for.
std::vector<std::string> ExactNotes(std::span<const ResultBox> boxes, const ExactFigures& exact);
// Appends ExactNotes(result.boxes, result.exact) to the result's notes.
void AddExactNotes(RunResult& result);
// A share in the notes' text: four significant digits ("0.002098", "0.5", "1").
std::string ShareText(double share);

// An error in the fixed-point text with two significant digits ("0.0068", "0.014"; "0" for 0).
std::string ErrorText(double error);
// A count with thousands separators: 1000000 -> "1,000,000".
std::string GroupedCount(long long count);
// A count with thousands separators, rounded up to two significant digits: 47123 -> "48,000".
std::string RoundedCountText(double count);

}  // namespace brevant
