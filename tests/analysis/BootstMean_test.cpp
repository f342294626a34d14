// The bootstrapped-mean run against its literal transcription (tests/literal/LiteralBootstMean.h): the four
// result boxes, every bootstrap mean, the sorted studentized values, the output file's bytes and the final
// seeds; the percentile positions; resamples with no spread; data and settings it refuses.
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/lanes/ResamplePickSumLanes.h"
#include "engine/NumberText.h"
#include "literal/LiteralBootstMean.h"
#include "support/Files.h"
#include "support/Percentiles.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::RunSettings;
using brevant::Seeds;
using brevant::testing::ExpectPositionsAtEachLevel;
using brevant::testing::ExpectRefused;
using brevant::testing::PositionsRow;
using brevant::testing::Refusal;

std::string FileText(const std::vector<float>& values) {
    std::string text = std::to_string(values.size()) + "\n";
    for (const float v : values) text += brevant::ShortestText(v) + " ";
    return text;
}

using brevant::testing::ReadWhole;
using brevant::testing::SameBits;
using brevant::testing::SameBitsEach;

brevant::BootstMeanResult RunFast(const std::vector<float>& values, RunSettings settings, Seeds seeds,
                                  Seeds* after = nullptr, brevant::DrawPath path = brevant::ActiveDrawPath()) {
    Generator generator{seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(values), "boot.dat");
    auto result = brevant::RunBootstMean(brevant::ReadBootstMeanData(file), settings, generator, control, path);
    brevant::WriteOutputFile(settings, result.bootstrapMeans);
    if (after) *after = generator.seeds;
    EXPECT_EQ(control.resamplesDone.load(), settings.resamples);
    EXPECT_EQ(control.sortDone.load(), settings.resamples);
    return result;
}

void ExpectSameAsLiteral(const std::vector<float>& values, std::int32_t R, float q, Seeds seeds, int threads = 0,
                         brevant::DrawPath path = brevant::ActiveDrawPath()) {
    SCOPED_TRACE("n=" + std::to_string(values.size()) + " R=" + std::to_string(R) + " q=" + std::to_string(q) +
                 " threads=" + std::to_string(threads) + (path == brevant::DrawPath::Avx2 ? " avx2" : " baseline"));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "BootstMean_test_out.dat";
    Seeds after;
    const auto fast = RunFast(values, {R, q, out.string(), threads}, seeds, &after, path);
    brevant::literal::seedTable = seeds;
    const auto literal = brevant::literal::RunBootstMean(values, R, q);

    EXPECT_TRUE(SameBits(fast.mean, literal.mean));
    EXPECT_TRUE(SameBits(fast.standardError, literal.se));
    EXPECT_EQ(fast.positions.lower, literal.lowerPosition);
    EXPECT_EQ(fast.positions.upper, literal.upperPosition);
    EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lowerLimit)) << fast.lowerLimit << " " << literal.lowerLimit;
    EXPECT_TRUE(SameBits(fast.upperLimit, literal.upperLimit)) << fast.upperLimit << " " << literal.upperLimit;
    EXPECT_TRUE(SameBits(fast.bootstrapStandardError, literal.bootstrapSE));
    ASSERT_TRUE(SameBitsEach(fast.bootstrapMeans, literal.means)) << "means";
    ASSERT_TRUE(SameBitsEach(fast.sortedT, literal.sortedT)) << "sorted t";
    EXPECT_EQ(after, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
}

TEST(BootstMean, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(777);
    std::uniform_real_distribution<float> spread(-20.0f, 30.0f);
    const int sizes[] = {2, 3, 7, 25, 60};
    const float quantiles[] = {0.95f, 0.975f, 0.995f};
    int i = 0;
    for (const int n : sizes) {
        std::vector<float> values;
        for (int j = 0; j < n; ++j) {
            const float v = spread(random);  // more than seven significant digits
            values.push_back(j % 4 == 0 ? std::round(v) : v);
        }
        // Counts that are not a multiple of the resamples summed side by side leave a remainder.
        ExpectSameAsLiteral(values, 1000 + i, quantiles[i % 3], Seeds{17 + i, 1700 + i, 2900 + 7 * i});
        ++i;
    }
    ExpectSameAsLiteral({1.23456789f, 9.87654321f, 5.5f, -0.000123456789f}, 2000, 0.995f, Seeds{30000, 30000, 30000});
}

