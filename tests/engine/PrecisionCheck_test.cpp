// The rule that centres a run: which data stay on the defined single-precision path and which are centred,
// the tolerances of the three kinds of figure, and the double-precision references it compares with.
#include "engine/Module1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace brevant::BREVANT_TEST_UNIT {
namespace {

std::vector<float> Normal(double centre, double spread, int n, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> d(centre, spread);
    std::vector<float> values(static_cast<std::size_t>(n));
    for (float& v : values) v = static_cast<float>(d(random));
    return values;
}

// What a procedure does with one column: its variance as defined against the exact one, and its conditioning.
bool Centred(const std::vector<float>& values) {
    PrecisionCheck check(SumPrecision::Single);
    check.Statistic(ArrayVariance(values, SumPrecision::Single), ExactVariance(values));
    check.Conditioning(values);
    return check.Centred();
}

TEST(PrecisionCheck, OrdinaryDataStayDefinedAndCloseValuesAreCentred) {
    struct Row {
        double centre, spread;
        int n;
        bool centred;
    } const rows[] = {
        {0, 1, 1000, false},      {10, 3, 100, false},       {300, 50, 1000, false},
        {100, 3, 1000, false},    {4.3, 1.2, 30, false},     {250000, 60000, 1000, false},
        {98.6, 0.5, 100, true},   {10000, 1, 100, true},     {10000, 10, 1000, true},
        {1000, 1, 1000, true},    {1, 1e-4, 100, true},      {1e10, 1e6, 1000, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.centre) + " +- " + std::to_string(row.spread) + ", n " + std::to_string(row.n));
        EXPECT_EQ(Centred(Normal(row.centre, row.spread, row.n, 7)), row.centred);
    }
}

TEST(PrecisionCheck, EachKindOfFigureHasItsTolerance) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    enum Kind { kStatistic, kSpread, kBounded, kLocation };
    struct Row {
        Kind kind;
        double defined, exact;
        bool centred;
    } const rows[] = {
        {kStatistic, 2.0, 2.019, false}, {kStatistic, 2.0, 2.021, true}, {kStatistic, -0.63, 1.318, true},
        {kStatistic, 0.0010, 0.00109, false},  // below 0.01 a figure counts as 0.01
        {kStatistic, nan, 1.0, true},    {kStatistic, inf, inf, false},  {kStatistic, inf, 1e30, true},
        {kSpread, 2.0e-9, 2.019e-9, false}, {kSpread, 2.0e-9, 2.021e-9, true},  // no floor for a spread
        {kSpread, -1e-9, 0.0, true},     {kBounded, 0.5, 0.509, false},   {kBounded, 0.5, 0.511, true},   {kBounded, 1.429, 0.286, true},
        {kLocation, 10.0, 10.0009, false}, {kLocation, 10.0, 10.0011, true},  // spread 1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.kind) + ": " + std::to_string(row.defined) + " / " + std::to_string(row.exact));
        PrecisionCheck check(SumPrecision::Single);
        if (row.kind == kStatistic) check.Statistic(row.defined, row.exact);
        if (row.kind == kSpread) check.Spread(row.defined, row.exact);
        if (row.kind == kBounded) check.Bounded(row.defined, row.exact);
        if (row.kind == kLocation) check.Location(row.defined, row.exact, 1.0);
        EXPECT_EQ(check.Centred(), row.centred);
        EXPECT_EQ(check.Sums(), row.centred ? SumPrecision::Double : SumPrecision::Single);
    }
    PrecisionCheck large(SumPrecision::Double);  // past the designed sizes the sums stay double either way
    EXPECT_EQ(large.Sums(), SumPrecision::Double);
    EXPECT_FALSE(large.Centred());
}

TEST(PrecisionCheck, TextRoundingCentresWhereItMovesValuesAcrossTheirSpread) {
    PrecisionCheck collapsed(SumPrecision::Single);  // 100000.01 reads back as 100000
    collapsed.TextRounding(std::vector<float>{100000.01f, 100000.02f}, 0.007);
    EXPECT_TRUE(collapsed.Centred());
    PrecisionCheck constant(SumPrecision::Single);  // one value of eight digits: no spread to measure against
    constant.TextRounding(std::vector<float>{100000.01f}, 0.0);
    EXPECT_TRUE(constant.Centred());
    PrecisionCheck ordinary(SumPrecision::Single);  // eight digits, a halfway case, and a spread of 100
    ordinary.TextRounding(std::vector<float>{1234.5625f, 1377.2719f, 1100.0f}, 100.0);
    EXPECT_FALSE(ordinary.Centred());
}

TEST(PrecisionCheck, ExactReferencesHoldWhatSingleSumsLose) {
    // Integers near 2^23 are exact floats; their variance is 1 and their covariance with the reverse -1.
    const std::vector<float> x{8388607.0f, 8388608.0f, 8388609.0f};
    const std::vector<float> reversed{8388609.0f, 8388608.0f, 8388607.0f};
    EXPECT_EQ(ExactMean(x), 8388608.0);
    EXPECT_EQ(ExactVariance(x), 1.0);
    EXPECT_EQ(ExactCovariance(x, reversed), -1.0);
    EXPECT_NE(ArrayVariance(x, SumPrecision::Single), 1.0);
    EXPECT_TRUE(std::isnan(ExactVariance(std::vector<float>{1.0f})));

    std::vector<float> shifted = x;
    ShiftValues(shifted, ExactMean(x));
    EXPECT_EQ(shifted, (std::vector<float>{-1.0f, 0.0f, 1.0f}));
    EXPECT_TRUE(AllEqual(std::vector<float>{2.5f, 2.5f}));
    EXPECT_FALSE(AllEqual(std::vector<float>{10000.0f, 10000.001f}));
}

}  // namespace
}  // namespace brevant
