// The two-medians randomization run against its literal transcription
// (tests/literal/LiteralTwoMedianRandomTest.h): the obtained medians, every shuffled difference, the sorted
// differences and limits, the output file's bytes and the final seeds, on groups of many sizes and kinds;
// the result boxes; the percentile positions at 50,000 shuffles; data and settings it refuses.
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "literal/LiteralTwoMedianRandomTest.h"
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

const TwoMedianRunner<brevant::TwoMedianRandomTestResult> kTwoMedianRandomTest{
    &brevant::ReadTwoMedianRandomTestData, &brevant::RunTwoMedianRandomTest,
    &brevant::literal::RunTwoMedianRandomTest, "shuffle", "TwoMedianRandomTest_test_out.dat"};

brevant::TwoMedianRandomTestResult RunFast(const std::vector<float>& g1, const std::vector<float>& g2,
                    const RunSettings& settings, Generator& generator, bool viaFile = true) {
    return brevant::testing::RunTwoMedianFast(kTwoMedianRandomTest, g1, g2, settings, generator, viaFile);
}

void ExpectSameAsLiteral(const std::vector<float>& g1, const std::vector<float>& g2, std::int32_t R, float q,
                         Seeds seeds, bool viaFile = true) {
    brevant::testing::ExpectTwoMedianRunMatchesLiteral(kTwoMedianRandomTest, g1, g2, R, q, seeds, viaFile);
}

TEST(TwoMedianRandomTest, MatchesTheLiteralRunBitForBit) {
    const struct {
        int size1, size2;
        Mix mix;
        std::int32_t R;
        float q;
    } cases[] = {
        {1, 1, Mix::Plain, 1000, 0.975f},  {1, 4, Mix::Plain, 1000, 0.95f},    {2, 3, Mix::Ties, 1000, 0.995f},
        {3, 2, Mix::Halfway, 1000, 0.975f}, {4, 4, Mix::Zeros, 1000, 0.975f},  {7, 9, Mix::Plain, 2000, 0.995f},
        {9, 7, Mix::Halfway, 1000, 0.95f},  {25, 30, Mix::Ties, 1000, 0.975f}, {30, 25, Mix::Zeros, 1000, 0.95f},
        {40, 41, Mix::Wide, 1000, 0.975f},  {60, 2, Mix::Halfway, 1000, 0.995f},
        {500, 500, Mix::Plain, 21, 0.975f}, {501, 3, Mix::Halfway, 30, 0.95f},
    };
    std::mt19937 random(4242);
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size1) + "+" + std::to_string(c.size2) + " mix " +
                     std::to_string(static_cast<int>(c.mix)) + " R=" + std::to_string(c.R));
        const auto g1 = brevant::testing::DrawGroup(random, c.size1, c.mix, -3.0f);
        const auto g2 = brevant::testing::DrawGroup(random, c.size2, c.mix, 2.0f);
        ExpectSameAsLiteral(g1, g2, c.R, c.q, Seeds{11 + i, 900 + 13 * i, 20000 + i});
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
    // The eighth-digit tie itself: 1234.5625 goes through "1234.562" (halves to even) wherever it is moved.
    ExpectSameAsLiteral({1234.5625f, 1234.5625f, 1.0f}, {1234.5625f, 5.0f, 1234.5635f, 9.87654321f}, 1000, 0.975f,
                        Seeds{30000, 30000, 30000});
}

