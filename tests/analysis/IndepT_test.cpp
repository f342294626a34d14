// The two-independent-samples run against its literal transcription (tests/literal/LiteralIndepT.h): every
// result box, every resampled t, the output file's bytes and the generator's final seeds; then the cases
// the window must get right (equal groups, separated groups, shuffles with no spread) and data it refuses.
#include "analysis/randomization/IndepT.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "literal/LiteralIndepT.h"
#include "support/Files.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::RunSettings;
using brevant::Seeds;
using brevant::testing::ExpectRefused;
using brevant::testing::Refusal;

std::string FileText(const std::vector<float>& a, const std::vector<float>& b) {
    std::string text = std::to_string(a.size()) + "\n" + std::to_string(b.size()) + "\n";
    for (const float v : a) text += brevant::ShortestText(v) + "\n";
    for (const float v : b) text += brevant::ShortestText(v) + "\n";
    return text;
}

using brevant::testing::ReadWhole;
using brevant::testing::SameBits;
using brevant::testing::SameBitsEach;

// Values with ties, negatives and more than seven significant digits.
std::vector<float> MixedValues(std::mt19937& random, int n, float centre) {
    std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
    std::vector<float> values;
    for (int i = 0; i < n; ++i) {
        const float v = centre + spread(random);
        values.push_back(i % 3 == 0 ? std::round(v) : v);
    }
    return values;
}

struct Case {
    std::vector<float> a, b;
    Seeds seeds;
    std::int32_t resamples;
    int threads = 0;  // 0: every core
    brevant::DrawPath path = brevant::ActiveDrawPath();
};

// Runs the fast procedure as a caller does (read from file text, run, write the output file) and the
// literal transcription from the same seeds, and compares everything.
void ExpectSameAsLiteral(const Case& c) {
    SCOPED_TRACE("nA=" + std::to_string(c.a.size()) + " nB=" + std::to_string(c.b.size()) +
                 " R=" + std::to_string(c.resamples) + " threads=" + std::to_string(c.threads) +
                 (c.path == brevant::DrawPath::Avx2 ? " avx2" : " baseline"));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "IndepT_test_out.dat";
    RunSettings settings{c.resamples, 0.975f, out.string(), c.threads};
    Generator generator{c.seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.a, c.b), "test.dat");
    const brevant::IndepTData data = brevant::ReadIndepTData(file);
    ASSERT_FALSE(data.centred) << "ordinary data keep the defined path";
    const brevant::IndepTResult fast = brevant::RunIndepT(data, settings, generator, control, c.path);
    brevant::WriteOutputFile(settings, fast.resampled);

    std::vector<float> pooled = c.a;
    pooled.insert(pooled.end(), c.b.begin(), c.b.end());
    brevant::literal::seedTable = c.seeds;
    const auto literal = brevant::literal::RunIndepT(pooled, static_cast<std::int32_t>(c.a.size()),
                                                     static_cast<std::int32_t>(c.b.size()), c.resamples);

    EXPECT_TRUE(SameBits(fast.observed.t, literal.obtainedT)) << fast.observed.t << " " << literal.obtainedT;
    EXPECT_TRUE(SameBits(fast.comparisonT, literal.tPrime));
    EXPECT_TRUE(SameBits(fast.effectSize, literal.effectSize));
    // The boxes a window shows while the shuffles run hold the same figures.
    DataFile again = DataFile::FromText(FileText(c.a, c.b), "test.dat");
    const std::vector<brevant::ResultBox> observed = brevant::ObservedIndepTBoxes(brevant::ReadIndepTData(again));
    ASSERT_EQ(observed.size(), 2u);
    EXPECT_EQ(observed[0].control, "txtObtT");
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.obtainedT));
    EXPECT_EQ(observed[1].control, "txtEffectSize");
    EXPECT_TRUE(SameBits(std::get<float>(observed[1].value), literal.effectSize));
    EXPECT_EQ(fast.countGreater, static_cast<std::int64_t>(literal.countGreater));
    EXPECT_EQ(fast.countLess, static_cast<std::int64_t>(literal.countLess));
    EXPECT_EQ(fast.proportionGreater, literal.numGreater);
    EXPECT_EQ(fast.proportionLess, literal.numLess);
    EXPECT_TRUE(SameBits(fast.probMore, literal.probMore));
    ASSERT_TRUE(SameBitsEach(fast.resampled, literal.resampled)) << "resampled t";
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(control.resamplesDone.load(), c.resamples);
}

