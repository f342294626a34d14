// The repeated-measures run against its literal transcription (tests/literal/LiteralRepeated1way.h): the
// obtained F, the threshold, the count, every permuted F, the output file's bytes and the generator's final
// seeds, for 2 to 10 treatments with single sums and past 10 treatments or 1,000 subjects with double
// sums, and centred runs (scores that differ little relative to their size) against the literal centred
// run; then what the window must get right (two treatments give the paired t squared, permutations with
// no residual, the threshold, F of scores close to their size) and data it refuses.
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "engine/NumberText.h"
#include "literal/LiteralRepeated1way.h"
#include "support/CentredData.h"
#include "support/Files.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <array>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
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

std::string FileText(std::int32_t k, std::int32_t n, const std::vector<float>& scores) {
    std::string text = std::to_string(k) + "\r\n" + std::to_string(n) + "\r\n";
    for (std::size_t i = 0; i < scores.size(); ++i) {
        text += brevant::ShortestText(scores[i]) + ((i + 1) % static_cast<std::size_t>(k) == 0 ? "\r\n" : " ");
    }
    return text;
}

// A subject level, a treatment effect and noise; ties (whole numbers), negatives and values of more than
// seven significant digits.
std::vector<float> MixedScores(std::mt19937& random, int k, int n, float centre) {
    std::uniform_real_distribution<float> noise(-3.0f, 3.0f);
    std::uniform_real_distribution<float> level(-20.0f, 20.0f);
    std::vector<float> scores;
    for (int j = 0; j < n; ++j) {
        const float subject = centre + level(random);
        for (int t = 0; t < k; ++t) {
            float v = subject + 0.4f * static_cast<float>(t) + noise(random);
            if ((j + t) % 4 == 0) v = std::round(v);
            scores.push_back(v);
        }
    }
    return scores;
}

struct Case {
    std::int32_t k, n;
    std::vector<float> scores;
    Seeds seeds;
    std::int32_t resamples;
    int threads = 0;
};

brevant::Repeated1wayResult FastRun(const Case& c, const RunSettings& settings, Generator& generator) {
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.k, c.n, c.scores), "scores.dat");
    auto result = brevant::RunRepeated1way(brevant::ReadRepeated1wayData(file), settings, generator, control);
    EXPECT_EQ(control.resamplesDone.load(), c.resamples);
    return result;
}

// F = MS treatments / MS error in double precision, the residuals around the subject, treatment and grand
// means.
double DoubleRepeatedF(const std::vector<float>& scores, std::int32_t k, std::int32_t n) {
    std::vector<double> subject(static_cast<std::size_t>(n)), treatment(static_cast<std::size_t>(k));
    double grand = 0;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        subject[i / static_cast<std::size_t>(k)] += scores[i] / static_cast<double>(k);
        treatment[i % static_cast<std::size_t>(k)] += scores[i] / static_cast<double>(n);
        grand += scores[i] / static_cast<double>(scores.size());
    }
    double ssTreatments = 0, ssError = 0;
    for (const double m : treatment) ssTreatments += n * (m - grand) * (m - grand);
    for (std::size_t i = 0; i < scores.size(); ++i) {
        const double residual = scores[i] - subject[i / static_cast<std::size_t>(k)] -
                                treatment[i % static_cast<std::size_t>(k)] + grand;
        ssError += residual * residual;
    }
    return (ssTreatments / (k - 1)) / (ssError / ((k - 1.0) * (n - 1.0)));
}

