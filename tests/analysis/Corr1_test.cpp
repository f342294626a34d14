// Correlation by randomization against its literal transcription (tests/literal/LiteralCorr1.h): the
// obtained figures, every permuted r, the count, the probability, the illegal values and the generator's
// final seeds; the permutation step against the literal selection sort, ties included; the edge cases of
// the comparison; data it refuses; sums in double past the designed size.
#include "analysis/randomization/Corr1.h"
#include "engine/NumberText.h"
#include "literal/LiteralCorr1.h"
#include "support/Files.h"
#include "support/IllConditioned.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::RunSettings;
using brevant::Seeds;
using brevant::testing::SameBits;

std::string FileText(const std::vector<float>& x, const std::vector<float>& y) {
    std::string text = std::to_string(x.size()) + "\n";
    for (std::size_t i = 0; i < x.size(); ++i) text += brevant::ShortestText(x[i]) + " " + brevant::ShortestText(y[i]) + "\n";
    return text;
}

struct Case {
    std::string what;
    std::vector<float> x, y;
    Seeds seeds;
    std::int32_t resamples;
    int threads = 0;
    bool centred = false;  // values that differ little relative to their size: the reader centres them
};

// Pairs with ties, negatives and values of more than seven significant digits; y follows x by slope.
Case Mixed(std::mt19937& random, int n, float slope, Seeds seeds, std::int32_t R) {
    std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
    Case c{"n=" + std::to_string(n) + " slope=" + brevant::GeneralText(slope), {}, {}, seeds, R};
    for (int i = 0; i < n; ++i) {
        const float x = spread(random);
        c.x.push_back(i % 4 == 0 ? std::round(x) : x);
        c.y.push_back(i % 5 == 0 ? std::round(slope * x) : slope * x + spread(random));
    }
    return c;
}

void ExpectSameAsLiteral(const Case& c) {
    SCOPED_TRACE(c.what);
    Generator generator{c.seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.x, c.y), "corr.dat");
    const brevant::Corr1Data read = brevant::ReadCorr1Data(file);
    // The literal run is the defined path: data the reader centres run on that path as it has them before.
    EXPECT_EQ(read.centred, c.centred);
    const brevant::Corr1Data data = read.centred ? brevant::Corr1Data{c.x, c.y} : read;
    ASSERT_EQ(data.sums, brevant::SumPrecision::Single);
    const brevant::Corr1Result fast = brevant::RunCorr1(data, {c.resamples, 0.975f, {}, c.threads}, generator, control);

    brevant::literal::seedTable = c.seeds;
    const auto literal = brevant::literal::RunCorr1(c.x, c.y, c.resamples);

    EXPECT_TRUE(SameBits(fast.observed.sdX, literal.sdX));
    EXPECT_TRUE(SameBits(fast.observed.sdY, literal.sdY));
    EXPECT_TRUE(SameBits(fast.observed.covariance, literal.covariance));
    EXPECT_TRUE(SameBits(fast.observed.r, literal.r)) << fast.observed.r << " " << literal.r;
    ASSERT_EQ(fast.resampled.size(), literal.permuted.size());
    for (std::size_t k = 0; k < fast.resampled.size(); ++k) {
        ASSERT_TRUE(SameBits(fast.resampled[k], literal.permuted[k]))
            << "permutation " << k + 1 << ": " << fast.resampled[k] << " vs " << literal.permuted[k];
    }
    EXPECT_EQ(fast.countExtreme, static_cast<std::int64_t>(literal.count));
    EXPECT_TRUE(SameBits(fast.probability, literal.probability));
    EXPECT_EQ(fast.illegalCount, literal.illegal);
    EXPECT_TRUE(SameBits(fast.firstIllegal, literal.firstIllegal));
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(control.resamplesDone.load(), c.resamples);

    const std::vector<brevant::ResultBox> observed = brevant::ObservedCorr1Boxes(data);
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.r));
}

