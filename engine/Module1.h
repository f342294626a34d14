// The engine's shared routines: one generator, the draws on data arrays, and the summary statistics and
// sorts that every procedure computes its figures with. Qt-free.
//
// Arrays are zero-based spans here: position i (1..n) of a data array, as users and help texts count, is
// element [i - 1], and n is the span's size. Everything is single precision (float) where the figures are
// defined that way; running sums are rounded to float after every addition, and the results do not depend
// on the compiler contracting a*b+c (the project builds with -ffp-contract=off).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

namespace brevant {

// ---------------------------------------------------------------------------------------------------------
// Generator: three-seed combined congruential generator.

struct Seeds {
    std::int32_t a = 0;  // multiplied by 171 modulo 30269
    std::int32_t b = 0;  // multiplied by 172 modulo 30307
    std::int32_t c = 0;  // multiplied by 170 modulo 30323
    friend bool operator==(const Seeds&, const Seeds&) = default;
};

inline constexpr std::int32_t kModulusA = 30269;
inline constexpr std::int32_t kModulusB = 30307;
inline constexpr std::int32_t kModulusC = 30323;

// A value type so hot loops can work on a local copy and store it back when done.
struct Generator {
    Seeds seeds;

    // u in [0, 1); advances the three seeds. s lies in [0, 3), so truncation is its floor (and cheaper than
    // a library call).
    double Uniform() noexcept {
        seeds.a = (seeds.a * 171) % kModulusA;
        seeds.b = (seeds.b * 172) % kModulusB;
        seeds.c = (seeds.c * 170) % kModulusC;
        double s = static_cast<double>(seeds.b) / 30307.0 + static_cast<double>(seeds.a) / 30269.0;
        s = s + static_cast<double>(seeds.c) / 30323.0;
        return s - static_cast<double>(static_cast<std::int32_t>(s));
    }

    // k in 1..m for m >= 1: floor(u * (m - 0.0001) + 1); one draw. The argument of the floor is positive
    // and below m + 1, so k never is 0 or m + 1.
    std::int32_t Index(std::int32_t m) noexcept {
        const double u = Uniform();
        const double k = u * (static_cast<double>(m) - 0.0001) + 1.0;
        return static_cast<std::int32_t>(k >= 0.0 ? k : std::floor(k));
    }
};

// The program's one stream. Runs are serialized (one at a time), so it needs no lock.
Generator& TheGenerator() noexcept;

double RandomUniform() noexcept;                 // TheGenerator().Uniform()
std::int32_t RandomIndex(std::int32_t m) noexcept;  // TheGenerator().Index(m)

// Throws std::invalid_argument unless each seed lies in 1..modulus-1 (a zero seed would freeze the stream).
void SetSeeds(Seeds seeds);
Seeds GetSeeds() noexcept;
bool SeedsValid(Seeds seeds) noexcept;

// Start-up seeds from three uniform draws in [0, 1): A = floor(u1*10000)+1, B = floor(u2*9000)+1,
// C = floor(u3*23423)+1.
Seeds StartupSeeds(float u1, float u2, float u3) noexcept;
// Draws u1, u2, u3 strictly below 1 from a clock-seeded general-purpose generator and returns their seeds.
Seeds ClockSeeds();
// What the main window does once at start-up: SetSeeds(ClockSeeds()).
void SeedFromClock();

// ---------------------------------------------------------------------------------------------------------
// Draws on data arrays.

// The 7-significant-digit text round trip: the float read back from the value's general text (%.7G), in
// any locale. A pure function of the value; no string is built (save for rare values within rounding error
// of a halfway case). Values with at most 7 significant digits come back as they were, except where the
// nearest float to the 7 digits is another float (3E+10 reads back as 30000001024). -0 stays -0,
// infinities stay as they are, a NaN becomes the quiet NaN of the same sign. Not idempotent in general.
float RoundTrip7(float value) noexcept;
// out[i] = RoundTrip7(in[i]) for i below both sizes; RoundedCopy returns a new array.
void RoundTrip7All(std::span<const float> in, std::span<float> out) noexcept;
std::vector<float> RoundedCopy(std::span<const float> values);

// Downward Fisher-Yates shuffle in place; n - 1 draws (none when n < 2). Any 4-byte element type; any
// generator with Index (Generator, or BlockGenerator for draws in blocks).
template <typename G, typename T>
void ShuffleArray(G& g, std::span<T> values) noexcept {
    for (auto i = static_cast<std::int32_t>(values.size()); i >= 2; --i) {
        const std::int32_t j = g.Index(i);
        std::swap(values[static_cast<std::size_t>(j - 1)], values[static_cast<std::size_t>(i - 1)]);
    }
}
template <typename T>
void ShuffleArray(std::span<T> values) noexcept { ShuffleArray(TheGenerator(), values); }

// Replaces values by n values drawn with replacement from them as they were on entry, each passed through
// RoundTrip7; n draws (none for an empty span). Any n: no capacity of 1,000.
void BootstrapDraw(Generator& g, std::span<float> values);
void BootstrapDraw(std::span<float> values);
// The same draws from a source already passed through RoundTrip7 (RoundedCopy, once per run):
// out[i] = source[Index(n) - 1] with n = source.size(), for i in order; out.size() draws (BootstrapDraw has
// out.size() = n). Nothing is drawn from an empty source. Bit-identical to BootstrapDraw when out is the
// source's original array.
void BootstrapDrawFrom(Generator& g, std::span<const float> roundedSource, std::span<float> out) noexcept;

// ---------------------------------------------------------------------------------------------------------
// The precision of running sums: one rule for the whole program.
//
// Up to the sizes the windows were designed for (each procedure names its own: 1,000 values, 500 per group,
// 200 or 10,000 cases, 10 groups or treatments; and kDesignedResamples resampled statistics), every running
// sum is single precision, rounded to float after every addition: that defines the figures there, bit for
// bit. Past those sizes single-precision sums drift (ten million bootstrap means, a million values around
// 1000) and would give plainly wrong figures, so a sum over larger data is accumulated in double and rounded
// to its variable's type only where it is stored. Each procedure decides once per run, with SumsFor, for
// its data and for its resampled statistics, and passes the decision to every sum it forms.
enum class SumPrecision { Single, Double };

// The largest resample count of the windows' buttons.
inline constexpr std::int64_t kDesignedResamples = 100'000;

// Single while count stays within what was designed for, Double past it.
constexpr SumPrecision SumsFor(std::int64_t count, std::int64_t designed) noexcept {
    return count <= designed ? SumPrecision::Single : SumPrecision::Double;
}
// Double when either is.
constexpr SumPrecision Wider(SumPrecision a, SumPrecision b) noexcept {
    return a == SumPrecision::Double ? a : b;
}

// Data whose values differ little relative to their size (body temperatures, values near 10,000, a
// correlation near 1) are the other way single sums fail: the squares dwarf the spread, and the one-pass
// formulas cancel it away. PrecisionCheck decides, once per run before the resamples, whether a run keeps the
// defined path or is centred:
//  - every observed figure the run uses is computed as defined and in double around the data's mean; the run
//    is centred when any pair differs by more than 1 % of the figure (0.01 for a correlation, a slope or a
//    proportion; a thousandth of the data's spread for a mean or a median), or when the seven-digit text
//    rounding of drawn values would move one by more than a thousandth of the spread, or
//  - when the data's conditioning says the run's running sum of squares cannot hold their spread to 1 %:
//    sqrt(n) * u * (sum of squares) / (sum of squared deviations) above 0.01, u = 2^-24 for single sums
//    (2^-53 for sums double by size). Values whose spread is more than a few percent of their size stay far
//    below it; the bound is about three times the error met, so it holds for the worst of many resamples.
// A centred run, observed figures and every resample alike, works on the values shifted by their mean (taken
// in double, the deviations stored as floats, which keeps seven digits of each), keeps every sum in double
// and draws values without the seven-digit text rounding. The statistics do not change with the shift; a
// procedure that reports a location adds the mean back. Otherwise the run is the defined one, bit for bit.
class PrecisionCheck {
public:
    explicit PrecisionCheck(SumPrecision bySize) noexcept : bySize_(bySize) {}

