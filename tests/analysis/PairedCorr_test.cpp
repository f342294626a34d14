// Paired correlations against the literal transcription (tests/literal/LiteralPairedCorr.h): the obtained r,
// the limits at each confidence level, the standard error, every sorted randomized r, the illegal values
// and the generator's final seeds; then identical pairs, resamples with no spread, refusals and sums in
// double past the designed size.
#include "analysis/randomization/PairedCorr.h"
#include "engine/NumberText.h"
#include "literal/LiteralPairedCorr.h"
#include "support/Files.h"
#include "support/IllConditioned.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::Seeds;
using brevant::testing::SameBits;
using Cases = std::vector<std::array<float, 4>>;

std::string FileText(const Cases& cases) {
    std::string text = std::to_string(cases.size()) + "\n";
    for (const auto& row : cases) {
        for (const float v : row) text += brevant::ShortestText(v) + " ";
        text += "\n";
    }
    return text;
}

// Two conditions of one pair of variables: Y follows X by slope, the second condition shifted; ties,
// negatives and values of more than seven significant digits.
Cases Mixed(std::mt19937& random, int n, float slope) {
    std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
    Cases cases;
    for (int i = 0; i < n; ++i) {
        const float x1 = i % 4 == 0 ? std::round(spread(random)) : spread(random);
        const float x2 = x1 + spread(random) * 0.3f;
        cases.push_back({x1, slope * x1 + spread(random), x2, i % 3 == 0 ? std::round(x2) : -slope * x2 + 1.0f});
    }
    return cases;
}

struct BothResults {
    brevant::PairedCorrResult fast;
    brevant::literal::PairedCorrRun literal;
    Seeds after;
};

brevant::PairedCorrData Read(const Cases& cases) {
    DataFile file = DataFile::FromText(FileText(cases), "paired.dat");
    return brevant::ReadPairedCorrData(file);
}

// The columns of the cases.
brevant::PairedCorrData Columns(const Cases& cases, brevant::SumPrecision sums) {
    brevant::PairedCorrData data;
    for (const auto& row : cases) {
        data.x1.push_back(row[0]);
        data.y1.push_back(row[1]);
        data.x2.push_back(row[2]);
        data.y2.push_back(row[3]);
    }
    data.sums = sums;
    return data;
}

// The literal run is the defined path: data the reader centres (only where `centred` says so) run on that path
// as the reader has them before centring.
BothResults BothRuns(const Cases& cases, Seeds seeds, std::int32_t R, float q, bool centred = false) {
    Generator generator{seeds};
    RunControl control;
    const brevant::PairedCorrData read = Read(cases);
    EXPECT_EQ(read.centred, centred);
    const brevant::PairedCorrData data = read.centred ? Columns(cases, brevant::SumPrecision::Single) : read;
    EXPECT_EQ(data.sums, brevant::SumPrecision::Single);
    BothResults run{brevant::RunPairedCorr(data, {R, q, {}}, generator, control), {}, generator.seeds};
    EXPECT_EQ(control.resamplesDone.load(), R);
    EXPECT_EQ(control.sortDone.load(), R);
    brevant::literal::seedTable = seeds;
    run.literal = brevant::literal::RunPairedCorr(cases, R, q);
    return run;
}