TEST(IndepT, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(20240611);
    const std::pair<int, int> sizes[] = {{5, 7}, {2, 2}, {3, 20}, {30, 30}, {17, 4}, {2, 9}};
    int i = 0;
    for (const auto& [nA, nB] : sizes) {
        const Seeds seeds{1 + 1000 * i, 2 + 1500 * i, 3 + 2000 * i};
        // 1000 + i resamples: counts that leave a remainder after the t values computed side by side.
        ExpectSameAsLiteral({MixedValues(random, nA, 0.5f * i), MixedValues(random, nB, 0.0f), seeds, 1000 + i});
        ++i;
    }
    // Large magnitudes where single-precision sums lose digits, with a spread of a few percent of their size
    // (a spread of a thousandth centres the run: DataThatDifferLittleRelativeToTheirSizeCentreTheRun).
    ExpectSameAsLiteral({{123456.7f, 131457.9f, 119455.1f, 127456.2f}, {133458.3f, 121459.9f, 125457.4f},
                         Seeds{4711, 815, 12345}, 2000});
    // Shuffles chained over several chunks on three threads, each chunk carrying the last arrangement.
    ExpectSameAsLiteral({MixedValues(random, 300, 0.3f), MixedValues(random, 300, 0.0f), Seeds{9, 99, 999}, 1000, 3});
}

// The t values are computed kIndepTLanes arrangements at a time and the shuffles' picks a run of draws at
// a time, on the AVX2 path (where the processor has it) and the baseline: every count of leftover
// arrangements at the end of a run, on one thread and on several, gives the literal run's bits.
TEST(IndepT, EveryRemainderOfTheLanesMatchesTheLiteralRunOnEveryPath) {
    std::mt19937 random(8080);
    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
        if (!brevant::DrawPathAvailable(path)) continue;
        for (std::int32_t R = 3 * brevant::kIndepTLanes; R < 4 * brevant::kIndepTLanes; ++R) {
            const int nA = 2 + R % 5, nB = 9 - R % 4;
            ExpectSameAsLiteral({MixedValues(random, nA, 1.0f), MixedValues(random, nB, 0.0f),
                                 Seeds{40 + R, 50 + R, 60 + R}, R, 1 + R % 3, path});
        }
    }
}

// Past the designed 1,000 values in all the sums are double, in the lanes as one at a time: every t of the
// run, on each path, is ComputeT with double sums of its own shuffle (ShuffleArray from the same stream,
// each continuing from the last), and the generator ends after them.
TEST(IndepT, DoubleSumsInTheLanesGiveEachShufflesOwnT) {
    std::mt19937 random(1001);
    std::vector<float> a = MixedValues(random, 600, 1000.0f), b = MixedValues(random, 401, 1000.5f);
    const std::int32_t R = 3 * brevant::kIndepTLanes + 3;
    const Seeds seeds{77, 88, 99};
    Generator reference{seeds};
    std::vector<float> pooled = a;
    pooled.insert(pooled.end(), b.begin(), b.end());
    std::vector<float> expected;
    for (std::int32_t k = 0; k < R; ++k) {
        brevant::ShuffleArray(reference, std::span<float>(pooled));
        const std::span<const float> all(pooled);
        expected.push_back(brevant::ComputeT(all.first(a.size()), all.subspan(a.size()), brevant::SumPrecision::Double).t);
    }
    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
        if (!brevant::DrawPathAvailable(path)) continue;
        for (const int threads : {1, 2}) {
            SCOPED_TRACE(std::string(path == brevant::DrawPath::Avx2 ? "avx2" : "baseline") + " threads " +
                         std::to_string(threads));
            Generator generator{seeds};
            RunControl control;
            DataFile file = DataFile::FromText(FileText(a, b), "wide.dat");
            const brevant::IndepTData data = brevant::ReadIndepTData(file);
            ASSERT_EQ(data.sums, brevant::SumPrecision::Double);
            const auto run = brevant::RunIndepT(data, {R, 0.975f, {}, threads}, generator, control, path);
            EXPECT_TRUE(SameBitsEach(run.resampled, expected));
            EXPECT_EQ(generator.seeds, reference.seeds);
        }
    }
}

