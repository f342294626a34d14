// The mediation-by-bootstrap run against its literal transcription (tests/literal/LiteralMediationBoot.h):
// the obtained b(xyz), every bootstrap value, the sorted values, the limits, the standard error, the output
// file's bytes, the final seeds, the illegal-value count and the no-variance stops; the double sums past
// 10,000 cases; products of variances beyond single precision; refused data and settings.
#include "analysis/bootstrap/MediationBoot.h"
#include "engine/NumberText.h"
#include "literal/LiteralMediationBoot.h"
#include "support/Files.h"
#include "support/IllConditioned.h"
#include "support/Percentiles.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
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

struct Columns {
    std::vector<float> x, y, z;
};

std::string FileText(const Columns& c) {
    std::string text = std::to_string(c.x.size()) + "\n";
    for (std::size_t i = 0; i < c.x.size(); ++i) {
        text += brevant::ShortestText(c.x[i]) + ", " + brevant::ShortestText(c.y[i]) + " " +
                brevant::ShortestText(c.z[i]) + "\n";
    }
    return text;
}

brevant::MediationBootData Read(const Columns& c) {
    DataFile file = DataFile::FromText(FileText(c), "mediation.dat");
    return brevant::ReadMediationBootData(file);
}

// Y follows X, Z follows Y, with noise; `ties` rounds a share of the values so cases repeat values.
Columns Related(int n, unsigned seed, float scale, bool ties) {
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    Columns c;
    for (int i = 0; i < n; ++i) {
        float x = scale * noise(random);
        float y = 0.6f * x + scale * noise(random);
        float z = -0.5f * y + scale * noise(random) + 3.0f;
        if (ties && i % 3 == 0) {
            x = std::round(x);
            y = std::round(y);
            z = std::round(z);
        }
        c.x.push_back(x);
        c.y.push_back(y);
        c.z.push_back(z);
    }
    return c;
}

// The data as the reader leaves them before any centring: the defined path, which the literal run transcribes.
brevant::MediationBootData Defined(const Columns& c) {
    const auto n = static_cast<std::int64_t>(c.x.size());
    return {c.x, c.y, c.z, brevant::SumsFor(n, brevant::kMediationBootDesignedCases)};
}

// One run both ways from the same seeds: either both stop at the same resample with the same message, or
// both finish with the same figures, bytes and seeds. Returns the literal run for further checks. Data the
// reader centres (only where `centred` says so) are compared on the defined path, as the reader has them before.
void CompareWithLiteral(const Columns& c, std::int32_t R, float q, Seeds seeds,
                        brevant::literal::MediationBootRun& literal, int threads = 0, bool centred = false) {
    SCOPED_TRACE("n=" + std::to_string(c.x.size()) + " R=" + std::to_string(R) + " q=" + std::to_string(q) +
                 " threads=" + std::to_string(threads));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "MediationBoot_test_out.dat";
    std::filesystem::remove(out);
    brevant::literal::seedTable = seeds;
    literal = brevant::literal::RunMediationBoot(c.x, c.y, c.z, R, q);

    Generator generator{seeds};
    RunControl control;
    const brevant::MediationBootData read = Read(c);
    EXPECT_EQ(read.centred, centred);
    const brevant::MediationBootData data = read.centred ? Defined(c) : read;
    EXPECT_TRUE(SameBits(brevant::ComputeMediation(data).b, literal.obtainedB));
    const RunSettings settings{R, q, out.string(), threads};
    try {
        auto fast = brevant::RunMediationBoot(data, settings, generator, control);
        EXPECT_FALSE(literal.stopped) << literal.stopMessage;
        brevant::WriteOutputFile(settings, fast.bootstrapValues);
        EXPECT_TRUE(SameBits(fast.obtainedB, literal.obtainedB));
        // The defined standard error is the literal one (which shows 0 where their variance computes as
        // negative); the one shown is within 1 % of the spread of the b*.
        EXPECT_TRUE(SameBits(fast.spread.defined, literal.standardError) ||
                    (std::isnan(fast.spread.defined) && literal.standardError == 0.0f))
            << fast.spread.defined << " " << literal.standardError;
        brevant::testing::ExpectShownStandardError(fast.spread, fast.standardError, fast.bootstrapValues);
        EXPECT_EQ(fast.positions.lower, literal.lowerPosition);
        EXPECT_EQ(fast.positions.upper, literal.upperPosition);
        EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lowerLimit));
        EXPECT_TRUE(SameBits(fast.upperLimit, literal.upperLimit));
        EXPECT_EQ(fast.illegalCount, literal.illegalCount);
        if (literal.illegalCount > 0) {
            EXPECT_EQ(brevant::kIllegalBxyzText + brevant::GeneralText(fast.firstIllegal), literal.firstIllegalMessage);
        }
        EXPECT_EQ(control.resamplesDone.load(), R);
        EXPECT_EQ(control.sortDone.load(), R);
        ASSERT_TRUE(SameBitsEach(fast.bootstrapValues, literal.values)) << "b*";
        ASSERT_TRUE(SameBitsEach(fast.sorted, literal.sorted)) << "sorted b*";
        EXPECT_EQ(ReadWhole(out), literal.outputText);
    } catch (const brevant::RunStopped& e) {
        EXPECT_TRUE(literal.stopped);
        EXPECT_EQ(std::string(e.what()), literal.stopMessage);
        EXPECT_EQ(control.resamplesDone.load(), static_cast<std::int64_t>(literal.values.size()));
        ASSERT_EQ(e.Observed().size(), 1u);
        EXPECT_EQ(e.Observed()[0].control, "txtObtB");
        EXPECT_TRUE(SameBits(std::get<float>(e.Observed()[0].value), literal.obtainedB));
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
}
brevant::literal::MediationBootRun ExpectSameAsLiteral(const Columns& c, std::int32_t R, float q, Seeds seeds,
                                                       bool centred = false) {
    brevant::literal::MediationBootRun literal;
    CompareWithLiteral(c, R, q, seeds, literal, 0, centred);
    return literal;
}

