// What every procedure shares: the settings of a run, the control a running run is watched and cancelled
// through, the result boxes, and the result of a run. Qt-free.
//
// A procedure is four plain functions (analysis/<family>/<Name>.h):
//   Read<Name>Data(DataFile&)     reads and checks the data layout; a data problem throws DataFileError
//                                 (engine/DataFile.h) with a clear message, before anything is computed;
//   Observed<Name>Boxes(data)     the boxes known before the resamples (the observed statistic), built by
//                                 the same code as the final boxes, so a window can show them while the
//                                 run goes on and the final result shows the same texts;
//   Run<Name>(data, settings, generator, control)
//                                 the resamples; returns the typed figures and the resampled values;
//   <Name>Procedure(DataFile&, settings, generator, control)
//                                 read and run, presented as a RunResult (boxes in window order, histogram
//                                 request, notes): the one entry point the batch tool calls.
// None of them writes a file. The caller then, in this order, writes the output file from the resampled
// values (WriteOutputFile) and draws the histogram, which shifts the values in place.
//
// Threads: a run may execute on a worker thread. It touches nothing global: it draws from the Generator
// it is given (the caller passes TheGenerator(), and no other run may use it meanwhile), and it reports
// progress and polls for cancellation only through its RunControl.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace brevant {

class DataFile;

// Capacities only guard against files that would exhaust memory.
inline constexpr std::int32_t kMaxDataValues = 1'000'000;  // values in one data file, all groups together
// Resample counts up to this keep every proportion's counts exact in single precision (below 2^24).
inline constexpr std::int32_t kMaxResamples = 10'000'000;

// Randomization tests whose arrangements number at most this many also count every one of them for the
// exact p value (analysis/ExactShares.h), beside the resampled figures.
inline constexpr std::int64_t kDefaultExactLimit = 10'000'000;

struct RunSettings {
    std::int32_t resamples = 1000;  // R
    float confidence = 0.975f;      // quantile q of the bootstrap windows: 0.95, 0.975 or 0.995
    std::string outputPath;         // empty: no output file
    int threads = 0;                // threads for the resamples; 0: every core (the same bits whatever the count)
    std::int64_t exactLimit = kDefaultExactLimit;  // enumerate the arrangements when at most this many; 0: never
};

// Settings no window can produce (a resample count out of range, a quantile outside (0.5, 1)).
class SettingsError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Checks 1 <= R <= kMaxResamples; throws SettingsError.
void CheckResamples(std::int32_t resamples);

// Shared between a running run and whoever watches it (a window's timer, the batch tool's progress bar).
// All members are relaxed atomics: the run stores, the watcher loads.
struct RunControl {
    std::atomic<std::int64_t> resamplesDone{0};  // resamples completed so far
    std::atomic<std::int64_t> resampleTotal{0};  // R, set when the loop starts
    std::atomic<std::int64_t> sortDone{0};       // the sorting phase, where a procedure has one
    std::atomic<std::int64_t> sortTotal{0};
    std::atomic<bool> cancelRequested{false};

    void RequestCancel() noexcept { cancelRequested.store(true, std::memory_order_relaxed); }
    bool CancelRequested() const noexcept { return cancelRequested.load(std::memory_order_relaxed); }
};

// Thrown by a run that saw RunControl::cancelRequested. Nothing has been written; the generator has
// advanced by the draws made so far.
class RunCancelled : public std::runtime_error {
public:
    RunCancelled() : std::runtime_error("The run was cancelled.") {}
};

// Sorts the resampled values ascending (SortArray), reporting the sort as the run's sorting phase; throws
// RunCancelled when a cancel came meanwhile.
void SortResampledValues(std::span<float> values, RunControl& control);

// ---------------------------------------------------------------------------------------------------------
// Result boxes.

enum class BoxFormat {
    ThreeDecimals,  // fixed point, three decimals (the windows follow the user's locale)
    General,        // general number text: up to 7 significant digits for a float, 15 for a double
};

// What a box holds, where it matters to what is said about it: a proportion of the R resamples (a p value
// or a tail proportion) has a Monte Carlo error that the notes report (analysis/MonteCarloError.h).
enum class BoxMeaning {
    Figure,
    Proportion,
};

// One result box as its window shows it. The value keeps its type, because the general text of a float
// and of a double differ. A non-finite value (only ever with a note saying why) shows as inf, -inf or nan
// whatever the format.
struct ResultBox {
    std::string control;       // objectName of the text box: "txtObtT"
    std::string labelControl;  // objectName of its label: "label1"; two boxes may share one label
    std::string label;         // the label's text exactly as the window shows it: "Obtained t"
    std::variant<float, double, std::int64_t> value;
    BoxFormat format = BoxFormat::General;
    BoxMeaning meaning = BoxMeaning::Figure;
};

// A result box as a procedure's header spells it once, for its windows, the batch tool and its own results:
// the control, its label's name as the documentation gives it ("Label2(0)"; the windows name the label
// "Label2_0") and text, and how its value is shown.
struct BoxSpec {
    std::string_view control;
    std::string_view labelControl;
    std::string_view label;
    BoxFormat format = BoxFormat::General;
    BoxMeaning meaning = BoxMeaning::Figure;
};
// The box of that spec holding value.
ResultBox MakeBox(const BoxSpec& spec, std::variant<float, double, std::int64_t> value);

