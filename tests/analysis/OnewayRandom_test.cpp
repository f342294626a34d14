// The one-way randomization run against its literal transcription (tests/literal/LiteralOnewayRandom.h):
// obtained F, effect size, count and proportion, every shuffled F, the output file's bytes and the final
// seeds, within the designed size (single sums) and past it (double sums); then the properties F must have,
// shuffles with no spread, a published answer, and the data it refuses.
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/Parallel.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "literal/LiteralOnewayRandom.h"
#include "support/Files.h"
#include "support/CentredData.h"
#include "support/Refusals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::Generator;
using brevant::RunControl;
using brevant::RunSettings;
using brevant::Seeds;
using brevant::testing::ReadWhole;
using brevant::testing::SameBits;
using brevant::testing::ShiftedByMean;

struct Groups {
    std::vector<std::vector<float>> groups;

    std::vector<float> Values() const {
        std::vector<float> all;
        for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
        return all;
    }
    std::vector<std::int32_t> Sizes() const {
        std::vector<std::int32_t> sizes;
        for (const auto& g : groups) sizes.push_back(static_cast<std::int32_t>(g.size()));
        return sizes;
    }
    std::string FileText() const {
        std::string text = std::to_string(groups.size()) + "\n";
        for (const auto& g : groups) text += std::to_string(g.size()) + " ";
        text += "\n";
        for (const auto& g : groups) {
            for (const float v : g) text += brevant::ShortestText(v) + " ";
            text += "\n";
        }
        return text;
    }
};

// Groups of the given sizes with ties (every third value whole), negatives and values of more than seven
// significant digits, each group shifted by its own centre.
Groups MixedGroups(std::mt19937& random, const std::vector<int>& sizes, float spread) {
    std::uniform_real_distribution<float> noise(-spread, spread);
    Groups g;
    for (std::size_t j = 0; j < sizes.size(); ++j) {
        std::vector<float> values;
        const float centre = static_cast<float>(j % 3) - 1.0f;
        for (int i = 0; i < sizes[j]; ++i) {
            const float v = centre + noise(random);
            values.push_back(i % 3 == 0 ? std::round(v) : v);
        }
        g.groups.push_back(values);
    }
    return g;
}

// centred: the data are expected to centre the run, whose oracle is then the literal run with double sums
// on the shifted values.
template <typename Sum>
void ExpectSameAsLiteral(const Groups& g, Seeds seeds, std::int32_t R, int threads = 0, bool centred = false) {
    SCOPED_TRACE("k=" + std::to_string(g.groups.size()) + " N=" + std::to_string(g.Values().size()) +
                 " R=" + std::to_string(R) + " threads=" + std::to_string(threads));
    const auto out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "OnewayRandom_test_out.dat";
    const RunSettings settings{R, 0.975f, out.string(), threads};
    Generator generator{seeds};
    RunControl control;
    DataFile file = DataFile::FromText(g.FileText(), "groups.dat");
    const brevant::OnewayData data = brevant::ReadOnewayRandomData(file);
    ASSERT_EQ(data.centred, centred);
    const brevant::SumPrecision expected = std::is_same_v<Sum, float> && !centred ? brevant::SumPrecision::Single
                                                                                  : brevant::SumPrecision::Double;
    ASSERT_EQ(data.sums, expected);
    const brevant::OnewayRandomResult fast = brevant::RunOnewayRandom(data, settings, generator, control);
    EXPECT_EQ(fast.centred, centred);
    brevant::WriteOutputFile(settings, fast.resampled);

    brevant::literal::seedTable = seeds;
    const auto literal = centred ? brevant::literal::RunOnewayRandom<double>(ShiftedByMean(g.Values()), g.Sizes(), R)
                                 : brevant::literal::RunOnewayRandom<Sum>(g.Values(), g.Sizes(), R);

    EXPECT_TRUE(SameBits(fast.obtainedF, literal.obtainedF)) << fast.obtainedF << " " << literal.obtainedF;
    EXPECT_TRUE(SameBits(fast.effectSize, literal.effectSize));
    EXPECT_TRUE(SameBits(fast.comparisonF, literal.fcmp));
    EXPECT_EQ(fast.count, static_cast<std::int64_t>(literal.counter));
    EXPECT_EQ(fast.proportion, literal.proportion);
    ASSERT_EQ(fast.resampled.size(), literal.resampled.size());
    for (std::size_t r = 0; r < fast.resampled.size(); ++r) {
        ASSERT_TRUE(SameBits(fast.resampled[r], literal.resampled[r]))
            << "shuffle " << r + 1 << ": " << fast.resampled[r] << " vs " << literal.resampled[r];
    }
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(control.resamplesDone.load(), R);

    const std::vector<brevant::ResultBox> observed = brevant::ObservedOnewayRandomBoxes(data);
    ASSERT_EQ(observed.size(), 2u);
    EXPECT_EQ(observed[0].control, "txtObtF");
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.obtainedF));
    EXPECT_EQ(observed[1].control, "txtEffectSize");
    EXPECT_TRUE(SameBits(std::get<float>(observed[1].value), literal.effectSize));
}