// kIndepTLanes arrangements at once, on the AVX2 path (where the processor has it) and the baseline, single sums
// and double: each t is bit for bit ComputeT of its own arrangement, for group sizes that leave every
// remainder of the register width, unequal groups (one group's chain running on alone), and arrangements
// with no spread (an infinite or undefined t).
TEST(IndepT, ArrangementsInLanesMatchComputeTOnEveryPath) {
    constexpr std::size_t kLanes = brevant::kIndepTLanes;
    std::mt19937 random(31337);
    std::uniform_real_distribution<float> spread(-400.0f, 900.0f);
    const std::pair<int, int> sizes[] = {{2, 2}, {3, 10}, {11, 4}, {8, 8}, {13, 29}, {500, 500}, {600, 401}};
    for (const auto& [nA, nB] : sizes) {
        const auto n = static_cast<std::size_t>(nA + nB);
        std::vector<float> arrangements(kLanes * n);
        for (std::size_t j = 0; j < kLanes; ++j) {
            for (std::size_t i = 0; i < n; ++i) {
                const bool inA = i < static_cast<std::size_t>(nA);
                float v = spread(random) * (j % 2 == 0 ? 1.0f : 0.01f);
                if (j % 8 == 2) v = inA ? 1.5f : 2.5f;  // no spread: t = -inf
                if (j % 8 == 5) v = 7.25f;              // no spread, equal means: t undefined
                if (j % 8 == 6 && inA) v = -3.0f;       // one group constant, the other spread
                arrangements[j * n + i] = v;
            }
        }
        for (const brevant::SumPrecision precision : {brevant::SumPrecision::Single, brevant::SumPrecision::Double}) {
            float expected[kLanes];
            for (std::size_t j = 0; j < kLanes; ++j) {
                const std::span<const float> all(arrangements.data() + j * n, n);
                expected[j] = brevant::ComputeT(all.first(static_cast<std::size_t>(nA)),
                                                all.subspan(static_cast<std::size_t>(nA)), precision).t;
            }
            EXPECT_TRUE(std::isinf(expected[2]) && std::isnan(expected[5]));
            for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
                if (!brevant::DrawPathAvailable(path)) continue;
                SCOPED_TRACE(std::to_string(nA) + "+" + std::to_string(nB) +
                             (precision == brevant::SumPrecision::Single ? " single" : " double") +
                             (path == brevant::DrawPath::Avx2 ? " avx2" : " baseline"));
                float t[kLanes];
                brevant::ArrangementLaneTs(path, arrangements.data(), nA, nB, precision, t);
                for (std::size_t j = 0; j < kLanes; ++j) EXPECT_TRUE(SameBits(t[j], expected[j])) << j << " " << t[j] << " " << expected[j];
            }
        }
    }
}

// The shuffle in two halves, its picks worked out a run of draws at a time, then its swaps, makes exactly
// ShuffleArray's swaps from the same draws, on every path: sizes below, at and across a block of draws, shuffles one after another
// from a generator whose blocks start partway through a shuffle.
TEST(IndepT, ShufflePicksMakeTheSameSwapsFromTheSameDraws) {
    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
        if (!brevant::DrawPathAvailable(path)) continue;
        for (const int n : {2, 3, 17, 1000, 2048, 2049, 2050, 5001}) {
            SCOPED_TRACE(std::to_string(n) + (path == brevant::DrawPath::Avx2 ? " avx2" : " baseline"));
            std::vector<float> blocks(static_cast<std::size_t>(n)), plain(blocks.size());
            for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = plain[i] = static_cast<float>(i) + 0.5f;
            Generator generator{Seeds{1 + n, 2 + 3 * n, 3 + 5 * n}};
            generator.Uniform();
            brevant::BlockGenerator fromBlocks(Seeds{1 + n, 2 + 3 * n, 3 + 5 * n});
            fromBlocks.Uniform();
            std::vector<std::int32_t> picks(static_cast<std::size_t>(n - 1));
            for (int k = 0; k < 5; ++k) {
                brevant::ShuffleArray(generator, std::span<float>(plain));
                brevant::DrawShufflePicks(path, fromBlocks, picks);
                brevant::ApplyShufflePicks(picks, blocks);
                ASSERT_EQ(blocks, plain) << "shuffle " << k;
                ASSERT_EQ(fromBlocks.CurrentSeeds(), generator.seeds) << "shuffle " << k;
            }
        }
    }
}