// Resamples go eight at a time within each thread's share, the rest of a share one at a time: on 1, 2, 3
// and 7 threads those seams move, and every b*, the bytes and the seeds stay the literal run's.
TEST(MediationBoot, MatchesTheLiteralRunOnAnyNumberOfThreads) {
    for (const int threads : {1, 2, 3, 7}) {
        brevant::literal::MediationBootRun literal;
        CompareWithLiteral(Related(19, 300u + static_cast<unsigned>(threads), 1.0f, threads % 2 == 0), 231, 0.975f,
                           Seeds{threads, 60, 70}, literal, threads);
        EXPECT_FALSE(literal.stopped);
    }
}

TEST(MediationBoot, MatchesTheLiteralRunBitForBit) {
    const struct {
        int n;
        float scale;
        bool ties;
        std::int32_t R;
    } rows[] = {
        {5, 1.0f, false, 1000},   {12, 1.0f, true, 2000},  {40, 123.456789f, false, 1000},
        {200, 0.01f, true, 1000}, {1000, 5.0f, true, 1000}, {300, 1e4f, false, 5000},
    };
    const float quantiles[] = {0.95f, 0.975f, 0.995f};
    int i = 0;
    int finished = 0;
    // At scale 0.01 Z is 3 with a spread of 0.3 % of that: single sums lose its variance, and the reader
    // centres the run.
    for (const auto& row : rows) {
        const Columns c = Related(row.n, 100u + static_cast<unsigned>(i), row.scale, row.ties);
        const auto literal = ExpectSameAsLiteral(c, row.R, quantiles[i % 3],
                                                 Seeds{11 + 3 * i, 2000 + i, 29000 - 17 * i}, row.scale == 0.01f);
        finished += literal.stopped ? 0 : 1;
        ++i;
    }
    EXPECT_GE(finished, 5) << "the comparison should mostly cover whole runs";
}

// Counts of resamples that leave every remainder of the eight summed side by side.
TEST(MediationBoot, EveryRemainderOfTheResamplesSummedTogetherMatchesTheLiteralRun) {
    for (std::int32_t R = 40; R < 48; ++R) {
        ExpectSameAsLiteral(Related(13, 500u + static_cast<unsigned>(R), 1.0f, R % 3 == 0), R, 0.95f, Seeds{R, 7, 8});
    }
}