TEST(OnewayRandom, MatchesTheLiteralRunBitForBit) {
    std::mt19937 random(20261207);
    const std::vector<std::vector<int>> layouts = {
        {2, 2}, {5, 7}, {3, 20, 4}, {10, 10, 10}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {40, 2, 17, 9}, {500, 500},
    };
    int i = 0;
    for (const auto& sizes : layouts) {
        const Seeds seeds{1 + 977 * i, 2 + 1511 * i, 3 + 2029 * i};
        const std::int32_t R = sizes.size() == 2 && sizes[0] == 500 ? 100 : 1000;
        ExpectSameAsLiteral<float>(MixedGroups(random, sizes, 10.0f), seeds, R);
        ++i;
    }
    // Mostly ties: shuffles often give the obtained F again.
    Groups ties{{{1, 2, 2, 3}, {2, 3, 3, 3}, {1, 1, 2, 3}}};
    ExpectSameAsLiteral<float>(ties, Seeds{17, 29, 31}, 2000);
    // Large magnitudes where single-precision sums lose the spread: the run is centred.
    Groups large{{{123456.7f, 123457.9f, 123455.1f}, {123458.3f, 123459.9f, 123457.4f}, {123454.2f, 123456.6f}}};
    ExpectSameAsLiteral<float>(large, Seeds{4711, 815, 12345}, 1000, 0, true);
}

TEST(OnewayRandom, MatchesTheLiteralRunOnManyRandomLayouts) {
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> groups(2, 10), size(2, 25);
    std::uniform_real_distribution<float> spread(0.01f, 1000.0f);
    for (int i = 0; i < 40; ++i) {
        std::vector<int> sizes(static_cast<std::size_t>(groups(random)));
        for (int& n : sizes) n = size(random);
        const Seeds seeds{1 + (i * 7919) % 30000, 1 + (i * 104729) % 30000, 1 + (i * 1299709) % 30000};
        ExpectSameAsLiteral<float>(MixedGroups(random, sizes, spread(random)), seeds, 100);
    }
}

TEST(OnewayRandom, PastTheDesignedSizeSumsAreDoubleAndStillMatch) {
    std::mt19937 random(99);
    // Eleven groups, few values: double sums because of the groups alone.
    ExpectSameAsLiteral<double>(MixedGroups(random, {2, 3, 2, 4, 2, 3, 5, 2, 2, 3, 4}, 5.0f), Seeds{7, 8, 9}, 500);
    // 1,001 values in three groups: double sums because of the values.
    ExpectSameAsLiteral<double>(MixedGroups(random, {400, 300, 301}, 5.0f), Seeds{70, 80, 90}, 50);
    // Exactly at the designed size: still single.
    ExpectSameAsLiteral<float>(MixedGroups(random, {400, 300, 300}, 5.0f), Seeds{71, 81, 91}, 50);
}

// Values that differ little relative to their size: every run accepted and centred, with the note; F and
// the effect size within 1 % of their double-precision values; the proportion within 0.01 of the same
// shuffles of the data moved to a mean near 0 and a spread near 1, which keep the defined path; and the
// literal run on the shifted values, bit for bit.
TEST(OnewayRandom, ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    const Seeds seeds{41, 42, 43};
    const std::int32_t R = 2000;
    for (const auto& set : brevant::testing::IllConditionedOnewaySets()) {
        SCOPED_TRACE(set.name);
        const Groups g{set.groups};
        Generator generator{seeds};
        RunControl control;
        DataFile file = DataFile::FromText(g.FileText(), "close.dat");
        const brevant::RunResult run = brevant::OnewayRandomProcedure(file, {R, 0.975f, {}}, generator, control);
        brevant::testing::ExpectCentredOnewayRun(run, set.groups);
        const double f = brevant::BoxValue(run.boxes[0]);

        const Groups moved{brevant::testing::Rescaled(set.groups, set.centre, set.scale)};
        DataFile movedFile = DataFile::FromText(moved.FileText(), "moved.dat");
        const brevant::OnewayData movedData = brevant::ReadOnewayRandomData(movedFile);
        EXPECT_FALSE(movedData.centred);
        Generator again{seeds};
        const brevant::OnewayRandomResult reference =
            brevant::RunOnewayRandom(movedData, {R, 0.975f, {}}, again, control);
        EXPECT_NEAR(f, reference.obtainedF, brevant::testing::StatisticTolerance(reference.obtainedF));
        EXPECT_NEAR(brevant::BoxValue(run.boxes[2]), reference.proportion, 0.01);

        ExpectSameAsLiteral<float>(g, seeds, 300, 0, true);
    }
}