// The designed size, 1,000 values in all, keeps the single-precision sums bit for bit; one value more
// switches every data sum to double, so t is the double-precision t of the data rounded to a float.
TEST(IndepT, SumsAreSingleUpToTheDesignedSizeAndDoubleBeyond) {
    std::mt19937 random(99);
    ExpectSameAsLiteral({MixedValues(random, 500, 20.0f), MixedValues(random, 500, 20.5f), Seeds{5, 6, 7}, 200});

    std::normal_distribution<float> around(1000.0f, 3.0f);
    std::vector<float> a(600), b(401);
    for (float& v : a) v = around(random);
    for (float& v : b) v = around(random) + 0.5f;
    DataFile file = DataFile::FromText(FileText(a, b), "wide.dat");
    const brevant::IndepTData data = brevant::ReadIndepTData(file);
    ASSERT_EQ(data.sums, brevant::SumPrecision::Double);
    const auto moments = [](const std::vector<float>& x) {
        long double m = 0, q = 0;
        for (const float v : x) m += v;
        m /= x.size();
        for (const float v : x) q += (v - m) * (v - m);
        return std::pair{m, q};
    };
    const auto [mA, qA] = moments(a);
    const auto [mB, qB] = moments(b);
    const long double pooled = (qA + qB) / (a.size() + b.size() - 2);
    // Each mean and the pooled variance are right to single precision (stored as floats, as always).
    const brevant::TFigures f = brevant::ComputeT(a, b, data.sums);
    EXPECT_NEAR(f.meanA, static_cast<double>(mA), 1e-7 * 1000);
    EXPECT_NEAR(f.meanB, static_cast<double>(mB), 1e-7 * 1000);
    EXPECT_NEAR(f.pooledVariance, static_cast<double>(pooled), 1e-6 * 9);
    EXPECT_EQ(brevant::BoxValue(brevant::ObservedIndepTBoxes(data)[0]), f.t);
}

// The t and the effect size in double (long double sums), two passes around each group's mean.
std::pair<double, double> ReferenceT(const std::vector<float>& a, const std::vector<float>& b) {
    const auto moments = [](const std::vector<float>& x) {
        long double m = 0, q = 0;
        for (const float v : x) m += v;
        m /= static_cast<long double>(x.size());
        for (const float v : x) q += (v - m) * (v - m);
        return std::pair{m, q};
    };
    const auto [mA, qA] = moments(a);
    const auto [mB, qB] = moments(b);
    const long double pooled = (qA + qB) / static_cast<long double>(a.size() + b.size() - 2);
    const long double d = mA - mB;
    const long double t = d / std::sqrt((1.0L / a.size() + 1.0L / b.size()) * pooled);
    return {static_cast<double>(t), static_cast<double>(std::fabs(d) / (2 * std::sqrt(pooled)))};
}

std::vector<float> Around(std::mt19937& random, int n, double centre, double sd, double step = 0.0) {
    std::normal_distribution<double> value(centre, sd);
    std::vector<float> values;
    for (int i = 0; i < n; ++i) {
        const double v = value(random);
        values.push_back(static_cast<float>(step > 0.0 ? std::round(v / step) * step : v));
    }
    return values;
}

std::vector<float> Less(const std::vector<float>& values, double shift) {
    std::vector<float> out;
    for (const float v : values) out.push_back(static_cast<float>(static_cast<double>(v) - shift));
    return out;
}