// At 10,000 cases the sums are single and the run is the literal one; one case more and they are double.
TEST(MediationBoot, SumsAreSingleUpToTenThousandCasesAndDoubleBeyond) {
    const Columns designed = Related(10000, 7u, 100.0f, false);
    EXPECT_EQ(Read(designed).sums, brevant::SumPrecision::Single);
    ExpectSameAsLiteral(designed, 40, 0.95f, Seeds{5, 6, 7});

    // Past the designed size every figure is as a double computation gives it: values near 1000 with a
    // small spread, where single sums of squares of 20,001 values would lose the variance and double sums
    // hold it, so the run is not centred.
    Columns big = Related(20001, 8u, 1.0f, false);
    for (auto* column : {&big.x, &big.y, &big.z})
        for (float& v : *column) v += 1000.0f;
    const brevant::MediationBootData data = Read(big);
    EXPECT_EQ(data.sums, brevant::SumPrecision::Double);
    EXPECT_FALSE(data.centred);

    const auto reference = [](const std::vector<std::int32_t>& pick, const Columns& c) {
        const double n = static_cast<double>(pick.size());
        double sx = 0, sy = 0, sz = 0, qx = 0, qy = 0, qz = 0, pxy = 0, pyz = 0;
        for (const std::int32_t h : pick) {
            const double x = c.x[h], y = c.y[h], z = c.z[h];
            sx += x, sy += y, sz += z, qx += x * x, qy += y * y, qz += z * z, pxy += x * y, pyz += y * z;
        }
        const double vx = (qx - sx * sx / n) / (n - 1), vy = (qy - sy * sy / n) / (n - 1),
                     vz = (qz - sz * sz / n) / (n - 1);
        const double cxy = (pxy - sx * sy / n) / (n - 1), cyz = (pyz - sy * sz / n) / (n - 1);
        return cxy / std::sqrt(vx * vy) * cyz / std::sqrt(vy * vz);
    };
    std::vector<std::int32_t> all(big.x.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::int32_t>(i);
    const double observed = reference(all, big);
    EXPECT_NEAR(brevant::ComputeMediation(data).b, observed, 1e-5);
    // A single-precision computation of the same figure is far off.
    const brevant::MediationBootData single{big.x, big.y, big.z, brevant::SumPrecision::Single};
    EXPECT_FALSE(std::fabs(brevant::ComputeMediation(single).b - observed) < 1e-3);

    // Each bootstrap value against the double computation over the same draws.
    const Seeds seeds{101, 202, 303};
    Generator generator{seeds};
    RunControl control;
    const auto run = brevant::RunMediationBoot(data, {20, 0.95f, {}}, generator, control);
    Generator replay{seeds};
    const auto n = static_cast<std::int32_t>(big.x.size());
    for (std::int32_t k = 0; k < 20; ++k) {
        std::vector<std::int32_t> pick(static_cast<std::size_t>(n));
        for (std::int32_t& h : pick) h = replay.Index(n) - 1;
        EXPECT_NEAR(run.bootstrapValues[static_cast<std::size_t>(k)], reference(pick, big), 1e-5) << k + 1;
    }
    EXPECT_EQ(generator.seeds, replay.seeds);
}

// Values that differ little relative to their size: every run is accepted and centred, its b(xyz) within 0.01
// of b in double, each b*, the limits and the standard error those of the same run (same seeds) on the values
// moved to a mean near 0 and an ordinary size; a note says so.
TEST(MediationBoot, ValuesThatDifferLittleRelativeToTheirSizeAreCentred) {
    using brevant::testing::Standardized;
    std::int32_t seed = 60;
    for (const auto& kind : brevant::testing::IllConditionedKinds()) {
        SCOPED_TRACE(kind.what);
        ++seed;
        const auto columns = brevant::testing::CorrelatedColumns(kind, 3, 0.6, static_cast<unsigned>(seed));
        const Columns c{columns[0], columns[1], columns[2]};
        const Columns moved{Standardized(c.x, kind), Standardized(c.y, kind), Standardized(c.z, kind)};
        const brevant::MediationBootData data = Read(c);
        EXPECT_TRUE(data.centred);
        EXPECT_FALSE(Read(moved).centred);
        const RunSettings settings{2000, 0.975f, {}};
        const Seeds seeds{seed, 66, 666};
        Generator generator{seeds}, again{seeds};
        RunControl control, control2;
        auto centred = brevant::RunMediationBoot(data, settings, generator, control);
        const auto ordinary = brevant::RunMediationBoot(Read(moved), settings, again, control2);
        EXPECT_NEAR(centred.obtainedB,
                    brevant::testing::DoubleR(c.x, c.y) * brevant::testing::DoubleR(c.y, c.z), 0.01);
        EXPECT_LE(brevant::testing::LargestDifference(centred.bootstrapValues, ordinary.bootstrapValues), 0.01f);
        EXPECT_NEAR(centred.lowerLimit, ordinary.lowerLimit, 0.01);
        EXPECT_NEAR(centred.upperLimit, ordinary.upperLimit, 0.01);
        EXPECT_NEAR(centred.standardError, ordinary.standardError, 0.01 * ordinary.standardError);
        brevant::testing::ExpectShownStandardError(centred.spread, centred.standardError, centred.bootstrapValues);
        const auto run = brevant::PresentMediationBoot(std::move(centred), settings);
        EXPECT_EQ(std::count(run.notes.begin(), run.notes.end(), brevant::kCentredRunNote), 1);
    }
}

// Correlations near 0.999: the b* vary so little around their mean that single sums of their squares lose
// their spread; the standard error shown is within 1 % of it.
TEST(MediationBoot, TheStandardErrorOfCoefficientsNearOneIsTheirSpread) {
    const brevant::testing::IllConditioned ordinary{"ordinary", 20.0, 5.0, 3, 200};
    const auto columns = brevant::testing::CorrelatedColumns(ordinary, 3, 0.999, 8u);
    const brevant::MediationBootData data = Read({columns[0], columns[1], columns[2]});
    EXPECT_FALSE(data.centred);
    Generator generator{Seeds{5, 6, 7}};
    RunControl control;
    const auto run = brevant::RunMediationBoot(data, {10000, 0.975f, {}}, generator, control);
    EXPECT_TRUE(run.spread.corrected) << run.spread.defined;
    brevant::testing::ExpectShownStandardError(run.spread, run.standardError, run.bootstrapValues);
}

TEST(MediationBoot, ExchangingXAndZGivesTheSameObtainedB) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const Columns c = Related(30, seed, 2.5f, seed == 2u);
        const Columns swapped{c.z, c.y, c.x};
        EXPECT_TRUE(SameBits(brevant::ComputeMediation(Read(c)).b, brevant::ComputeMediation(Read(swapped)).b));
    }
}

