// Slow literal transcription of a whole two-medians bootstrap run, step by step on one-based arrays with
// the literal engine routines (BootstrapDraw through its text table, the selection-sort median with its
// text exchange, the selection sort of the differences), as the oracle of
// analysis/bootstrap/TwoMedianBootTest. Draws from brevant::literal::seedTable. At most 1,000 values per
// group (the literal draw's table).
#pragma once

#include "literal/LiteralTwoMedianRandomTest.h"

namespace brevant::literal {

inline TwoMedianRun RunTwoMedianBootTest(const std::vector<float>& group1Values,
                                         const std::vector<float>& group2Values, std::int32_t R, float q) {
    TwoMedianRun run;
    const auto S1 = static_cast<std::int32_t>(group1Values.size());
    const auto S2 = static_cast<std::int32_t>(group2Values.size());
    Values diffs(static_cast<std::size_t>(R) + 1, 0.0f);  // 4
    std::vector<float> all = group1Values;                 // 6
    all.insert(all.end(), group2Values.begin(), group2Values.end());
    const Values combined = OneBased(all);
    Values group1(static_cast<std::size_t>(S1) + 1, 0.0f), group2(static_cast<std::size_t>(S2) + 1, 0.0f);
    Values work1(static_cast<std::size_t>(S1) + 1, 0.0f), work2(static_cast<std::size_t>(S2) + 1, 0.0f);
    ObtainedMedians(combined, S1, S2, group1, group2, run);  // 7, 8: the groups are now sorted

    for (std::int32_t h = 1; h <= R; ++h) {  // 9
        for (std::int32_t i = 1; i <= S1; ++i) work1[static_cast<std::size_t>(i)] = group1[static_cast<std::size_t>(i)];
        BootstrapDraw(work1, S1);
        const float b1 = ArrayMedian(work1, S1);
        for (std::int32_t i = 1; i <= S2; ++i) work2[static_cast<std::size_t>(i)] = group2[static_cast<std::size_t>(i)];
        BootstrapDraw(work2, S2);
        const float b2 = ArrayMedian(work2, S2);
        diffs[static_cast<std::size_t>(h)] = b1 - b2;
    }
    WriteSortAndLimits(diffs, R, q, run);  // 10 to 12
    return run;
}

}  // namespace brevant::literal
