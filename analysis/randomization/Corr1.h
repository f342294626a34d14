// Correlation by randomization: the Pearson r of N pairs (X, Y), against the r of many permutations of the
// Y values over the fixed X values. Qt-free; see analysis/Procedure.h for the shape every procedure shares.
// Its readable definition is its literal transcription, tests/literal/LiteralCorr1.h.
//
// Data file: N (at least 2 pairs, at most kMaxDataValues values in all), then N pairs, X then Y. Refused
// with a DataFileError: fewer than 2 pairs, too many, fewer values than announced, a non-number, values so
// large that sums of their squares could overflow, a column whose values are all equal (no spread), for which r
// is undefined, and a spread too small for single precision.
//
// Values that differ little relative to their size (values near 10,000, body temperatures): where the obtained
// r or a standard deviation as defined strays from its double-precision figure, or reads beyond 1, or a
// column's conditioning says single sums cannot hold its spread, the whole run works on X and Y each shifted by
// its own mean with double sums and products (PrecisionCheck, engine/Module1.h), and a note says so.
//
// The permutation of each resample: every Y value gets a fresh random key (a uniform draw stored as a
// float), and the Y values are put in descending order of key, exactly as a selection sort taking the
// first maximum leaves them, equal keys included. The order is kept from one resample to the next.
//
// Past the designed size the products of X and Y are formed in double as well as the sums (a single
// product of values far from zero keeps too few digits of their spread).
//
// The permuted r uses the standard deviations of the observed data, so rounding can carry it just past 1
// in size; such values are kept and counted as usual, and one message after the run says how many there
// were (IllegalValueMessage). An obtained r whose shown text reads beyond 1 in size would be shown as it came,
// with a note; data that give one are centred, so it does not come.
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
inline constexpr BoxSpec kCorr1Boxes[] = {
    {"txtObtR", "label1", "Obtained r", BoxFormat::General},
    {"txtPctGreater", "Label2", "Number gt  | r |", BoxFormat::General},
    {"txtProbMore", "Label3", "p more extreme", BoxFormat::ThreeDecimals, BoxMeaning::Proportion},
};

// The window was designed for at most 1,000 pairs; past that its sums are double (SumPrecision).
inline constexpr std::int64_t kCorr1DesignedPairs = 1000;

struct Corr1Data {
    std::vector<float> x, y;  // the pairs in the file's order
    SumPrecision sums = SumPrecision::Single;
    bool centred = false;  // x and y hold deviations from their own means (PrecisionCheck)
};

Corr1Data ReadCorr1Data(DataFile& file);
// txtObtR, as the final result shows it.
std::vector<ResultBox> ObservedCorr1Boxes(const Corr1Data& data);

// The sums over the pairs and the figures formed from them once, outside the resample loop; each named
// quantity is rounded to its declared type when stored.
struct Corr1Figures {
    double sumX = 0, sumXX = 0, sumY = 0, sumYY = 0, sumXY = 0;  // float values in single precision
    float sdX = 0, sdY = 0;  // sqrt((sum of squares - sum^2 / N) / (N - 1)), in double
    float covariance = 0;    // (sumXY - sumY * sumX / N) / (N - 1)
    float r = 0;             // covariance / (sdY * sdX)
};
Corr1Figures ComputeCorr1Figures(const Corr1Data& data) noexcept;

struct Corr1Result {
    Corr1Figures observed;
    bool centred = false;           // the run was centred: a note says so
    std::int64_t countExtreme = 0;  // permutations with |r*| >= |r - 0.0001|
    float probability = 0;          // count / (R + 1)
    std::int64_t illegalCount = 0;  // permutations with |r*| > 1
    float firstIllegal = 0;
    std::vector<float> resampled;   // r* of permutations 1..R, generation order
    ExactFigures exact;             // over all N! pairings: txtProbMore
};

// The descending order of keys exactly as a selection sort over records (key, value) taking the first
// maximum leaves it (SortRecords), equal keys included, in about linear time for keys spread over [0, 1]:
// the permutation step of each resample. Keys must not be NaN. Reuses its buffers from call to call.
class DescendingKeyOrder {
public:
    // keys[i] belongs to values[i]; both spans have the same size. values is rearranged in place; keys are
    // left as they were.
    void Arrange(std::span<const float> keys, std::span<float> values);
    // order[p] = the index of the key the sort leaves at position p, key i being the (i + 1)-th next draw
    // of g stored as a float (a draw per position).
    void OrderDraws(BlockGenerator& g, std::span<std::int32_t> order);

private:
    void Order(std::span<std::int32_t> order);  // of keys_

    std::vector<std::uint32_t> start_, bucket_;
    std::vector<std::uint64_t> entries_, sorted_;
    std::vector<float> keys_, arranged_;
    std::vector<std::int32_t> order_;
};

// The R permutations, drawing N numbers per resample from generator: drawn on settings.threads threads and applied in
// order (the same bits whatever the count); generator ends after all the draws, or on cancellation after the chunks of
// permutations completed. Throws SettingsError for a bad R and RunCancelled when control asks.
Corr1Result RunCorr1(const Corr1Data& data, const RunSettings& settings, Generator& generator, RunControl& control);

// The exact share of txtProbMore over every pairing of the Y values with the X values, when there are at
// most settings.exactLimit pairings (analysis/ExactShares.h); r is ordered by N sum(XY) - sum(X) sum(Y), taken
// in double from the values as data holds them.
ExactFigures ExactCorr1(const Corr1Data& data, const RunSettings& settings, RunControl& control);

// Reads, runs and presents: boxes txtObtR, txtPctGreater, txtProbMore; the histogram of the permuted r over
// their own range with r marked; the illegal-value message when there is one. No output file.
RunResult Corr1Procedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control);
RunResult PresentCorr1(Corr1Result&& result, const RunSettings& settings);

}  // namespace brevant
