// The arithmetic and messages every procedure shares: integer-part percentile positions and their check,
// and the one message after a run that gave impossible values.
#include "analysis/Procedure.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Int((1 - q)(R + 1)) and Int(q(R + 1)) with q the float level, exact in double.
TEST(Procedure, IntegerPartPercentilePositions) {
    const struct {
        std::int32_t R;
        float q;
        std::int32_t lower, upper;
    } table[] = {
        {1000, 0.975f, 25, 975},   // 0.025 * 1001 = 25.02..., 0.975 * 1001 = 975.97...
        {999, 0.975f, 24, 975},    // 0.975f lies above 0.975: 975.0000119... keeps 975; 24.99998... floors
        {5000, 0.95f, 250, 4750},  // 0.95f lies below 0.95: 250.05..., 4750.95...
        {50000, 0.995f, 250, 49750},
        {10, 0.95f, 0, 10},
    };
    for (const auto& row : table) {
        const auto p = brevant::IntegerPartPercentilePositions(row.R, row.q);
        EXPECT_EQ(p.lower, row.lower) << row.R << " " << row.q;
        EXPECT_EQ(p.upper, row.upper) << row.R << " " << row.q;
        EXPECT_EQ(p.lower, static_cast<std::int32_t>(std::floor((1.0L - row.q) * (row.R + 1.0L))));
        EXPECT_EQ(p.upper, static_cast<std::int32_t>(std::floor(static_cast<long double>(row.q) * (row.R + 1.0L))));
    }
}

TEST(Procedure, TooFewResamplesForTheIntegerPartRuleNameTheSmallestCount) {
    // 95 %: 1 - 0.975f is 0.0249999762, so Int((1 - q)(R + 1)) is still 0 at R = 39 and reaches 1 at 40.
    try {
        brevant::CheckIntegerPartPercentileSettings(39, 0.975f);
        ADD_FAILURE() << "not refused";
    } catch (const brevant::SettingsError& e) {
        EXPECT_STREQ(e.what(), "39 resamples are too few for a 95 % interval; it needs at least 40 resamples.");
    }
    EXPECT_NO_THROW(brevant::CheckIntegerPartPercentileSettings(40, 0.975f));
    try {
        brevant::CheckIntegerPartPercentileSettings(1, 0.95f);
        ADD_FAILURE() << "not refused";
    } catch (const brevant::SettingsError& e) {
        EXPECT_STREQ(e.what(), "1 resample is too few for a 90 % interval; it needs at least 19 resamples.");
    }
    EXPECT_THROW(brevant::CheckIntegerPartPercentileSettings(1000, 1.0f), brevant::SettingsError);
    EXPECT_THROW(brevant::CheckIntegerPartPercentileSettings(0, 0.975f), brevant::SettingsError);
}

TEST(Procedure, IllegalValueMessageKeepsTheTextAndCountsTheResamples) {
    EXPECT_EQ(brevant::IllegalValueMessage("This is an illegal value of r", 1.0000001f, 1, 1000),
              "This is an illegal value of r1\n1 of the 1000 resamples gave such a value. The values are kept in "
              "the results as they came.");
    EXPECT_EQ(brevant::IllegalValueMessage("This is an illegal value of r  ", -1.25f, 3, 5000),
              "This is an illegal value of r  -1.25\n3 of the 5000 resamples gave such values; the first is shown. "
              "The values are kept in the results as they came.");
}

}  // namespace