// Measurements that differ little relative to their size: single sums lose their spread (t off by a large
// factor, or no spread at all), so the run is centred: every such file is accepted, t and the effect size
// agree with a double-precision computation, the proportions agree with the same run on the data taken
// around a round value near their mean (the same shuffles on well-conditioned values), and a note says so.
TEST(IndepT, DataThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    std::mt19937 random(1515);
    // 15 integers near `size`, within-group variances 2.5 and 2.22: single sums of their squares leave a
    // negative pooled variance near 100,000 (the file was refused for no spread), t far off near 1e7.
    const auto integers = [](float size, bool second) {
        std::vector<float> values;
        for (const int k : {1, 2, 3, 4, 5}) values.push_back(size + static_cast<float>(k + (second ? 2 : 0)));
        if (second) values.insert(values.end(), values.begin(), values.end());
        return values;
    };
    std::mt19937 literal(99);  // the 500 + 500 values near 1000 of an earlier literal comparison
    const std::vector<float> nearThousandA = MixedValues(literal, 500, 1000.0f);
    const std::vector<float> nearThousandB = MixedValues(literal, 500, 1000.5f);
    const struct {
        const char* what;
        std::vector<float> a, b;
        double around;  // the round value near the mean the comparison run takes the data around
    } cases[] = {
        {"500 + 500 near 10,000, spread 10", Around(random, 500, 10000.0, 10.0), Around(random, 500, 10001.5, 10.0),
         10000.0},
        {"500 + 500 near 1,000, spread 5.8", nearThousandA, nearThousandB, 1000.0},
        {"4 + 3 near 123,456", {123456.7f, 123457.9f, 123455.1f, 123456.2f}, {123458.3f, 123459.9f, 123457.4f},
         123456.0},
        {"15 integers near 100,000", integers(1e5f, false), integers(1e5f, true), 1e5},
        {"15 integers near 1e7", integers(1e7f, false), integers(1e7f, true), 1e7},
        {"body temperatures", Around(random, 130, 98.25, 0.73, 0.1), Around(random, 130, 98.1, 0.73, 0.1), 98.0},
        {"60 + 40 near 1e6, spread 1", Around(random, 60, 1e6, 1.0), Around(random, 40, 1e6 + 0.6, 1.0), 1e6},
        {"1 +- 1e-4", Around(random, 50, 1.0, 1e-4), Around(random, 70, 1.0 + 5e-5, 1e-4), 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [t, effectSize] = ReferenceT(c.a, c.b);
        const RunSettings settings{2000, 0.975f, {}, 2};
        Generator generator{Seeds{123, 456, 789}}, shiftedGenerator{Seeds{123, 456, 789}};
        RunControl control;
        DataFile file = DataFile::FromText(FileText(c.a, c.b), "close.dat");
        const brevant::IndepTData data = brevant::ReadIndepTData(file);
        EXPECT_TRUE(data.centred);
        const brevant::RunResult run =
            brevant::PresentIndepT(brevant::RunIndepT(data, settings, generator, control), settings);
        DataFile shiftedFile = DataFile::FromText(FileText(Less(c.a, c.around), Less(c.b, c.around)), "shifted.dat");
        const brevant::RunResult shifted = brevant::IndepTProcedure(shiftedFile, settings, shiftedGenerator, control);

        EXPECT_NEAR(brevant::BoxValue(run.boxes[0]), t, 0.01 * std::fabs(t)) << "t";
        EXPECT_NEAR(brevant::BoxValue(run.boxes[4]), effectSize, 0.01 * effectSize) << "effect size";
        EXPECT_EQ(brevant::BoxValue(brevant::ObservedIndepTBoxes(data)[0]), brevant::BoxValue(run.boxes[0]));
        for (const std::size_t box : {1u, 2u, 3u}) {
            EXPECT_NEAR(brevant::BoxValue(run.boxes[box]), brevant::BoxValue(shifted.boxes[box]), 0.01)
                << run.boxes[box].control;
        }
        EXPECT_NE(std::find(run.notes.begin(), run.notes.end(), brevant::kCentredRunNote), run.notes.end());
        EXPECT_EQ(std::find(shifted.notes.begin(), shifted.notes.end(), brevant::kCentredRunNote), shifted.notes.end());
    }
}

TEST(IndepT, EqualGroupsGiveTZeroAndCountEachSideOnItsOwn) {
    const std::vector<float> same{3.0f, 1.0f, 4.0f, 1.5f, 9.0f, 2.6f};
    Generator generator{Seeds{11, 22, 33}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(same, same), "same.dat");
    const auto r = brevant::RunIndepT(brevant::ReadIndepTData(file), {1000, 0.975f, {}}, generator, control);
    EXPECT_EQ(r.observed.t, 0.0f);
    EXPECT_EQ(r.comparisonT, static_cast<float>(-0.0001));
    std::int64_t positive = 0, negative = 0;
    for (const float t : r.resampled) {
        positive += t >= 0.0001f;
        negative += t <= -0.0001f;
    }
    EXPECT_EQ(r.countGreater, positive);
    EXPECT_EQ(r.countLess, negative);
    EXPECT_GT(positive, 0);
    EXPECT_GT(negative, 0);
    EXPECT_FLOAT_EQ(r.probMore, static_cast<float>(positive + negative) / 1000.0f);
}

TEST(IndepT, SeparatedGroupsShowZeroInAllThreeProportionBoxes) {
    std::vector<float> low, high;
    for (int i = 0; i < 20; ++i) {
        low.push_back(static_cast<float>(i));
        high.push_back(100.0f + static_cast<float>(i));
    }
    Generator generator{Seeds{5, 6, 7}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(low, high), "apart.dat");
    const brevant::RunResult run = brevant::IndepTProcedure(file, {1000, 0.975f, {}}, generator, control);
    ASSERT_EQ(run.boxes.size(), 5u);
    const char* controls[] = {"txtObtT", "txtNumLess", "txtNumGreater", "txtProbMore", "txtEffectSize"};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(run.boxes[i].control, controls[i]);
    EXPECT_EQ(brevant::BoxText(run.boxes[1]), "0");
    EXPECT_EQ(brevant::BoxText(run.boxes[2]), "0");
    EXPECT_EQ(brevant::BoxText(run.boxes[3]), "0");
    // t of 0..19 against 100..119: d = -100, both variances 35, s2 = 35, se = sqrt(0.1 * 35).
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "-53.452");
    EXPECT_EQ(brevant::BoxText(run.boxes[4]), "8.452");  // 100 / (2 * sqrt(35))
    EXPECT_EQ(run.boxes[1].label, "% < - t   | % >  +t");
    EXPECT_EQ(brevant::ResultLines(run.boxes)[1], "% < - t   | % >  +t: 0 | 0");
    EXPECT_EQ(run.histogram.caption, "t Value");
    EXPECT_EQ(run.histogram.bounds, (std::pair{-5.0f, 5.0f}));
    EXPECT_TRUE(run.notes.empty());
}