    // t, F, a standard deviation or error: more than 1 % of its size apart (sizes below 0.01 count as 0.01).
    void Statistic(double defined, double exact) noexcept;
    // A variance, a standard deviation or a sum of squares, which grow with the values' size: more than 1 % of
    // the exact figure apart, however small it is.
    void Spread(double defined, double exact) noexcept;
    // r, a slope, a proportion: more than 0.01 apart.
    void Bounded(double defined, double exact) noexcept;
    // A mean, a median or a difference of them: more than spread / 1000 apart.
    void Location(double defined, double exact, double spread) noexcept;
    // One column of the data, as the run sums it.
    void Conditioning(std::span<const float> values) noexcept;
    // Seven-digit text rounding of the values moves one by more than spread / 1000 (for runs that draw
    // rounded values but form no sums of squares, such as medians).
    void TextRounding(std::span<const float> values, double spread) noexcept;
    void Require() noexcept { centred_ = true; }

    bool Centred() const noexcept { return centred_; }
    SumPrecision Sums() const noexcept { return centred_ ? SumPrecision::Double : bySize_; }

private:
    SumPrecision bySize_;
    bool centred_ = false;
};

// Exact references for PrecisionCheck, in double precision: the mean, the sample variance and covariance by
// two passes around the mean (NaN below 2 values), and whether the values are all equal.
double ExactMean(std::span<const float> x) noexcept;
double ExactVariance(std::span<const float> x) noexcept;
double ExactCovariance(std::span<const float> x, std::span<const float> y) noexcept;
bool AllEqual(std::span<const float> x) noexcept;
// Each value minus shift, taken in double and stored as a float: the data of a centred run.
void ShiftValues(std::span<float> x, double shift) noexcept;

// A running sum under the rule: each addition done in double; in Single it is then rounded to float,
// which gives bit for bit the float addition (double holds more than twice float's digits, so the double
// rounding is harmless).
class RunningSum {
public:
    explicit RunningSum(SumPrecision precision) noexcept : single_(precision == SumPrecision::Single) {}
    void Add(double v) noexcept {
        value_ += v;
        if (single_) value_ = static_cast<float>(value_);
    }
    double Value() const noexcept { return value_; }

private:
    double value_ = 0.0;
    bool single_;
};

// The sums behind ArrayMean and ArrayVariance, one value at a time, so a procedure can fold them into its
// own resample loop instead of making passes over a work array. Gives bit for bit what those routines give
// over the same values in the same order and precision. Single keeps float sums of its own: a float
// addition is cheaper in the resample loops than a double one rounded back.
class RunningSums {
public:
    explicit RunningSums(SumPrecision precision) noexcept : single_(precision == SumPrecision::Single) {}
    void Add(float v) noexcept {
        const double square = static_cast<double>(v) * static_cast<double>(v);  // each square formed in double
        if (single_) {
            sumSingle_ = sumSingle_ + v;
            squaresSingle_ = static_cast<float>(static_cast<double>(squaresSingle_) + square);
        } else {
            sum_ += static_cast<double>(v);
            squares_ += square;
        }
    }
    double Sum() const noexcept { return single_ ? sumSingle_ : sum_; }
    double Squares() const noexcept { return single_ ? squaresSingle_ : squares_; }
    double Mean(std::int64_t n) const noexcept { return Sum() / static_cast<double>(n); }
    // Sample variance by the one-pass sums formula; n >= 2. Can come out slightly negative for equal values.
    double Variance(std::int64_t n) const noexcept {
        const double sum = Sum();
        return (Squares() - sum * sum / static_cast<double>(n)) / static_cast<double>(n - 1);
    }

private:
    double sum_ = 0.0;
    double squares_ = 0.0;
    float sumSingle_ = 0.0f;
    float squaresSingle_ = 0.0f;
    bool single_;
};

// ---------------------------------------------------------------------------------------------------------
// Summary statistics, their running sums in the precision given (see SumPrecision; squares and products
// are always formed in double). Where the result is undefined (a mean of nothing, a variance or covariance
// of fewer than two values, a pooled variance with sum n_j = k) it is a quiet NaN.

double ArrayMean(std::span<const float> x, SumPrecision precision) noexcept;
// Sample variance by the one-pass sums formula, n - 1 in the denominator. Can be slightly negative for
// identical values (ten 0.1 give about -2.5e-9): take the square root with care.
double ArrayVariance(std::span<const float> x, SumPrecision precision) noexcept;
// n = x.size(); NaN if y is shorter than x.
double ArrayCovariance(std::span<const float> x, std::span<const float> y, SumPrecision precision) noexcept;
// Within-group mean square: sum(var_j * (n_j - 1)) / (sum n_j - k), as a float; k = the shorter span.
float PooledVariance(std::span<const float> variances, std::span<const std::int32_t> sizes,
                     SumPrecision precision) noexcept;

// Largest / smallest by a strict comparison from the first element, so of -0 and +0 the first one found
// wins. NaNs are skipped (all NaN gives NaN); an empty span gives 0.
float ArrayMax(std::span<const float> x) noexcept;
float ArrayMin(std::span<const float> x) noexcept;

// The sorts below leave exactly the arrangement of a selection sort taking the first minimum (maximum for
// SortRecords), including the order of -0 and +0 and of records with equal keys, for any n, in
// O(n log n). NaN (which a comparison sort cannot place) goes behind every other value, NaNs keeping the
// order they had; the others are arranged as if the NaNs were absent.

// Median. Sorts x ascending in place; every position but the last holds its value passed through
// RoundTrip7 (the exchange goes through text). Even n: mean of the two middle values, the sum in double,
// rounded to float. Any n (no limit of 32,766); an empty span gives NaN.
float ArrayMedian(std::span<float> x);
// The same result as ArrayMedian for the resample loops, in O(n): x is left reordered in no particular
// order (not sorted, not rounded).
float MedianOf(std::span<float> x);

// Ascending sort in place (exact copies, no rounding). When 2 <= n < 65,000 and progress is set, it is
// called with (1, n) before and (n - 1, n) after the sort, the bar's first and last values; the sort takes
// milliseconds, so nothing in between. n < 2 calls nothing.
using SortProgress = std::function<void(std::int32_t done, std::int32_t n)>;
void SortArray(std::span<float> x, const SortProgress& progress = {});

// Records for SortRecords: a float key and two 4-byte fields carried along.
struct Record {
    float key = 0.0f;
    std::int32_t field2 = 0;
    float field3 = 0.0f;
};
// Descending order of key, in exactly the order a selection sort taking the first maximum leaves (records
// with equal keys included); NaN keys last.
void SortRecords(std::span<Record> records);
// The arrangement a selection sort taking the first extreme key leaves, from the order its picks come in:
// ids holds the indices 0..n-1 with equal keys adjacent and the groups in the order the sort takes them
// (any order within a group). Returns at[p] = index of the element left at position p. Linear time but
// for the groups of equal keys.
std::vector<std::int32_t> SelectionOrder(std::span<const float> keys, std::span<const std::int32_t> ids);

}  // namespace brevant
