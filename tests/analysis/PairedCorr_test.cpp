// Paired correlations against the literal transcription (tests/literal/LiteralPairedCorr.h): the obtained r,
// the limits at each confidence level, the standard error, every sorted randomized r, the illegal values
// and the generator's final seeds; then identical pairs, resamples with no spread, refusals and sums in
// double past the designed size.
#include "analysis/randomization/PairedCorr.h"
#include "engine/NumberText.h"
#include "literal/LiteralPairedCorr.h"
#include "support/Files.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

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

BothResults BothRuns(const Cases& cases, Seeds seeds, std::int32_t R, float q) {
    Generator generator{seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "paired.dat");
    const brevant::PairedCorrData data = brevant::ReadPairedCorrData(file);
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
    EXPECT_TRUE(SameBits(fast.standardError, literal.standardError))
        << fast.standardError << " " << literal.standardError;
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

// Values far from zero that differ in the last digits: single-precision sums make some r* impossible.
TEST(PairedCorr, IllegalValuesGiveOneMessageAfterTheRun) {
    const Cases cases = {{100, 300, 100, 300},
                         {100.02f, 300.03f, 100.05f, 300.01f},
                         {100.04f, 300.01f, 100.04f, 300.02f},
                         {100.06f, 300.04f, 100.03f, 300},
                         {100.01f, 300.02f, 100.02f, 300.01f},
                         {100.03f, 300, 100.01f, 300.02f}};
    const BothResults run = BothRuns(cases, {1, 2, 3}, 1000, 0.975f);
    ExpectSame(run);
    ASSERT_GT(run.fast.illegalCount, 1);

    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(cases), "digits.dat");
    const brevant::RunResult shown = brevant::PairedCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(shown.messages.size(), 1u);
    EXPECT_TRUE(shown.messages[0].starts_with("This is an illegal value of r  " +
                                              brevant::GeneralText(run.fast.firstIllegal) + "\n" +
                                              std::to_string(run.fast.illegalCount) + " of the 1000 resamples"))
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
    // The one-pass formula itself, in double, keeps about four digits of this spread.
    EXPECT_NEAR(brevant::CorrelateColumns(data.x1, data.y1, data.sums).r, sxy / std::sqrt(sxx * syy), 5e-4);
    const float single = brevant::CorrelateColumns(data.x1, data.y1, brevant::SumPrecision::Single).r;
    EXPECT_FALSE(std::fabs(single - sxy / std::sqrt(sxx * syy)) < 1e-2) << single;
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
