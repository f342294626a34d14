// The bootstrapped-correlation run against its literal transcription (tests/literal/LiteralBootstCorr.h):
// the obtained r, every bootstrap r, the sorted values, standard error, limits, output file bytes and
// final seeds on many inputs; past the 10,000 cases designed for, against the engine's routines in double;
// the stop at a resample with no variance (which column, which resample, seeds); illegal values of r;
// the positions, the boxes, the refusals.
#include "analysis/bootstrap/BootstCorr.h"
#include "engine/NumberText.h"
#include "literal/LiteralBootstCorr.h"
#include "support/Files.h"
#include "support/IllConditioned.h"
#include "support/Percentiles.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <set>

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
using brevant::testing::ReadWhole;
using brevant::testing::SameBits;
using brevant::testing::SameBitsEach;

struct Cases {
    std::vector<float> x, y;
};

std::string FileText(const Cases& c) {
    std::string text = std::to_string(c.x.size()) + "\n";
    for (std::size_t i = 0; i < c.x.size(); ++i) {
        text += brevant::ShortestText(c.x[i]) + " " + brevant::ShortestText(c.y[i]) + "\n";
    }
    return text;
}

brevant::BootstCorrData Read(const Cases& c) {
    DataFile file = DataFile::FromText(FileText(c), "corr.dat");
    return brevant::ReadBootstCorrData(file);
}

// The data as the reader leaves them before any centring: the defined path, which the literal run transcribes.
brevant::BootstCorrData Defined(const Cases& c) {
    return {c.x, c.y, brevant::SumsFor(static_cast<std::int64_t>(c.x.size()), brevant::kBootstCorrDesignedCases)};
}

brevant::BootstCorrResult RunFast(const brevant::BootstCorrData& data, RunSettings settings, Seeds seeds,
                                  Seeds* after = nullptr) {
    Generator generator{seeds};
    RunControl control;
    auto result = brevant::RunBootstCorr(data, settings, generator, control);
    brevant::WriteOutputFile(settings, result.bootstrapR);
    if (after) *after = generator.seeds;
    EXPECT_EQ(control.resamplesDone.load(), settings.resamples);
    return result;
}

// The literal run is the defined path: data the reader centres (returns true) are compared on that path as the
// reader has them before centring.
bool ExpectSameAsLiteral(const Cases& c, std::int32_t R, float q, Seeds seeds, int threads = 0) {
    SCOPED_TRACE("N=" + std::to_string(c.x.size()) + " R=" + std::to_string(R) + " q=" + std::to_string(q) +
                 " threads=" + std::to_string(threads));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "BootstCorr_test_out.dat";
    const brevant::BootstCorrData read = Read(c);
    Seeds after;
    const auto fast = RunFast(read.centred ? Defined(c) : read, {R, q, out.string(), threads}, seeds, &after);
    brevant::literal::seedTable = seeds;
    const auto literal = brevant::literal::RunBootstCorr(c.x, c.y, R, q);
    EXPECT_FALSE(literal.stopped) << literal.stopMessage;
    if (literal.stopped) return read.centred;

    EXPECT_TRUE(SameBits(fast.r, literal.r)) << fast.r << " " << literal.r;
    // The defined standard error is the literal one (NaN where their variance computes as negative); the one
    // shown is within 1 % of the spread of the bootstrap r.
    EXPECT_TRUE(SameBits(fast.spread.defined, literal.se) ||
                (std::isnan(fast.spread.defined) && std::isnan(literal.se)))
        << fast.spread.defined << " " << literal.se;
    brevant::testing::ExpectShownStandardError(fast.spread, fast.standardError, fast.bootstrapR);
    EXPECT_EQ(static_cast<float>(fast.positions.lower), literal.lowerPosition);
    EXPECT_EQ(static_cast<float>(fast.positions.upper), literal.upperPosition);
    EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lowerLimit)) << fast.lowerLimit << " " << literal.lowerLimit;
    EXPECT_TRUE(SameBits(fast.upperLimit, literal.upperLimit)) << fast.upperLimit << " " << literal.upperLimit;
    EXPECT_EQ(fast.illegalCount, literal.illegal);
    EXPECT_TRUE(SameBits(fast.firstIllegal, literal.firstIllegal));
    EXPECT_TRUE(SameBitsEach(fast.bootstrapR, literal.bootR)) << "bootstrap r";
    EXPECT_TRUE(SameBitsEach(fast.sortedR, literal.sorted)) << "sorted r";
    EXPECT_EQ(after, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    return read.centred;
}

