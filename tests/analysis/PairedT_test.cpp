// The two-paired-samples run against its literal transcription (tests/literal/LiteralPairedT.h): every
// result box, every resampled t, the output file's bytes and the generator's final seeds, with single sums
// up to 1,000 pairs and double sums past them; then the cases the window must get right (zero differences,
// swapped columns, the rounded obtained t, sign patterns with no spread) and data it refuses.
#include "analysis/randomization/PairedT.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "literal/LiteralPairedT.h"
#include "support/Files.h"
#include "support/Refusals.h"

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
using brevant::testing::ReadWhole;
using brevant::testing::SameBits;

std::string FileText(const std::vector<float>& pairs) {
    std::string text = std::to_string(pairs.size() / 2) + "\r\n";
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        text += brevant::ShortestText(pairs[i]) + " " + brevant::ShortestText(pairs[i + 1]) + "\r\n";
    }
    return text;
}

// n pairs: second = first + a shift + noise, with ties (whole numbers), negatives, more than seven
// significant digits, and every fifth pair a zero difference.
std::vector<float> MixedPairs(std::mt19937& random, int n, float centre, float shift) {
    std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
    std::vector<float> pairs;
    for (int i = 0; i < n; ++i) {
        const float first = centre + spread(random);
        float second = first + shift + spread(random) / 3.0f;
        if (i % 3 == 0) second = std::round(second);
        if (i % 5 == 4) second = first;
        pairs.push_back(first);
        pairs.push_back(second);
    }
    return pairs;
}

struct Case {
    std::vector<float> pairs;
    Seeds seeds;
    std::int32_t resamples;
    int threads = 0;
};

brevant::PairedTResult FastRun(const Case& c, const RunSettings& settings, Generator& generator) {
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.pairs), "pairs.dat");
    brevant::PairedTResult result = brevant::RunPairedT(brevant::ReadPairedTData(file), settings, generator, control);
    EXPECT_EQ(control.resamplesDone.load(), c.resamples);
    return result;
}

// Runs the fast procedure as a caller does (read from file text, run, write the output file) and the
// literal transcription from the same seeds (sums of type Acc), and compares everything.
template <typename Acc = float>
void ExpectSameAsLiteral(const Case& c) {
    SCOPED_TRACE("pairs=" + std::to_string(c.pairs.size() / 2));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "PairedT_test_out.dat";
    const RunSettings settings{c.resamples, 0.975f, out.string(), c.threads};
    Generator generator{c.seeds};
    const brevant::PairedTResult fast = FastRun(c, settings, generator);
    brevant::WriteOutputFile(settings, fast.resampled);

    brevant::literal::seedTable = c.seeds;
    const auto literal = brevant::literal::RunPairedT<Acc>(c.pairs, c.resamples);

    EXPECT_TRUE(SameBits(fast.observed.t, literal.obtainedT)) << fast.observed.t << " " << literal.obtainedT;
    EXPECT_TRUE(SameBits(fast.obtainedT, literal.tObt));
    EXPECT_TRUE(SameBits(fast.comparisonT, literal.tCmp));
    DataFile again = DataFile::FromText(FileText(c.pairs), "pairs.dat");
    const auto observed = brevant::ObservedPairedTBoxes(brevant::ReadPairedTData(again));
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.tObt));
    EXPECT_EQ(fast.countGreater, static_cast<std::int64_t>(literal.upper));
    EXPECT_EQ(fast.countLess, static_cast<std::int64_t>(literal.lower));
    EXPECT_EQ(fast.proportionGreater, literal.pctGreater);
    EXPECT_EQ(fast.proportionLess, literal.pctLess);
    EXPECT_TRUE(SameBits(fast.probMore, literal.p));
    ASSERT_EQ(fast.resampled.size(), literal.resampled.size());
    for (std::size_t k = 0; k < fast.resampled.size(); ++k) {
        ASSERT_TRUE(SameBits(fast.resampled[k], literal.resampled[k]))
            << "resample " << k + 1 << ": " << fast.resampled[k] << " vs " << literal.resampled[k];
    }
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
}