TEST(Corr1, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(20240612);
    std::vector<Case> cases = {
        Mixed(random, 2, 1.0f, {1, 2, 3}, 500),
        Mixed(random, 3, -0.5f, {17, 4242, 999}, 1000),
        Mixed(random, 12, 0.0f, {30000, 30000, 30000}, 1000),
        Mixed(random, 40, 0.3f, {123, 456, 789}, 2000),
        Mixed(random, 200, -0.05f, {5555, 6666, 7777}, 300),
        Mixed(random, 1000, 0.02f, {10000, 9000, 23423}, 40),
    };
    // Law-school pairs: LSAT and GPA of 15 schools.
    cases.push_back({"law schools",
                     {576, 635, 558, 578, 666, 580, 555, 661, 651, 605, 653, 575, 545, 572, 594},
                     {3.39f, 3.30f, 2.81f, 3.03f, 3.44f, 3.07f, 3.00f, 3.43f, 3.36f, 3.13f, 3.12f, 2.74f, 2.76f,
                      2.88f, 2.96f},
                     {4711, 815, 12345},
                     3000});
    // Large magnitudes, where single-precision sums lose digits, and values of many digits: the reader
    // centres these.
    cases.push_back({"large", {123456.7f, 123457.9f, 123455.1f, 123456.2f, 123459.25f},
                     {1.23456789f, 1.2345699f, 1.2345611f, 1.2345678f, 1.2345644f}, {8, 88, 888}, 2000, 0, true});
    // Many tied values in both columns.
    cases.push_back({"ties", {1, 1, 2, 2, 2, 3, 3, 1, 2, 3}, {5, 5, 5, 6, 6, 6, 5, 6, 5, 6}, {77, 7777, 777}, 2000});
    for (const Case& c : cases) ExpectSameAsLiteral(c);
}

// Long runs go in chunks of permutations drawn on several threads; the order carries from chunk to chunk.
TEST(Corr1, ManyChunksOnAnyNumberOfThreadsMatchTheLiteralRun) {
    std::mt19937 random(4);
    Case c = Mixed(random, 200, 0.4f, {3, 33, 333}, 2700);
    for (const int threads : {1, 3}) {
        c.threads = threads;
        ExpectSameAsLiteral(c);
    }
}

// The permutation step gives exactly the literal selection sort's order, also with equal keys, keys of
// 0 and 1, keys crowded into a narrow range and keys outside [0, 1]; and the order carries over.
TEST(Corr1, PermutationStepOrdersLikeTheSelectionSort) {
    std::mt19937 random(99);
    brevant::DescendingKeyOrder arrange;
    const std::size_t sizes[] = {2, 3, 7, 50, 400};
    for (const std::size_t n : sizes) {
        std::vector<float> values(n);
        for (std::size_t i = 0; i < n; ++i) values[i] = static_cast<float>(i) + 0.5f;
        std::vector<brevant::Record> literal(n + 1);
        for (std::size_t i = 0; i < n; ++i) literal[i + 1].field3 = values[i];
        for (int round = 0; round < 40; ++round) {
            SCOPED_TRACE("n=" + std::to_string(n) + " round=" + std::to_string(round));
            std::vector<float> keys(n);
            for (float& key : keys) {
                switch (round % 5) {
                    case 0: key = std::uniform_real_distribution<float>(0, 1)(random); break;
                    case 1: key = static_cast<float>(random() % 4) / 3.0f; break;  // ties, with 0 and 1
                    case 2: key = 0.5f + std::uniform_real_distribution<float>(0, 1e-4f)(random); break;
                    case 3: key = std::uniform_real_distribution<float>(-3, 3)(random); break;
                    default: key = random() % 2 ? 0.25f : std::uniform_real_distribution<float>(0, 1)(random);
                }
            }
            arrange.Arrange(keys, values);
            for (std::size_t i = 0; i < n; ++i) literal[i + 1].key = keys[i];
            brevant::literal::SortRecords(literal, static_cast<std::int32_t>(n));
            for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(values[i], literal[i + 1].field3) << "position " << i + 1;
        }
    }
}