// The 21 stack-loss observations (air flow as X, water temperature as Y, stack loss as Z): the obtained
// b(xyz) agrees with the two correlations taken in double precision by the two-pass formulas.
TEST(MediationBoot, ObtainedBAgreesWithDoubleArithmeticOnTheStackLossData) {
    const Columns stackLoss{
        {80, 80, 75, 62, 62, 62, 62, 62, 58, 58, 58, 58, 58, 58, 50, 50, 50, 50, 50, 56, 70},
        {27, 27, 25, 24, 22, 23, 24, 24, 23, 18, 18, 17, 18, 19, 18, 18, 19, 19, 20, 20, 20},
        {42, 37, 37, 28, 18, 18, 19, 20, 15, 14, 14, 13, 11, 12, 8, 7, 8, 8, 9, 15, 15}};
    const auto correlation = [](const std::vector<float>& a, const std::vector<float>& b) {
        const double n = static_cast<double>(a.size());
        double ma = 0, mb = 0;
        for (std::size_t i = 0; i < a.size(); ++i) ma += a[i] / n, mb += b[i] / n;
        double sab = 0, saa = 0, sbb = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            sab += (a[i] - ma) * (b[i] - mb);
            saa += (a[i] - ma) * (a[i] - ma);
            sbb += (b[i] - mb) * (b[i] - mb);
        }
        return sab / std::sqrt(saa * sbb);
    };
    const brevant::MediationFigures f = brevant::ComputeMediation(Read(stackLoss));
    EXPECT_NEAR(f.rXY, correlation(stackLoss.x, stackLoss.y), 1e-6);
    EXPECT_NEAR(f.rYZ, correlation(stackLoss.y, stackLoss.z), 1e-6);
    EXPECT_NEAR(f.b, correlation(stackLoss.x, stackLoss.y) * correlation(stackLoss.y, stackLoss.z), 1e-6);
    ExpectSameAsLiteral(stackLoss, 2000, 0.975f, Seeds{1, 2, 3});
}