TEST(PairedT, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(20261207);
    const int sizes[] = {2, 3, 7, 15, 40, 123, 1000};
    int i = 0;
    for (const int n : sizes) {
        const Seeds seeds{1 + 977 * i, 2 + 1409 * i, 3 + 2203 * i};
        const std::int32_t R = n >= 1000 ? 300 : 2000;
        ExpectSameAsLiteral({MixedPairs(random, n, 50.0f * static_cast<float>(i - 3), 0.7f * static_cast<float>(i)),
                             seeds, R});
        ++i;
    }
    // Many small random cases: random sizes, seeds and centres.
    std::uniform_int_distribution<int> size(2, 60), seed(1, 30000);
    std::uniform_real_distribution<float> centre(-1000.0f, 1000.0f);
    for (int c = 0; c < 40; ++c) {
        ExpectSameAsLiteral({MixedPairs(random, size(random), centre(random), centre(random) / 500.0f),
                             Seeds{seed(random), seed(random), seed(random)}, 300});
    }
    // Large magnitudes where single-precision sums lose digits; differences of one size (1, -1, 1, 1).
    ExpectSameAsLiteral({{123456.7f, 123457.9f, 1234567.3f, 1234565.1f, -98765.43f, -98762.11f, 55555.55f, 55556.6f},
                         Seeds{4711, 815, 12345}, 3000});
    ExpectSameAsLiteral({{3, 4, 5, 4, 2, 3, 7, 8}, Seeds{17, 18, 19}, 2000});
}

// The draws are stored as floats before the comparison with 0.5: a draw just above 0.5 that rounds to 0.5
// flips its difference. These seeds give such a draw first.
TEST(PairedT, ADrawRoundingToOneHalfFlipsTheSign) {
    const Seeds seeds{1, 740, 27700};
    Generator probe{seeds};
    const double u = probe.Uniform();
    ASSERT_TRUE(u > 0.5 && static_cast<float>(u) == 0.5f) << u;
    ExpectSameAsLiteral({{1, 2, 5, 9, 4, 4.5f}, seeds, 50});
    Generator generator{seeds};
    const auto r = FastRun({{1, 2, 5, 9, 4, 4.5f}, seeds, 1}, {1, 0.975f, {}}, generator);
    // Differences 1, 4, 0.5: the first is flipped by that draw, so the resampled t is below the obtained.
    EXPECT_LT(r.resampled[0], r.observed.t);
}

// Past 1,000 pairs every running sum is double: the literal run with double sums is the oracle there.
TEST(PairedT, PastTheDesignedSizeSumsAreDouble) {
    std::mt19937 random(77);
    const Case big{MixedPairs(random, 1001, 2000.0f, 0.3f), Seeds{321, 654, 987}, 60};
    DataFile file = DataFile::FromText(FileText(big.pairs), "big.dat");
    EXPECT_EQ(brevant::ReadPairedTData(file).sums, brevant::SumPrecision::Double);
    ExpectSameAsLiteral<double>(big);

    Case designed = big;
    designed.pairs.resize(2000);
    DataFile file2 = DataFile::FromText(FileText(designed.pairs), "designed.dat");
    EXPECT_EQ(brevant::ReadPairedTData(file2).sums, brevant::SumPrecision::Single);
}