// The box's text in the C locale (the batch tool's form): ThreeDecimalText or GeneralText by format.
std::string BoxText(const ResultBox& box);
// The value as a double, whatever its type (exact for float and for integers below 2^53).
double BoxValue(const ResultBox& box);

// The boxes as the batch tool prints them: one "Label: text" line per label, in window order; boxes
// sharing a label go on its one line separated by " | ", left box first.
std::vector<std::string> ResultLines(std::span<const ResultBox> boxes);

// ---------------------------------------------------------------------------------------------------------
// The result of a run.

// The resampled values a window counts as at least as extreme as the obtained statistic.
struct ExtremeRegion {
    enum class Tails {
        Upper,  // value >= threshold (F statistics)
        Both,   // value <= -threshold or value >= threshold (t and r: |value| >= |obtained|)
    };
    Tails tails = Tails::Upper;
    float threshold = 0.0f;  // the comparison value the run counted against

    bool Contains(float value) const noexcept {
        return value >= threshold || (tails == Tails::Both && value <= -threshold);
    }
};

// Two limits read from the resampled values, named as the window's boxes name them.
struct MarkedLimits {
    float lower = 0.0f;
    float upper = 0.0f;
    std::string lowerLabel;  // "Lower CI"
    std::string upperLabel;  // "Upper CI"
};

// What the histogram call needs besides the values (engine/Histogram.h ComputeHistogram), and what the
// detailed plot adds: the obtained value by name, and the window's extreme region or limits.
struct HistogramRequest {
    // Every member has an initializer, so a request may name only the members it needs.
    std::string caption{};                            // "t Value", "Bootstrapped Mean"
    float observed = 0.0f;                            // where the "^" goes
    std::optional<std::pair<float, float>> bounds{};  // lower, upper; none: from the values
    std::string observedLabel{};                      // "Obtained t"; empty: "Obtained value"
    std::optional<float> obtained{};                  // when `observed` is a comparison value near it
    std::optional<ExtremeRegion> extreme{};           // windows that report a proportion at least as extreme
    std::optional<MarkedLimits> limits{};             // windows that report two limits

    float Obtained() const noexcept { return obtained.value_or(observed); }
};

// The resampled values the run counted as at least as extreme (request.extreme) that a histogram from
// `lower` with bins `binWidth` wide leaves out, by the counting's own rule (HistogramBinOf): below its
// first bin and above its last. Infinite values count on their side; NaN is never counted.
struct CountedOffHistogram {
    std::int64_t below = 0;
    std::int64_t above = 0;
};
CountedOffHistogram CountOffHistogram(const HistogramRequest& request, float lower, float binWidth,
                                      std::span<const float> values);

// The exact shares of a randomization test whose arrangements were all counted: for each proportion box
// (by control), the arrangements at least as extreme as the observed one over all of them. When there were
// more arrangements than the limit, only their number (total) is known and nothing was counted.
struct ExactFigures {
    std::int64_t arrangements = 0;      // counted; 0: not counted
    double total = 0.0;                 // the arrangements there are; 0: the procedure has no such count
    std::int64_t limit = 0;             // the limit the count was held against
    std::int64_t values = 0;            // the values each arrangement's statistic reads
    std::string noun;                   // what an arrangement is called: "splits", "sign patterns"
    std::vector<std::string> controls;  // the boxes with an exact share, window order
    std::vector<std::int64_t> counts;   // at least as extreme, one per box
    std::vector<double> shares;         // counts / arrangements
};

struct RunResult {
    std::vector<ResultBox> boxes;  // window order
    // The resampled statistic, positions 1..R in generation order: the output file's lines and the
    // histogram's values. May hold inf or NaN where a resample was degenerate (see each procedure).
    std::vector<float> resampled;
    HistogramRequest histogram;
    std::vector<std::string> notes;  // sentences for the user, e.g. how many resamples were degenerate
    // Messages the window shows in a message box once the run has ended (the batch tool prints them as
    // notes), e.g. IllegalValueMessage: one per kind of event, never one per resample.
    std::vector<std::string> messages;
    ExactFigures exact;  // randomization tests: the exact shares, when the arrangements were few enough
};

// Thrown by a run that cannot go on partway (a resample whose column has no variance): the message says why
// and at which resample. Nothing is written and no histogram drawn; the boxes known before the resamples
// (observed) stay on show, every other box stays empty.
class RunStopped : public std::runtime_error {
public:
    RunStopped(const std::string& message, std::vector<ResultBox> observed)
        : std::runtime_error(message), observed_(std::move(observed)) {}
    const std::vector<ResultBox>& Observed() const noexcept { return observed_; }

private:
    std::vector<ResultBox> observed_;
};

// Writes the resampled values to settings.outputPath, if one is named: exactly R lines, generation order,
// each the default number text ended by CR LF, the file replaced whole (engine/OutputFile.h). Throws
// OutputFileError on failure, leaving any old file as it was. Call it before the histogram.
void WriteOutputFile(const RunSettings& settings, std::span<const float> resampled);