// Resamples are drawn and summed kBootstMeanLanes at a time, on the AVX2 path (where the processor has it)
// and the baseline: every count of leftover resamples, at the end of a run and at the end of each thread's
// share, runs one at a time after the lanes, with the same bits.
TEST(BootstMean, EveryRemainderOfTheLanesMatchesTheLiteralRunOnEveryPath) {
    std::mt19937 random(515);
    std::uniform_real_distribution<float> spread(-5.0f, 15.0f);
    std::vector<float> values(7);
    for (float& v : values) v = spread(random);
    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
        if (!brevant::DrawPathAvailable(path)) continue;
        for (std::int32_t R = 2 * brevant::kBootstMeanLanes; R < 3 * brevant::kBootstMeanLanes; ++R) {
            ExpectSameAsLiteral(values, R, 0.975f, Seeds{100 + R, 200 + R, 300 + R}, 1 + R % 3, path);
        }
    }
}

// Past the designed 1,000 values the sums are double, in the lanes as one at a time: every bootstrap mean
// of the run, on each path, is the double-sum mean of its own draws (BootstrapDrawFrom, one resample after
// another), and the generator ends after them.
TEST(BootstMean, DoubleSumsInTheLanesGiveEachResamplesOwnMean) {
    // 1,001 values past the designed size: ordinary ones (double sums hold values 1000 +- 3) drawn through
    // their text; values 100000 +- 0.01, whose sums of squares even in double and whose seven-digit texts
    // would lose their spread, drawn as deviations from their mean, which each bootstrap mean gets back.
    for (const auto& [centre, spread] : {std::pair{1000.0f, 3.0f}, std::pair{100000.0f, 0.01f}}) {
        SCOPED_TRACE("spread " + std::to_string(spread));
        std::mt19937 random(1001);
        std::normal_distribution<float> around(centre, spread);
        std::vector<float> values(1001);
        for (float& v : values) v = around(random);
        const bool centred = spread < 1.0f;
        const double shift = centred ? brevant::ExactMean(values) : 0.0;
        std::vector<float> source = values;
        if (centred) brevant::ShiftValues(source, shift);
        if (!centred) source = brevant::RoundedCopy(values);
        const std::int32_t R = 2 * brevant::kBootstMeanLanes + 5;
        const Seeds seeds{901, 902, 903};
        Generator reference{seeds};
        std::vector<float> expected, work(values.size());
        for (std::int32_t k = 0; k < R; ++k) {
            brevant::BootstrapDrawFrom(reference, source, work);
            brevant::RunningSums sums(brevant::SumPrecision::Double);
            for (const float x : work) sums.Add(x);
            expected.push_back(static_cast<float>(shift + sums.Mean(static_cast<std::int64_t>(work.size()))));
        }
        for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
            if (!brevant::DrawPathAvailable(path)) continue;
            SCOPED_TRACE(path == brevant::DrawPath::Avx2 ? "avx2" : "baseline");
            Seeds after;
            const auto run = RunFast(values, {R, 0.975f, {}, 1}, seeds, &after, path);
            EXPECT_EQ(run.centred, centred);
            EXPECT_TRUE(SameBitsEach(run.bootstrapMeans, expected));
            EXPECT_EQ(after, reference.seeds);
        }
    }
}

