// Slow literal transcription of a whole bootstrapped-mean run, step by step on one-based arrays with the
// literal engine routines (BootstrapDraw through text, the selection sort), as the oracle of
// analysis/bootstrap/BootstMean. Draws from brevant::literal::seedTable. At most 1,000 values.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <string>
#include <vector>

namespace brevant::literal {

struct BootstMeanRun {
    float mean = 0, variance = 0, se = 0;
    std::int32_t lowerPosition = 0, upperPosition = 0;
    float lowerLimit = 0, upperLimit = 0, bootstrapSE = 0;
    std::vector<float> means;    // positions 1..R in generation order, zero-based here
    std::vector<float> sortedT;  // positions 1..R after the sort, zero-based here
    std::string outputText;
};

// Our rule for NaN in the sort: behind every other value, in the order they had; the rest sorted as if the
// NaNs were absent.
inline void SortWithNaNLast(Values& x, std::int32_t n) {
    Values numbers(1, 0.0f), nans;
    for (std::int32_t i = 1; i <= n; ++i) {
        (std::isnan(x[static_cast<std::size_t>(i)]) ? nans : numbers).push_back(x[static_cast<std::size_t>(i)]);
    }
    SortArray(numbers, static_cast<std::int32_t>(numbers.size()) - 1);
    for (const float v : nans) numbers.push_back(v);
    x = numbers;
}

inline BootstMeanRun RunBootstMean(const std::vector<float>& values, std::int32_t R, float q) {
    BootstMeanRun run;
    const auto n = static_cast<std::int32_t>(values.size());
    Values tArray(static_cast<std::size_t>(R) + 1, 0.0f), meanArray(static_cast<std::size_t>(R) + 1, 0.0f);  // 4
    const Values data = OneBased(values);  // 5
    Values work(static_cast<std::size_t>(n) + 1, 0.0f);
    const auto xbar = static_cast<float>(ArrayMean(data, n));  // 6
    run.variance = static_cast<float>(ArrayVariance(data, n));
    const auto se = static_cast<float>(std::sqrt(static_cast<double>(run.variance) / n));
    run.mean = xbar;
    run.se = se;

    for (std::int32_t k = 1; k <= R; ++k) {  // 7
        for (std::int32_t i = 1; i <= n; ++i) work[static_cast<std::size_t>(i)] = data[static_cast<std::size_t>(i)];
        BootstrapDraw(work, n);
        const double m = ArrayMean(work, n);
        const double v = ArrayVariance(work, n);
        // Our rule for no spread: all drawn values equal, or v <= 0, gives se* = 0.
        if (AllEqual(work, n) || !(v > 0)) {
            tArray[static_cast<std::size_t>(k)] = OverZero(m - xbar);
        } else {
            const double seStar = std::sqrt(v / n);
            tArray[static_cast<std::size_t>(k)] = static_cast<float>((m - xbar) / seStar);
        }
        meanArray[static_cast<std::size_t>(k)] = static_cast<float>(ArrayMean(work, n));
    }
    run.outputText = OutputText(meanArray, R);  // 8
    SortWithNaNLast(tArray, R);                 // 9
    run.lowerPosition = static_cast<std::int32_t>(std::nearbyint((1 - static_cast<double>(q)) * R));  // 10
    run.upperPosition = static_cast<std::int32_t>(std::nearbyint(static_cast<double>(q) * R));
    run.lowerLimit = xbar - tArray[static_cast<std::size_t>(run.upperPosition)] * se;  // 11
    run.upperLimit = xbar - tArray[static_cast<std::size_t>(run.lowerPosition)] * se;
    const double spread = ArrayVariance(meanArray, R);  // 12; ours: NaN for a negative variance
    run.bootstrapSE = spread < 0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(std::sqrt(spread));
    run.means = ZeroBased(meanArray, R);
    run.sortedT = ZeroBased(tArray, R);
    return run;
}

}  // namespace brevant::literal