// The run against the literal one: as defined (single sums, or double past the designed sizes), or, where
// the data centre the run, the literal centred run on the scores shifted by their mean. Either way the
// obtained F lies within 1 % of its double-precision value and is never negative. centred, where given,
// says whether the run was centred.
template <typename Acc = float>
void ExpectSameAsLiteral(const Case& c, bool* centred = nullptr) {
    SCOPED_TRACE("k=" + std::to_string(c.k) + " n=" + std::to_string(c.n));
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "Repeated1way_test_out.dat";
    const RunSettings settings{c.resamples, 0.975f, out.string(), c.threads};
    Generator generator{c.seeds};
    const brevant::Repeated1wayResult fast = FastRun(c, settings, generator);
    brevant::WriteOutputFile(settings, fast.resampled);
    if (centred != nullptr) *centred = fast.centred;

    brevant::literal::seedTable = c.seeds;
    const auto literal =
        fast.centred
            ? brevant::literal::RunRepeated1way<double>(brevant::testing::ShiftedByMean(c.scores), c.k, c.n,
                                                        c.resamples, true)
            : brevant::literal::RunRepeated1way<Acc>(c.scores, c.k, c.n, c.resamples);

    const double exact = DoubleRepeatedF(c.scores, c.k, c.n);
    EXPECT_NEAR(fast.observed.f, exact, brevant::testing::StatisticTolerance(exact)) << fast.centred;
    EXPECT_GE(fast.observed.f, 0.0f);
    EXPECT_TRUE(SameBits(fast.observed.f, literal.F)) << fast.observed.f << " " << literal.F;
    EXPECT_TRUE(SameBits(fast.threshold, literal.threshold));
    DataFile again = DataFile::FromText(FileText(c.k, c.n, c.scores), "scores.dat");
    const auto observed = brevant::ObservedRepeated1wayBoxes(brevant::ReadRepeated1wayData(again));
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.F));
    EXPECT_EQ(fast.count, static_cast<std::int64_t>(literal.count));
    EXPECT_TRUE(SameBits(fast.proportion, literal.proportion));
    ASSERT_EQ(fast.resampled.size(), literal.resampled.size());
    for (std::size_t h = 0; h < fast.resampled.size(); ++h) {
        ASSERT_TRUE(SameBits(fast.resampled[h], literal.resampled[h]))
            << "resample " << h + 1 << ": " << fast.resampled[h] << " vs " << literal.resampled[h];
    }
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
}

TEST(Repeated1way, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(1207);
    const std::pair<int, int> shapes[] = {{2, 2}, {2, 9}, {3, 8}, {4, 25}, {5, 100}, {7, 13}, {10, 40}, {10, 1000}};
    int i = 0;
    for (const auto& [k, n] : shapes) {
        const Seeds seeds{5 + 811 * i, 7 + 1303 * i, 11 + 2417 * i};
        const std::int32_t R = k * n >= 5000 ? 40 : 1000;
        ExpectSameAsLiteral({k, n, MixedScores(random, k, n, 30.0f * static_cast<float>(i - 2)), seeds, R});
        ++i;
    }
    // Many small random cases: random shapes, seeds and centres.
    std::uniform_int_distribution<int> treatments(2, 10), subjects(2, 30), seed(1, 30000);
    std::uniform_real_distribution<float> centre(-500.0f, 500.0f);
    for (int c = 0; c < 40; ++c) {
        const int k = treatments(random), n = subjects(random);
        ExpectSameAsLiteral({k, n, MixedScores(random, k, n, centre(random)),
                             Seeds{seed(random), seed(random), seed(random)}, 200});
    }
    // Large magnitudes where single-precision sums lose the residual (as defined, F is negative): the run is
    // centred.
    bool centred = false;
    ExpectSameAsLiteral({3, 4, {123456.7f, 123459.1f, 123461.3f, 98765.43f, 98766.1f, 98769.9f, 1234567.3f, 1234566.1f,
                                1234570.7f, -55555.55f, -55553.1f, -55550.2f},
                         Seeds{4711, 815, 12345}, 2000},
                        &centred);
    EXPECT_TRUE(centred);
}

// The tables go to the F computations eight at a time, on other threads than the shuffles: any count of
// threads and a count of passes that is no multiple of eight give the literal run's bits.
TEST(Repeated1way, AnyNumberOfThreadsMatchesTheLiteralRun) {
    std::mt19937 random(6);
    for (const int threads : {1, 2, 3, 7}) {
        SCOPED_TRACE(threads);
        ExpectSameAsLiteral({4, 30, MixedScores(random, 4, 30, 12.0f), Seeds{9, 8, 7}, 1003, threads});
        ExpectSameAsLiteral<double>({11, 5, MixedScores(random, 11, 5, -40.0f), Seeds{19, 18, 17}, 205, threads});
    }
}

