// The two-medians bootstrap run against its literal transcription (tests/literal/LiteralTwoMedianBootTest.h):
// the obtained medians, every bootstrap difference, the sorted differences and limits at each confidence
// level, the output file's bytes and the final seeds, on groups of many sizes and kinds; groups of one;
// draws that never cross groups; the result boxes; data and settings it refuses.
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "literal/LiteralTwoMedianBootTest.h"
#include "support/Files.h"
#include "support/Refusals.h"
#include "support/TwoGroups.h"
#include "support/TwoMedianRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::RunSettings;
using brevant::Seeds;
using brevant::testing::ExpectRefused;
using brevant::testing::Refusal;
using brevant::testing::Mix;
using brevant::testing::StandardDeviation;
using brevant::testing::ReadWhole;
using brevant::testing::TwoMedianRunner;

std::filesystem::path WorkFile(const char* name) { return std::filesystem::path(BREVANT_TEST_WORK_DIR) / name; }

const TwoMedianRunner<brevant::TwoMedianBootTestResult> kTwoMedianBootTest{
    &brevant::ReadTwoMedianBootTestData, &brevant::RunTwoMedianBootTest,
    &brevant::literal::RunTwoMedianBootTest, "resample", "TwoMedianBootTest_test_out.dat"};

brevant::TwoMedianBootTestResult RunFast(const std::vector<float>& g1, const std::vector<float>& g2,
                    const RunSettings& settings, Generator& generator, bool viaFile = true) {
    return brevant::testing::RunTwoMedianFast(kTwoMedianBootTest, g1, g2, settings, generator, viaFile);
}

void ExpectSameAsLiteral(const std::vector<float>& g1, const std::vector<float>& g2, std::int32_t R, float q,
                         Seeds seeds, bool viaFile = true) {
    brevant::testing::ExpectTwoMedianRunMatchesLiteral(kTwoMedianBootTest, g1, g2, R, q, seeds, viaFile);
}

TEST(TwoMedianBootTest, MatchesTheLiteralRunBitForBit) {
    const struct {
        int size1, size2;
        Mix mix;
        std::int32_t R;
        float q;
    } cases[] = {
        {1, 1, Mix::Plain, 1000, 0.975f},   {1, 4, Mix::Halfway, 1000, 0.95f},  {2, 3, Mix::Ties, 1000, 0.995f},
        {3, 2, Mix::Halfway, 1000, 0.975f}, {4, 4, Mix::Zeros, 1000, 0.975f},   {7, 9, Mix::Plain, 2000, 0.995f},
        {9, 7, Mix::Halfway, 1000, 0.95f},  {25, 30, Mix::Ties, 1000, 0.975f},  {30, 25, Mix::Zeros, 1000, 0.95f},
        {40, 41, Mix::Wide, 1000, 0.995f},  {60, 2, Mix::Halfway, 1000, 0.975f}, {2, 61, Mix::Wide, 1000, 0.95f},
        {500, 500, Mix::Plain, 21, 0.975f}, {501, 3, Mix::Halfway, 30, 0.95f},  {3, 1000, Mix::Wide, 101, 0.995f},
    };
    std::mt19937 random(2424);
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size1) + "+" + std::to_string(c.size2) + " mix " +
                     std::to_string(static_cast<int>(c.mix)) + " R=" + std::to_string(c.R));
        const auto g1 = brevant::testing::DrawGroup(random, c.size1, c.mix, 4.0f);
        const auto g2 = brevant::testing::DrawGroup(random, c.size2, c.mix, -1.0f);
        ExpectSameAsLiteral(g1, g2, c.R, c.q, Seeds{29000 - i, 7 + 31 * i, 15 + i});
        ++i;
    }
    // Values whose 7-digit forms overtake the largest value, which the median's sort leaves last and unrounded:
    // the sorted group ends 1.234568, 1.234568, 1.2345679. (With no value far from them the run is centred:
    // ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun.)
    ExpectSameAsLiteral({1.2345675f, 1.23456789f, 1.2345679f}, {1.2345679f, 1.23456789f, 9.0f}, 1000, 0.95f,
                        Seeds{101, 202, 303});
    // -0 beside 0, which no data file can hold (the reader gives 0), takes the plain route: the sign of a
    // zero median then depends on where the sort left each zero.
    for (const auto& [size1, size2] : {std::pair{5, 4}, std::pair{8, 9}, std::pair{1, 2}}) {
        const auto g1 = brevant::testing::DrawGroup(random, size1, Mix::Zeros, 0.0f);
        const auto g2 = brevant::testing::DrawGroup(random, size2, Mix::Zeros, 0.0f);
        std::vector<float> withZeros = g1;
        withZeros.insert(withZeros.end(), {-0.0f, 0.0f});
        ExpectSameAsLiteral(withZeros, g2, 1000, 0.975f, Seeds{3 + size1, 4 + size2, 5}, false);
    }
    // The eighth-digit tie: 1234.5625 is drawn as 1234.562, and a value of more than seven digits as its
    // seven-digit form, at every level.
    const std::vector<float> tie{1234.5625f, 1234.5625f, 1.0f, 1234.5635f};
    const std::vector<float> long7{9.87654321f, 5.0f, 1234.5625f, -2.345678912f, 7.0f};
    for (const float q : {0.95f, 0.975f, 0.995f}) ExpectSameAsLiteral(tie, long7, 1000, q, Seeds{30000, 1, 30000});
}