void ExpectSame(const BothResults& run) {
    const auto& [fast, literal, after] = run;
    EXPECT_TRUE(SameBits(fast.observed.r, literal.r)) << fast.observed.r << " " << literal.r;
    EXPECT_EQ(fast.positions.lower, static_cast<std::int32_t>(literal.lowerPosition));
    EXPECT_EQ(fast.positions.upper, static_cast<std::int32_t>(literal.upperPosition));
    EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lower)) << fast.lowerLimit << " " << literal.lower;
    EXPECT_TRUE(SameBits(fast.upperLimit, literal.upper)) << fast.upperLimit << " " << literal.upper;
    // The defined standard error is the literal one (NaN where their variance computes as negative, 0 where
    // they are all equal); the one shown is within 1 % of the spread of the r*.
    EXPECT_TRUE(SameBits(fast.spread.defined, literal.standardError) ||
                (std::isnan(fast.spread.defined) && std::isnan(literal.standardError)))
        << fast.spread.defined << " " << literal.standardError;
    if (fast.nonFinite.Total() == 0) {
        brevant::testing::ExpectShownStandardError(fast.spread, fast.standardError, fast.sorted);
    } else {
        EXPECT_TRUE(SameBits(fast.standardError, fast.spread.defined));
    }
    EXPECT_EQ(fast.illegalCount, literal.illegal);
    EXPECT_TRUE(SameBits(fast.firstIllegal, literal.firstIllegal));
    ASSERT_EQ(fast.sorted.size(), literal.sorted.size());
    for (std::size_t k = 0; k < fast.sorted.size(); ++k) {
        ASSERT_TRUE(SameBits(fast.sorted[k], literal.sorted[k])) << "position " << k + 1;
    }
    EXPECT_EQ(after, brevant::literal::seedTable);
}

TEST(PairedCorr, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(7);
    const struct {
        int n;
        float slope;
        Seeds seeds;
        std::int32_t R;
        float q;
    } table[] = {
        {2, 1.0f, {1, 2, 3}, 1000, 0.975f},       {5, -0.7f, {200, 300, 400}, 2000, 0.95f},
        {10, 0.4f, {30000, 1, 30000}, 1000, 0.995f}, {60, 0.1f, {4711, 815, 12345}, 5000, 0.975f},
        {200, -0.2f, {9, 99, 999}, 1000, 0.975f},
    };
    for (const auto& t : table) {
        SCOPED_TRACE("n=" + std::to_string(t.n) + " q=" + brevant::GeneralText(t.q));
        ExpectSame(BothRuns(Mixed(random, t.n, t.slope), t.seeds, t.R, t.q));
    }
    // Counts of resamples that leave every remainder of the eight summed side by side.
    for (std::int32_t R = 40; R < 48; ++R) {
        SCOPED_TRACE("R=" + std::to_string(R));
        ExpectSame(BothRuns(Mixed(random, 13, 0.5f), Seeds{R, 11, 12}, R, 0.95f));
    }
    // The example file's kind of data: two sessions of the same scores, with ties.
    ExpectSame(BothRuns({{12, 30, 14, 33}, {15, 34, 16, 35}, {9, 25, 11, 29}, {18, 40, 17, 36}, {11, 29, 13, 30},
                         {14, 31, 15, 37}, {20, 44, 19, 41}, {10, 27, 12, 28}, {16, 36, 18, 39}, {13, 32, 14, 31}},
                        {5, 6, 7}, 10000, 0.975f));
}

// With 1,000 resamples the limits are the 25th and 975th smallest at 95 %, the 50th and 950th at 90 %.
TEST(PairedCorr, LimitsComeFromTheChosenLevel) {
    std::mt19937 random(11);
    const Cases cases = Mixed(random, 30, 0.5f);
    const BothResults ninety = BothRuns(cases, {1, 2, 3}, 1000, 0.95f);
    ExpectSame(ninety);
    EXPECT_EQ(ninety.fast.positions.lower, 50);
    EXPECT_EQ(ninety.fast.positions.upper, 950);
    EXPECT_EQ(ninety.fast.lowerLimit, ninety.fast.sorted[49]);
    const BothResults ninetyFive = BothRuns(cases, {1, 2, 3}, 1000, 0.975f);
    EXPECT_EQ(ninetyFive.fast.positions.lower, 25);
    EXPECT_EQ(ninetyFive.fast.positions.upper, 975);
    EXPECT_EQ(ninetyFive.fast.upperLimit, ninetyFive.fast.sorted[974]);
    EXPECT_EQ(ninetyFive.fast.sorted, ninety.fast.sorted);  // same draws, same distribution
    // Too few resamples for the level is a settings error, before anything is drawn.
    Generator g{Seeds{1, 2, 3}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "p.dat");
    EXPECT_THROW(brevant::PairedCorrProcedure(file, {100, 0.995f, {}}, g, control), brevant::SettingsError);
    EXPECT_EQ(g.seeds, (Seeds{1, 2, 3}));
}