// The lanes draw, pick and sum at once, on the AVX2 path (where the processor has it) and the baseline,
// single and double: each lane's sums are bit for bit RunningSums over BootstrapDrawFrom's values, resample
// after resample from the same stream, and the stream ends after the last; sizes that are not multiples of
// the register width or of the stretch of draws filled ahead, values with more digits than a float sum
// keeps, a source of one value (every lane constant) and of equal values but one.
TEST(BootstMean, ResampleLanesPickAndSumEachResamplesOwnValuesOnEveryPath) {
    constexpr std::size_t kLanes = brevant::kPickSumLanes;
    std::mt19937 random(2718);
    std::uniform_real_distribution<float> spread(-3000.0f, 9000.0f);
    for (const int n : {1, 2, 3, 8, 13, 64, 65, 1000, 1001}) {
        std::vector<float> source(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = spread(random) * (i % 2 == 0 ? 1.0f : 0.001f);
        if (n == 3) source = {0.1f, 0.1f, 7.0f};  // some lanes constant, some not
        const Seeds seeds{11 + n, 22 + n, 33 + n};
        for (const brevant::SumPrecision precision : {brevant::SumPrecision::Single, brevant::SumPrecision::Double}) {
            Generator reference{seeds};
            std::vector<brevant::RunningSums> expected(kLanes, brevant::RunningSums(precision));
            bool constant[kLanes];
            std::vector<float> drawn(source.size());
            for (std::size_t j = 0; j < kLanes; ++j) {
                brevant::BootstrapDrawFrom(reference, source, drawn);
                for (const float x : drawn) expected[j].Add(x);
                constant[j] = std::all_of(drawn.begin(), drawn.end(), [&](float x) { return x == drawn[0]; });
            }
            for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
                if (!brevant::DrawPathAvailable(path)) continue;
                SCOPED_TRACE("n=" + std::to_string(n) + (precision == brevant::SumPrecision::Single ? " single" : " double") +
                             (path == brevant::DrawPath::Avx2 ? " avx2" : " baseline"));
                brevant::GroupLaneSums lanes[2] = {};
                EXPECT_EQ(brevant::PickAndSumLanes(path, precision, source, seeds, lanes), reference.seeds);
                for (std::size_t j = 0; j < kLanes; ++j) {
                    const brevant::GroupLaneSums& group = lanes[j / brevant::kGroupLanes];
                    const std::size_t lane = j % brevant::kGroupLanes;
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(group.sum[lane]), std::bit_cast<std::uint64_t>(expected[j].Sum())) << j;
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(group.squares[lane]),
                              std::bit_cast<std::uint64_t>(expected[j].Squares())) << j;
                    EXPECT_EQ(group.constant[lane], constant[j]) << j;
                }
            }
        }
    }
}

// Up to the designed sizes (1,000 values, 100,000 resamples) the sums are single precision, bit for bit.
// Past them they are double: the standard error of three million bootstrap means is their spread, and a
// million values around 1000 with spread 3 are neither refused for want of spread nor averaged wrongly.
TEST(BootstMean, SumsAreSingleUpToTheDesignedSizesAndDoubleBeyond) {
    std::mt19937 random(4242);
    std::normal_distribution<float> around(1000.0f, 3.0f);
    std::normal_distribution<float> ordinary(1000.0f, 300.0f);  // the defined sums hold these
    std::vector<float> designed(1000);
    for (float& v : designed) v = ordinary(random);
    ExpectSameAsLiteral(designed, 100, 0.975f, Seeds{71, 72, 73});

    const auto spread = [](const std::vector<float>& x) {
        long double m = 0, q = 0;
        for (const float v : x) m += v;
        m /= x.size();
        for (const float v : x) q += (v - m) * (v - m);
        return std::pair{static_cast<double>(m), static_cast<double>(std::sqrt(q / (x.size() - 1)))};
    };
    const std::vector<float> ten{3.1f, 4.7f, 2.2f, 5.9f, 4.4f, 3.3f, 6.1f, 2.8f, 4.0f, 3.6f};
    const auto many = RunFast(ten, {3'000'000, 0.975f, {}}, Seeds{11, 12, 13});
    const double written = spread(many.bootstrapMeans).second;
    EXPECT_NEAR(many.bootstrapStandardError, written, 0.001 * written);

    std::vector<float> million(1'000'000);
    for (float& v : million) v = around(random);
    const auto wide = RunFast(million, {21, 0.975f, {}}, Seeds{14, 15, 16});
    EXPECT_NEAR(wide.mean, spread(million).first, 1e-7 * 1000);
    EXPECT_NEAR(std::sqrt(wide.variance), spread(million).second, 1e-5 * 3);
}