// Refuses (OutputFileError) an output path that names the data file itself, before a run replaces the
// user's data with resampled values: the same path in another spelling, a link to it or a hard link of it.
// Paths that do not exist yet are always accepted.
void CheckOutputIsNotData(const std::string& outputPath, const std::string& dataPath);

// ---------------------------------------------------------------------------------------------------------
// Shared arithmetic of the procedures.

// Percentile positions by the nearest-integer rule: q widened to double, each product taken to the nearest
// integer with ties to even. lower = nearest((1 - q) * R), upper = nearest(q * R); 1-based positions.
struct PercentilePositions {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
};
PercentilePositions NearestPercentilePositions(std::int32_t resamples, float q) noexcept;

// Percentile positions by the integer-part rule, from q widened to double (exact: q has 24 bits and R + 1
// fewer than 30): lower = Int((1 - q) * (R + 1)), upper = Int(q * (R + 1)); 1-based positions.
PercentilePositions IntegerPartPercentilePositions(std::int32_t resamples, float q) noexcept;
// As CheckNearestPercentileSettings, for the integer-part rule.
void CheckIntegerPartPercentileSettings(std::int32_t resamples, float q);

// Checks a confidence quantile q in (0.5, 1) and that both nearest-rule positions fall in 1..R (R too small
// for q would read position 0, which holds no value); throws SettingsError, naming the smallest R for q.
void CheckNearestPercentileSettings(std::int32_t resamples, float q);
// The smallest R whose nearest-rule positions both fall in 1..R, for q in (0.5, 1).
std::int32_t SmallestResamplesFor(float q) noexcept;

// The notes of a run that PrecisionCheck centred (engine/Module1.h): sums kept in double around the mean;
// paired differences, whose mean is the tested quantity, in double without a shift; medians, which form no
// sums, with values not rounded to seven digits.
inline constexpr const char* kCentredRunNote =
    "The values differ little relative to their size, so this run kept its sums in double precision around "
    "the data's mean.";
inline constexpr const char* kDoubleSumsNote =
    "The differences vary little relative to their size, so this run kept its sums in double precision.";
inline constexpr const char* kUnroundedRunNote =
    "The values differ little relative to their size, so this run did not round them to seven digits.";

// The standard error of resampled values, the spread of their distribution: the defined figure (the square
// root of their one-pass variance, single sums within kDesignedResamples) wherever it lies within 1 % of their
// spread in double by two passes around their mean; otherwise that spread, and `corrected` says so. Resampled
// statistics vary little around their mean, so the one-pass sums cancel: off by 2-12 % on ordinary data, and
// negative on some. Values all equal have 0; with a value not finite among them the defined figure stands
// (each procedure says why).
struct ResampledSpread {
    float standardError = 0.0f;  // the figure to show
    float defined = 0.0f;        // the defined figure (NaN where its variance computed as negative)
    bool corrected = false;
};
ResampledSpread ResampledStandardError(std::span<const float> values) noexcept;
// The note beside a corrected standard error; `what` names the values ("bootstrap means").
std::string CorrectedSpreadNote(const std::string& what, const ResampledSpread& spread);

// How many of the values are +inf, -inf and NaN; a note sentence when any is, naming the cause.
struct NonFiniteCount {
    std::int64_t positiveInfinite = 0;
    std::int64_t negativeInfinite = 0;
    std::int64_t undefined = 0;  // NaN
    std::int64_t Total() const noexcept { return positiveInfinite + negativeInfinite + undefined; }
};
NonFiniteCount CountNonFinite(std::span<const float> values) noexcept;

// Data is refused when the largest sum of squares a resample can form (the sum over all values for a
// shuffle, n times the largest square for a draw with replacement) reaches this, well inside the float
// range, so no single-precision running sum can overflow to infinity.
inline constexpr double kLargestSumOfSquares = 1e37;

// A statistic over a spread taken as 0: the IEEE quotient numerator / 0 (+inf or -inf), with one canonical
// NaN for 0 / 0.
float ZeroSpreadQuotient(double numerator) noexcept;

// ---------------------------------------------------------------------------------------------------------
// Shared data refusals. Every one throws DataFileError in the reader's form: The data file "NAME" <problem>.

[[noreturn]] void RefuseData(const DataFile& file, const std::string& problem);

// The one message after a run in which some resamples gave an impossible value (a correlation beyond 1):
// the window's own text followed at once by the first such value in the general number text, then how many
// of the R resamples gave one. The values themselves stay in the results as they came.
std::string IllegalValueMessage(const std::string& text, float first, std::int64_t count, std::int32_t resamples);

// "1 value", "3 values".
std::string ValueCount(std::int64_t n);
// "1 resample", "3 resamples".
std::string ResampleCount(std::int64_t n);

// Refuses data whose largest resample sum of squares (see kLargestSumOfSquares) is not below it.
void CheckSumsOfSquaresFit(const DataFile& file, double largestSumOfSquares);

}  // namespace brevant