// Values that differ little relative to their size, where the seven-digit text would move one by more than
// a thousandth of the spread within the groups: no value is rounded (ExpectCentredTwoMedianRun), so groups
// with no spread give limits at their obtained difference, never beside it.
TEST(TwoMedianBootTest, ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    std::mt19937 random(707);
    std::vector<brevant::testing::CloseGroups> cases = brevant::testing::CloseGroupCases(random);
    cases.insert(cases.end(), {
        {"groups of one, 100000.01 and 5.25", {100000.01f}, {5.25f}, 100000.0},
        {"groups of one of nine digits", {1.23456789f}, {-7.65432198f}, 0.0},
        {"equal values, 100000.01 and 100000.02", std::vector<float>(4, 100000.01f), std::vector<float>(3, 100000.02f),
         100000.0},
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const double spread = std::hypot(StandardDeviation(c.g1), StandardDeviation(c.g2));
        const auto r = brevant::testing::ExpectCentredTwoMedianRun(kTwoMedianBootTest, c.g1, c.g2, c.around, spread);
        if (spread == 0.0) {
            EXPECT_EQ(r.lowerLimit, r.observed.difference);
            EXPECT_EQ(r.upperLimit, r.observed.difference);
        }
    }
}

TEST(TwoMedianBootTest, GroupsOfOneGiveTheObtainedDifferenceEverywhere) {
    Generator generator{Seeds{5, 6, 7}};
    const auto r = RunFast({2.5f}, {-4.125f}, {2000, 0.995f, {}}, generator);
    EXPECT_EQ(r.observed.difference, 6.625f);
    EXPECT_EQ(r.lowerLimit, 6.625f);
    EXPECT_EQ(r.upperLimit, 6.625f);
    EXPECT_TRUE(std::all_of(r.differences.begin(), r.differences.end(), [](float d) { return d == 6.625f; }));
    // Each resample still draws one value per group.
    Generator draws{Seeds{5, 6, 7}};
    for (int i = 0; i < 2 * 2000; ++i) draws.Uniform();
    EXPECT_EQ(generator.seeds, draws.seeds);
}

TEST(TwoMedianBootTest, ValuesNeverMoveBetweenGroups) {
    // Group 1 lies in 100..110, group 2 in 0..10: every bootstrap median stays within its group's range,
    // so every difference lies between 90 and 110.
    std::vector<float> g1, g2;
    for (int i = 0; i < 11; ++i) g1.push_back(100.0f + static_cast<float>(i));
    for (int i = 0; i < 8; ++i) g2.push_back(static_cast<float>(i) * 1.25f);
    Generator generator{Seeds{44, 55, 66}};
    const auto r = RunFast(g1, g2, {5000, 0.95f, {}}, generator);
    EXPECT_GE(r.sorted.front(), 100.0f - 8.75f);
    EXPECT_LE(r.sorted.back(), 110.0f);
    EXPECT_EQ(r.positions.lower, 250);
    EXPECT_EQ(r.positions.upper, 4750);
    EXPECT_LE(r.lowerLimit, r.observed.difference);
    EXPECT_GE(r.upperLimit, r.observed.difference);
}

TEST(TwoMedianBootTest, FiftyThousandResamplesAt99PercentReadPositions250And49750) {
    const std::filesystem::path out = WorkFile("TwoMedianBootTest_test_50000.dat");
    Generator generator{Seeds{77, 88, 99}};
    const auto r = RunFast({3, 9, 4, 12, 7, 1}, {8, 2, 10, 5, 6}, {50000, 0.995f, out.string()}, generator);
    EXPECT_EQ(r.positions.lower, 250);
    EXPECT_EQ(r.positions.upper, 49750);
    EXPECT_EQ(r.lowerLimit, r.sorted[249]);
    EXPECT_EQ(r.upperLimit, r.sorted[49749]);
    EXPECT_FALSE(std::is_sorted(r.differences.begin(), r.differences.end()));  // generation order
    const std::string text = ReadWhole(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 50000);
}

TEST(TwoMedianBootTest, MouseSurvivalTimes) {
    // Treatment 94 197 16 38 99 141 23, control 52 104 146 10 51 30 40 27 46: medians 94 and 46.
    Generator generator{Seeds{1234, 5678, 9012}};
    RunControl control;
    DataFile file = DataFile::FromText("7 9\n94 197 16 38 99 141 23\n52 104 146 10 51 30 40 27 46\n", "mouse.dat");
    const auto run = brevant::TwoMedianBootTestProcedure(file, {50000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 5u);
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "94.000");
    EXPECT_EQ(brevant::BoxText(run.boxes[1]), "46.000");
    EXPECT_EQ(brevant::BoxText(run.boxes[2]), "48.000");
    // Bootstrap medians of group 1 are its data values, of group 2 too (both sizes odd): every limit is a
    // difference of two data values, and the interval holds the obtained difference.
    const double lower = brevant::BoxValue(run.boxes[3]), upper = brevant::BoxValue(run.boxes[4]);
    EXPECT_LT(lower, 48.0);
    EXPECT_GT(upper, 48.0);
    const std::vector<int> t{94, 197, 16, 38, 99, 141, 23}, c{52, 104, 146, 10, 51, 30, 40, 27, 46};
    auto isDifference = [&](double v) {
        for (int a : t)
            for (int b : c)
                if (v == a - b) return true;
        return false;
    };
    EXPECT_TRUE(isDifference(lower)) << lower;
    EXPECT_TRUE(isDifference(upper)) << upper;
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Median Differences");
    EXPECT_EQ(run.histogram.observed, 48.0f);
    EXPECT_FALSE(run.histogram.bounds.has_value());
    std::printf("mouse survival times, 50,000 resamples, 95 %%: %s to %s\n", brevant::BoxText(run.boxes[3]).c_str(),
                brevant::BoxText(run.boxes[4]).c_str());
}

TEST(TwoMedianBootTest, RefusesDataAndSettingsItCannotRun) {
    const Refusal bad[] = {
        {"0 3 1 2 3", "announces 0 values for group 1; each group needs at least 1 value."},
        {"3 0 1 2 3", "announces 0 values for group 2; each group needs at least 1 value."},
        {"2 3 1 2 3 4", "holds fewer values than announced"},
        {"2 2 1 2 3 nan", "is not a finite number"},
        {"1 1 3.4e38 -1", "holds values more than 3E+38 apart"},
    };
    ExpectRefused(brevant::TwoMedianBootTestProcedure, bad);
    DataFile file = DataFile::FromText("2 2 1 2 3 4", "ok.dat");
    const auto data = brevant::ReadTwoMedianBootTestData(file);
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunTwoMedianBootTest(data, {20, 0.975f, {}}, generator, control), brevant::SettingsError);
    EXPECT_NO_THROW(brevant::RunTwoMedianBootTest(data, {21, 0.975f, {}}, generator, control));
    control.RequestCancel();
    const Seeds before = generator.seeds;
    EXPECT_THROW(brevant::RunTwoMedianBootTest(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
    EXPECT_EQ(generator.seeds, before);  // cancelled before the first draw
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