// Shuffles go eight side by side within each thread's share and one at a time at its end: every count of
// shuffles left over, on one thread and on three (whose shares move the seams), with single and double
// sums and with shuffles that leave no spread.
TEST(OnewayRandom, MatchesTheLiteralRunWhateverIsLeftOverFromEight) {
    std::mt19937 random(808);
    const Groups mixed = MixedGroups(random, {6, 3, 9, 4, 5}, 3.0f);
    const Groups noSpread{{{1.0f, 2.0f}, {1.0f, 2.0f}, {2.0f, 1.0f}}};
    const Groups manyGroups = MixedGroups(random, {2, 3, 2, 4, 2, 3, 5, 2, 2, 3, 4}, 5.0f);
    for (const int threads : {1, 3}) {
        for (const std::int32_t R : {1, 7, 8, 9, 15, 16, 17, 21, 22, 23, 60, 64, 67}) {
            ExpectSameAsLiteral<float>(mixed, Seeds{3 + R, 5, 7}, R, threads);
            ExpectSameAsLiteral<float>(noSpread, Seeds{11, 13 + R, 17}, R, threads);
            ExpectSameAsLiteral<double>(manyGroups, Seeds{19, 23, 29 + R}, R, threads);
        }
    }
    // The heaviest layout of the window: ten groups of a hundred.
    ExpectSameAsLiteral<float>(MixedGroups(random, std::vector<int>(10, 100), 20.0f), Seeds{31, 37, 41}, 203, 3);
}

// The swap positions from a block of draws are Index's, one draw at a time, on every path: counts that
// leave every remainder of four, draws at the ends of [0, 1) and at the rounding edges of each position.
TEST(OnewayRandom, ShufflePositionsAreTheGeneratorsIndicesOnEveryPath) {
    std::mt19937 random(31);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (const brevant::DrawPath path : {brevant::DrawPath::Baseline, brevant::DrawPath::Avx2}) {
        if (!brevant::DrawPathAvailable(path)) continue;
        for (const std::int32_t n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 999, 1000, 100'000}) {
            std::vector<double> draws(static_cast<std::size_t>(n - 1));
            for (std::size_t t = 0; t < draws.size(); ++t) {
                const double range = static_cast<double>(n - static_cast<std::int32_t>(t)) - 0.0001;
                const double edge = std::floor(uniform(random) * range) / range;  // a position's lower edge
                const double choices[] = {uniform(random), 0.0, std::nextafter(1.0, 0.0), edge,
                                          std::nextafter(edge, 0.0)};
                draws[t] = choices[t % 5];
            }
            std::vector<std::int32_t> picks(draws.size());
            brevant::ShufflePositions(path, draws, picks);
            brevant::DrawsFrom one(draws.data());
            for (std::size_t t = 0; t < draws.size(); ++t) {
                ASSERT_EQ(picks[t], one.Index(n - static_cast<std::int32_t>(t)))
                    << (path == brevant::DrawPath::Avx2 ? "AVX2" : "baseline") << " n=" << n << " t=" << t;
            }
        }
    }
}

brevant::OnewayRandomResult Shuffled(const Groups& g, Seeds seeds, std::int32_t R) {
    Generator generator{seeds};
    RunControl control;
    DataFile file = DataFile::FromText(g.FileText(), "g.dat");
    return brevant::RunOnewayRandom(brevant::ReadOnewayRandomData(file), {R, 0.975f, {}}, generator, control);
}

