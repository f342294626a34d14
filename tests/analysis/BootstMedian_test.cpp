// The bootstrapped-median run against its literal transcription (tests/literal/LiteralBootstMedian.h): the
// obtained median, every bootstrap median, the sorted medians, both limits, the output file's bytes and the
// final seeds, on many inputs (ties, negatives, values of more than seven digits, halfway cases at the
// eighth digit, -0 with +0); past the literal routines' 1,000 values, against the engine's own draw and
// median routines; the positions, the boxes, the refusals.
#include "analysis/bootstrap/BootstMedian.h"
#include "engine/NumberText.h"
#include "literal/LiteralBootstMedian.h"
#include "support/Files.h"
#include "support/Refusals.h"
#include "support/TwoGroups.h"

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
using brevant::testing::ReadWhole;
using brevant::testing::SameBits;
using brevant::testing::SameBitsEach;

std::string FileText(const std::vector<float>& values) {
    std::string text = std::to_string(values.size()) + "\n";
    for (const float v : values) text += brevant::ShortestText(v) + " ";
    return text;
}

brevant::BootstMedianResult RunFast(const std::vector<float>& values, RunSettings settings, Seeds seeds,
                                    Seeds* after = nullptr) {
    Generator generator{seeds};
    RunControl control;
    // The reader reads "-0" as 0, so data holding -0 are handed to the run directly.
    DataFile file = DataFile::FromText(FileText(values), "median.dat");
    brevant::BootstMedianData data = brevant::ReadBootstMedianData(file);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] == 0.0f) data.values[i] = values[i];
    }
    auto result = brevant::RunBootstMedian(data, settings, generator, control);
    brevant::WriteOutputFile(settings, result.bootstrapMedians);
    if (after) *after = generator.seeds;
    EXPECT_EQ(control.resamplesDone.load(), settings.resamples);
    EXPECT_EQ(control.sortDone.load(), settings.resamples);
    return result;
}

void ExpectSameAsLiteral(const std::vector<float>& values, std::int32_t R, float q, Seeds seeds) {
    SCOPED_TRACE("n=" + std::to_string(values.size()) + " R=" + std::to_string(R) + " q=" + std::to_string(q));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "BootstMedian_test_out.dat";
    DataFile file = DataFile::FromText(FileText(values), "median.dat");
    ASSERT_FALSE(brevant::ReadBootstMedianData(file).centred) << "ordinary data keep the defined path";
    Seeds after;
    const auto fast = RunFast(values, {R, q, out.string()}, seeds, &after);
    brevant::literal::seedTable = seeds;
    const auto literal = brevant::literal::RunBootstMedian(values, R, q);

    EXPECT_TRUE(SameBits(fast.median, literal.median)) << fast.median << " " << literal.median;
    EXPECT_EQ(fast.positions.lower, literal.lowerPosition);
    EXPECT_EQ(fast.positions.upper, literal.upperPosition);
    EXPECT_TRUE(SameBits(fast.lowerPercentile, literal.L));
    EXPECT_TRUE(SameBits(fast.upperPercentile, literal.U));
    EXPECT_TRUE(SameBits(fast.lowerDistance, literal.dL));
    EXPECT_TRUE(SameBits(fast.upperDistance, literal.dU));
    EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lowerLimit)) << fast.lowerLimit << " " << literal.lowerLimit;
    EXPECT_TRUE(SameBits(fast.upperLimit, literal.upperLimit)) << fast.upperLimit << " " << literal.upperLimit;
    ASSERT_TRUE(SameBitsEach(fast.bootstrapMedians, literal.medians)) << "medians";
    ASSERT_TRUE(SameBitsEach(fast.sortedMedians, literal.sortedMedians)) << "sorted medians";
    EXPECT_EQ(after, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
}

std::vector<float> RandomValues(std::mt19937& random, int n, int kind) {
    std::uniform_real_distribution<float> spread(-50.0f, 80.0f);
    std::uniform_int_distribution<int> few(-3, 4);
    std::vector<float> values;
    for (int j = 0; j < n; ++j) {
        switch (kind % 4) {
            case 0: values.push_back(spread(random)); break;                    // mostly eight digits and more
            case 1: values.push_back(static_cast<float>(few(random))); break;  // many ties
            case 2:  // halfway, a few units apart (a hundredth apart they centre the run)
                values.push_back(1234.5f + 0.0625f * static_cast<float>(few(random)) + static_cast<float>(2 * (j % 5)));
                break;
            default: values.push_back(j % 3 == 0 ? std::round(spread(random)) : spread(random) * 1e-3f); break;
        }
    }
    return values;
}