// Values that differ little relative to their size, where the seven-digit text would move one by more than
// a thousandth of the spread of all values: no value is rounded (ExpectCentredTwoMedianRun).
TEST(TwoMedianRandomTest, ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    std::mt19937 random(606);
    std::vector<brevant::testing::CloseGroups> cases = brevant::testing::CloseGroupCases(random);
    cases.insert(cases.end(), {
        {"all equal, 100000.01", std::vector<float>(4, 100000.01f), std::vector<float>(3, 100000.01f), 100000.0},
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> all = c.g1;
        all.insert(all.end(), c.g2.begin(), c.g2.end());
        const double spread = StandardDeviation(all);
        const auto r = brevant::testing::ExpectCentredTwoMedianRun(kTwoMedianRandomTest, c.g1, c.g2, c.around, spread);
        if (spread == 0.0) {
            EXPECT_EQ(r.lowerLimit, 0.0f);
            EXPECT_EQ(r.upperLimit, 0.0f);
        }
    }
}

// A shuffle stops once group 2's places are settled, drawing them from whole blocks: group 2 of every size
// that leaves a remainder of the block of 32 draws, each beside a smaller and a larger group 1 (so either
// group is the one marked).
TEST(TwoMedianRandomTest, SettlingShufflesOfEverySizeMatchTheLiteralRun) {
    std::mt19937 random(99);
    for (int size2 = 1; size2 <= 33; ++size2) {
        for (const int size1 : {2, 40}) {
            SCOPED_TRACE(std::to_string(size1) + "+" + std::to_string(size2));
            const auto g1 = brevant::testing::DrawGroup(random, size1, Mix::Ties, -1.0f);
            const auto g2 = brevant::testing::DrawGroup(random, size2, Mix::Plain, 1.0f);
            ExpectSameAsLiteral(g1, g2, 40, 0.95f, Seeds{size2, size1, 7});
        }
    }
}

TEST(TwoMedianRandomTest, MediansOfTheEighthDigitTieAndOfEvenGroups) {
    // Odd group of three: the middle value is rounded on its way to its place, so 1234.5625 shows as
    // 1234.562. An even group's median is the mean of its two middle values.
    Generator generator{Seeds{1, 2, 3}};
    const auto r = RunFast({1234.5625f, 1.0f, 5000.0f}, {4.0f, 1.0f, 3.0f, 2.0f}, {1000, 0.975f, {}}, generator);
    EXPECT_EQ(r.observed.median1, 1234.562f);
    EXPECT_EQ(r.observed.median2, 2.5f);
    EXPECT_EQ(r.observed.difference, 1234.562f - 2.5f);
    EXPECT_EQ(r.observed.group1, (std::vector<float>{1.0f, 1234.562f, 5000.0f}));
    // A single value is its own median, unrounded: the last position of a sort is never exchanged.
    const auto one = RunFast({1.23456789f}, {2.0f}, {1000, 0.975f, {}}, generator);
    EXPECT_EQ(one.observed.median1, 1.23456789f);
}

TEST(TwoMedianRandomTest, EqualValuesGiveZeroEverywhere) {
    Generator generator{Seeds{5, 6, 7}};
    const auto r = RunFast(std::vector<float>(5, 3.25f), std::vector<float>(6, 3.25f), {2000, 0.995f, {}}, generator);
    EXPECT_EQ(r.observed.difference, 0.0f);
    EXPECT_EQ(r.lowerLimit, 0.0f);
    EXPECT_EQ(r.upperLimit, 0.0f);
    EXPECT_TRUE(std::all_of(r.differences.begin(), r.differences.end(), [](float d) { return d == 0.0f; }));
    EXPECT_NE(generator.seeds, (Seeds{5, 6, 7}));  // the shuffles still draw
}

TEST(TwoMedianRandomTest, FiftyThousandShufflesReadPositions1250And48750) {
    const std::filesystem::path out = WorkFile("TwoMedianRandomTest_test_50000.dat");
    Generator generator{Seeds{77, 88, 99}};
    const auto r = RunFast({3, 9, 4, 12, 7, 1}, {8, 2, 10, 5, 6}, {50000, 0.975f, out.string()}, generator);
    EXPECT_EQ(r.positions.lower, 1250);
    EXPECT_EQ(r.positions.upper, 48750);
    EXPECT_EQ(r.lowerLimit, r.sorted[1249]);
    EXPECT_EQ(r.upperLimit, r.sorted[48749]);
    EXPECT_TRUE(std::is_sorted(r.sorted.begin(), r.sorted.end()));
    EXPECT_FALSE(std::is_sorted(r.differences.begin(), r.differences.end()));  // generation order
    const std::string text = ReadWhole(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 50000);
    // Shuffled limits lie around zero and within the largest possible difference.
    EXPECT_LT(r.lowerLimit, 0.0f);
    EXPECT_GT(r.upperLimit, 0.0f);
    EXPECT_GE(r.sorted.front(), -11.0f);
    EXPECT_LE(r.sorted.back(), 11.0f);
}

TEST(TwoMedianRandomTest, BoxesAndHistogramRequestAsTheWindowShowsThem) {
    Generator generator{Seeds{2, 3, 4}};
    RunControl control;
    DataFile file = DataFile::FromText("3 4\n5 1 3\n4 1 3 2\n", "small.dat");
    const auto run = brevant::TwoMedianRandomTestProcedure(file, {1000, 0.975f, {}}, generator, control);
    const char* controls[] = {"txtMedian1", "txtMedian2", "txtMedDiff", "txtLowerCL", "txtUpperCL"};
    const char* labels[] = {"label1", "label5", "Label2", "Label3", "Label6"};
    const char* texts[] = {"Median Group 1", "Median Group 2", "Median Difference", "Lower CL", "Upper CL"};
    ASSERT_EQ(run.boxes.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(run.boxes[i].control, controls[i]);
        EXPECT_EQ(run.boxes[i].labelControl, labels[i]);
        EXPECT_EQ(run.boxes[i].label, texts[i]);
        EXPECT_EQ(run.boxes[i].format, brevant::BoxFormat::ThreeDecimals);
    }
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "3.000");
    EXPECT_EQ(brevant::BoxText(run.boxes[1]), "2.500");
    EXPECT_EQ(brevant::BoxText(run.boxes[2]), "0.500");
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Median Differences");
    EXPECT_EQ(run.histogram.observed, 0.5f);
    EXPECT_FALSE(run.histogram.bounds.has_value());
    EXPECT_EQ(run.resampled.size(), 1000u);
    EXPECT_TRUE(run.notes.empty());
    EXPECT_TRUE(run.messages.empty());

    DataFile again = DataFile::FromText("3 4\n5 1 3\n4 1 3 2\n", "small.dat");
    const auto observed = brevant::ObservedTwoMedianRandomTestBoxes(brevant::ReadTwoMedianRandomTestData(again));
    ASSERT_EQ(observed.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(brevant::BoxText(observed[i]), brevant::BoxText(run.boxes[i]));
}

TEST(TwoMedianRandomTest, RefusesDataAndSettingsItCannotRun) {
    const Refusal bad[] = {
        {"0 3 1 2 3", "announces 0 values for group 1; each group needs at least 1 value."},
        {"2 0 1 2", "announces 0 values for group 2; each group needs at least 1 value."},
        {"2 3 1 2 3 4", "holds fewer values than announced"},
        {"2 2 1 x 3 4", "is not a number"},
        {"600000 600000 1", "announces 1200000 values in its two groups; at most 1000000 can be analysed."},
        {"-1 2 1 2", "is out of range"},
        {"1 1 -2e38 2e38", "holds values more than 3E+38 apart"},
        {"", "holds no data"},
    };
    ExpectRefused(brevant::TwoMedianRandomTestProcedure, bad);
    // Values far apart but within reach are taken: 1E+38 and -1E+38 differ by 2E+38.
    DataFile wide = DataFile::FromText("1 1 -1e38 1e38", "wide.dat");
    EXPECT_NO_THROW(brevant::ReadTwoMedianRandomTestData(wide));

    DataFile file = DataFile::FromText("2 2 1 2 3 4", "ok.dat");
    const auto data = brevant::ReadTwoMedianRandomTestData(file);
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunTwoMedianRandomTest(data, {100, 0.995f, {}}, generator, control), brevant::SettingsError);
    EXPECT_THROW(brevant::RunTwoMedianRandomTest(data, {0, 0.975f, {}}, generator, control), brevant::SettingsError);
    EXPECT_EQ(generator.seeds, (Seeds{1, 2, 3}));
    control.RequestCancel();
    EXPECT_THROW(brevant::RunTwoMedianRandomTest(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
