// Table-driven check of a rule for the sorted positions of the confidence limits at the three levels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

namespace brevant::testing {

struct PositionsRow {
    std::int32_t R;
    std::int32_t positions[3][2];  // lower and upper at 90 %, 95 %, 99 %
};

// positionsOf(R, q) gives the rule's {lower, upper}; each row's positions are what it must give.
template <class Rule, class Rows>
void ExpectPositionsAtEachLevel(Rule positionsOf, const Rows& table) {
    const float quantiles[] = {0.95f, 0.975f, 0.995f};
    for (const PositionsRow& row : table) {
        for (int level = 0; level < 3; ++level) {
            const auto p = positionsOf(row.R, quantiles[level]);
            EXPECT_EQ(p.lower, row.positions[level][0]) << row.R << " " << quantiles[level];
            EXPECT_EQ(p.upper, row.positions[level][1]) << row.R << " " << quantiles[level];
        }
    }
}

}  // namespace brevant::testing
