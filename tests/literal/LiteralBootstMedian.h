// Slow literal transcription of a whole bootstrapped-median run, step by step on one-based arrays with the
// literal engine routines (the median's selection sort exchanging values through their text, BootstrapDraw
// through text, the selection sort of the bootstrap medians), as the oracle of
// analysis/bootstrap/BootstMedian. Draws from brevant::literal::seedTable. At most 1,000 values.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <string>
#include <vector>

namespace brevant::literal {

struct BootstMedianRun {
    float median = 0;
    std::int32_t lowerPosition = 0, upperPosition = 0;
    float L = 0, U = 0, dL = 0, dU = 0;
    float lowerLimit = 0, upperLimit = 0;
    std::vector<float> medians;        // positions 1..R in generation order, zero-based here
    std::vector<float> sortedMedians;  // after the sort
    std::string outputText;
};

inline BootstMedianRun RunBootstMedian(const std::vector<float>& values, std::int32_t R, float q) {
    BootstMedianRun run;
    const auto n = static_cast<std::int32_t>(values.size());
    Values boot(static_cast<std::size_t>(R) + 1, 0.0f);  // 4
    Values data = OneBased(values);                      // 6
    Values work(static_cast<std::size_t>(n) + 1, 0.0f);
    const float M = ArrayMedian(data, n);  // 7: sorts data in place
    run.median = M;
    for (std::int32_t h = 1; h <= R; ++h) {  // 8
        for (std::int32_t i = 1; i <= n; ++i) work[static_cast<std::size_t>(i)] = data[static_cast<std::size_t>(i)];
        BootstrapDraw(work, n);
        boot[static_cast<std::size_t>(h)] = ArrayMedian(work, n);
    }
    run.outputText = OutputText(boot, R);  // 9
    run.medians = ZeroBased(boot, R);
    SortArray(boot, R);  // 10
    run.lowerPosition = static_cast<std::int32_t>(std::nearbyint((1 - static_cast<double>(q)) * R));  // 11
    run.upperPosition = static_cast<std::int32_t>(std::nearbyint(static_cast<double>(q) * R));
    run.L = boot[static_cast<std::size_t>(run.lowerPosition)];
    run.U = boot[static_cast<std::size_t>(run.upperPosition)];
    run.dL = M - run.L;  // 12
    run.dU = run.U - M;
    run.lowerLimit = M - run.dU;
    run.upperLimit = M + run.dL;
    run.sortedMedians = ZeroBased(boot, R);
    return run;
}

}  // namespace brevant::literal