// N cases of one of several kinds: related with noise, ties, big offsets (single sums lose digits),
// negative relations, exact lines (some bootstrap r round beyond 1).
Cases RandomCases(std::mt19937& random, int n, int kind) {
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::uniform_int_distribution<int> few(0, 4);
    Cases c;
    for (int i = 0; i < n; ++i) {
        const float a = normal(random);
        float x = a, y = a;
        switch (kind % 5) {
            case 0: x = 10.0f + 3.0f * a; y = 0.6f * a + normal(random); break;
            case 1: x = static_cast<float>(few(random)); y = x + static_cast<float>(few(random)); break;
            case 2: x = 100.0f + a; y = 50.0f - 2.0f * a + 0.5f * normal(random); break;
            case 3: x = -a * 1e-3f; y = 123456.789f * a + normal(random); break;
            default: x = static_cast<float>(i % 17); y = 3.0f * x + 1.0f; break;
        }
        c.x.push_back(x);
        c.y.push_back(y);
    }
    return c;
}

TEST(BootstCorr, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(2026);
    const int sizes[] = {15, 40, 151, 1000};
    const float quantiles[] = {0.95f, 0.975f, 0.995f};
    int i = 0;
    // Every kind stays on the defined path but kind 2 (X near 100 with spread 1) from 1,000 cases on: there
    // single sums of X's squares lose 0.6 % of its variance (1.7 % at 10,000 cases), and the run is centred.
    for (const int n : sizes) {
        for (int kind = 0; kind < 5; ++kind) {
            SCOPED_TRACE("kind " + std::to_string(kind));
            const bool centred = ExpectSameAsLiteral(RandomCases(random, n, kind), 1000, quantiles[i % 3],
                                                     Seeds{5 + 3 * i, 700 + 17 * i, 30000 - 31 * i});
            EXPECT_EQ(centred, kind == 2 && n >= 1000);
            ++i;
        }
    }
    EXPECT_TRUE(ExpectSameAsLiteral(RandomCases(random, 10000, 2), 200, 0.95f, Seeds{123, 4567, 8910}));
    EXPECT_FALSE(ExpectSameAsLiteral(RandomCases(random, 25, 0), 2000, 0.975f, Seeds{30268, 30306, 30322}));
    // Counts that do not fill the run's last batch of resamples, and every remainder of the eight summed
    // side by side.
    for (const std::int32_t R : {41, 1005, 1007}) {
        EXPECT_FALSE(ExpectSameAsLiteral(RandomCases(random, 33, R % 5), R, 0.975f, Seeds{R, 2, 3}));
    }
    for (std::int32_t R = 40; R < 48; ++R) {
        EXPECT_FALSE(ExpectSameAsLiteral(RandomCases(random, 13, R % 4), R, 0.95f, Seeds{R, 9, 10}));
    }
}

// Past the 10,000 cases the window was designed for, the sums are double: the fast run against the
// engine's variance and covariance in double over the same draws.
// Resamples go eight at a time within each thread's share, the rest of a share one at a time: on 1, 2, 3
// and 7 threads those seams move, and every r, the bytes and the seeds stay the literal run's.
TEST(BootstCorr, MatchesTheLiteralRunOnAnyNumberOfThreads) {
    std::mt19937 random(31);
    for (const int threads : {1, 2, 3, 7}) {
        EXPECT_FALSE(
            ExpectSameAsLiteral(RandomCases(random, 17, threads % 3), 229, 0.975f, Seeds{threads, 40, 50}, threads));
    }
}