TEST(BootstMedian, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(4242);
    const int sizes[] = {3, 4, 5, 8, 11, 26, 61, 100, 333};
    const float quantiles[] = {0.95f, 0.975f, 0.995f};
    int i = 0;
    for (const int n : sizes) {
        for (int kind = 0; kind < 4; ++kind) {
            SCOPED_TRACE("kind " + std::to_string(kind));
            ExpectSameAsLiteral(RandomValues(random, n, kind), 1000, quantiles[i % 3],
                                Seeds{11 + 7 * i, 1300 + 13 * i, 29000 - 11 * i});
            ++i;
        }
    }
    // The designed capacity, odd and even, once each.
    ExpectSameAsLiteral(RandomValues(random, 1000, 0), 1000, 0.975f, Seeds{3, 5, 7});
    ExpectSameAsLiteral(RandomValues(random, 999, 3), 1000, 0.95f, Seeds{30268, 30306, 30322});
}

TEST(BootstMedian, HalfwayAtTheEighthDigitAndZerosOfBothSigns) {
    // 1234.5625 is exactly halfway between 1234.562 and 1234.563 and reads back as 1234.562 (ties to even);
    // 1234.5635 (as a float, a little below) as 1234.563; an even n forms such values as the mean of two.
    // (Such values a hundredth apart, or all equal, centre the run: ValuesThatDifferLittle... below.)
    ExpectSameAsLiteral({1234.5625f, 1234.5625f, 1230.5f}, 1000, 0.975f, Seeds{1, 2, 3});
    ExpectSameAsLiteral({1234.5f, 1234.625f, 1234.5625f, 1234.5635f, 1230.5f, 1238.625f}, 2000, 0.95f,
                        Seeds{100, 200, 300});
    ExpectSameAsLiteral({1234.5625f, 1234.5f, 1234.625f, -1234.5625f, 99999.995f}, 1000, 0.995f, Seeds{9, 8, 7});
    // Between 2^33 and 1e10 floats lie farther apart (1024) than the seventh digit (1000): the texts of
    // neighbouring floats can coincide and a text need not read back to the float it came from.
    std::mt19937 random(33);
    std::uniform_real_distribution<float> wide(8.6e9f, 1e10f);
    for (const int n : {5, 6, 41}) {
        std::vector<float> values;
        for (int i = 0; i < n; ++i) values.push_back(wide(random));
        ExpectSameAsLiteral(values, 1000, 0.95f, Seeds{n, 2 * n, 3 * n});
    }
    // -0 and +0 together (not from a data file, whose reader reads -0 as 0): the order of the zeros decides
    // the sign of a zero median.
    ExpectSameAsLiteral({-0.0f, 0.0f, -0.0f, 0.0f, 1.0f, -1.0f}, 1000, 0.975f, Seeds{17, 18, 19});
    ExpectSameAsLiteral({-0.0f, 0.0f, 0.0f}, 1000, 0.975f, Seeds{23, 24, 25});

    // The obtained median of the even 1234.5 / 1234.625 pair is 1234.5625 itself; the output file writes it
    // in seven digits, ties to even.
    const auto run = RunFast({1234.5f, 1234.625f}, {1000, 0.975f, {}}, Seeds{4, 5, 6});
    EXPECT_EQ(run.median, 1234.5625f);
    EXPECT_EQ(brevant::DefaultNumberText(run.median), " 1234.562 ");
    EXPECT_EQ(brevant::RoundTrip7(1234.5625f), 1234.562f);
}

TEST(BootstMedian, OneAndTwoValues) {
    // One value of at most seven digits: every bootstrap median and both limits are that value.
    const auto one = RunFast({42.5f}, {1000, 0.975f, {}}, Seeds{1, 2, 3});
    EXPECT_EQ(one.median, 42.5f);
    for (const float m : one.bootstrapMedians) ASSERT_EQ(m, 42.5f);
    EXPECT_EQ(one.lowerLimit, 42.5f);
    EXPECT_EQ(one.upperLimit, 42.5f);
    // With more digits, one value has no spread for its seven-digit text to keep: the run is centred, and
    // every bootstrap median and both limits are the value itself (ValuesThatDifferLittle... below). Two
    // values far apart keep the defined path: the bootstrap medians see the seven-digit text.
    ExpectSameAsLiteral({1.23456789f, -7.654321987f}, 1000, 0.975f, Seeds{5, 6, 7});
    ExpectSameAsLiteral({2.0f, 2.0f}, 1000, 0.95f, Seeds{5, 6, 7});
}