TEST(PairedCorr, IdenticalPairsGiveOneValueEverywhere) {
    Cases cases = {{1, 2, 1, 2}, {2, 2.5f, 2, 2.5f}, {3, 4, 3, 4}, {4, 3, 4, 3}, {5, 6.25f, 5, 6.25f}};
    Generator generator{Seeds{8, 9, 10}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "same.dat");
    const brevant::RunResult run = brevant::PairedCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 4u);
    const char* controls[] = {"txtObtR", "txtLowerCI", "txtUpperCI", "StErrBox"};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(run.boxes[i].control, controls[i]);
    EXPECT_EQ(brevant::BoxText(run.boxes[1]), brevant::BoxText(run.boxes[0]));
    EXPECT_EQ(brevant::BoxText(run.boxes[2]), brevant::BoxText(run.boxes[0]));
    EXPECT_EQ(brevant::BoxText(run.boxes[3]), "0.000");
    EXPECT_TRUE(run.notes.empty());
    EXPECT_EQ(run.histogram.bounds, (std::pair{-5.0f, 5.0f}));
    EXPECT_EQ(run.histogram.caption, "Randomized Correlation");
}

// The second condition's X is constant: a resample exchanging every case has no X spread (NaN), and so do
// the two-case resamples that pick equal X. They sort last, the standard error is nan, and a note says so.
TEST(PairedCorr, ResamplesWithNoSpreadAreNaNAndNoted) {
    const Cases cases = {{1, 1, 5, 3}, {2, 3, 5, 1}};
    const BothResults run = BothRuns(cases, {12, 34, 56}, 1000, 0.975f);
    ExpectSame(run);
    EXPECT_GT(run.fast.nonFinite.undefined, 0);
    EXPECT_TRUE(std::isnan(run.fast.sorted.back()));
    EXPECT_TRUE(std::isnan(run.fast.standardError));

    Generator generator{Seeds{12, 34, 56}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "two.dat");
    const brevant::RunResult shown = brevant::PairedCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(shown.notes.size(), 1u);
    EXPECT_NE(shown.notes[0].find(std::to_string(run.fast.nonFinite.Total()) + " of the 1000 resamples"),
              std::string::npos)
        << shown.notes[0];
    EXPECT_EQ(brevant::BoxText(shown.boxes[3]), "nan");
}

// Values far from zero that differ in the last digits: the literal run's single-precision sums make some r*
// impossible. The reader centres these data, so no r* lies beyond 1.01, and a note says why.
TEST(PairedCorr, ValuesThatDifferInTheLastDigitsGiveNoIllegalValues) {
    const Cases cases = {{100, 300, 100, 300},
                         {100.02f, 300.03f, 100.05f, 300.01f},
                         {100.04f, 300.01f, 100.04f, 300.02f},
                         {100.06f, 300.04f, 100.03f, 300},
                         {100.01f, 300.02f, 100.02f, 300.01f},
                         {100.03f, 300, 100.01f, 300.02f}};
    const BothResults run = BothRuns(cases, {1, 2, 3}, 1000, 0.975f, true);
    ExpectSame(run);
    ASSERT_GT(run.literal.illegal, 1);

    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "digits.dat");
    const brevant::RunResult shown = brevant::PairedCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    EXPECT_TRUE(shown.messages.empty());
    for (const float r : shown.resampled) EXPECT_LE(std::fabs(r), 1.0f + 1e-6f) << r;
    const Cases moved = [&] {
        Cases c = cases;
        for (auto& row : c) row = {row[0] - 100, row[1] - 300, row[2] - 100, row[3] - 300};
        return c;
    }();
    EXPECT_NEAR(brevant::BoxValue(shown.boxes[0]), brevant::CorrelateColumns(Read(moved).x1, Read(moved).y1,
                                                                             brevant::SumPrecision::Double).r, 1e-5);
    EXPECT_EQ(std::count(shown.notes.begin(), shown.notes.end(), brevant::kCentredRunNote), 1);
}

