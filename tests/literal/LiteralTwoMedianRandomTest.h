// Slow literal transcription of a whole two-medians randomization run, step by step on one-based arrays
// with the literal engine routines (the selection-sort median with its text exchange, the shuffle, the
// selection sort of the differences), as the oracle of analysis/randomization/TwoMedianRandomTest. Draws
// from brevant::literal::seedTable.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <string>
#include <vector>

namespace brevant::literal {

struct TwoMedianRun {
    float median1 = 0, median2 = 0, difference = 0;
    std::int32_t lowerPosition = 0, upperPosition = 0;
    float lowerLimit = 0, upperLimit = 0;
    std::vector<float> differences;  // positions 1..R in generation order, zero-based here
    std::vector<float> sorted;       // positions 1..R after the sort, zero-based here
    std::string outputText;
};

// Steps 7 and 8: the group arrays are left sorted as ArrayMedian leaves them.
inline void ObtainedMedians(const Values& combined, std::int32_t S1, std::int32_t S2, Values& group1,
                            Values& group2, TwoMedianRun& run) {
    const std::int32_t N = S1 + S2;
    for (std::int32_t i = 1; i <= S1; ++i) group1[static_cast<std::size_t>(i)] = combined[static_cast<std::size_t>(i)];
    run.median1 = ArrayMedian(group1, S1);
    for (std::int32_t i = S1 + 1; i <= N; ++i) {
        group2[static_cast<std::size_t>(i - S1)] = combined[static_cast<std::size_t>(i)];
    }
    run.median2 = ArrayMedian(group2, S2);
    run.difference = run.median1 - run.median2;
}

// Steps 10 to 12.
inline void WriteSortAndLimits(Values& diffs, std::int32_t R, float q, TwoMedianRun& run) {
    run.differences = ZeroBased(diffs, R);
    run.outputText = OutputText(diffs, R);
    SortArray(diffs, R);
    run.lowerPosition = static_cast<std::int32_t>(std::nearbyint((1 - static_cast<double>(q)) * R));
    run.upperPosition = static_cast<std::int32_t>(std::nearbyint(static_cast<double>(q) * R));
    run.lowerLimit = diffs[static_cast<std::size_t>(run.lowerPosition)];
    run.upperLimit = diffs[static_cast<std::size_t>(run.upperPosition)];
    run.sorted = ZeroBased(diffs, R);
}

inline TwoMedianRun RunTwoMedianRandomTest(const std::vector<float>& group1Values,
                                           const std::vector<float>& group2Values, std::int32_t R, float q) {
    TwoMedianRun run;
    const auto S1 = static_cast<std::int32_t>(group1Values.size());
    const auto S2 = static_cast<std::int32_t>(group2Values.size());
    const std::int32_t N = S1 + S2;
    Values diffs(static_cast<std::size_t>(R) + 1, 0.0f);  // 4
    std::vector<float> all = group1Values;                 // 6
    all.insert(all.end(), group2Values.begin(), group2Values.end());
    const Values combined = OneBased(all);
    Values group1(static_cast<std::size_t>(S1) + 1, 0.0f), group2(static_cast<std::size_t>(S2) + 1, 0.0f);
    Values work(static_cast<std::size_t>(N) + 1, 0.0f);
    ObtainedMedians(combined, S1, S2, group1, group2, run);  // 7, 8

    for (std::int32_t h = 1; h <= R; ++h) {  // 9
        for (std::int32_t i = 1; i <= N; ++i) work[static_cast<std::size_t>(i)] = combined[static_cast<std::size_t>(i)];
        ShuffleArray(work, N);
        for (std::int32_t i = 1; i <= S1; ++i) group1[static_cast<std::size_t>(i)] = work[static_cast<std::size_t>(i)];
        const float m1 = ArrayMedian(group1, S1);
        for (std::int32_t i = S1 + 1; i <= N; ++i) {
            group2[static_cast<std::size_t>(i - S1)] = work[static_cast<std::size_t>(i)];
        }
        const float m2 = ArrayMedian(group2, S2);
        diffs[static_cast<std::size_t>(h)] = m1 - m2;
    }
    WriteSortAndLimits(diffs, R, q, run);  // 10 to 12
    return run;
}

}  // namespace brevant::literal