TEST(MediationBoot, PercentilePositionsByTheIntegerPartRule) {
    const PositionsRow table[] = {
        {1000, {{50, 950}, {25, 975}, {5, 995}}},
        {2000, {{100, 1900}, {50, 1950}, {10, 1990}}},
        {5000, {{250, 4750}, {125, 4875}, {25, 4975}}},
        {10000, {{500, 9500}, {250, 9750}, {50, 9950}}},
        {50000, {{2500, 47500}, {1250, 48750}, {250, 49750}}},
    };
    ExpectPositionsAtEachLevel(brevant::IntegerPartPercentilePositions, table);
    // 1000 resamples at 95 %: the 25th and 975th smallest values.
    Generator generator{Seeds{9, 99, 999}};
    RunControl control;
    const auto run = brevant::RunMediationBoot(Read(Related(25, 4u, 1.0f, false)), {1000, 0.975f, {}}, generator,
                                               control);
    EXPECT_TRUE(SameBits(run.lowerLimit, run.sorted[24]));
    EXPECT_TRUE(SameBits(run.upperLimit, run.sorted[974]));
    EXPECT_LE(run.lowerLimit, run.obtainedB);
    EXPECT_GE(run.upperLimit, run.obtainedB);
}

// Small files stop at the first resample in which a column has no variance, naming X, Y or Z (checked in
// that order) and the resample number, exactly where the literal run stops.
TEST(MediationBoot, NoVarianceStopsTheRunAtTheResampleWhereItHappens) {
    const Columns files[] = {
        {{1, 2}, {3, 4}, {5, 7}},                        // two cases: X goes first
        {{1, 2, 3, 4}, {7, 7, 8, 8}, {1, 2, 3, 5}},      // Y repeats in pairs
        {{1, 2, 3, 4}, {1, 2, 3, 4}, {9, 9, 9.5f, 9}},   // Z nearly constant
        {{0.1f, 0.2f, 0.3f}, {0.1f, 0.1f, 0.2f}, {0.7f, 0.1f, 0.1f}},
    };
    std::set<char> columns;
    int seed = 1;
    for (const Columns& c : files) {
        for (int repeat = 0; repeat < 6; ++repeat, ++seed) {
            const auto literal = ExpectSameAsLiteral(c, 1000, 0.975f, Seeds{seed, 3 * seed + 1, 7 * seed + 2});
            ASSERT_TRUE(literal.stopped);
            columns.insert(literal.stopMessage[0]);
        }
    }
    EXPECT_EQ(columns, (std::set<char>{'X', 'Y', 'Z'}));

    // Two cases: the stop comes within the first few resamples (each has a chance of one half).
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    try {
        brevant::RunMediationBoot(Read({{1, 2}, {3, 4}, {5, 7}}), {1000, 0.975f, {}}, generator, control);
        ADD_FAILURE() << "two cases did not stop";
    } catch (const brevant::RunStopped& e) {
        const std::string message = e.what();
        EXPECT_TRUE(message.starts_with("X has no variance, which sometimes happens with very small samples. "
                                        "Process terminating with "))
            << message;
        EXPECT_LE(control.resamplesDone.load(), 10);
        EXPECT_EQ(message, brevant::NoVarianceMessage("X", control.resamplesDone.load() + 1));
    }
}