// Past 10 treatments or 1,000 subjects every running sum is double: the literal run with double sums is
// the oracle there, and at the boundary the sums are still single.
TEST(Repeated1way, PastTheDesignedSizesSumsAreDouble) {
    std::mt19937 random(99);
    const Case wide{12, 6, MixedScores(random, 12, 6, 500.0f), Seeds{12, 34, 56}, 500};
    const Case tall{2, 1001, MixedScores(random, 2, 1001, 1000.0f), Seeds{78, 90, 12}, 40};
    const Case edge{10, 1000, MixedScores(random, 10, 1000, 0.0f), Seeds{1, 1, 1}, 1};
    for (const Case* c : {&wide, &tall, &edge}) {
        DataFile file = DataFile::FromText(FileText(c->k, c->n, c->scores), "sizes.dat");
        EXPECT_EQ(brevant::ReadRepeated1wayData(file).sums,
                  c == &edge ? brevant::SumPrecision::Single : brevant::SumPrecision::Double);
    }
    ExpectSameAsLiteral<double>(wide);
    ExpectSameAsLiteral<double>(tall);
}

// Scores of n subjects on k occasions: subject levels spread by `between` around centre, occasion t adding
// t * effect, and noise of spread `within`; rounded to one decimal and kept within a range for body
// temperatures.
struct Scores {
    const char* name;
    double centre, between, effect, within;
    bool temperatures = false;

    std::vector<float> Make(std::mt19937& random, std::int32_t k, std::int32_t n) const {
        std::normal_distribution<double> normal(0.0, 1.0);
        std::vector<float> scores;
        for (std::int32_t j = 0; j < n; ++j) {
            const double level = centre + between * normal(random);
            for (std::int32_t t = 0; t < k; ++t) {
                double v = level + effect * t + within * normal(random);
                if (temperatures) v = std::clamp(std::round(v * 10.0) / 10.0, 97.6, 99.6);
                scores.push_back(static_cast<float>(v));
            }
        }
        return scores;
    }
};

// Each subject's scores less that subject's level rounded to a multiple of the spread, over the spread:
// the same F and the same permutations, with a mean near 0 and a spread near 1.
std::vector<float> Moved(const std::vector<float>& scores, std::int32_t k, double spread) {
    std::vector<float> moved;
    for (std::size_t row = 0; row < scores.size(); row += static_cast<std::size_t>(k)) {
        double sum = 0;
        for (std::int32_t t = 0; t < k; ++t) sum += scores[row + static_cast<std::size_t>(t)];
        const double level = std::round(sum / k / spread) * spread;
        for (std::int32_t t = 0; t < k; ++t) {
            moved.push_back(static_cast<float>((scores[row + static_cast<std::size_t>(t)] - level) / spread));
        }
    }
    return moved;
}

// Data whose residual spread is a few percent of their size or more keep the defined path, bit for bit.
TEST(Repeated1way, OrdinaryDataKeepTheDefinedPath) {
    std::mt19937 random(1215);
    const struct {
        std::int32_t k, n;
        Scores scores;
    } cases[] = {
        {2, 12, {"near 0", 0.0, 20.0, 0.6, 1.5}},        {3, 30, {"near 50", 50.0, 5.0, 0.5, 2.0}},
        {5, 100, {"near 20", 20.0, 3.0, 0.2, 1.0}},      {10, 1000, {"near 10", 10.0, 5.0, 0.1, 2.0}},
        {4, 25, {"near -300", -300.0, 10.0, 3.0, 15.0}}, {12, 40, {"wide, near 30", 30.0, 10.0, 0.5, 2.0}},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scores.name);
        const std::int32_t R = c.k * c.n >= 5000 ? 40 : 500;
        const Case run{c.k, c.n, c.scores.Make(random, c.k, c.n), Seeds{100 + i, 200 + i, 300 + i}, R};
        bool centred = true;
        if (c.k > 10) {
            ExpectSameAsLiteral<double>(run, &centred);
        } else {
            ExpectSameAsLiteral(run, &centred);
        }
        EXPECT_FALSE(centred);
        ++i;
    }
}