// Before-after measurements with a nearly constant offset: the differences vary little relative to their
// size, so single sums lose their spread (a t far off, or none at all). The run keeps its sums in double
// without shifting the differences, whose mean is what t tests: the literal run with double sums is its
// oracle, bit for bit; t and the standard deviation agree with a double-precision computation; a note says
// so. Ordinary differences (body temperatures before and after) keep the defined path.
TEST(PairedT, DifferencesThatVaryLittleRelativeToTheirSizeKeepDoubleSums) {
    std::mt19937 random(515);
    // n pairs: a first measurement around `level`, the second `offset` more, give or take `noise`.
    const auto pairs = [&random](int n, double level, double spread, double offset, double noise) {
        std::normal_distribution<double> first(level, spread), change(offset, noise);
        std::vector<float> values;
        for (int i = 0; i < n; ++i) {
            const double x = first(random);
            values.push_back(static_cast<float>(x));
            values.push_back(static_cast<float>(x + change(random)));
        }
        return values;
    };
    const auto tenths = [&random](int n) {  // body temperatures, one decimal, before and after
        std::normal_distribution<double> first(98.25, 0.73), change(0.2, 0.3);
        std::vector<float> values;
        for (int i = 0; i < n; ++i) {
            const double x = std::round(first(random) * 10.0) / 10.0;
            values.push_back(static_cast<float>(x));
            values.push_back(static_cast<float>(std::round((x + change(random)) * 10.0) / 10.0));
        }
        return values;
    };
    const struct {
        const char* what;
        std::vector<float> pairs;
        bool centred;
    } cases[] = {
        {"offset 5 +- 0.001, 40 pairs near 50", pairs(40, 50.0, 10.0, 5.0, 0.001), true},
        {"offset 5 +- 0.001, 1000 pairs near 50", pairs(1000, 50.0, 10.0, 5.0, 0.001), true},
        {"offset 2 +- 0.01, 200 pairs near 10,000", pairs(200, 10000.0, 50.0, 2.0, 0.01), true},
        {"offset 1 +- 1e-4, 30 pairs near 10", pairs(30, 10.0, 1.0, 1.0, 1e-4), true},
        {"body temperatures", tenths(130), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DataFile file = DataFile::FromText(FileText(c.pairs), "offset.dat");
        const brevant::PairedTData data = brevant::ReadPairedTData(file);
        ASSERT_EQ(data.centred, c.centred);
        if (c.centred) {
            EXPECT_EQ(data.sums, brevant::SumPrecision::Double);
            ExpectSameAsLiteral<double>({c.pairs, Seeds{31, 32, 33}, 1000, 2});
        } else {
            ExpectSameAsLiteral({c.pairs, Seeds{31, 32, 33}, 1000, 2});
        }
        // The differences as the reader forms them (second minus first in single precision), in long double.
        long double mean = 0, squares = 0;
        for (const float d : data.differences) mean += d;
        mean /= static_cast<long double>(data.differences.size());
        for (const float d : data.differences) squares += (d - mean) * (d - mean);
        const auto n = static_cast<long double>(data.differences.size());
        const auto sd = static_cast<double>(std::sqrt(squares / (n - 1)));
        const auto t = static_cast<double>(mean / (std::sqrt(squares / (n - 1)) / std::sqrt(n)));
        Generator generator{Seeds{31, 32, 33}};
        RunControl control;
        const RunSettings settings{1000, 0.975f, {}};
        brevant::PairedTResult result = brevant::RunPairedT(data, settings, generator, control);
        EXPECT_NEAR(result.observed.t, t, 0.01 * std::fabs(t)) << "t";
        EXPECT_NEAR(result.observed.sd, sd, 0.01 * sd) << "standard deviation";
        const brevant::RunResult run = brevant::PresentPairedT(std::move(result), settings);
        EXPECT_NEAR(brevant::BoxValue(run.boxes[0]), t, 0.01 * std::fabs(t) + 0.0005) << "t as shown";
        EXPECT_EQ(std::find(run.notes.begin(), run.notes.end(), brevant::kDoubleSumsNote) != run.notes.end(),
                  c.centred);
    }
}

// A zero difference turns into -0 under a flip: it changes no sum, no t is -0, and the output file writes
// every zero t as " 0 ". Differences 1, -1 (and a zero) give t = 0 whenever the two signs cancel.
TEST(PairedT, ZeroDifferencesChangeNothingAndZeroIsWrittenWithoutSign) {
    const Case c{{5, 6, 6, 5, 2, 2}, Seeds{31, 41, 59}, 2000};
    ExpectSameAsLiteral(c);
    Generator generator{c.seeds};
    const brevant::PairedTResult r = FastRun(c, {c.resamples, 0.975f, {}}, generator);
    EXPECT_EQ(r.obtainedT, 0.0f);
    EXPECT_EQ(r.comparisonT, static_cast<float>(0.0001));
    std::int64_t zeros = 0, positive = 0, negative = 0;
    for (const float t : r.resampled) {
        ASSERT_FALSE(std::signbit(t) && t == 0.0f) << "a t of -0";
        zeros += t == 0.0f;
        positive += t >= 0.0001f;
        negative += t <= -0.0001f;
    }
    EXPECT_GT(zeros, 0);
    EXPECT_EQ(zeros + positive + negative, c.resamples);
    EXPECT_EQ(r.countGreater, positive);  // a t of exactly 0 is counted on neither side
    EXPECT_EQ(r.countLess, negative);
    const std::string lines = brevant::ValueLines(r.resampled);
    EXPECT_EQ(lines.find("-0 "), std::string::npos);
    EXPECT_NE(lines.find(" 0 \r\n"), std::string::npos);
}

TEST(PairedT, ObtainedTIsRoundedHalfToEvenAndMovedTowardZero) {
    EXPECT_EQ(brevant::RoundedPairedT(0.0625f), 0.062f);   // 62.5 -> 62
    EXPECT_EQ(brevant::RoundedPairedT(0.1875f), 0.188f);   // 187.5 -> 188
    EXPECT_EQ(brevant::RoundedPairedT(-2.0625f), -2.062f);
    EXPECT_EQ(brevant::RoundedPairedT(12.34567f), 12.346f);
    const float negativeZero = brevant::RoundedPairedT(-0.0004f);
    EXPECT_TRUE(negativeZero == 0.0f && std::signbit(negativeZero));
    EXPECT_EQ(brevant::GeneralText(negativeZero), "0");  // shown without a sign
    EXPECT_EQ(brevant::PairedComparisonT(negativeZero), static_cast<float>(0.0001));
    EXPECT_EQ(brevant::PairedComparisonT(2.5f), static_cast<float>(2.5 - 0.0001));
    EXPECT_EQ(brevant::PairedComparisonT(-2.5f), static_cast<float>(-2.5 + 0.0001));
}

// Swapping the columns negates every difference: with the same seeds every sign pattern is the same, so
// every resampled t is negated exactly and the two tail shares trade places.
TEST(PairedT, SwappedColumnsMirrorEveryFigure) {
    std::mt19937 random(5);
    Case c{MixedPairs(random, 12, 10.0f, 1.5f), Seeds{2, 3, 5}, 5000};
    Case swapped = c;
    for (std::size_t i = 0; i < swapped.pairs.size(); i += 2) std::swap(swapped.pairs[i], swapped.pairs[i + 1]);
    Generator g1{c.seeds}, g2{c.seeds};
    const auto r = FastRun(c, {c.resamples, 0.975f, {}}, g1);
    const auto s = FastRun(swapped, {c.resamples, 0.975f, {}}, g2);
    EXPECT_EQ(s.obtainedT, -r.obtainedT);
    EXPECT_EQ(s.countGreater, r.countLess);
    EXPECT_EQ(s.countLess, r.countGreater);
    EXPECT_EQ(s.probMore, r.probMore);
    for (std::size_t k = 0; k < r.resampled.size(); ++k) ASSERT_EQ(s.resampled[k], -r.resampled[k]);
    EXPECT_GT(r.countGreater + r.countLess, 0);
}

// Differences 2, -2, 2: a pattern of one sign leaves no spread, t = +inf or -inf, counted on its side and
// explained in a note; the boxes come in the window's order under their labels.
TEST(PairedT, SignPatternsWithNoSpreadAreInfiniteCountedAndNoted) {
    const Case c{{1, 3, 4, 2, 0, 2}, Seeds{8, 9, 10}, 1000};
    ExpectSameAsLiteral(c);
    Generator generator{c.seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.pairs), "same-size.dat");
    const brevant::RunResult run = brevant::PairedTProcedure(file, {c.resamples, 0.975f, {}}, generator, control);
    std::int64_t plus = 0, minus = 0;
    for (const float t : run.resampled) {
        plus += t == INFINITY;
        minus += t == -INFINITY;
    }
    EXPECT_GT(plus, 0);
    EXPECT_GT(minus, 0);
    ASSERT_EQ(run.boxes.size(), 4u);
    const char* controls[] = {"txtObtT", "txtPctLess", "txtPctGreater", "txtProbMore"};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(run.boxes[i].control, controls[i]);
    // t of 2, -2, 2: mean 2/3, sd sqrt(16/3), standard error sd / sqrt(3) = 4/3, t = 0.5.
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "0.5");
    EXPECT_GE(brevant::BoxValue(run.boxes[2]), static_cast<double>(plus) / 1000);
    EXPECT_GE(brevant::BoxValue(run.boxes[1]), static_cast<double>(minus) / 1000);
    EXPECT_EQ(brevant::ResultLines(run.boxes)[1],
              "% < -t | % > +t: " + brevant::BoxText(run.boxes[1]) + " | " + brevant::BoxText(run.boxes[2]));
    EXPECT_EQ(run.boxes[3].label, "p as extreme");
    EXPECT_EQ(run.histogram.caption, "t Values");
    EXPECT_EQ(run.histogram.bounds, (std::pair{-5.0f, 5.0f}));
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_NE(run.notes[0].find(std::to_string(plus + minus) + " of the 1000 sign patterns"), std::string::npos)
        << run.notes[0];
}

