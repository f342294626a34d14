// Repeated-measures one-way analysis of variance by randomization: the F of treatments against the residual
// once subjects are removed, against the F of many tables in which each subject's scores are shuffled among
// the treatments, every subject on its own. Qt-free; see analysis/Procedure.h for the shape every procedure
// shares.
// Its readable definition is its literal transcription, tests/literal/LiteralRepeated1way.h.
//
// Data file: k (treatments, at least 2), n (subjects, at least 2), then n rows of k scores, subject by
// subject; at most kMaxDataValues scores in all. Refused with a DataFileError: fewer than 2 treatments or
// subjects, too many scores, fewer scores than announced, a non-number, scores so large that a running sum
// of squares could overflow single precision, data with no residual variation (the table is exactly
// subject effect plus treatment effect), for which F is undefined, and data whose F exceeds the
// single-precision range. Scores that differ little relative to their size (body temperatures, subjects
// far apart against the rest) are not refused: where PrecisionCheck (engine/Module1.h) finds F, SS
// treatments or SS error as defined off their double-precision values, the run is centred, its scores
// shifted by their mean with every sum and SS in double, and a note says so.
//
// Degenerate permutations: a shuffle can make the table exactly additive (for example with 2 treatments and
// every subject's two scores the same distance apart, once all differences point the same way). SS error
// is then taken as exactly 0, also when single-precision sums leave a tiny positive or negative remainder,
// and F is the IEEE quotient MS treatments / 0: +inf, counted as reaching the threshold (NaN, counted by
// nothing, only if MS treatments is 0 as well). Such values stay in generation order, are written as
// " inf ", are not counted by the histogram, and a note says how many there were.
#pragma once

#include "analysis/Parallel.h"
#include "analysis/Procedure.h"
#include "analysis/lanes/RowOrderLanes.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brevant {

// The result boxes in window order.
inline constexpr BoxSpec kRepeated1wayBoxes[] = {
    {"txtObtF", "label1", "Obtained F", BoxFormat::General},
    {"txtPctGreater", "Label2", "Number >= F", BoxFormat::General},
    {"txtProbMore", "Label3", "p as extreme", BoxFormat::General, BoxMeaning::Proportion},
};

// The window was designed for at most 10 treatments and 1,000 subjects; past either, its sums are double
// (SumPrecision).
inline constexpr std::int64_t kRepeated1wayDesignedTreatments = 10;
inline constexpr std::int64_t kRepeated1wayDesignedSubjects = 1000;

struct Repeated1wayData {
    std::int32_t treatments = 0;  // k
    std::int32_t subjects = 0;    // n
    std::vector<float> scores;    // subject by subject: row j holds scores[j * k .. j * k + k - 1]
    SumPrecision sums = SumPrecision::Single;
    bool centred = false;         // scores shifted by their mean, sums double (CentreRepeated1wayIfNeeded)
};

Repeated1wayData ReadRepeated1wayData(DataFile& file);
// txtObtF, as the final result shows it.
std::vector<ResultBox> ObservedRepeated1wayBoxes(const Repeated1wayData& data);

// The F computation, every SS, MS and F stored as a float; the sums of the scores, of their squares and of
// the squared subject and treatment totals are running sums in the precision given. As defined, SS error
// is the difference of the stored SS in single precision; centred (scores shifted by their mean, double
// sums), every SS is taken in double up to F and a negative SS treatments (the last rounding of 0) is 0.
struct RepeatedFFigures {
    float ssTotal = 0, ssSubjects = 0, ssTreatments = 0, ssError = 0;
    float msTreatments = 0, msError = 0, f = 0;
    bool zeroSpread = false;  // additive table, or SS error or MS error of 0 or less: F = MS treatments / 0
};
RepeatedFFigures ComputeRepeatedF(std::span<const float> scores, std::int32_t subjects, std::int32_t treatments,
                                  SumPrecision sums, bool centred = false) noexcept;

