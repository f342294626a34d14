// Correlated columns whose values differ little relative to their size (body temperatures, values near 10,000,
// 1e6 or 1e10, values 1 +- 1e-4), for the correlation procedures' tests of centred runs, and the figures in
// double precision those runs are checked against.
#pragma once

#include "analysis/Procedure.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace brevant::testing {

// Values centre + spread * z for standard normal z, rounded to `decimals` decimals (none when negative).
struct IllConditioned {
    std::string what;
    double centre = 0, spread = 1;
    int decimals = -1;
    int n = 0;  // cases
};

inline std::vector<IllConditioned> IllConditionedKinds() {
    return {
        {"body temperatures", 98.6, 0.7, 1, 130},
        {"near 10,000, spread 10", 10000.0, 10.0, 2, 1000},
        {"near 10,000, spread 1", 10000.0, 1.0, 2, 1000},
        {"near 1e6", 1e6, 1.0, 1, 500},
        {"near 1e10", 1e10, 1e7, -1, 300},
        {"1 +- 1e-4", 1.0, 1e-4, -1, 200},
    };
}

// `columns` columns of kind.n values from a fixed seed: the first column's z standard normal, each next one's
// correlated rho with the one before.
inline std::vector<std::vector<float>> CorrelatedColumns(const IllConditioned& kind, int columns, double rho,
                                                         unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    const double scale = kind.decimals < 0 ? 0.0 : std::pow(10.0, kind.decimals);
    std::vector<std::vector<float>> out(static_cast<std::size_t>(columns));
    for (int i = 0; i < kind.n; ++i) {
        double z = normal(random);
        for (int j = 0; j < columns; ++j) {
            if (j > 0) z = rho * z + std::sqrt(1.0 - rho * rho) * normal(random);
            double v = kind.centre + kind.spread * z;
            if (scale > 0.0) v = std::round(v * scale) / scale;
            out[static_cast<std::size_t>(j)].push_back(static_cast<float>(v));
        }
    }
    return out;
}

// The same values moved to a mean near 0 and an ordinary size: (v - centre) / spread. Correlations do not change.
inline std::vector<float> Standardized(const std::vector<float>& values, const IllConditioned& kind) {
    std::vector<float> out;
    for (const float v : values) out.push_back(static_cast<float>((v - kind.centre) / kind.spread));
    return out;
}

// Pearson r by two passes around the means, and a standard deviation, in double.
inline double DoubleR(std::span<const float> x, std::span<const float> y) {
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mx += x[i] / n, my += y[i] / n;
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}
inline double DoubleSpread(std::span<const float> v) {
    const double n = static_cast<double>(v.size());
    double mean = 0, squares = 0;
    for (const float x : v) mean += x / n;
    for (const float x : v) squares += (x - mean) * (x - mean);
    return std::sqrt(squares / (n - 1.0));
}

// The largest difference between values at the same positions.
inline float LargestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    EXPECT_EQ(a.size(), b.size());
    float largest = 0.0f;
    for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) largest = std::max(largest, std::fabs(a[k] - b[k]));
    return largest;
}

// The standard error a run shows of its resampled values lies within 1 % of their spread in double; where it
// is not marked as corrected it is the defined figure.
inline void ExpectShownStandardError(const ResampledSpread& spread, float shown, std::span<const float> values) {
    const double exact = DoubleSpread(values);
    EXPECT_NEAR(shown, exact, 0.01 * exact) << "defined " << spread.defined;
    EXPECT_TRUE(SameBits(shown, spread.corrected ? spread.standardError : spread.defined)) << shown;
}

}  // namespace brevant::testing