TEST(BootstCorr, PastTheDesignedCasesTheSumsAreDouble) {
    std::mt19937 random(7);
    const Cases c = RandomCases(random, 10001, 2);
    // X near 100 with spread 1, which single sums would lose but double sums hold: not centred.
    const brevant::BootstCorrData data = Read(c);
    EXPECT_EQ(data.sums, brevant::SumPrecision::Double);
    EXPECT_FALSE(data.centred);
    EXPECT_EQ(Read(RandomCases(random, 10000, 0)).sums, brevant::SumPrecision::Single);
    const std::int32_t R = 60;
    Seeds after;
    const auto fast = RunFast(data, {R, 0.95f, {}}, Seeds{1, 2, 3}, &after);
    const auto d = brevant::SumPrecision::Double;
    EXPECT_TRUE(SameBits(fast.r, brevant::Correlation(data.x, data.y, d).r));
    Generator g{Seeds{1, 2, 3}};
    std::vector<float> x(c.x.size()), y(c.y.size());
    for (std::int32_t k = 0; k < R; ++k) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            const auto h = static_cast<std::size_t>(g.Index(static_cast<std::int32_t>(x.size())) - 1);
            x[i] = data.x[h];
            y[i] = data.y[h];
        }
        ASSERT_TRUE(SameBits(fast.bootstrapR[static_cast<std::size_t>(k)], brevant::Correlation(x, y, d).r)) << k;
    }
    EXPECT_EQ(after, g.seeds);
}

// Values that differ little relative to their size: every run is accepted and centred (no resample stops for
// want of variance), its r within 0.01 of r in double, each bootstrap r, the limits and the standard error those
// of the same run (same seeds) on the values moved to a mean near 0 and an ordinary size; a note says so.
TEST(BootstCorr, ValuesThatDifferLittleRelativeToTheirSizeAreCentred) {
    using brevant::testing::Standardized;
    std::int32_t seed = 40;
    for (const auto& kind : brevant::testing::IllConditionedKinds()) {
        SCOPED_TRACE(kind.what);
        ++seed;
        const auto columns = brevant::testing::CorrelatedColumns(kind, 2, 0.5, static_cast<unsigned>(seed));
        const Cases c{columns[0], columns[1]};
        const Cases moved{Standardized(c.x, kind), Standardized(c.y, kind)};
        const brevant::BootstCorrData data = Read(c);
        EXPECT_TRUE(data.centred);
        EXPECT_FALSE(Read(moved).centred);
        const RunSettings settings{2000, 0.975f, {}};
        const Seeds seeds{seed, 77, 777};
        auto centred = RunFast(data, settings, seeds);
        const auto ordinary = RunFast(Read(moved), settings, seeds);
        EXPECT_NEAR(centred.r, brevant::testing::DoubleR(c.x, c.y), 0.01);
        EXPECT_LE(brevant::testing::LargestDifference(centred.bootstrapR, ordinary.bootstrapR), 0.01f);
        EXPECT_NEAR(centred.lowerLimit, ordinary.lowerLimit, 0.01);
        EXPECT_NEAR(centred.upperLimit, ordinary.upperLimit, 0.01);
        EXPECT_NEAR(centred.standardError, ordinary.standardError, 0.01 * ordinary.standardError);
        brevant::testing::ExpectShownStandardError(centred.spread, centred.standardError, centred.bootstrapR);
        const auto run = brevant::PresentBootstCorr(std::move(centred), settings);
        EXPECT_EQ(std::count(run.notes.begin(), run.notes.end(), brevant::kCentredRunNote), 1);
    }
}

// Correlations near 1: the bootstrap r vary so little around their mean that single sums of their squares lose
// their spread; the standard error shown is within 1 % of it, over 100,000 resamples.
TEST(BootstCorr, TheStandardErrorOfCorrelationsNearOneIsTheirSpread) {
    const brevant::testing::IllConditioned ordinary{"ordinary", 50.0, 10.0, 3, 200};
    for (const double rho : {0.97, 0.999}) {
        SCOPED_TRACE(rho);
        const auto columns = brevant::testing::CorrelatedColumns(ordinary, 2, rho, 5u);
        const brevant::BootstCorrData data = Read({columns[0], columns[1]});
        EXPECT_FALSE(data.centred);
        const auto run = RunFast(data, {100000, 0.975f, {}}, Seeds{9, 8, 7});
        EXPECT_TRUE(run.spread.corrected) << run.spread.defined;
        brevant::testing::ExpectShownStandardError(run.spread, run.standardError, run.bootstrapR);
    }
}

