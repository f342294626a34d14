// The arithmetic and messages every procedure shares: integer-part percentile positions and their check,
// the one message after a run that gave impossible values, and the standard error of resampled values.
#include "analysis/Procedure.h"
#include "engine/Module1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace BREVANT_TEST_UNIT {

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

// The defined standard error stands, to the bit, where it is within 1 % of the double-precision spread; values
// that vary little around their mean get that spread instead, never nan or 0; a value not finite leaves the
// defined figure.
TEST(Procedure, ResampledStandardErrorKeepsTheDefinedFigureWhereItHolds) {
    std::mt19937 random(5);
    const auto values = [&](float centre, float spread, int n) {
        std::normal_distribution<float> d(centre, spread);
        std::vector<float> x(static_cast<std::size_t>(n));
        for (float& v : x) v = d(random);
        return x;
    };
    const struct {
        std::vector<float> x;
        bool corrected;
    } rows[] = {
        {values(0.0f, 1.0f, 5000), false},
        {values(0.3f, 0.05f, 1000), false},
        {values(0.97f, 0.00176f, 100000), true},  // bootstrap r of a correlation near 1
        {values(1000.0f, 0.031f, 50000), true},   // bootstrap means of 1,000 values 1000 +- 1
        {std::vector<float>(1000, 0.1f), false},  // equal values: 0, where single sums leave a variance below 0
    };
    for (const auto& row : rows) {
        const auto spread = brevant::ResampledStandardError(row.x);
        const auto exact = static_cast<float>(std::sqrt(brevant::ExactVariance(row.x)));
        const auto defined = static_cast<float>(std::sqrt(brevant::ArrayVariance(row.x, brevant::SumsFor(
            static_cast<std::int64_t>(row.x.size()), brevant::kDesignedResamples))));
        EXPECT_EQ(spread.corrected, row.corrected) << exact;
        EXPECT_EQ(spread.standardError, row.corrected || exact == 0.0f ? exact : defined);
        EXPECT_NEAR(spread.standardError, exact, 0.01 * exact);
        if (spread.corrected) {
            const std::string note = brevant::CorrectedSpreadNote("bootstrap means", spread);
            EXPECT_NE(note.find("computed in double precision"), std::string::npos) << note;
        }
    }
    std::vector<float> withNan = values(0.0f, 1.0f, 100);
    withNan[7] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(brevant::ResampledStandardError(withNan).standardError));
    EXPECT_FALSE(brevant::ResampledStandardError(withNan).corrected);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