TEST(PairedT, RefusesDataThatCannotGiveAT) {
    const brevant::testing::Refusal bad[] = {
        {"1  3 5", "announces 1 pair; the paired t needs at least 2 pairs."},
        {"0", "announces 0 pairs"},
        {"-2 1 2 3 4", "is out of range"},
        {"3  1 2  5 6  7 8", "with no spread"},           // every difference 1
        {"3  1 1  5 5  7 7", "so their standard deviation is 0 and t is undefined."},
        {"3  1 2  5 6  7", "holds fewer values than announced"},
        {"2  1 2  x 4", "is not a number"},
        {"600000", "announces 600000 pairs; at most 500000 can be analysed."},
        {"2  -2e19 1e19  3e19 1e18", "too large for single-precision sums of their squares"},
        {"2  -3e38 3e38  1 2", "too large for single-precision sums of their squares"},  // difference overflows
        {"", "holds no data"},
    };
    brevant::testing::ExpectRefused(brevant::PairedTProcedure, bad);
}

// Long runs go in chunks of sign patterns drawn on several threads; the signs carry from chunk to chunk.
// Three or more chunks, single sums and double, on 1, 2, 3 and 7 threads.
TEST(PairedT, ManyChunksOnAnyNumberOfThreadsMatchTheLiteralRun) {
    std::mt19937 random(31);
    const std::vector<float> single = MixedPairs(random, 600, 20.0f, 0.3f);
    const std::vector<float> wide = MixedPairs(random, 1500, -5.0f, 0.1f);
    for (const int threads : {1, 2, 3, 7}) {
        SCOPED_TRACE(threads);
        ExpectSameAsLiteral({single, Seeds{101, 202, 303}, 1000, threads});
        ExpectSameAsLiteral<double>({wide, Seeds{7, 8, 9}, 400, threads});
    }
}

TEST(PairedT, CancelledRunKeepsTheGeneratorWhereItStopped) {
    DataFile file = DataFile::FromText("3 1 2 4 3 5 9", "c.dat");
    const brevant::PairedTData data = brevant::ReadPairedTData(file);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    EXPECT_THROW(brevant::RunPairedT(data, {1000, 0.975f, {}}, g, cancelled), brevant::RunCancelled);
    EXPECT_EQ(g.seeds, (Seeds{3, 4, 5}));
    EXPECT_THROW(brevant::RunPairedT(data, {0, 0.975f, {}}, g, cancelled), brevant::SettingsError);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