TEST(IndepT, ValuesOnOneLineWithCommasReadLikeOneValuePerLine) {
    const std::string oneLine = "5,7,1.5,2,3,4,5,6,7,8,9,10,11,12.25";
    const std::string lines = "5\r\n7\r\n1.5\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12.25\r\n";
    DataFile first = DataFile::FromText(oneLine, "a.dat");
    DataFile second = DataFile::FromText(lines, "b.dat");
    const brevant::IndepTData x = brevant::ReadIndepTData(first);
    const brevant::IndepTData y = brevant::ReadIndepTData(second);
    EXPECT_EQ(x.sizeA, 5);
    EXPECT_EQ(x.SizeB(), 7);
    EXPECT_EQ(x.pooled, y.pooled);
    EXPECT_EQ(x.pooled.back(), 12.25f);
}

TEST(IndepT, ShufflesWithNoSpreadAreInfiniteAndCountedAsExtreme) {
    // 1 2 / 1 2: a shuffle to 1 1 / 2 2 has no spread and t = -inf; 2 2 / 1 1 gives +inf.
    Case c{{1.0f, 2.0f}, {1.0f, 2.0f}, Seeds{101, 202, 303}, 1000};
    ExpectSameAsLiteral(c);
    Generator generator{c.seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.a, c.b), "two.dat");
    const brevant::RunResult run = brevant::IndepTProcedure(file, {1000, 0.975f, {}}, generator, control);
    std::int64_t plus = 0, minus = 0;
    for (const float t : run.resampled) {
        ASSERT_TRUE(t == 0.0f || std::isinf(t)) << t;
        plus += t > 0;
        minus += t < 0;
    }
    EXPECT_GT(plus, 0);
    EXPECT_GT(minus, 0);
    // t' = -0.0001: every infinite t is at least as extreme; the zeros are counted on neither side.
    EXPECT_EQ(brevant::BoxValue(run.boxes[2]), static_cast<double>(plus) / 1000);
    EXPECT_EQ(brevant::BoxValue(run.boxes[1]), static_cast<double>(minus) / 1000);
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_NE(run.notes[0].find(std::to_string(plus + minus) + " of the 1000"), std::string::npos) << run.notes[0];

    // Groups of equal values that single-precision sums give a tiny variance are treated alike.
    ExpectSameAsLiteral({{0.1f, 0.3f, 0.1f}, {0.3f, 0.1f, 0.3f}, Seeds{9, 99, 999}, 1000});
}