TEST(OnewayRandom, FAndEffectSizeKeepTheirValueUnderScalingAndReordering) {
    const Groups g{{{3.1f, 4.7f, 2.2f, 5.0f}, {6.3f, 7.9f, 5.4f}, {2.8f, 1.9f, 3.3f, 4.4f, 2.0f}}};
    const auto base = Shuffled(g, Seeds{1, 1, 1}, 200);
    // Doubling every value doubles every sum exactly: the same F, effect size and shuffled F, bit for bit.
    Groups doubled = g;
    for (auto& group : doubled.groups) {
        for (float& v : group) v *= 2.0f;
    }
    const auto twice = Shuffled(doubled, Seeds{1, 1, 1}, 200);
    EXPECT_TRUE(SameBits(base.obtainedF, twice.obtainedF));
    EXPECT_TRUE(SameBits(base.effectSize, twice.effectSize));
    EXPECT_EQ(base.resampled, twice.resampled);
    // Another constant and another order within the groups: the same up to single-precision rounding.
    Groups other = g;
    for (auto& group : other.groups) {
        std::reverse(group.begin(), group.end());
        for (float& v : group) v *= 3.7f;
    }
    const auto scaled = Shuffled(other, Seeds{1, 1, 1}, 200);
    EXPECT_NEAR(scaled.obtainedF, base.obtainedF, 1e-5 * base.obtainedF);
    EXPECT_NEAR(scaled.effectSize, base.effectSize, 1e-5 * base.effectSize);
}

TEST(OnewayRandom, ShufflesWithinTheToleranceOfTheObtainedFAreCounted) {
    // Two groups of two: only three F values can arise, and the obtained arrangement recurs.
    const Groups g{{{1.0f, 2.0f}, {3.0f, 4.5f}}};
    const auto r = Shuffled(g, Seeds{5, 6, 7}, 1000);
    std::int64_t same = 0, atLeast = 0;
    for (const float f : r.resampled) {
        same += f == r.obtainedF;
        atLeast += f >= r.obtainedF - 0.0001f;
    }
    EXPECT_GT(same, 0);
    EXPECT_EQ(r.count, atLeast);
    EXPECT_GE(r.count, same);
    EXPECT_EQ(r.proportion, static_cast<double>(r.count) / 1000);
}

TEST(OnewayRandom, ShufflesWithNoSpreadWithinTheGroupsAreInfiniteCountedAndNoted) {
    // 1 2 / 1 2: a shuffle to 1 1 / 2 2 or 2 2 / 1 1 has no spread within either group: F = +inf.
    const Groups g{{{1.0f, 2.0f}, {1.0f, 2.0f}}};
    ExpectSameAsLiteral<float>(g, Seeds{101, 202, 303}, 1000);
    Generator generator{Seeds{101, 202, 303}};
    RunControl control;
    DataFile file = DataFile::FromText(g.FileText(), "pairs.dat");
    const brevant::RunResult run = brevant::OnewayRandomProcedure(file, {1000, 0.975f, {}}, generator, control);
    std::int64_t infinite = 0;
    for (const float f : run.resampled) {
        ASSERT_FALSE(std::isnan(f));
        infinite += std::isinf(f) && f > 0;
    }
    EXPECT_GT(infinite, 0);
    ASSERT_EQ(run.boxes.size(), 3u);
    EXPECT_EQ(run.boxes[0].control, "txtObtF");
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "0.000");  // equal means
    // Every shuffle reaches F(obt) - 0.0001 = -0.0001: the finite zeros and the infinite ones alike.
    EXPECT_EQ(brevant::BoxValue(run.boxes[2]), 1.0);
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_TRUE(run.notes[0].starts_with(std::to_string(infinite) + " of the 1000 resamples left no spread"))
        << run.notes[0];
    EXPECT_EQ(run.notes[0].find("undefined"), std::string::npos) << "no shuffle can hold one value throughout";
}