TEST(BootstMean, PercentilePositionsForEveryCountAndLevel) {
    const PositionsRow table[] = {
        {1000, {{50, 950}, {25, 975}, {5, 995}}},
        {2000, {{100, 1900}, {50, 1950}, {10, 1990}}},
        {5000, {{250, 4750}, {125, 4875}, {25, 4975}}},
        {10000, {{500, 9500}, {250, 9750}, {50, 9950}}},
        {50000, {{2500, 47500}, {1250, 48750}, {250, 49750}}},
    };
    ExpectPositionsAtEachLevel(brevant::NearestPercentilePositions, table);
    // Halves go to the even integer: 0.5 of the way is position 0, refused as below the first value.
    EXPECT_EQ(brevant::NearestPercentilePositions(100, 0.995f).lower, 0);
    EXPECT_THROW(brevant::CheckNearestPercentileSettings(100, 0.995f), brevant::SettingsError);
    EXPECT_NO_THROW(brevant::CheckNearestPercentileSettings(101, 0.995f));
    EXPECT_THROW(brevant::CheckNearestPercentileSettings(1000, 0.5f), brevant::SettingsError);
    EXPECT_THROW(brevant::CheckNearestPercentileSettings(1000, 1.0f), brevant::SettingsError);
}

TEST(BootstMean, BootstrapMeansSeeOnlySevenSignificantDigits) {
    // Drawn values pass through their 7-digit text, so 1.23456789 is drawn as 1.234568; the observed mean
    // is taken from the data as read.
    const auto raw = RunFast({1.23456789f, 2.5f, 7.25f, 3.0f}, {1000, 0.975f, {}}, Seeds{8, 9, 10});
    const auto rounded = RunFast({1.234568f, 2.5f, 7.25f, 3.0f}, {1000, 0.975f, {}}, Seeds{8, 9, 10});
    ASSERT_NE(1.23456789f, 1.234568f);
    EXPECT_EQ(raw.bootstrapMeans, rounded.bootstrapMeans);
}

TEST(BootstMean, ResamplesWithNoSpreadGiveInfiniteOrUndefinedValuesThatSortToTheEnds) {
    // 1 2 3: a resample of 2 2 2 has the observed mean and no spread (nan); 1 1 1 gives -inf, 3 3 3 +inf.
    const std::vector<float> values{1.0f, 2.0f, 3.0f};
    ExpectSameAsLiteral(values, 1000, 0.975f, Seeds{123, 456, 789});
    ExpectSameAsLiteral({1.0f, 3.0f}, 1000, 0.975f, Seeds{123, 456, 789});
    ExpectSameAsLiteral({0.1f, 0.1f, 0.1f, 0.2f}, 1000, 0.95f, Seeds{31, 41, 59});

    Generator generator{Seeds{123, 456, 789}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(values), "three.dat");
    const auto run = brevant::BootstMeanProcedure(file, {1000, 0.975f, {}}, generator, control);
    std::int64_t finite = 0;
    for (const float m : run.resampled) finite += std::isfinite(m);
    EXPECT_EQ(finite, 1000) << "the bootstrap means are always finite";
    ASSERT_FALSE(run.notes.empty());
    EXPECT_NE(run.notes[0].find("of the 1000 resamples drew values with no spread"), std::string::npos);

    // n = 2: about a quarter of the resamples are -inf and a quarter +inf, so both 95 % limits are infinite.
    generator = Generator{Seeds{1, 2, 3}};
    DataFile pair = DataFile::FromText("2 1 3", "pair.dat");
    const auto two = brevant::BootstMeanProcedure(pair, {1000, 0.975f, {}}, generator, control);
    EXPECT_EQ(brevant::BoxText(two.boxes[1]), "-inf");
    EXPECT_EQ(brevant::BoxText(two.boxes[2]), "inf");
    EXPECT_EQ(brevant::BoxText(two.boxes[0]), "2.000");
}

