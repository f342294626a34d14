// One-way analysis of variance by bootstrap: the F of independent groups against the F of many samples of
// all N observations drawn with replacement from one pooled set and split into groups of the observed
// sizes. The pool is the observations themselves or, with "Bootstrap Errors", the errors (each observation
// minus its own group's mean), whose group means are all 0. Qt-free; see analysis/Procedure.h for the shape
// every procedure shares, analysis/OnewayF.h for F.
// Its readable definition is its literal transcription, tests/literal/LiteralOnewayBoot.h.
//
// Data file: as the randomization window's (analysis/randomization/OnewayRandom.h), with the same
// refusals; the check on sums of squares covers N times the largest square of either pool. Values that
// differ little relative to their size are not refused: PrecisionCheck centres the run (analysis/OnewayF.h),
// which then draws from the values shifted by their mean, or from the errors of those, with double sums
// and without the seven-digit text, and a note says so.
//
// Degenerate draws: with small groups a draw can repeat one value throughout every group. With no spread
// within any group F is +inf (counted as at least as large as the obtained F), or NaN when all N drawn
// values are equal (not counted); such values stay in generation order, are written as " inf " and
// " nan ", are not counted by the histogram, and a note says how many there were.
#pragma once

#include "analysis/OnewayF.h"
#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kOnewayBootBoxes[] = {
    kOnewayObtainedFBox,
    kOnewayEffectSizeBox,
    {"txtFPercent", "label5", "Percent => Fobt", BoxFormat::ThreeDecimals, BoxMeaning::Proportion},
};

struct OnewayBootData {
    OnewayData groups;
    std::vector<float> errors;  // each value minus its group's observed mean (single), in the same order;
                                // in a centred run, of the shifted values
};

OnewayBootData ReadOnewayBootData(DataFile& file);
// txtObtF and txtEffectSize, as the final result shows them.
std::vector<ResultBox> ObservedOnewayBootBoxes(const OnewayBootData& data);

struct OnewayBootResult {
    float obtainedF = 0;
    float effectSize = 0;
    std::int64_t count = 0;        // bootstrapped F >= obtained F
    double proportion = 0;         // count / R in double
    std::vector<float> resampled;  // F of draws 1..R, generation order
    NonFiniteCount nonFinite;      // among resampled
    bool centred = false;          // the data's run was centred (OnewayData::centred)
};

// R draws of N values each from the pool (the errors when bootstrapErrors, else the observations), each value
// passed through its 7-significant-digit text (except in a centred run); draws from generator, split across settings.threads threads with the
// bits of one (the generator ends after the draws of the whole run, or of the resamples made when cancelled).
// Throws SettingsError for a bad R and RunCancelled when control asks.
OnewayBootResult RunOnewayBoot(const OnewayBootData& data, const RunSettings& settings, bool bootstrapErrors,
                               Generator& generator, RunControl& control);

// Reads, runs and presents: boxes txtObtF, txtEffectSize, txtFPercent; the histogram of the bootstrapped F
// between 0 and 10 with the obtained F marked.
RunResult OnewayBootProcedure(DataFile& file, const RunSettings& settings, bool bootstrapErrors,
                              Generator& generator, RunControl& control);
RunResult PresentOnewayBoot(OnewayBootResult&& result, const RunSettings& settings);

}  // namespace brevant
