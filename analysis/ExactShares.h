// Exact shares: every arrangement a randomization test could draw, enumerated once, and the share of them
// whose statistic is at least as extreme as the observed one. Qt-free.
//
// Three kinds of enumeration cover the randomization tests:
//   divisions    the N positions labelled with group numbers, n_g positions for group g: N! / prod n_g!
//                arrangements. Two groups are the splits of a pool (C(nA + nB, nA)); N groups of one
//                are the pairings of one column with another (N!);
//   sign patterns  a flip or none for each of n values: 2^n arrangements;
//   row orders   each of n rows of k values put in one of its k! orders, every row on its own: (k!)^n.
// Each enumeration runs through the arrangements in lexicographic order, cut into chunks of consecutive
// ranks that the threads take in turn. The counts are whole numbers, so the sum is the same on any
// number of threads; the statistic of an arrangement depends on the arrangement alone (its sums run in
// position order), so ties are decided the same way however the work is split.
//
// The statistic is computed by the caller in double precision from the arrangement; the observed
// statistic is that of the observed arrangement (the labels in position order, no flips, every row in
// its own order), computed by the same function, so it always ties with itself: it counts in every share
// of both tails and in the share of the tail on its own side (so always for an F, which has only the upper
// one). A box counting the tail on the other side (the share below -|t| when t > 0) counts the mirror image
// of the observed region, as its resampled figure does, and may be 0. A statistic within a relative 1e-9 of
// the observed one counts as at least as extreme.
#pragma once

#include "analysis/Procedure.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace brevant {

// Which arrangements a box counts, for an observed statistic s0 and a = |s0| (1 - 1e-9):
enum class ExactTail {
    Upper,  // s >= a
    Lower,  // s <= -a
    Both,   // |s| >= a
};

inline constexpr double kExactRelativeTie = 1e-9;

// Whether a statistic s counts as at least as extreme as observed in the direction tail.
bool AtLeastAsExtreme(double s, double observed, ExactTail tail) noexcept;

// The values less the first, in double: exact, and whole where the values are, so the statistics' sums stay
// small and their ties exact. sum, when given, receives their sum in position order.
std::vector<double> LessTheFirst(std::span<const float> values, double* sum = nullptr);

// The numbers of arrangements, as doubles (exact below 2^53; +inf past the double range).
double DivisionCount(std::span<const std::int32_t> sizes) noexcept;  // N! / prod n_g!
double SignPatternCount(std::int32_t n) noexcept;                     // 2^n
double RowOrderCount(std::int32_t rows, std::int32_t k) noexcept;    // (k!)^rows

// The statistic of one arrangement:
//   divisions: labels[i] is the group of position i (0-based, groups in order of sizes);
//   sign patterns: labels[i] is 1 where value i is flipped, else 0;
//   row orders: labels[j * k + t] is the position within row j whose value goes to place t.
// It may run on several threads at once.
using ExactStatistic = std::function<double(std::span<const std::int32_t> labels)>;

struct ExactTally {
    std::int64_t arrangements = 0;
    double observed = 0.0;               // the statistic of the observed arrangement
    std::vector<std::int64_t> counts;    // at least as extreme, one per tail asked for
    double Share(std::size_t i) const noexcept {
        return static_cast<double>(counts[i]) / static_cast<double>(arrangements);
    }
};

// Every enumeration: threads as RunSettings::threads (0: every core); throws RunCancelled when control asks
// (polled between chunks). The count of arrangements must fit the limits the callers set (below 2^53).
ExactTally CountDivisions(std::span<const std::int32_t> sizes, const ExactStatistic& statistic,
                          std::span<const ExactTail> tails, int threads, RunControl& control);
ExactTally CountSignPatterns(std::int32_t n, const ExactStatistic& statistic, std::span<const ExactTail> tails,
                             int threads, RunControl& control);
ExactTally CountRowOrders(std::int32_t rows, std::int32_t k, const ExactStatistic& statistic,
                          std::span<const ExactTail> tails, int threads, RunControl& control);

// What a procedure reports: the arrangements counted and each box's exact share, or, when there were too
// many, how many there are.
ExactFigures MakeExactFigures(const ExactTally& tally, std::vector<std::string> controls, std::string noun);
ExactFigures TooManyArrangements(double arrangements, std::int64_t limit, std::string noun, std::int64_t values);

// Each arrangement's statistic reads all of its values, so the time of a count grows with both numbers: a
// count is made when there are at most limit arrangements (limit > 0) and the values read in all are at
// most limit times kExactValuesAtLimit (splits of 2 and 2,000 values, 2,003,001 arrangements, would read
// four billion and take seconds).
inline constexpr std::int64_t kExactValuesAtLimit = 64;
bool WithinExactLimit(double arrangements, std::int64_t values, std::int64_t limit) noexcept;

}  // namespace brevant