TEST(Corr1, ExtremeCountsAndTheToleranceSide) {
    // Two pairs: r comes out just beyond 1 in size in single precision, and every permuted r is +-r*.
    const auto run = [](const char* text) {
        Generator generator{Seeds{3, 5, 7}};
        RunControl control;
        DataFile file = DataFile::FromText(text, "two.dat");
        return brevant::Corr1Procedure(file, {1000, 0.975f, {}}, generator, control);
    };
    // Positive r: |r - 0.0001| is below every |r*|, so all 1,000 count and p = 1000/1001, never 1.
    const brevant::RunResult up = run("2  1 1  2 2");
    ASSERT_EQ(up.boxes.size(), 3u);
    EXPECT_EQ(up.boxes[1].control, "txtPctGreater");
    EXPECT_EQ(brevant::BoxText(up.boxes[1]), "1000");
    EXPECT_EQ(brevant::BoxText(up.boxes[2]), "0.999");
    // Negative r: the tolerance widens |r|, so a permutation of exactly |r| does not count.
    const brevant::RunResult down = run("2  1 2  2 1");
    EXPECT_LT(brevant::BoxValue(down.boxes[0]), 0.0);
    EXPECT_EQ(brevant::BoxText(down.boxes[1]), "0");
    EXPECT_EQ(brevant::BoxText(down.boxes[2]), "0.000");
    for (const float r : down.resampled) EXPECT_EQ(std::fabs(r), std::fabs(down.resampled[0]));

    // Those r are beyond 1: one message after the run, with the window's text and the first value.
    ASSERT_EQ(up.messages.size(), 1u);
    const std::string first = brevant::GeneralText(up.resampled[0]);
    EXPECT_TRUE(up.messages[0].starts_with("This is an illegal value of r" + first + "\n1000 of the 1000 resamples"))
        << up.messages[0];
    // The obtained r lies a unit of the last place beyond 1 in size, but its box shows 1 and -1: no note.
    EXPECT_GT(std::fabs(std::get<float>(up.boxes[0].value)), 1.0f);
    EXPECT_EQ(brevant::BoxText(up.boxes[0]), "1");
    EXPECT_EQ(brevant::BoxText(down.boxes[0]), "-1");
    EXPECT_TRUE(up.notes.empty());
    EXPECT_TRUE(down.notes.empty());
    EXPECT_TRUE(run("3  1 1  2 3  3 2").notes.empty());
    EXPECT_EQ(up.histogram.caption, "Randomized Correlation");
    EXPECT_FALSE(up.histogram.bounds.has_value());
    EXPECT_TRUE(SameBits(up.histogram.observed, std::get<float>(up.boxes[0].value)));
}