// Scores that differ little relative to their size, or whose subjects lie far apart against the rest, over
// many shapes: every run accepted and centred, with the note; F within 1 % of its double-precision value
// and never negative, nor any permuted F; the proportion within 0.01 of the same permutations of the scores
// moved to a mean near 0 and a spread near 1, which keep the defined path; a few against the literal
// centred run.
TEST(Repeated1way, ScoresThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    const Scores kinds[] = {
        {"body temperatures", 98.6, 0.5, 0.06, 0.3, true},
        {"near 10,000", 10000.0, 20.0, 0.3, 1.0},
        {"near 1e6", 1e6, 100.0, 3.0, 10.0},
        {"1 +- 1e-4", 1.0, 1e-4, 1e-5, 3e-5},
        {"subjects far apart", 0.0, 1e5, 1.0, 3.0},
    };
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{2, 10}, {3, 20}, {5, 20}, {4, 50}, {8, 12}, {10, 100}};
    std::mt19937 random(1216);
    const std::int32_t R = 500;
    int i = 0;
    for (const Scores& kind : kinds) {
        for (const auto& [k, n] : shapes) {
            SCOPED_TRACE(std::string(kind.name) + " k=" + std::to_string(k) + " n=" + std::to_string(n));
            const std::vector<float> scores = kind.Make(random, k, n);
            const Seeds seeds{7 + i, 11 + 3 * i, 13 + 5 * i};
            Generator generator{seeds};
            RunControl control;
            DataFile file = DataFile::FromText(FileText(k, n, scores), "close.dat");
            const brevant::RunResult run = brevant::Repeated1wayProcedure(file, {R, 0.975f, {}}, generator, control);
            const double f = brevant::BoxValue(run.boxes[0]);
            const double exact = DoubleRepeatedF(scores, k, n);
            EXPECT_NEAR(f, exact, brevant::testing::StatisticTolerance(exact));
            EXPECT_GE(f, 0.0);
            EXPECT_TRUE(std::ranges::none_of(run.resampled, [](float v) { return v < 0.0f; }));
            EXPECT_NE(std::ranges::find(run.notes, std::string(brevant::kCentredRunNote)), run.notes.end());

            DataFile movedFile = DataFile::FromText(FileText(k, n, Moved(scores, k, kind.within)), "moved.dat");
            const brevant::Repeated1wayData moved = brevant::ReadRepeated1wayData(movedFile);
            EXPECT_FALSE(moved.centred);
            Generator again{seeds};
            const brevant::Repeated1wayResult reference =
                brevant::RunRepeated1way(moved, {R, 0.975f, {}}, again, control);
            EXPECT_NEAR(brevant::BoxValue(run.boxes[2]), reference.proportion, 0.01);
            if (i % 5 == 0) {
                bool centred = false;
                ExpectSameAsLiteral({k, n, scores, seeds, 100}, &centred);
                EXPECT_TRUE(centred);
            }
            ++i;
        }
    }
}

// With two treatments the repeated-measures F is the square of the paired t of the same data (read as
// pairs by the paired window's own reader, the file without its first count), up to the digits that
// single-precision sums of squares lose.
TEST(Repeated1way, TwoTreatmentsGiveThePairedTSquared) {
    std::mt19937 random(3);
    std::vector<float> scores = MixedScores(random, 2, 30, 10.0f);
    for (std::size_t i = 1; i < scores.size(); i += 2) scores[i] += 1.5f;  // a real treatment effect
    const std::string text = FileText(2, 30, scores);
    DataFile asTable = DataFile::FromText(text, "table.dat");
    const float f = std::get<float>(brevant::ObservedRepeated1wayBoxes(brevant::ReadRepeated1wayData(asTable))[0].value);
    DataFile asPairs = DataFile::FromText(text.substr(3), "pairs.dat");  // without "2\r\n"
    const brevant::PairedTData paired = brevant::ReadPairedTData(asPairs);
    double sum = 0, squares = 0;
    for (const float d : paired.differences) {
        sum += d;
        squares += static_cast<double>(d) * d;
    }
    const double t = brevant::ComputePairedT(sum, squares, 30, false).t;
    EXPECT_GT(t * t, 1.0);
    EXPECT_NEAR(f, t * t, 1e-3 * t * t) << t;
}