TEST(IndepT, RefusesDataThatCannotGiveAT) {
    // Every refusal, the reader's and the procedure's own, names the file the same way and says what is wrong.
    const Refusal bad[] = {
        {"1 3  5  1 2 3", "announces 1 value for group A; each group needs at least 2 values."},
        {"3 1  5 6 7  1", "announces 1 value for group B; each group needs at least 2 values."},
        {"0 3  1 2 3", "announces 0 values for group A"},
        {"-1 3  1 2 3", "is out of range"},
        {"2 2  4 4 4 4", "has no spread within the groups"},
        {"2 3  1 1  2 2 2", "so the pooled variance is 0 and t is undefined."},
        // Within-group spread of 1 at 1e7, groups 4e7 apart: taken around their common mean (3e7) the values
        // of each group come out equal in single precision.
        {"2 2  10000000 10000001  50000000 50000000", "the groups lie very far apart relative to the spread"},
        {"3 3  1 2 3  4 5", "holds fewer values than announced"},
        {"3 3  1 2 x  4 5 6", "is not a number"},
        {"600000 600000", "announces 1200000 values in its two groups; at most 1000000 can be analysed."},
        {"2 2  1e19 2e19 3e19 4e19", "holds values too large for single-precision sums of their squares"},
        {"", "holds no data"},
    };
    ExpectRefused(brevant::IndepTProcedure, bad);
}

TEST(IndepT, CancelledRunThrowsAndResultsAreTheSameOnAWorkerThread) {
    DataFile file = DataFile::FromText("4 4 1 2 3 4 5 6 7 9", "c.dat");
    const brevant::IndepTData data = brevant::ReadIndepTData(file);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    EXPECT_THROW(brevant::RunIndepT(data, {1000, 0.975f, {}}, g, cancelled), brevant::RunCancelled);
    EXPECT_THROW(brevant::RunIndepT(data, {0, 0.975f, {}}, g, cancelled), brevant::SettingsError);

    Generator here{Seeds{3, 4, 5}}, there{Seeds{3, 4, 5}};
    RunControl control1, control2;
    const auto expected = brevant::RunIndepT(data, {5000, 0.975f, {}}, here, control1);
    brevant::IndepTResult onWorker;
    std::thread worker([&] { onWorker = brevant::RunIndepT(data, {5000, 0.975f, {}}, there, control2); });
    worker.join();
    EXPECT_EQ(onWorker.resampled, expected.resampled);
    EXPECT_EQ(there.seeds, here.seeds);
    EXPECT_EQ(control2.resampleTotal.load(), 5000);
}

}  // namespace

namespace {

TEST(OutputPath, TheDataFileItselfIsRefusedAsOutputFile) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(BREVANT_TEST_WORK_DIR) / "IndepT_test_paths";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path data = folder / "data.dat";
    std::ofstream(data) << "2 2 1 2 3 4";
    fs::create_hard_link(data, folder / "same.dat");
    EXPECT_THROW(brevant::CheckOutputIsNotData(data.string(), data.string()), brevant::OutputFileError);
    EXPECT_THROW(brevant::CheckOutputIsNotData((folder / "." / "data.dat").string(), data.string()),
                 brevant::OutputFileError);
    EXPECT_THROW(brevant::CheckOutputIsNotData((folder / "same.dat").string(), data.string()),
                 brevant::OutputFileError);
    EXPECT_NO_THROW(brevant::CheckOutputIsNotData((folder / "new.dat").string(), data.string()));
    EXPECT_NO_THROW(brevant::CheckOutputIsNotData("", data.string()));
    EXPECT_EQ(ReadWhole(data), "2 2 1 2 3 4");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