// A resample whose X (checked first) or Y has no variance stops the run with the resample's number; the
// generator keeps the draws made up to the stop, as in the literal run.
TEST(BootstCorr, AResampleWithNoVarianceStopsTheRun) {
    const struct {
        Cases cases;
        const char* column;
    } rows[] = {
        {{{1, 3}, {2, 7}}, "X"},                  // two cases: a draw of one case twice, X checked first
        {{{1, 1, 2}, {1, 2, 3}}, "X"},            // X flat when only cases 1 and 2 are drawn
        {{{1, 2, 3}, {5, 5, 6}}, "Y"},            // Y flat when only cases 1 and 2 are drawn
        {{{0.1f, 0.1f, 0.3f}, {2, 4, 9}}, "X"},   // equal values whose single sums leave a tiny variance
    };
    for (const auto& row : rows) {
        std::set<std::string> columns;  // which column stopped, over several seeds
        for (std::int32_t s = 1; s <= 8; ++s) {
            const Seeds seeds{s, 100 * s, 3000 * s};
            Generator generator{seeds};
            RunControl control;
            brevant::literal::seedTable = seeds;
            const auto literal = brevant::literal::RunBootstCorr(row.cases.x, row.cases.y, 1000, 0.975f);
            ASSERT_TRUE(literal.stopped);
            try {
                brevant::RunBootstCorr(Read(row.cases), {1000, 0.975f, {}}, generator, control);
                ADD_FAILURE() << "no stop";
            } catch (const brevant::RunStopped& e) {
                const std::string message = e.what();
                EXPECT_EQ(message, literal.stopMessage);
                columns.insert(message.substr(0, 1));
                ASSERT_EQ(e.Observed().size(), 1u);
                EXPECT_EQ(e.Observed()[0].control, "txtObtR");
                EXPECT_TRUE(SameBits(std::get<float>(e.Observed()[0].value), literal.r));
            }
            EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
            EXPECT_EQ(control.resamplesDone.load(), static_cast<std::int64_t>(literal.bootR.size()));
        }
        EXPECT_EQ(columns.count(row.column), 1u) << row.column;
    }
    EXPECT_EQ(brevant::NoVarianceMessage("Y", 1),
              "Y has no variance, which sometimes happens with very small samples. Process terminating with 1 "
              "resamples.");
}

// The resamples split across threads, so shares meet their stops out of order: the earliest resample in
// generation order is the one reported, with the literal run's message, progress and final seeds, on 1, 2,
// 3 and 7 threads. Seven cases whose Y repeats once stop after a few thousand resamples, often in a later
// share; two cases stop at once in every share.
TEST(BootstCorr, TheEarliestStopIsReportedOnAnyNumberOfThreads) {
    const Cases rare{{1, 2, 3, 4, 5, 6, 7}, {1, 1, 2, 3, 4, 5, 6}};
    const Cases often{{1, 3}, {2, 7}};
    constexpr std::int32_t R = 20000;
    int stoppedInALaterShare = 0;
    for (std::int32_t s = 1; s <= 10; ++s) {
        const Cases& cases = s <= 8 ? rare : often;
        const Seeds seeds{s, 77 * s, 9000 + s};
        brevant::literal::seedTable = seeds;
        const auto literal = brevant::literal::RunBootstCorr(cases.x, cases.y, R, 0.975f);
        const auto made = static_cast<std::int64_t>(literal.bootR.size());
        stoppedInALaterShare += literal.stopped && made >= R / 7;
        for (const int threads : {1, 2, 3, 7}) {
            SCOPED_TRACE("seed " + std::to_string(s) + ", " + std::to_string(threads) + " threads");
            Generator generator{seeds};
            RunControl control;
            std::string message;
            try {
                brevant::RunBootstCorr(Read(cases), {R, 0.975f, {}, threads}, generator, control);
            } catch (const brevant::RunStopped& e) {
                message = e.what();
            }
            EXPECT_EQ(message, literal.stopMessage);
            EXPECT_EQ(control.resamplesDone.load(), made);
            EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
        }
    }
    EXPECT_GE(stoppedInALaterShare, 2) << "the rare stops should land beyond the first of seven shares";
}