// k = 2 with every subject's scores 1 apart: a permutation that points every difference the same way
// leaves no residual, F = +inf, counted and noted; the boxes come in the window's order.
TEST(Repeated1way, PermutationsWithNoResidualAreInfiniteCountedAndNoted) {
    const Case c{2, 4, {1, 2, 6, 5, 3, 4, 9, 8}, Seeds{21, 22, 23}, 1000};
    ExpectSameAsLiteral(c);
    Generator generator{c.seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(c.k, c.n, c.scores), "apart.dat");
    const brevant::RunResult run = brevant::Repeated1wayProcedure(file, {1000, 0.975f, {}}, generator, control);
    std::int64_t infinite = 0, reaching = 0;
    const float threshold = run.histogram.observed;
    for (const float f : run.resampled) {
        infinite += f == INFINITY;
        reaching += f >= threshold;
    }
    EXPECT_GT(infinite, 0);
    ASSERT_EQ(run.boxes.size(), 3u);
    const char* controls[] = {"txtObtF", "txtPctGreater", "txtProbMore"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(run.boxes[i].control, controls[i]);
    EXPECT_EQ(std::get<std::int64_t>(run.boxes[1].value), reaching);
    EXPECT_EQ(brevant::ResultLines(run.boxes)[1], "Number >= F: " + std::to_string(reaching));
    // The obtained F is 0 (treatment totals equal): every finite F reaches the threshold 0.
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "0");
    EXPECT_EQ(reaching, 1000);
    EXPECT_EQ(brevant::BoxText(run.boxes[2]), "1");
    EXPECT_EQ(run.histogram.caption, "F value");
    EXPECT_EQ(run.histogram.bounds, (std::pair{0.0f, 10.0f}));
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_NE(run.notes[0].find(std::to_string(infinite) + " of the 1000 permutations"), std::string::npos)
        << run.notes[0];
}

// The threshold lies a thousandth below the obtained F: a pass that gives the obtained F again is counted,
// and the boxes show the unreduced F while the histogram marks the threshold.
TEST(Repeated1way, ThePassesThatGiveTheObtainedFAreCounted) {
    const Case c{3, 2, {1, 5, 3, 2, 9, 4}, Seeds{3, 1, 4}, 2000};
    ExpectSameAsLiteral(c);
    Generator generator{c.seeds};
    const auto r = FastRun(c, {c.resamples, 0.975f, {}}, generator);
    EXPECT_EQ(r.threshold, r.observed.f - r.observed.f / 1000.0f);
    std::int64_t same = 0, atOrAbove = 0;
    for (const float f : r.resampled) {
        same += f == r.observed.f;
        atOrAbove += f >= r.observed.f;
    }
    EXPECT_GT(same, 0);
    EXPECT_GE(r.count, atOrAbove);
    EXPECT_FALSE(brevant::AdditiveTable(std::vector<float>{1, 2, 4, 5, 3, 4, 6, 8}, 4, 2));
    EXPECT_TRUE(brevant::AdditiveTable(std::vector<float>{1, 2, 4, 5, 3, 4, 6, 7}, 4, 2));
    EXPECT_TRUE(brevant::AdditiveTable(std::vector<float>{1, 2, 3, 11, 12, 13, -1, 0, 1}, 3, 3));
    EXPECT_TRUE(brevant::AdditiveTable(std::vector<float>{1e30f, 1, 1e30f, 1}, 2, 2));
    EXPECT_FALSE(brevant::AdditiveTable(std::vector<float>{1e30f, 1, 1e30f, 2}, 2, 2));
}