// The one message on finite r* beyond 1.01 in size, with the window's text, the first value and the count.
TEST(PairedCorr, IllegalValuesGiveOneMessageAfterTheRun) {
    brevant::PairedCorrResult result;
    result.observed.r = 0.99f;
    result.sorted = {0.5f, 0.9f, 1.02f, 1.03f};
    result.illegalCount = 2;
    result.firstIllegal = 1.03f;
    const brevant::RunResult shown = brevant::PresentPairedCorr(std::move(result), {4, 0.975f, {}});
    ASSERT_EQ(shown.messages.size(), 1u);
    EXPECT_TRUE(shown.messages[0].starts_with("This is an illegal value of r  1.03\n2 of the 4 resamples"))
        << shown.messages[0];
}

TEST(PairedCorr, RefusesDataWithoutAnObtainedCorrelation) {
    const brevant::testing::Refusal bad[] = {
        {"1  1 2 3 4", "announces 1 case; a correlation needs at least 2 cases."},
        {"3  1 5 2 6  1 6 3 7  1 7 4 8", "has no spread in its X1 or its Y1 values"},
        {"3  1 5 2 6  2 5 3 7  3 5 4 8", "has no spread in its X1 or its Y1 values"},
        {"2  1 2 3 4  5 6 7", "holds fewer values than announced"},
        {"2  1 2 3 4  5 6 7 y", "is not a number"},
        {"300000", "announces 300000 cases (1200000 values); at most 1000000 values can be analysed."},
        {"2  1 2 3 4  5 6 7 1e19", "holds values too large for single-precision sums of their squares"},
        {"3  1e-25 1 2 3  2e-25 2 3 4  3e-25 3 5 5", "variance is too small for single precision"},
    };
    brevant::testing::ExpectRefused(brevant::PairedCorrProcedure, bad);
}

// Past 200 cases the sums are double: scores around 3000 that single-precision sums would garble.
TEST(PairedCorr, SumsAreDoublePastTheDesignedSize) {
    Cases cases;
    std::vector<double> x, y;
    for (int i = 0; i < 201; ++i) {
        const float a = 3000.0f + static_cast<float>(i % 10) * 0.01f;
        const float b = 5000.0f + static_cast<float>((i * 7) % 10) * 0.01f + static_cast<float>(i % 10) * 0.004f;
        cases.push_back({a, b, b - 2000.0f, a + 2000.0f});
        x.push_back(a);
        y.push_back(b);
    }
    double mx = 0, my = 0, sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mx += x[i] / 201.0, my += y[i] / 201.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx), syy += (y[i] - my) * (y[i] - my), sxy += (x[i] - mx) * (y[i] - my);
    }
    DataFile file = DataFile::FromText(FileText(cases), "wide.dat");
    const brevant::PairedCorrData data = brevant::ReadPairedCorrData(file);
    EXPECT_EQ(data.sums, brevant::SumPrecision::Double);
    // The one-pass formula in double keeps about four digits of this spread, well within the rule's 0.01 for
    // r: the run is not centred.
    EXPECT_FALSE(data.centred);
    EXPECT_NEAR(brevant::CorrelateColumns(data.x1, data.y1, data.sums).r, sxy / std::sqrt(sxx * syy), 5e-4);
    const brevant::PairedCorrData raw = Columns(cases, brevant::SumPrecision::Double);
    const float single = brevant::CorrelateColumns(raw.x1, raw.y1, brevant::SumPrecision::Single).r;
    EXPECT_FALSE(std::fabs(single - sxy / std::sqrt(sxx * syy)) < 1e-2) << single;
}