TEST(BootstCorr, IllegalValuesOfRGiveOneMessageAfterTheRun) {
    // Points on an exact line: rounding in single precision takes some bootstrap r just beyond 1.
    Cases line;
    for (int i = 0; i < 12; ++i) {
        line.x.push_back(0.1f * static_cast<float>(i * i % 7) + 0.3f);
        line.y.push_back(3.0f * line.x.back() + 0.7f);
    }
    brevant::literal::seedTable = Seeds{3, 4, 5};
    const auto literal = brevant::literal::RunBootstCorr(line.x, line.y, 1000, 0.975f);
    ASSERT_GT(literal.illegal, 1) << "the case should give illegal values";
    EXPECT_FALSE(ExpectSameAsLiteral(line, 1000, 0.975f, Seeds{3, 4, 5}));

    Generator generator{Seeds{3, 4, 5}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(line), "line.dat");
    const auto run = brevant::BootstCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], brevant::IllegalValueMessage("This is an illegal value of r", literal.firstIllegal,
                                                            literal.illegal, 1000));
    EXPECT_TRUE(run.messages[0].starts_with("This is an illegal value of r" +
                                            brevant::GeneralText(literal.firstIllegal) + "\n"));
    EXPECT_EQ(run.resampled.size(), 1000u) << "the illegal values stay in the results";
}

// Resamples whose variances are so small that their product underflows to 0 give an r of inf or nan; the
// note counts them. Such values are hard to reach from data that pass the reader, so the result is made here.
TEST(BootstCorr, NonFiniteCorrelationsAreExplainedInANote) {
    brevant::BootstCorrResult result;
    result.r = 0.5f;
    result.bootstrapR = {0.25f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 0.75f};
    result.nonFinite = brevant::CountNonFinite(result.bootstrapR);
    result.standardError = std::numeric_limits<float>::quiet_NaN();
    const auto run = brevant::PresentBootstCorr(std::move(result), {4, 0.95f, {}});
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_TRUE(run.notes[0].starts_with("2 of the 4 resamples drew X and Y values whose variances are so small"))
        << run.notes[0];
    EXPECT_NE(run.notes[0].find("1 sorted as +inf, 0 as -inf and 1 as nan"), std::string::npos) << run.notes[0];
    EXPECT_EQ(brevant::BoxText(run.boxes[1]), "nan");
    EXPECT_TRUE(brevant::CorrelationFrom(1e-23f, 1e-23f, 0.0f) != brevant::CorrelationFrom(1e-23f, 1e-23f, 0.0f))
        << "0 / 0 is nan";
    EXPECT_EQ(brevant::CorrelationFrom(1e-23f, 1e-23f, 1e-30f), std::numeric_limits<float>::infinity());
}

TEST(BootstCorr, PercentilePositionsByTheIntegerPartRule) {
    const PositionsRow table[] = {
        {1000, {{50, 950}, {25, 975}, {5, 995}}},
        {2000, {{100, 1900}, {50, 1950}, {10, 1990}}},
        {5000, {{250, 4750}, {125, 4875}, {25, 4975}}},
        {10000, {{500, 9500}, {250, 9750}, {50, 9950}}},
        {50000, {{2500, 47500}, {1250, 48750}, {250, 49750}}},
    };
    ExpectPositionsAtEachLevel(brevant::IntegerPartPercentilePositions, table);
    // 1,000 resamples at 95 %: the 25th and the 975th smallest bootstrap r.
    std::mt19937 random(5);
    const auto run = RunFast(Read(RandomCases(random, 30, 0)), {1000, 0.975f, {}}, Seeds{6, 7, 8});
    std::vector<float> sorted = run.bootstrapR;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(run.lowerLimit, sorted[24]);
    EXPECT_EQ(run.upperLimit, sorted[974]);
    // Too few resamples for the level: the lower position would be 0. The smallest counts that work (as the
    // description says): Int(0.05 x 20) = 1, but 0.975f and 0.995f lie a little above 0.975 and 0.995.
    for (const auto& [q, smallest] : {std::pair{0.95f, 19}, std::pair{0.975f, 40}, std::pair{0.995f, 200}}) {
        EXPECT_NO_THROW(brevant::CheckIntegerPartPercentileSettings(smallest, q)) << q;
        EXPECT_THROW(brevant::CheckIntegerPartPercentileSettings(smallest - 1, q), brevant::SettingsError) << q;
    }
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunBootstCorr(Read(RandomCases(random, 30, 0)), {198, 0.995f, {}}, generator, control),
                 brevant::SettingsError);
}