// The note on an obtained r beyond 1 comes exactly where the box shows a value beyond 1 in size (its general
// text keeps seven digits); it names the value the r stands for.
TEST(Corr1, TheNoteOnAnObtainedRBeyondOneMatchesTheBox) {
    const struct {
        float r;
        const char* shown;
        const char* note;  // nullptr: none
    } rows[] = {
        {1.0000001f, "1", nullptr},
        {-1.0000002f, "-1", nullptr},
        {1.0000019f, "1.000002", "read it as 1."},
        {-1.0001f, "-1.0001", "read it as -1."},
        {0.9999999f, "0.9999999", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        brevant::Corr1Result result;
        result.observed.r = row.r;
        result.resampled = {0.5f};
        const brevant::RunResult run = brevant::PresentCorr1(std::move(result), {1, 0.975f, {}});
        EXPECT_EQ(brevant::BoxText(run.boxes[0]), row.shown);
        const auto note = std::find_if(run.notes.begin(), run.notes.end(),
                                       [](const std::string& n) { return n.find("beyond 1") != std::string::npos; });
        if (row.note == nullptr) {
            EXPECT_EQ(note, run.notes.end()) << *note;
        } else {
            ASSERT_NE(note, run.notes.end());
            EXPECT_TRUE(note->ends_with(row.note)) << *note;
        }
    }
}

TEST(Corr1, RefusesDataWithoutACorrelation) {
    const brevant::testing::Refusal bad[] = {
        {"1  1 2", "announces 1 case; a correlation needs at least 2 cases."},
        {"0", "announces 0 cases"},
        {"3  1 5  1 6  1 7", "has no spread in its X values"},
        {"3  1 5  2 5  3 5", "has no spread in its Y values"},
        {"3  0.1 1  0.1 2  0.1 3", "has no spread in its X values"},
        {"3  1 2  3 4  5", "holds fewer values than announced"},
        {"3  1 2  3 x  5 6", "is not a number"},
        {"600000", "announces 600000 cases (1200000 values); at most 1000000 values can be analysed."},
        {"2  1e19 1  2e19 2", "holds values too large for single-precision sums of their squares"},
        // A covariance of about 1e-50 is 0 in single precision, and so is the product of the deviations.
        {"3  1e-25 1e-25  2e-25 3e-25  3e-25 2e-25", "holds values whose spread is too small for single precision"},
    };
    brevant::testing::ExpectRefused(brevant::Corr1Procedure, bad);
}

// Past 1,000 pairs the sums are double: pairs around 3000 whose single-precision sums of squares would lose
// the spread still give the correlation a double computation gives.
TEST(Corr1, SumsAreDoublePastTheDesignedSize) {
    std::vector<float> x, y;
    for (int i = 0; i < 1001; ++i) {
        x.push_back(3000.0f + static_cast<float>(i % 10) * 0.01f);
        y.push_back(5000.0f + static_cast<float>((i * 7) % 10) * 0.01f + static_cast<float>(i % 10) * 0.004f);
    }
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
    mx /= 1001.0, my /= 1001.0;
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    const double reference = sxy / std::sqrt(sxx * syy);

    DataFile file = DataFile::FromText(FileText(x, y), "wide.dat");
    const brevant::Corr1Data data = brevant::ReadCorr1Data(file);
    EXPECT_EQ(data.sums, brevant::SumPrecision::Double);
    EXPECT_FALSE(data.centred);  // values near 3000 and 5000 that differ in their fifth digit: double sums hold them
    EXPECT_NEAR(brevant::ComputeCorr1Figures(data).r, reference, 1e-4);
    EXPECT_NEAR(brevant::ComputeCorr1Figures({x, y, brevant::SumPrecision::Double}).r, reference, 1e-4);

    // The same pairs with single-precision sums are far off.
    const brevant::Corr1Data single{x, y, brevant::SumPrecision::Single};
    EXPECT_GT(std::fabs(brevant::ComputeCorr1Figures(single).r - reference), 1e-2);

    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    const auto result = brevant::RunCorr1(data, {200, 0.975f, {}}, generator, control);
    for (const float r : result.resampled) ASSERT_LE(std::fabs(r), 1.0f);  // no drift past 1
}

// Values that differ little relative to their size: every run is accepted and centred, its r within 0.01 of r
// in double, each permuted r, the count and the p value those of the same run (same seeds) on the values moved
// to a mean near 0 and an ordinary size; a note says so. r near 1.5 / sqrt(N) leaves p well inside (0, 1).
TEST(Corr1, ValuesThatDifferLittleRelativeToTheirSizeAreCentred) {
    using brevant::testing::Standardized;
    std::int32_t seed = 20;
    for (const auto& kind : brevant::testing::IllConditionedKinds()) {
        SCOPED_TRACE(kind.what);
        ++seed;
        const auto columns =
            brevant::testing::CorrelatedColumns(kind, 2, 1.5 / std::sqrt(kind.n), static_cast<unsigned>(seed));
        DataFile file = DataFile::FromText(FileText(columns[0], columns[1]), "ill.dat");
        const brevant::Corr1Data data = brevant::ReadCorr1Data(file);
        DataFile movedFile = DataFile::FromText(
            FileText(Standardized(columns[0], kind), Standardized(columns[1], kind)), "moved.dat");
        const brevant::Corr1Data moved = brevant::ReadCorr1Data(movedFile);
        EXPECT_TRUE(data.centred);
        EXPECT_FALSE(moved.centred);
        const RunSettings settings{2000, 0.975f, {}};
        const Seeds seeds{seed, 22, 222};
        Generator generator{seeds}, again{seeds};
        RunControl control, control2;
        auto centred = brevant::RunCorr1(data, settings, generator, control);
        const auto ordinary = brevant::RunCorr1(moved, settings, again, control2);
        EXPECT_NEAR(centred.observed.r, brevant::testing::DoubleR(columns[0], columns[1]), 0.01);
        EXPECT_LE(brevant::testing::LargestDifference(centred.resampled, ordinary.resampled), 0.01f);
        EXPECT_NEAR(centred.probability, ordinary.probability, 0.01);
        EXPECT_GT(ordinary.probability, 0.0f);
        EXPECT_EQ(centred.illegalCount, 0);
        const auto run = brevant::PresentCorr1(std::move(centred), settings);
        EXPECT_EQ(std::count(run.notes.begin(), run.notes.end(), brevant::kCentredRunNote), 1);
    }
}

TEST(Corr1, CancelledRunStoresTheGeneratorBack) {
    DataFile file = DataFile::FromText("4  1 2  2 1  3 5  4 4", "c.dat");
    const brevant::Corr1Data data = brevant::ReadCorr1Data(file);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    EXPECT_THROW(brevant::RunCorr1(data, {1000, 0.975f, {}}, g, cancelled), brevant::RunCancelled);
    EXPECT_EQ(g.seeds, (Seeds{3, 4, 5}));
    EXPECT_THROW(brevant::RunCorr1(data, {0, 0.975f, {}}, g, cancelled), brevant::SettingsError);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