// Values that differ little relative to their size: every run is accepted and centred (X1 and X2 by one mean,
// Y1 and Y2 by another), its r within 0.01 of r in double, every sorted r*, the limits and the standard error
// those of the same run (same seeds) on the values moved to a mean near 0 and an ordinary size; a note says so.
// The second pair lies three spreads above the first, as a second session might: a shift of each column by
// its own mean would take that away and change every r*.
TEST(PairedCorr, ValuesThatDifferLittleRelativeToTheirSizeAreCentred) {
    using brevant::testing::Standardized;
    std::int32_t seed = 80;
    for (auto kind : brevant::testing::IllConditionedKinds()) {
        SCOPED_TRACE(kind.what);
        ++seed;
        kind.n = std::min(kind.n, 200);  // within the designed cases, where the sums would be single
        auto columns = brevant::testing::CorrelatedColumns(kind, 4, 0.7, static_cast<unsigned>(seed));
        for (std::size_t j : {2u, 3u}) {
            for (float& v : columns[j]) v = static_cast<float>(v + 3.0 * kind.spread);
        }
        Cases cases, moved;
        for (std::size_t i = 0; i < columns[0].size(); ++i) {
            cases.push_back({columns[0][i], columns[1][i], columns[2][i], columns[3][i]});
        }
        for (std::size_t i = 0; i < columns[0].size(); ++i) {
            moved.push_back({Standardized(columns[0], kind)[i], Standardized(columns[1], kind)[i],
                             Standardized(columns[2], kind)[i], Standardized(columns[3], kind)[i]});
        }
        const brevant::PairedCorrData data = Read(cases);
        EXPECT_TRUE(data.centred);
        EXPECT_FALSE(Read(moved).centred);
        const brevant::RunSettings settings{2000, 0.975f, {}};
        const Seeds seeds{seed, 88, 888};
        Generator generator{seeds}, again{seeds};
        RunControl control, control2;
        auto centred = brevant::RunPairedCorr(data, settings, generator, control);
        const auto ordinary = brevant::RunPairedCorr(Read(moved), settings, again, control2);
        EXPECT_NEAR(centred.observed.r, brevant::testing::DoubleR(columns[0], columns[1]), 0.01);
        EXPECT_LE(brevant::testing::LargestDifference(centred.sorted, ordinary.sorted), 0.01f);
        EXPECT_NEAR(centred.lowerLimit, ordinary.lowerLimit, 0.01);
        EXPECT_NEAR(centred.upperLimit, ordinary.upperLimit, 0.01);
        EXPECT_NEAR(centred.standardError, ordinary.standardError, 0.01 * ordinary.standardError);
        brevant::testing::ExpectShownStandardError(centred.spread, centred.standardError, centred.sorted);
        const auto run = brevant::PresentPairedCorr(std::move(centred), settings);
        EXPECT_EQ(std::count(run.notes.begin(), run.notes.end(), brevant::kCentredRunNote), 1);
    }
}

// Correlations near 0.999: the r* vary so little around their mean that single sums of their squares lose
// their spread; the standard error shown is within 1 % of it.
TEST(PairedCorr, TheStandardErrorOfCorrelationsNearOneIsTheirSpread) {
    const brevant::testing::IllConditioned ordinary{"ordinary", 20.0, 5.0, 3, 100};
    const auto columns = brevant::testing::CorrelatedColumns(ordinary, 4, 0.999, 3u);
    Cases cases;
    for (std::size_t i = 0; i < columns[0].size(); ++i) {
        cases.push_back({columns[0][i], columns[1][i], columns[2][i], columns[3][i]});
    }
    const brevant::PairedCorrData data = Read(cases);
    EXPECT_FALSE(data.centred);
    Generator generator{Seeds{4, 5, 6}};
    RunControl control;
    const auto run = brevant::RunPairedCorr(data, {10000, 0.975f, {}}, generator, control);
    EXPECT_TRUE(run.spread.corrected) << run.spread.defined;
    brevant::testing::ExpectShownStandardError(run.spread, run.standardError, run.sorted);
}

