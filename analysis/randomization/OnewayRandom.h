// One-way analysis of variance by randomization: the F of up to ten independent groups (more past the
// designed size) against the F of many shuffles of all observations across the groups, keeping the group
// sizes. Qt-free; see analysis/Procedure.h for the shape every procedure shares, analysis/OnewayF.h for F.
// Its readable definition is its literal transcription, tests/literal/LiteralOnewayRandom.h.
//
// Data file: k (at least 2), the k group sizes (each at least 2, at most kMaxDataValues values in all),
// then every group's values in turn. Refused with a DataFileError: too few groups, a group of fewer than
// 2, too many values, fewer values than announced, a non-number, values so large that the sum of their
// squares could overflow, data whose groups each hold one value throughout (no spread within the groups,
// F undefined), and data whose F exceeds the single-precision range. Values that differ little relative
// to their size are not refused: PrecisionCheck centres the run (analysis/OnewayF.h), which then shuffles
// the values shifted by their mean with double sums, and a note says so.
//
// Each resample shuffles a fresh copy of the observations in the file's order. A shuffle that leaves no
// spread within any group (for example 1 1 / 2 2 from the data 1 2 / 1 2) has F = +inf, counted as at
// least as large as the obtained F; such values stay in generation order, are written as " inf ", are not
// counted by the histogram, and a note says how many there were.
#pragma once

#include "analysis/OnewayF.h"
#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kOnewayRandomBoxes[] = {
    kOnewayObtainedFBox,
    kOnewayEffectSizeBox,
    {"txtFPercent", "label5", "Percent => F(obt)", BoxFormat::ThreeDecimals, BoxMeaning::Proportion},
};

OnewayData ReadOnewayRandomData(DataFile& file);
// txtObtF and txtEffectSize, as the final result shows them.
std::vector<ResultBox> ObservedOnewayRandomBoxes(const OnewayData& data);

struct OnewayRandomResult {
    float obtainedF = 0;
    float comparisonF = 0;  // F - 0.0001: a shuffled F at least this large counts
    float effectSize = 0;
    std::int64_t count = 0;         // shuffled F >= comparisonF
    double proportion = 0;          // count / R in double
    std::vector<float> resampled;   // F of shuffles 1..R, generation order
    NonFiniteCount nonFinite;       // among resampled
    bool centred = false;           // the data's run was centred (OnewayData::centred)
    ExactFigures exact;             // over all N! / prod n_g! divisions: txtFPercent
};

// The exact share of txtFPercent over every division of the values into groups of the observed sizes, when
// there are at most settings.exactLimit divisions (analysis/ExactShares.h); F rises with the sum of squares
// between the groups, sum n_g (mean_g - mean)^2, taken in double from the values as data holds them.
ExactFigures ExactOnewayRandom(const OnewayData& data, const RunSettings& settings, RunControl& control);

// R shuffles of a copy of data.values, N - 1 draws each from generator, on settings.threads threads (the same bits
// whatever the count), each share jumping ahead to its place in the stream; generator ends after all the draws, or on
// cancellation after the unbroken run of completed resamples from the first. Throws SettingsError for a bad R and
// RunCancelled when control asks.
OnewayRandomResult RunOnewayRandom(const OnewayData& data, const RunSettings& settings, Generator& generator,
                                   RunControl& control);

// The positions ShuffleArray swaps when it shuffles n = draws.size() + 1 values with these draws, from a
// block of draws taken at once: picks[t] = Index(n - t) of draws[t], 1-based, for t = 0..n-2, exactly as
// the generator's Index gives them. The same on every path.
void ShufflePositions(DrawPath path, std::span<const double> draws, std::span<std::int32_t> picks) noexcept;

// Reads, runs and presents: boxes txtObtF, txtEffectSize, txtFPercent; the histogram of the shuffled F
// between 0 and 10 with F - 0.0001 marked.
RunResult OnewayRandomProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control);
RunResult PresentOnewayRandom(OnewayRandomResult&& result, const RunSettings& settings);

}  // namespace brevant