// Values that differ little relative to their size, where the seven-digit text would move one by more
// than a thousandth of their spread (one value, values all equal, values a hundredth apart near 100,000):
// the run is centred, so no value is rounded. The obtained median is the data's own, the limits lie on
// either side of it (at it, for a sample with no spread), they agree with the same run on the data taken
// around a round value near them, and a note says so.
TEST(BootstMedian, ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    std::mt19937 random(2026);
    const auto around = [&random](int n, double centre, double sd) {
        return brevant::testing::Around(random, n, centre, sd);
    };
    const auto halfway = [&random](int n) {  // 1234.5 + 0.0625 k, many of them halfway at the eighth digit
        std::uniform_int_distribution<int> few(-3, 4);
        std::vector<float> values;
        for (int i = 0; i < n; ++i) values.push_back(1234.5f + 0.0625f * static_cast<float>(few(random)));
        return values;
    };
    const struct {
        const char* what;
        std::vector<float> values;
        double shift;  // the round value near them
    } cases[] = {
        {"one value 100000.01", {100000.01f}, 100000.0},
        {"one value of nine digits", {1.23456789f}, 1.0},
        {"equal halfway values", {1234.5625f, 1234.5625f, 1234.5625f}, 1234.0},
        {"halfway values a hundredth apart", {1234.5f, 1234.625f, 1234.5625f, 1234.5635f, 1234.5f, 1234.625f},
         1234.0},
        {"61 values near 100,000, spread 0.01", around(61, 100000.01, 0.01), 100000.0},
        {"40 values 1 +- 2e-7", around(40, 1.0, 2e-7), 1.0},
        {"100 values near 1e6, spread 1", around(100, 1e6, 1.0), 1e6},
        {"halfway values near 1234.5, spread 0.14", halfway(26), 1234.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const double spread = brevant::testing::StandardDeviation(c.values);

        DataFile file = DataFile::FromText(FileText(c.values), "close.dat");
        const brevant::BootstMedianData data = brevant::ReadBootstMedianData(file);
        EXPECT_TRUE(data.centred);
        Generator generator{Seeds{4, 5, 6}};
        RunControl control;
        const RunSettings settings{2000, 0.95f, {}};
        brevant::BootstMedianResult result = brevant::RunBootstMedian(data, settings, generator, control);
        std::vector<float> shifted;
        for (const float v : c.values) shifted.push_back(static_cast<float>(v - c.shift));
        const auto taken = RunFast(shifted, settings, Seeds{4, 5, 6});

        EXPECT_NEAR(result.median, brevant::testing::ExactMedian(c.values), spread / 1000);
        EXPECT_LE(result.lowerLimit, result.median);
        EXPECT_GE(result.upperLimit, result.median);
        if (spread == 0) {
            EXPECT_EQ(result.lowerLimit, result.median);
            EXPECT_EQ(result.upperLimit, result.median);
        }
        // The same draws on values around 0; the limits there, moved back, lie within a thousandth of the
        // spread (and the float spacing at the data's size) of the centred run's.
        const double grid = std::nextafter(std::fabs(result.median), INFINITY) - std::fabs(result.median);
        EXPECT_NEAR(result.lowerLimit, taken.lowerLimit + c.shift, spread / 1000 + grid);
        EXPECT_NEAR(result.upperLimit, taken.upperLimit + c.shift, spread / 1000 + grid);
        const brevant::RunResult run = brevant::PresentBootstMedian(std::move(result));
        EXPECT_EQ(brevant::BoxValue(brevant::ObservedBootstMedianBoxes(data)[0]), brevant::BoxValue(run.boxes[0]));
        EXPECT_NE(std::find(run.notes.begin(), run.notes.end(), brevant::kUnroundedRunNote), run.notes.end());
    }
}

// Past the literal routines' 1,000 values: the fast run against the engine's own BootstrapDraw and
// ArrayMedian on a copy of the sorted data at every resample, at sizes that fill the run's block of 2,048
// draws exactly, pass it by one, and leave a remainder.
TEST(BootstMedian, LargeSamplesMatchTheEngineRoutines) {
    std::mt19937 random(99);
    for (const int n : {2048, 2049, 2500, 2501}) {
        const std::vector<float> values = RandomValues(random, n, n % 2 == 0 ? 0 : 1);
        const std::int32_t R = 200;
        Seeds after;
        const auto fast = RunFast(values, {R, 0.95f, {}}, Seeds{77, 88, 99}, &after);

        std::vector<float> sorted = values;
        const float M = brevant::ArrayMedian(sorted);
        Generator g{Seeds{77, 88, 99}};
        EXPECT_TRUE(SameBits(fast.median, M));
        for (std::int32_t k = 0; k < R; ++k) {
            std::vector<float> work = sorted;
            brevant::BootstrapDraw(g, work);
            ASSERT_TRUE(SameBits(fast.bootstrapMedians[static_cast<std::size_t>(k)], brevant::ArrayMedian(work)))
                << "n " << n << " resample " << k + 1;
        }
        EXPECT_EQ(after, g.seeds);
    }
}

TEST(BootstMedian, OrderOfTheDataDoesNotMatter) {
    const std::vector<float> values{5.5f, 1.25f, 9.0f, 3.75f, 7.125f, 2.0f, 8.5f};
    std::vector<float> reversed(values.rbegin(), values.rend());
    const auto a = RunFast(values, {2000, 0.975f, {}}, Seeds{40, 50, 60});
    const auto b = RunFast(reversed, {2000, 0.975f, {}}, Seeds{40, 50, 60});
    EXPECT_EQ(a.bootstrapMedians, b.bootstrapMedians);
    EXPECT_EQ(a.lowerLimit, b.lowerLimit);
    EXPECT_EQ(a.upperLimit, b.upperLimit);
}

TEST(BootstMedian, PercentilePositionsOfTheHundredThousandButton) {
    const std::pair<float, brevant::PercentilePositions> levels[] = {
        {0.95f, {5000, 95000}}, {0.975f, {2500, 97500}}, {0.995f, {500, 99500}}};
    for (const auto& [q, expected] : levels) {
        const auto p = brevant::NearestPercentilePositions(100000, q);
        EXPECT_EQ(p.lower, expected.lower) << q;
        EXPECT_EQ(p.upper, expected.upper) << q;
    }
    // The run reads the limits from those positions: L and U are the sorted medians there.
    const auto run = RunFast({3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5}, {100000, 0.975f, {}}, Seeds{8, 8, 8});
    EXPECT_EQ(run.lowerPercentile, run.sortedMedians[2499]);
    EXPECT_EQ(run.upperPercentile, run.sortedMedians[97499]);
    EXPECT_TRUE(std::is_sorted(run.sortedMedians.begin(), run.sortedMedians.end()));
    EXPECT_EQ(run.lowerLimit, 2 * run.median - run.upperPercentile);
    EXPECT_EQ(run.upperLimit, 2 * run.median - run.lowerPercentile);
}

TEST(BootstMedian, BoxesAndHistogramRequestAsTheWindowShowsThem) {
    Generator generator{Seeds{2, 3, 4}};
    RunControl control;
    DataFile file = DataFile::FromText("14\n182 205 199 240 176 215 228 310\n189 254 197 620 211 233\n", "h.dat");
    const auto run = brevant::BootstMedianProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 3u);
    const char* controls[] = {"txtMedian", "LowerCL", "UpperCL"};
    const char* labels[] = {"label1", "Label3", "Label2"};
    const char* texts[] = {"Obtained Median", "Lower CI", "Upper CI"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(run.boxes[i].control, controls[i]);
        EXPECT_EQ(run.boxes[i].labelControl, labels[i]);
        EXPECT_EQ(run.boxes[i].label, texts[i]);
        EXPECT_EQ(run.boxes[i].format, brevant::BoxFormat::ThreeDecimals);
    }
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "213.000");  // (211 + 215) / 2
    EXPECT_LT(brevant::BoxValue(run.boxes[1]), 213.0);
    EXPECT_GT(brevant::BoxValue(run.boxes[2]), 213.0);
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Median");
    EXPECT_EQ(run.histogram.observed, 213.0f);
    EXPECT_FALSE(run.histogram.bounds.has_value());
    EXPECT_EQ(run.resampled.size(), 1000u);
    EXPECT_TRUE(run.notes.empty());
    EXPECT_TRUE(run.messages.empty());

    DataFile again = DataFile::FromText("3 9 1 5", "three.dat");
    const auto observed = brevant::ObservedBootstMedianBoxes(brevant::ReadBootstMedianData(again));
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(brevant::BoxText(observed[0]), "5.000");
}

TEST(BootstMedian, RefusesDataAndSettingsThatCannotGiveAnInterval) {
    const Refusal bad[] = {
        {"0", "announces 0 values; a median needs at least 1 value."},
        {"-2 1 2", "is out of range"},
        {"3 1 2", "holds fewer values than announced"},
        {"3 1 two 3", "is not a number"},
        {"2000000 1 2", "is out of range"},
        {"", "holds no data"},
    };
    ExpectRefused(brevant::BootstMedianProcedure, bad);
    DataFile file = DataFile::FromText("3 1 2 3", "ok.dat");
    const auto data = brevant::ReadBootstMedianData(file);
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunBootstMedian(data, {100, 0.995f, {}}, generator, control), brevant::SettingsError);
    control.RequestCancel();
    EXPECT_THROW(brevant::RunBootstMedian(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
    EXPECT_EQ(generator.seeds, (Seeds{1, 2, 3})) << "cancelled before the first draw";
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