// Values of size 1e10 give variances whose single-precision product overflows (r would be 0), and values of
// size 1e-12 one that underflows (r infinite, the data refused): the product is then taken in double, and the
// run gives what the same values at an ordinary size give.
TEST(PairedCorr, TheSizeOfTheValuesDoesNotChangeTheCorrelations) {
    std::mt19937 random(12);
    const Cases base = Mixed(random, 40, 0.6f);
    const brevant::RunSettings settings{1000, 0.975f, {}};
    Generator generator{Seeds{7, 8, 9}};
    RunControl control;
    const auto unscaled = brevant::RunPairedCorr(Read(base), settings, generator, control);
    for (const float scale : {1e9f, 1e-13f}) {
        SCOPED_TRACE(scale);
        Cases scaled = base;
        for (auto& row : scaled)
            for (float& v : row) v *= scale;
        const brevant::PairedCorrData data = Read(scaled);
        EXPECT_FALSE(data.centred);
        const brevant::ColumnCorrelation c = brevant::CorrelateColumns(data.x1, data.y1, data.sums);
        EXPECT_FALSE(std::isnormal(c.varianceX * c.varianceY)) << "the single product should be out of range";
        Generator again{Seeds{7, 8, 9}};
        RunControl control2;
        const auto run = brevant::RunPairedCorr(data, settings, again, control2);
        EXPECT_NEAR(run.observed.r, unscaled.observed.r, 1e-5);
        for (std::size_t k = 0; k < run.sorted.size(); ++k) ASSERT_NEAR(run.sorted[k], unscaled.sorted[k], 1e-5) << k;
        EXPECT_NEAR(run.standardError, unscaled.standardError, 1e-5);
    }
}

// Past the designed size a whole run gives, resample by resample, the correlation of the columns its draws
// pick, by double sums; a count of resamples that leaves a remainder of those summed side by side.
TEST(PairedCorr, RunPastTheDesignedSizeCorrelatesThePickedColumnsInDouble) {
    std::mt19937 random(404);
    const Cases cases = Mixed(random, 250, 0.7f);
    DataFile file = DataFile::FromText(FileText(cases), "wide.dat");
    const brevant::PairedCorrData data = brevant::ReadPairedCorrData(file);
    ASSERT_EQ(data.sums, brevant::SumPrecision::Double);
    const std::int32_t R = 37;
    for (const int threads : {1, 2}) {
        Generator generator{Seeds{9, 99, 999}};
        RunControl control;
        const brevant::PairedCorrResult fast = brevant::RunPairedCorr(data, {R, 0.95f, {}, threads}, generator, control);
        Generator one{Seeds{9, 99, 999}};
        std::vector<float> expected;
        for (std::int32_t k = 0; k < R; ++k) {
            std::vector<float> x, y;
            for (const auto& c : cases) {
                const bool second = !(static_cast<float>(one.Uniform()) < 0.5f);
                x.push_back(c[second ? 2 : 0]);
                y.push_back(c[second ? 3 : 1]);
            }
            expected.push_back(brevant::CorrelateColumns(x, y, brevant::SumPrecision::Double).r);
        }
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(fast.sorted.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            EXPECT_TRUE(SameBits(fast.sorted[k], expected[k])) << k << " " << fast.sorted[k] << " " << expected[k];
        }
        EXPECT_EQ(generator.seeds, one.seeds);
    }
}