// The F of count tables (subjects x treatments each, one after another), many side by side: on
// the AVX2 path (where available) or the baseline, the same bits as ComputeRepeatedF(table, ...).f.
void RepeatedFOfTables(DrawPath path, SumPrecision sums, const float* tables, std::int32_t count,
                       std::int32_t subjects, std::int32_t treatments, float* out, bool centred = false);

// SS treatments, SS error and F in double precision, the residuals taken around the subject, treatment
// and grand means (two passes): the references PrecisionCheck compares the defined figures with.
struct ExactRepeatedFigures {
    double ssTreatments = 0, ssError = 0, f = 0;
};
ExactRepeatedFigures ComputeExactRepeatedF(std::span<const float> scores, std::int32_t subjects,
                                           std::int32_t treatments);

// Centres the run where PrecisionCheck asks: F, SS treatments and SS error as defined against
// ComputeExactRepeatedF, the conditioning of all the scores, and any negative F. A centred run's scores
// are shifted by their mean rounded to single precision, its sums are double, and data.centred says so.
// Returns whether it centred.
bool CentreRepeated1wayIfNeeded(Repeated1wayData& data);

// The rearrangement of every pass: each subject's row of k scores shuffled as ShuffleArray shuffles it,
// from k - 1 draws, rows in order, written from one pass's rows into the next's. Up to
// kMostOrderedTreatments, from a table of all k! orders of a row (RowOrders, analysis/lanes/RowOrderLanes.h);
// past it, by the swaps themselves. The same bits on either instruction path.
inline constexpr std::int32_t kMostOrderedTreatments = 6;  // 720 orders of 8 bytes
class RowShuffler {
public:
    RowShuffler(std::int32_t treatments, DrawPath path);
    void operator()(DrawsFrom& draws, std::span<const float> from, std::span<float> to) const;

private:
    std::int32_t k_;
    DrawPath path_;
    std::optional<RowOrders> orders_;  // up to kMostOrderedTreatments
};

// True when every score is exactly its subject's effect plus its treatment's effect, so nothing is left for
// the error term: x(j, t) + x(1, 1) = x(j, 1) + x(1, t) for every j and t, compared exactly.
bool AdditiveTable(std::span<const float> scores, std::int32_t subjects, std::int32_t treatments) noexcept;

// F - F / 1000, each step a float.
float ThresholdF(float f) noexcept;

struct Repeated1wayResult {
    bool centred = false;         // the data's run was centred (Repeated1wayData::centred)
    RepeatedFFigures observed;
    float threshold = 0;
    std::int64_t count = 0;       // permuted F at or above the threshold
    float proportion = 0;         // count / R, stored as a float
    std::vector<float> resampled; // permuted F 1..R, generation order
    NonFiniteCount nonFinite;     // among resampled
    ExactFigures exact;           // over all (k!)^n within-subject orders: txtProbMore
};

// The exact share of txtProbMore over every table of within-subject orders, when there are at most
// settings.exactLimit of them (analysis/ExactShares.h); F rises with SS treatments (the subjects' totals and
// the total sum of squares do not change), taken in double as sum over treatments of (mean_t - mean)^2.
ExactFigures ExactRepeated1way(const Repeated1wayData& data, const RunSettings& settings, RunControl& control);

// Shuffles each subject's row of data.scores in place, subject after subject, for each of the R resamples,
// the table keeping each pass's arrangement; draws k - 1 numbers per subject per resample from generator.
// The rows are split across settings.threads threads, each drawing only its own rows' numbers, and the F
// of each pass is computed on every thread (the same bits whatever the count); generator ends after all
// the draws, or on cancellation after the chunks of passes completed. Throws SettingsError for a bad R
// and RunCancelled when control asks.
Repeated1wayResult RunRepeated1way(Repeated1wayData data, const RunSettings& settings, Generator& generator,
                                   RunControl& control);

// Reads, runs and presents: boxes txtObtF, txtPctGreater, txtProbMore; the histogram of the permuted F
// between 0 and 10 with the threshold marked.
RunResult Repeated1wayProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control);
RunResult PresentRepeated1way(Repeated1wayResult&& result, const RunSettings& settings);

}  // namespace brevant