TEST(BootstMean, BoxesAndHistogramRequestAsTheWindowShowsThem) {
    Generator generator{Seeds{2, 3, 4}};
    RunControl control;
    DataFile file = DataFile::FromText("8\n2 4 4 5 10 3 6 6\n", "eight.dat");
    const auto run = brevant::BootstMeanProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 4u);
    EXPECT_EQ(run.boxes[0].control, "txtMean");
    EXPECT_EQ(run.boxes[0].label, "Obtained Mean");
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "5.000");
    EXPECT_EQ(run.boxes[1].control, "LowerCL");
    EXPECT_EQ(run.boxes[2].control, "UpperCL");
    EXPECT_EQ(run.boxes[3].control, "txtStError");
    EXPECT_EQ(run.boxes[3].label, "St. Error of Bootstrap Distribution");
    EXPECT_LT(brevant::BoxValue(run.boxes[1]), 5.0);
    EXPECT_GT(brevant::BoxValue(run.boxes[2]), 5.0);
    // Near the plug-in standard error of the mean: s2 = 6, sqrt(6 / 8 * 7 / 8) = 0.81.
    EXPECT_NEAR(brevant::BoxValue(run.boxes[3]), 0.81, 0.05);
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Mean");
    EXPECT_EQ(run.histogram.observed, 5.0f);
    EXPECT_FALSE(run.histogram.bounds.has_value());
    EXPECT_EQ(run.resampled.size(), 1000u);
    EXPECT_TRUE(run.notes.empty());

    // Known before the resamples, and shown while they run: the same box, 40 / 8 = 5.
    DataFile again = DataFile::FromText("8\n2 4 4 5 10 3 6 6\n", "eight.dat");
    const auto observed = brevant::ObservedBootstMeanBoxes(brevant::ReadBootstMeanData(again));
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(observed[0].control, "txtMean");
    EXPECT_EQ(observed[0].labelControl, run.boxes[0].labelControl);
    EXPECT_EQ(brevant::BoxText(observed[0]), "5.000");
}

TEST(BootstMean, RefusesDataAndSettingsThatCannotGiveAnInterval) {
    // Every refusal, the reader's and the procedure's own, names the file the same way and says what is wrong.
    const Refusal bad[] = {
        {"1 5", "announces 1 value; a standard error needs at least 2 values."},
        {"0", "announces 0 values"},
        {"4 2 2 2 2", "holds values that are all equal"},
        {"-3 1 2 3", "is out of range"},
        {"3 1 2", "holds fewer values than announced"},
        {"3 1 two 3", "is not a number"},
        {"2000000 1 2", "is out of range"},
        {"", "holds no data"},
        {"2 1e19 3e19", "holds values too large for single-precision sums of their squares"},
    };
    ExpectRefused(brevant::BootstMeanProcedure, bad);
    DataFile file = DataFile::FromText("3 1 2 3", "ok.dat");
    const auto data = brevant::ReadBootstMeanData(file);
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunBootstMean(data, {50, 0.995f, {}}, generator, control), brevant::SettingsError);
    EXPECT_THROW(brevant::RunBootstMean(data, {0, 0.975f, {}}, generator, control), brevant::SettingsError);
    control.RequestCancel();
    EXPECT_THROW(brevant::RunBootstMean(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
}

// Too few resamples for a level: the message names the smallest count that works. The nearest-rule lower
// position (1 - q) R must round to 1, so R must pass 0.5 / (1 - q) (ties go to 0). 0.95f lies a little
// below 0.95, so 10 is enough for 90 %; 0.975f and 0.995f lie a little above theirs, so 95 % needs 21 rather
// than 20 and 99 % needs 101 rather than 100.
TEST(BootstMean, TooFewResamplesNameTheSmallestCountThatWorks) {
    const struct {
        float q;
        std::int32_t smallest;
        const char* level;
    } levels[] = {{0.95f, 10, "90"}, {0.975f, 21, "95"}, {0.995f, 101, "99"}};
    for (const auto& l : levels) {
        SCOPED_TRACE(l.level);
        EXPECT_EQ(brevant::SmallestResamplesFor(l.q), l.smallest);
        EXPECT_NO_THROW(brevant::CheckNearestPercentileSettings(l.smallest, l.q));
        try {
            brevant::CheckNearestPercentileSettings(l.smallest - 1, l.q);
            ADD_FAILURE() << "not refused";
        } catch (const brevant::SettingsError& e) {
            EXPECT_EQ(std::string(e.what()), std::to_string(l.smallest - 1) + " resamples are too few for a " +
                                                 l.level + " % interval; it needs at least " +
                                                 std::to_string(l.smallest) + " resamples.");
        }
    }
    // A level just above one half needs only 2: the one below rounds (1 - q) to 0.
    EXPECT_EQ(brevant::SmallestResamplesFor(0.5000001f), 2);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