TEST(Repeated1way, RefusesDataThatCannotGiveAnF) {
    const brevant::testing::Refusal bad[] = {
        {"1 3  5 6 7", "announces 1 treatment; the test needs at least 2 treatments."},
        {"3 1  5 6 7", "announces 1 subject; the test needs at least 2 subjects."},
        {"0 3", "announces 0 treatments"},
        {"3 3  1 2 3  11 12 13  -1 0 1", "so SS error is 0 and F is undefined."},  // subject plus treatment
        {"2 2  4 4  4 4", "leaves no variation once subjects and treatments are accounted for"},
        {"3 2  1 2 3  4 5", "holds fewer values than announced"},
        {"2 2  1 2  x 4", "is not a number"},
        {"1000 1001", "announces 1001 subjects of 1000 treatments, 1001000 scores; at most 1000000"},
        {"2 2  1e18 2e18  3e18 1e18", "too large for single-precision sums of their squares"},
        {"", "holds no data"},
    };
    brevant::testing::ExpectRefused(brevant::Repeated1wayProcedure, bad);
}

TEST(Repeated1way, CancelledRunKeepsTheGeneratorWhereItStopped) {
    DataFile file = DataFile::FromText("3 2 1 5 3 2 9 4", "c.dat");
    const brevant::Repeated1wayData data = brevant::ReadRepeated1wayData(file);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    EXPECT_THROW(brevant::RunRepeated1way(data, {1000, 0.975f, {}}, g, cancelled), brevant::RunCancelled);
    EXPECT_EQ(g.seeds, (Seeds{3, 4, 5}));
    EXPECT_THROW(brevant::RunRepeated1way(data, {0, 0.975f, {}}, g, cancelled), brevant::SettingsError);
}

// Tables side by side, on the AVX2 path (where the processor has it) and the baseline: each F is exactly
// that of its table alone, single sums and double, with an additive table (infinite F) among them, for
// counts that leave every remainder of the groups of lanes (eight, and four or two groups of eight), and
// tables whose scores leave every remainder of the four taken at a time.
TEST(Repeated1way, TablesSideBySideGiveEachTablesFOnEveryPath) {
    std::vector<std::int32_t> counts(41);
    std::iota(counts.begin(), counts.end(), 1);  // every remainder of eight, and of 32 up to 41
    counts.push_back(75);
    for (const std::int32_t count : counts) {
        SCOPED_TRACE(count);
        std::mt19937 random(static_cast<unsigned>(15 + count));
        const std::int32_t k = 4 + count % 2, n = std::array{9, 7, 6}[static_cast<std::size_t>(count % 3)];
        const auto size = static_cast<std::size_t>(k * n);
        std::vector<float> tables;
        for (std::int32_t b = 0; b < count; ++b) {
            const std::vector<float> table = MixedScores(random, k, n, 100.0f * static_cast<float>(b - 5));
            tables.insert(tables.end(), table.begin(), table.end());
        }
        const auto additive = static_cast<std::size_t>(count / 2);
        for (std::size_t i = 0; i < size; ++i) {
            tables[additive * size + i] = static_cast<float>(i / k) * 10.0f + static_cast<float>(i % k);
        }
        for (const brevant::SumPrecision sums : {brevant::SumPrecision::Single, brevant::SumPrecision::Double}) {
            std::vector<float> expected;
            for (std::int32_t b = 0; b < count; ++b) {
                const std::span<const float> table(tables.data() + static_cast<std::size_t>(b) * size, size);
                expected.push_back(brevant::ComputeRepeatedF(table, n, k, sums).f);
            }
            EXPECT_TRUE(std::isinf(expected[additive]));
            for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
                if (!brevant::DrawPathAvailable(path)) continue;
                std::vector<float> out(static_cast<std::size_t>(count), -1.0f);
                brevant::RepeatedFOfTables(path, sums, tables.data(), count, n, k, out.data());
                for (std::size_t b = 0; b < out.size(); ++b) {
                    EXPECT_TRUE(SameBits(out[b], expected[b])) << b << " " << out[b] << " " << expected[b];
                }
            }
        }
    }
}