// Resamples side by side, on the AVX2 path (where the processor has it) and the baseline, in counts that
// leave every remainder of the resamples summed at once: each gives exactly the correlation of the columns
// its picks gather, single sums and double, also where every pick has the same X (no spread) or the picks
// spread values of many digits.
TEST(PairedCorr, ResamplesSideBySideMatchTheirColumnsOnEveryPath) {
    std::mt19937 random(88);
    std::uniform_real_distribution<float> spread(-50.0f, 50.0f);
    std::bernoulli_distribution second(0.5);
    for (const int n : {2, 37, 250}) {
        for (const bool constantX : {false, true}) {
            std::vector<float> rows(4 * static_cast<std::size_t>(n));
            for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = i % 2 == 0 && constantX ? 3.5f : spread(random) * 1000.1f;
            for (const std::int32_t count : {1, 3, 4, 5, 7, 8, 9, 13, 16, 20}) {
                std::vector<std::int32_t> picked(static_cast<std::size_t>(count) * static_cast<std::size_t>(n));
                for (std::size_t k = 0; k < picked.size(); ++k) {
                    picked[k] = 2 * static_cast<std::int32_t>(k % static_cast<std::size_t>(n)) + (second(random) ? 1 : 0);
                }
                for (const brevant::SumPrecision precision : {brevant::SumPrecision::Single, brevant::SumPrecision::Double}) {
                    SCOPED_TRACE(std::to_string(n) + " cases, " + std::to_string(count) + " resamples" +
                                 (constantX ? ", constant X" : "") +
                                 (precision == brevant::SumPrecision::Single ? ", single" : ", double"));
                    std::vector<float> expected;
                    for (std::size_t j = 0; j < static_cast<std::size_t>(count); ++j) {
                        std::vector<float> x, y;
                        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
                            const auto row = static_cast<std::size_t>(picked[j * static_cast<std::size_t>(n) + i]);
                            x.push_back(rows[2 * row]);
                            y.push_back(rows[2 * row + 1]);
                        }
                        expected.push_back(brevant::CorrelateColumns(x, y, precision).r);
                    }
                    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
                        if (!brevant::DrawPathAvailable(path)) continue;
                        std::vector<float> out(static_cast<std::size_t>(count));
                        brevant::CorrelatePickedPairs(path, precision, rows, picked.data(), count, out.data());
                        for (std::size_t j = 0; j < out.size(); ++j) {
                            EXPECT_TRUE(SameBits(out[j], expected[j])) << j << " " << out[j] << " " << expected[j];
                        }
                    }
                }
            }
        }
    }
}

// The picks drawn a block at a time, on either path, are those of one draw at a time: 2 i, or 2 i + 1 where
// the draw as a float is 0.5 or more; the generator ends after the same draws. Case counts leave every
// remainder of four lanes, and the draws run across the end of a block.
TEST(PairedCorr, PicksDrawnAtOnceAreThoseOfOneDrawAtATime) {
    for (const std::int32_t n : {1, 2, 3, 4, 5, 6, 7, 9, 250, 3001}) {
        for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
            if (!brevant::DrawPathAvailable(path)) continue;
            SCOPED_TRACE(std::to_string(n) + (path == brevant::DrawPath::Avx2 ? " AVX2" : " baseline"));
            const Seeds seeds{static_cast<std::int32_t>(n), 77, 30000};
            brevant::BlockGenerator blocks{seeds};
            Generator one{seeds};
            for (const std::int32_t resamples : {3, 1}) {
                std::vector<std::int32_t> picked(static_cast<std::size_t>(resamples) * static_cast<std::size_t>(n));
                brevant::DrawPairPicks(path, blocks, n, picked);
                for (std::size_t k = 0; k < picked.size(); ++k) {
                    const auto i = static_cast<std::int32_t>(k % static_cast<std::size_t>(n));
                    ASSERT_EQ(picked[k], 2 * i + (static_cast<float>(one.Uniform()) < 0.5f ? 0 : 1)) << k;
                }
            }
            EXPECT_EQ(blocks.CurrentSeeds(), one.seeds);
        }
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