TEST(OnewayRandom, PlantWeightsGiveThePublishedF) {
    // Dobson's plant weights: control and two treatments, ten plants each; F(2, 27) = 4.846, p = 0.0159.
    const Groups plants{{{4.17f, 5.58f, 5.18f, 6.11f, 4.50f, 4.61f, 5.17f, 4.53f, 5.33f, 5.14f},
                         {4.81f, 4.17f, 4.41f, 3.59f, 5.87f, 3.83f, 6.03f, 4.89f, 4.32f, 4.69f},
                         {6.31f, 5.12f, 5.54f, 5.50f, 5.37f, 5.29f, 4.92f, 6.15f, 5.80f, 5.26f}}};
    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    DataFile file = DataFile::FromText(plants.FileText(), "plants.dat");
    const brevant::RunResult run = brevant::OnewayRandomProcedure(file, {10000, 0.975f, {}}, generator, control);
    EXPECT_EQ(brevant::BoxText(run.boxes[0]), "4.846");
    // Monte-Carlo error of a proportion near 0.016 from 10,000 shuffles: about 0.0013.
    EXPECT_NEAR(brevant::BoxValue(run.boxes[2]), 0.0159, 0.005);
    EXPECT_EQ(run.histogram.caption, "Randomization F");
    EXPECT_EQ(run.histogram.bounds, (std::pair{0.0f, 10.0f}));
    EXPECT_EQ(run.histogram.observed, brevant::ComparisonF(std::get<float>(run.boxes[0].value)));
}

TEST(OnewayRandom, RefusesDataWithoutADefinedF) {
    const brevant::testing::Refusal bad[] = {
        {"1  3  1 2 3", "announces 1 group; a one-way analysis needs at least 2 groups."},
        {"0", "announces 0 groups"},
        {"3  2 1 2  1 2  5  3 4", "announces 1 value for group 2; each group needs at least 2 values."},
        {"2  2 2  4 4  6 6", "has no spread within the groups"},
        {"2  2 2  10000 10000  10001 10001", "(the values of each group are all equal), so the pooled variance"},
        {"3  2 2 2  1 1  2 2  3 3", "so the pooled variance is 0 and F is undefined."},
        {"2  3 3  1 2 3  4 5", "holds fewer values than announced"},
        {"2  2 2  1 2 x 4", "is not a number"},
        {"2  600000 600000", "announces 1200000 values in its 2 groups; at most 1000000 can be analysed."},
        {"600000", "at most 500000 groups can be analysed."},
        {"2  2 2  1e19 2e19 3e19 4e19", "holds values too large for single-precision sums of their squares"},
        {"2  2.5 2  1 2 3 4", "2.5"},
    };
    brevant::testing::ExpectRefused(brevant::OnewayRandomProcedure, bad);
}

// On one thread the generator stands after the shuffles made; on several, after the unbroken run of
// completed shuffles from the first (those of one thread that stopped there), never past the work done.
TEST(OnewayRandom, ARunCancelledPartwayLeavesTheGeneratorAfterTheShufflesItMade) {
    std::mt19937 random(8);
    const Groups g = MixedGroups(random, {300, 300, 400}, 10.0f);
    DataFile file = DataFile::FromText(g.FileText(), "big.dat");
    const brevant::OnewayData data = brevant::ReadOnewayRandomData(file);
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        Generator generator{Seeds{12, 34, 56}};
        RunControl control;
        bool cancelled = false;
        std::thread worker([&] {
            try {
                brevant::RunOnewayRandom(data, {1'000'000, 0.975f, {}, threads}, generator, control);
            } catch (const brevant::RunCancelled&) {
                cancelled = true;
            }
        });
        while (control.resamplesDone.load() < 20) std::this_thread::yield();
        control.RequestCancel();
        worker.join();
        ASSERT_TRUE(cancelled);
        const std::int64_t done = control.resamplesDone.load();
        Generator expected{Seeds{12, 34, 56}};
        std::int64_t shuffles = 0;
        if (threads == 1) {
            for (std::int64_t i = 0; i < done * (data.Total() - 1); ++i) expected.Uniform();
            shuffles = done;
        } else {
            while (expected.seeds != generator.seeds && shuffles <= done) {
                for (std::int64_t i = 0; i < data.Total() - 1; ++i) expected.Uniform();
                ++shuffles;
            }
        }
        EXPECT_EQ(generator.seeds, expected.seeds);
        EXPECT_LE(shuffles, done);
    }
}

TEST(OnewayRandom, CancelledRunKeepsTheDrawsMadeAndBadCountsAreRefused) {
    DataFile file = DataFile::FromText("3 3 3 3 1 2 3 4 5 6 7 8 10", "c.dat");
    const brevant::OnewayData data = brevant::ReadOnewayRandomData(file);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    EXPECT_THROW(brevant::RunOnewayRandom(data, {1000, 0.975f, {}}, g, cancelled), brevant::RunCancelled);
    EXPECT_EQ(g.seeds, (Seeds{3, 4, 5}));
    EXPECT_THROW(brevant::RunOnewayRandom(data, {0, 0.975f, {}}, g, cancelled), brevant::SettingsError);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
