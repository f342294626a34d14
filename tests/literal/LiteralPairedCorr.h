// Slow literal transcription of a whole paired-correlations run, step by step on one-based arrays with the
// literal engine routines (ArrayVariance, ArrayCovariance, the selection sort SortArray), as the oracle of
// analysis/randomization/PairedCorr. Draws from brevant::literal::seedTable. Single-precision sums
// throughout: the window's designed sizes. The confidence quantile is the one the run is given; the
// obtained r and the standard error are those the window shows.
#pragma once

#include "literal/LiteralEngine.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace brevant::literal {

struct PairedCorrRun {
    float r = 0;
    float lowerPosition = 0, upperPosition = 0;  // stored as single
    float lower = 0, upper = 0;
    float standardError = 0;
    std::int64_t illegal = 0;
    float firstIllegal = 0;
    std::vector<float> sorted;  // the randomized correlations after the sort, zero-based here
};

// The correlation of the two columns; our rule for no spread: a column of equal values gives NaN (its
// covariance is exactly 0), a variance product of 0 or less gives covariance / 0.
inline float Correlation(const Values& x, const Values& y, std::int32_t N) {
    const auto varX = static_cast<float>(ArrayVariance(x, N));
    const auto varY = static_cast<float>(ArrayVariance(y, N));
    const auto cov = static_cast<float>(ArrayCovariance(x, y, N));
    bool constantX = true, constantY = true;
    for (std::int32_t i = 2; i <= N; ++i) {
        constantX = constantX && x[static_cast<std::size_t>(i)] == x[1];
        constantY = constantY && y[static_cast<std::size_t>(i)] == y[1];
    }
    const float product = varX * varY;
    if (constantX || constantY) return std::numeric_limits<float>::quiet_NaN();
    if (!(product > 0)) {
        if (cov > 0) return std::numeric_limits<float>::infinity();
        if (cov < 0) return -std::numeric_limits<float>::infinity();
        return std::numeric_limits<float>::quiet_NaN();
    }
    return static_cast<float>(cov / std::sqrt(static_cast<double>(product)));
}

// cases: N rows of X1, Y1, X2, Y2.
inline PairedCorrRun RunPairedCorr(const std::vector<std::array<float, 4>>& cases, std::int32_t R, float c) {
    PairedCorrRun run;
    const auto N = static_cast<std::int32_t>(cases.size());
    Values randomized(static_cast<std::size_t>(R) + 2, 0.0f);  // step 3
    Values x(static_cast<std::size_t>(N) + 1), y(static_cast<std::size_t>(N) + 1);
    for (std::int16_t i = 1; i <= N; ++i) {  // step 4
        x[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i - 1)][0];
        y[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i - 1)][1];
    }
    run.r = Correlation(x, y, N);  // step 5

    for (std::int32_t k = 1; k <= R; ++k) {  // step 6
        for (std::int32_t i = 1; i <= N; ++i) {
            const auto u = static_cast<float>(RandomUniform());
            const std::array<float, 4>& row = cases[static_cast<std::size_t>(i - 1)];
            if (u < 0.5) {
                x[static_cast<std::size_t>(i)] = row[0];
                y[static_cast<std::size_t>(i)] = row[1];
            } else {
                x[static_cast<std::size_t>(i)] = row[2];
                y[static_cast<std::size_t>(i)] = row[3];
            }
        }
        const float rStar = Correlation(x, y, N);
        randomized[static_cast<std::size_t>(k)] = rStar;
        if (std::fabs(rStar) > 1.01f && std::isfinite(rStar)) {
            if (run.illegal == 0) run.firstIllegal = rStar;
            ++run.illegal;
        }
    }
    // The standard error, from the randomized correlations in generation order; all equal is no spread.
    bool allEqual = true;
    for (std::int32_t k = 2; k <= R; ++k) allEqual = allEqual && randomized[static_cast<std::size_t>(k)] == randomized[1];
    run.standardError = allEqual && std::isfinite(randomized[1])
                            ? 0.0f
                            : static_cast<float>(std::sqrt(ArrayVariance(randomized, R)));

    // Step 8: the selection sort; NaN (which it cannot place) goes last in the engine's rule, so the literal
    // sort runs over the finite and infinite values and the NaNs follow in their order.
    Values numbers(1, 0.0f), nans;
    for (std::int32_t k = 1; k <= R; ++k) {
        const float v = randomized[static_cast<std::size_t>(k)];
        (std::isnan(v) ? nans : numbers).push_back(v);
    }
    const auto m = static_cast<std::int32_t>(numbers.size()) - 1;
    SortArray(numbers, m);
    for (std::int32_t k = 1; k <= m; ++k) randomized[static_cast<std::size_t>(k)] = numbers[static_cast<std::size_t>(k)];
    for (std::size_t t = 0; t < nans.size(); ++t) randomized[static_cast<std::size_t>(m) + 1 + t] = nans[t];

    // Step 9, in extended precision from the single c.
    const long double wide = c;
    run.lowerPosition = static_cast<float>(std::floor((1.0L - wide) * (R + 1)));
    run.upperPosition = static_cast<float>(std::floor(wide * (R + 1)));
    run.upper = randomized[static_cast<std::size_t>(run.upperPosition)];
    run.lower = randomized[static_cast<std::size_t>(run.lowerPosition)];
    run.sorted = ZeroBased(randomized, R);
    return run;
}

}  // namespace brevant::literal