// Each subject's row shuffled from one pass's table into the next, on every path: the same rows as
// ShuffleArray over each row in place with the same draws, pass after pass, for 2 to 8 treatments (tabled
// orders and, past six, the swaps themselves) and row counts that leave the vector path's tail rows.
TEST(Repeated1way, RowShufflesMatchShuffleArrayOnEveryPath) {
    for (std::int32_t k = 2; k <= 8; ++k) {
        for (const std::int32_t rows : {1, 2, 3, 5, 12}) {
            SCOPED_TRACE("k=" + std::to_string(k) + " rows=" + std::to_string(rows));
            const auto size = static_cast<std::size_t>(k * rows);
            std::vector<float> start(size);
            for (std::size_t i = 0; i < size; ++i) start[i] = static_cast<float>(i) + 0.5f;
            for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
                if (!brevant::DrawPathAvailable(path)) continue;
                const brevant::RowShuffler shuffle(k, path);
                std::vector<float> plain = start, table = start, next(size);
                Generator g{Seeds{k, 3 * rows, 77}}, drawing{Seeds{k, 3 * rows, 77}};
                std::vector<double> draws(static_cast<std::size_t>(rows * (k - 1)));
                for (int pass = 0; pass < 50; ++pass) {
                    for (std::size_t row = 0; row < size; row += static_cast<std::size_t>(k)) {
                        brevant::ShuffleArray(g, std::span<float>(plain).subspan(row, static_cast<std::size_t>(k)));
                    }
                    for (double& u : draws) u = drawing.Uniform();
                    brevant::DrawsFrom from(draws.data());
                    shuffle(from, table, next);
                    table.swap(next);
                    ASSERT_EQ(table, plain) << "pass " << pass;
                }
            }
        }
    }
}

// The run's two steps on each instruction path, pass after pass, against the literal run: each pass's rows
// shuffled into the next table, then the F of all tables side by side, for counts of passes that leave
// remainders of the groups of lanes, tabled orders and plain swaps (past six treatments), single and
// double sums.
TEST(Repeated1way, EveryPathGivesTheLiteralRunsPermutedF) {
    const struct {
        std::int32_t k, n, R;
        brevant::SumPrecision sums;
    } cases[] = {
        {2, 7, 45, brevant::SumPrecision::Single},  {5, 9, 77, brevant::SumPrecision::Single},
        {6, 4, 33, brevant::SumPrecision::Single},  {3, 5, 12, brevant::SumPrecision::Double},
        {5, 13, 70, brevant::SumPrecision::Double}, {11, 3, 19, brevant::SumPrecision::Double},
    };
    std::mt19937 random(31);
    for (const auto& c : cases) {
        SCOPED_TRACE("k=" + std::to_string(c.k) + " n=" + std::to_string(c.n) + " R=" + std::to_string(c.R));
        const std::vector<float> scores = MixedScores(random, c.k, c.n, 25.0f);
        const Seeds seeds{c.k * 100 + c.n, c.R, 4321};
        brevant::literal::seedTable = seeds;
        const bool single = c.sums == brevant::SumPrecision::Single;
        const auto literal = single ? brevant::literal::RunRepeated1way<float>(scores, c.k, c.n, c.R)
                                    : brevant::literal::RunRepeated1way<double>(scores, c.k, c.n, c.R);
        const auto size = static_cast<std::size_t>(c.k * c.n);
        for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
            if (!brevant::DrawPathAvailable(path)) continue;
            const brevant::RowShuffler shuffle(c.k, path);
            std::vector<float> tables(size * static_cast<std::size_t>(c.R + 1));
            std::copy(scores.begin(), scores.end(), tables.begin());
            std::vector<double> draws(static_cast<std::size_t>(c.n * (c.k - 1)));
            Generator g{seeds};
            for (std::int32_t h = 1; h <= c.R; ++h) {
                for (double& u : draws) u = g.Uniform();
                brevant::DrawsFrom from(draws.data());
                shuffle(from, std::span<const float>(tables).subspan((h - 1) * size, size),
                        std::span<float>(tables).subspan(h * size, size));
            }
            std::vector<float> permuted(static_cast<std::size_t>(c.R), -1.0f);
            brevant::RepeatedFOfTables(path, c.sums, tables.data() + size, c.R, c.n, c.k, permuted.data());
            for (std::size_t h = 0; h < permuted.size(); ++h) {
                ASSERT_TRUE(SameBits(permuted[h], literal.resampled[h])) << "pass " << h + 1;
            }
            EXPECT_EQ(g.seeds, brevant::literal::seedTable);
        }
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