// The resamples split across threads, so shares meet their stops out of order: the earliest resample in
// generation order is the one reported, with the literal run's message, progress and final seeds, on 1, 2,
// 3 and 7 threads. Seven cases whose Z repeats once stop after a few thousand resamples, often in a later
// share; two cases stop at once in every share.
TEST(MediationBoot, TheEarliestStopIsReportedOnAnyNumberOfThreads) {
    const Columns rare{{1, 2, 3, 4, 5, 6, 7}, {2, 1, 4, 3, 6, 5, 7}, {1, 1, 2, 3, 5, 4, 6}};
    const Columns often{{1, 2}, {3, 4}, {5, 7}};
    constexpr std::int32_t R = 20000;
    int stoppedInALaterShare = 0;
    for (int s = 1; s <= 10; ++s) {
        const Columns& c = s <= 8 ? rare : often;
        const Seeds seeds{s, 55 * s, 8000 + s};
        brevant::literal::seedTable = seeds;
        const auto literal = brevant::literal::RunMediationBoot(c.x, c.y, c.z, R, 0.975f);
        const auto made = static_cast<std::int64_t>(literal.values.size());
        stoppedInALaterShare += literal.stopped && made >= R / 7;
        for (const int threads : {1, 2, 3, 7}) {
            SCOPED_TRACE("seed " + std::to_string(s) + ", " + std::to_string(threads) + " threads");
            Generator generator{seeds};
            RunControl control;
            std::string message;
            try {
                brevant::RunMediationBoot(Read(c), {R, 0.975f, {}, threads}, generator, control);
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

// Nearly linear columns: every correlation is 1 up to rounding, so b* can land just above 1. Each such
// value is kept and counted, as in the literal run, and reported in one message. Here the bootstrap values
// differ so little that the variance of their single-precision sums computes as negative (the literal run
// shows 0): the standard error shown is their spread in double, with a note.
TEST(MediationBoot, ValuesBeyondOneAreCountedInOneMessage) {
    Columns same;
    for (int i = 1; i <= 9; ++i) {
        const float v = 0.1f * static_cast<float>(i * i) + 0.37f * 10.0f;
        const float y = v * 1.1f + 0.3f;
        same.x.push_back(v);
        same.y.push_back(y);
        same.z.push_back(y * 0.7f - 2.0f);
    }
    const auto literal = ExpectSameAsLiteral(same, 2000, 0.95f, Seeds{71, 72, 73});
    ASSERT_FALSE(literal.stopped);
    ASSERT_GT(literal.illegalCount, 0) << "the data should give values just above 1";

    Generator generator{Seeds{71, 72, 73}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(same), "same.dat");
    const auto run = brevant::MediationBootProcedure(file, {2000, 0.95f, {}}, generator, control);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_TRUE(run.messages[0].starts_with(literal.firstIllegalMessage + "\n")) << run.messages[0];
    EXPECT_NE(run.messages[0].find(std::to_string(literal.illegalCount) + " of the 2000 resamples"),
              std::string::npos)
        << run.messages[0];
    EXPECT_EQ(literal.standardError, 0.0f);
    const double spread = brevant::testing::DoubleSpread(run.resampled);
    EXPECT_GT(spread, 0.0);
    EXPECT_NEAR(brevant::BoxValue(run.boxes[1]), spread, 0.01 * spread);
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_NE(run.notes[0].find("the standard error shown is their spread computed in double precision"),
              std::string::npos)
        << run.notes[0];
}

// Values near 1e10 give variances whose single-precision product overflows: the literal steps give
// b(xyz) = 0; near 1e-12 the product underflows and a correlation would be infinite. Ours agree with the
// unscaled data, since a correlation does not depend on the scale.
TEST(MediationBoot, ScaleOfTheValuesDoesNotChangeTheCoefficient) {
    const Columns base = Related(30, 12u, 1.0f, false);
    const float unscaled = brevant::ComputeMediation(Read(base)).b;
    for (const float scale : {1e10f, 1e-12f}) {
        SCOPED_TRACE(scale);
        Columns scaled = base;
        for (auto* column : {&scaled.x, &scaled.y, &scaled.z})
            for (float& v : *column) v *= scale;
        const brevant::MediationBootData data = Read(scaled);
        EXPECT_NEAR(brevant::ComputeMediation(data).b, unscaled, 1e-4);
        brevant::literal::seedTable = Seeds{1, 1, 1};
        const auto literal = brevant::literal::RunMediationBoot(scaled.x, scaled.y, scaled.z, 20, 0.95f);
        EXPECT_TRUE(literal.obtainedB == 0.0f || std::isinf(literal.obtainedB)) << literal.obtainedB;

        Generator generator{Seeds{4, 5, 6}};
        RunControl control;
        const auto run = brevant::RunMediationBoot(data, {1000, 0.975f, {}}, generator, control);
        for (const float b : run.bootstrapValues) ASSERT_TRUE(std::isfinite(b) && std::fabs(b) < 1.01f) << b;
    }
    EXPECT_NEAR(brevant::MediationCorrelation(2e19f, 4e19f, 1e19f), 1.0f, 1e-6f);
}

TEST(MediationBoot, BoxesAndHistogramRequestAsTheWindowShowsThem) {
    const Columns c = Related(50, 21u, 1.0f, false);
    Generator generator{Seeds{2, 3, 4}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c), "fifty.dat");
    const auto run = brevant::MediationBootProcedure(file, {1000, 0.975f, {}}, generator, control);
    const char* controls[] = {"txtObtB", "StErrBox", "LowerCI", "UpperCI"};
    const char* labels[] = {"Obtained  b(xyz)", "St. Error", "Lower Conf. Limit", "Upper Conf. Limit"};
    const char* labelControls[] = {"label1", "Label6", "Label2", "Label3"};
    ASSERT_EQ(run.boxes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(run.boxes[i].control, controls[i]);
        EXPECT_EQ(run.boxes[i].label, labels[i]);
        EXPECT_EQ(run.boxes[i].labelControl, labelControls[i]);
        EXPECT_EQ(run.boxes[i].format, brevant::BoxFormat::ThreeDecimals);
    }
    const float b = brevant::ComputeMediation(Read(c)).b;
    EXPECT_TRUE(SameBits(std::get<float>(run.boxes[0].value), b));
    EXPECT_LT(brevant::BoxValue(run.boxes[2]), brevant::BoxValue(run.boxes[3]));
    EXPECT_GT(brevant::BoxValue(run.boxes[1]), 0.0);
    EXPECT_EQ(run.histogram.caption, "Bootstrapped Mediated Path Coefficient");
    EXPECT_TRUE(SameBits(run.histogram.observed, b));
    EXPECT_FALSE(run.histogram.bounds.has_value());
    EXPECT_EQ(run.resampled.size(), 1000u);
    EXPECT_TRUE(run.notes.empty());
    EXPECT_TRUE(run.messages.empty());

    const auto observed = brevant::ObservedMediationBootBoxes(Read(c));
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(brevant::BoxText(observed[0]), brevant::BoxText(run.boxes[0]));
}

TEST(MediationBoot, RefusesDataAndSettingsThatCannotGiveAnInterval) {
    const Refusal bad[] = {
        {"1 1 2 3", "announces 1 case; a correlation needs at least 2 cases."},
        {"0", "announces 0 cases"},
        {"3 1 2 3  1 2 3  1 2 3", "has no variance in X"},
        {"3 1 2 3  2 2 4  3 2 5", "has no variance in Y"},
        {"3 1 2 7  2 3 7  3 4 7", "has no variance in Z"},
        {"3 0.1 1 2  0.1 2 3  0.1 3 5", "has no variance in X"},
        {"3 1 2 3  4 5 6", "holds fewer values than announced"},
        {"2 1 2 x 4 5 6", "is not a number"},
        {"-2 1 2 3", "is out of range"},
        {"400000 1 2 3", "is out of range"},
        {"2.5 1 2 3", "is not a whole number"},
        {"", "holds no data"},
        {"2 1e19 1 2  3e19 2 3", "holds values too large for single-precision sums of their squares"},
        {"3 1e-25 1 2  2e-25 2 3  3e-25 3 5", "holds X values whose variance is too small for single precision"},
    };
    ExpectRefused(brevant::MediationBootProcedure, bad);
    const auto data = Read(Related(10, 3u, 1.0f, false));
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    // The integer-part rule at 99 % needs 200 resamples: 0.995f lies a little above 0.995.
    EXPECT_THROW(brevant::RunMediationBoot(data, {199, 0.995f, {}}, generator, control), brevant::SettingsError);
    EXPECT_NO_THROW(brevant::RunMediationBoot(data, {200, 0.995f, {}}, generator, control));
    EXPECT_THROW(brevant::RunMediationBoot(data, {0, 0.975f, {}}, generator, control), brevant::SettingsError);
    const Seeds before = generator.seeds;
    control.RequestCancel();
    EXPECT_THROW(brevant::RunMediationBoot(data, {1000, 0.975f, {}}, generator, control), brevant::RunCancelled);
    EXPECT_EQ(generator.seeds, before) << "cancelled before the first draw";
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