TEST(BootstCorr, BoxesAndHistogramRequestAsTheWindowShowsThem) {
    Generator generator{Seeds{2, 3, 4}};
    RunControl control;
    DataFile file = DataFile::FromText("10\n1 2\n2 4\n3 5\n4 4.5\n5 6\n6 7\n7 6.5\n8 9\n9 8\n10 10\n", "ten.dat");
    const auto run = brevant::BootstCorrProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 4u);
    const char* controls[] = {"txtObtR", "StErrBox", "LowerCI", "UpperCI"};
    const char* labels[] = {"label1", "Label6", "Label2", "Label3"};
    const char* texts[] = {"Obtained r", "St. Error", "Lower Conf. Limit", "Upper Conf. Limit"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(run.boxes[i].control, controls[i]);
        EXPECT_EQ(run.boxes[i].labelControl, labels[i]);
        EXPECT_EQ(run.boxes[i].label, texts[i]);
        EXPECT_EQ(run.boxes[i].format, brevant::BoxFormat::ThreeDecimals);
    }
    // cov 7.0556, var X 9.1667, var Y 5.9: r = 0.9594.
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "0.959");
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Correlations");
    EXPECT_NEAR(run.histogram.observed, 0.9594, 1e-4);
    EXPECT_FALSE(run.histogram.bounds.has_value());
    EXPECT_EQ(run.resampled.size(), 1000u);
    EXPECT_LE(brevant::BoxValue(run.boxes[2]), brevant::BoxValue(run.boxes[3]));
}

TEST(BootstCorr, RefusesDataAndSettingsThatCannotGiveAnInterval) {
    const Refusal bad[] = {
        {"1 5 6", "announces 1 case; a correlation needs at least 2 cases."},
        {"0", "announces 0 cases"},
        {"-3 1 2", "is out of range"},
        {"3 1 2 3 4 5", "holds fewer values than announced"},
        {"3 1 2 3 x 5 6", "is not a number"},
        {"600000 1 2", "is out of range"},
        {"3 4 1 4 2 4 3", "holds X values with no variance"},
        {"3 1 7 2 7 3 7", "holds Y values with no variance"},
        {"3 0.1 1 0.1 2 0.1 3", "holds X values with no variance"},
        {"2 1e18 1e18 -1e18 2e18", "too large for the single-precision product of the two variances"},
        {"2 1e19 1 3e19 2", "too large for single-precision sums of their squares"},
        {"3 1e-13 1e-13 2e-13 3e-13 3e-13 2e-13", "too small for single precision"},  // product 0
        {"3 1e-10 1e-10 2e-10 3e-10 3e-10 2e-10", "too small for single precision"},  // below normal
    };
    ExpectRefused(brevant::BootstCorrProcedure, bad);
    DataFile file = DataFile::FromText("3 1 2 2 1 3 3", "ok.dat");
    const auto data = brevant::ReadBootstCorrData(file);
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EXPECT_THROW(brevant::RunBootstCorr(data, {0, 0.975f, {}}, generator, control), brevant::SettingsError);
    control.RequestCancel();
    EXPECT_THROW(brevant::RunBootstCorr(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
    EXPECT_EQ(generator.seeds, (Seeds{1, 2, 3}));
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
