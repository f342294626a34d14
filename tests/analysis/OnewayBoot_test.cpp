// The one-way bootstrap run against its literal transcription (tests/literal/LiteralOnewayBoot.h), with and
// without "Bootstrap Errors": obtained F, effect size, count and proportion, every bootstrapped F, the
// output file's bytes and the final seeds, within the designed size and past it; then draws with no spread,
// the errors' group means, a published answer, and the data it refuses.
#include "analysis/bootstrap/OnewayBoot.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "literal/LiteralOnewayBoot.h"
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
using brevant::testing::ExpectRefused;
using brevant::testing::Refusal;
using brevant::testing::ReadWhole;
using brevant::testing::SameBits;

using Groups = std::vector<std::vector<float>>;

std::vector<float> Values(const Groups& groups) {
    std::vector<float> all;
    for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
    return all;
}

std::vector<std::int32_t> Sizes(const Groups& groups) {
    std::vector<std::int32_t> sizes;
    for (const auto& g : groups) sizes.push_back(static_cast<std::int32_t>(g.size()));
    return sizes;
}

std::string FileText(const Groups& groups) {
    std::string text = std::to_string(groups.size()) + "\n";
    for (const auto& g : groups) text += std::to_string(g.size()) + ",";
    text += "\n";
    for (const auto& g : groups) {
        for (const float v : g) text += brevant::ShortestText(v) + ",";
        text += "\n";
    }
    return text;
}

// Ties, negatives and values of more than seven significant digits (which every draw rounds to seven).
Groups MixedGroups(std::mt19937& random, const std::vector<int>& sizes, float spread) {
    std::uniform_real_distribution<float> noise(-spread, spread);
    Groups groups;
    for (std::size_t j = 0; j < sizes.size(); ++j) {
        std::vector<float> values;
        for (int i = 0; i < sizes[j]; ++i) {
            const float v = static_cast<float>(j % 4) * 0.7f - 1.0f + noise(random);
            values.push_back(i % 4 == 1 ? std::round(v) : v);
        }
        groups.push_back(values);
    }
    return groups;
}

// centred: the data are expected to centre the run, whose oracle is then the literal run with double sums
// on the shifted values, drawn without their text.
template <typename Sum>
void ExpectSameAsLiteral(const Groups& groups, Seeds seeds, std::int32_t R, bool errors, int threads = 0,
                         bool centred = false) {
    SCOPED_TRACE("k=" + std::to_string(groups.size()) + " N=" + std::to_string(Values(groups).size()) +
                 (errors ? " errors" : " observations") + " threads=" + std::to_string(threads));
    const auto out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "OnewayBoot_test_out.dat";
    const RunSettings settings{R, 0.975f, out.string(), threads};
    Generator generator{seeds};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(groups), "groups.dat");
    const brevant::OnewayBootData data = brevant::ReadOnewayBootData(file);
    ASSERT_EQ(data.groups.centred, centred);
    const brevant::SumPrecision expected = std::is_same_v<Sum, float> && !centred ? brevant::SumPrecision::Single
                                                                                  : brevant::SumPrecision::Double;
    ASSERT_EQ(data.groups.sums, expected);
    const brevant::OnewayBootResult fast = brevant::RunOnewayBoot(data, settings, errors, generator, control);
    EXPECT_EQ(fast.centred, centred);
    brevant::WriteOutputFile(settings, fast.resampled);

    brevant::literal::seedTable = seeds;
    const auto literal =
        centred ? brevant::literal::RunOnewayBoot<double>(brevant::testing::ShiftedByMean(Values(groups)),
                                                          Sizes(groups), R, errors, true)
                : brevant::literal::RunOnewayBoot<Sum>(Values(groups), Sizes(groups), R, errors);

    EXPECT_TRUE(SameBits(fast.obtainedF, literal.obtainedF)) << fast.obtainedF << " " << literal.obtainedF;
    EXPECT_TRUE(SameBits(fast.effectSize, literal.effectSize));
    ASSERT_EQ(data.errors.size() + 1, literal.errors.size());
    for (std::size_t i = 0; i < data.errors.size(); ++i) ASSERT_TRUE(SameBits(data.errors[i], literal.errors[i + 1]));
    EXPECT_EQ(fast.count, static_cast<std::int64_t>(literal.counter));
    EXPECT_EQ(fast.proportion, literal.proportion);
    ASSERT_EQ(fast.resampled.size(), literal.resampled.size());
    for (std::size_t r = 0; r < fast.resampled.size(); ++r) {
        ASSERT_TRUE(SameBits(fast.resampled[r], literal.resampled[r]))
            << "draw " << r + 1 << ": " << fast.resampled[r] << " vs " << literal.resampled[r];
    }
    EXPECT_EQ(generator.seeds, brevant::literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(control.resamplesDone.load(), R);

    const std::vector<brevant::ResultBox> observed = brevant::ObservedOnewayBootBoxes(data);
    ASSERT_EQ(observed.size(), 2u);
    EXPECT_TRUE(SameBits(std::get<float>(observed[0].value), literal.obtainedF));
    EXPECT_TRUE(SameBits(std::get<float>(observed[1].value), literal.effectSize));
}

TEST(OnewayBoot, MatchesTheLiteralRunBitForBitWithEitherPool) {
    std::mt19937 random(1207);
    const std::vector<std::vector<int>> layouts = {
        {2, 2}, {6, 4}, {3, 12, 5}, {8, 8, 8, 8}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {300, 2, 30},
    };
    int i = 0;
    for (const auto& sizes : layouts) {
        const Groups groups = MixedGroups(random, sizes, 4.0f);
        for (const bool errors : {false, true}) {
            ExpectSameAsLiteral<float>(groups, Seeds{11 + 311 * i, 22 + 733 * i, 33 + 1201 * i}, 1000, errors);
        }
        ++i;
    }
    // Large magnitudes where single-precision sums lose the spread: the run is centred.
    const Groups large{{123456.7f, 123457.9f, 123455.1f}, {123458.3f, 123459.9f, 123457.4f, 123458.8f}};
    ExpectSameAsLiteral<float>(large, Seeds{4711, 815, 12345}, 1000, false, 0, true);
    ExpectSameAsLiteral<float>(large, Seeds{4711, 815, 12345}, 1000, true, 0, true);
}

// Values that differ little relative to their size, drawing from either pool: every run accepted and
// centred, with the note; F and the effect size within 1 % of their double-precision values; the
// proportion within 0.01 of the same draws from the data moved to a mean near 0 and a spread near 1,
// which keep the defined path; and the literal run on the shifted values (errors and all), bit for bit.
TEST(OnewayBoot, ValuesThatDifferLittleRelativeToTheirSizeCentreTheRun) {
    const Seeds seeds{51, 52, 53};
    const std::int32_t R = 2000;
    for (const auto& set : brevant::testing::IllConditionedOnewaySets()) {
        DataFile file = DataFile::FromText(FileText(set.groups), "close.dat");
        const brevant::OnewayBootData data = brevant::ReadOnewayBootData(file);
        ASSERT_TRUE(data.groups.centred) << set.name;
        const Groups moved = brevant::testing::Rescaled(set.groups, set.centre, set.scale);
        DataFile movedFile = DataFile::FromText(FileText(moved), "moved.dat");
        const brevant::OnewayBootData movedData = brevant::ReadOnewayBootData(movedFile);
        EXPECT_FALSE(movedData.groups.centred) << set.name;
        for (const bool errors : {false, true}) {
            SCOPED_TRACE(set.name + (errors ? ", errors" : ", observations"));
            Generator generator{seeds};
            RunControl control;
            DataFile again = DataFile::FromText(FileText(set.groups), "close.dat");
            const brevant::RunResult run =
                brevant::OnewayBootProcedure(again, {R, 0.975f, {}}, errors, generator, control);
            brevant::testing::ExpectCentredOnewayRun(run, set.groups);

            Generator movedGenerator{seeds};
            const brevant::OnewayBootResult reference =
                brevant::RunOnewayBoot(movedData, {R, 0.975f, {}}, errors, movedGenerator, control);
            EXPECT_NEAR(brevant::BoxValue(run.boxes[2]), reference.proportion, 0.01);

            ExpectSameAsLiteral<float>(set.groups, seeds, 300, errors, 0, true);
        }
    }
}

TEST(OnewayBoot, MatchesTheLiteralRunOnManyRandomLayouts) {
    std::mt19937 random(2424);
    std::uniform_int_distribution<int> groups(2, 10), size(2, 20);
    std::uniform_real_distribution<float> spread(0.01f, 1000.0f);
    for (int i = 0; i < 30; ++i) {
        std::vector<int> sizes(static_cast<std::size_t>(groups(random)));
        for (int& n : sizes) n = size(random);
        const Seeds seeds{1 + (i * 7919) % 30000, 1 + (i * 104729) % 30000, 1 + (i * 1299709) % 30000};
        ExpectSameAsLiteral<float>(MixedGroups(random, sizes, spread(random)), seeds, 100, i % 2 == 1);
    }
}

TEST(OnewayBoot, PastTheDesignedSizeSumsAreDoubleAndStillMatch) {
    std::mt19937 random(5);
    const Groups manyGroups = MixedGroups(random, {3, 2, 2, 4, 2, 3, 2, 5, 2, 2, 3, 2}, 3.0f);
    ExpectSameAsLiteral<double>(manyGroups, Seeds{7, 8, 9}, 300, true);
    const Groups manyValues = MixedGroups(random, {700, 350}, 3.0f);
    ExpectSameAsLiteral<double>(manyValues, Seeds{17, 18, 19}, 40, false);
}

// Resamples go eight at a time within each thread's share and one at a time at its end, so each thread
// count moves those seams: on 1, 2, 3 and 7 threads every F, the output bytes and the seeds stay the
// literal run's, with single and double sums and with draws that leave no spread.
TEST(OnewayBoot, MatchesTheLiteralRunOnAnyNumberOfThreads) {
    std::mt19937 random(77);
    const Groups mixed = MixedGroups(random, {5, 9, 4}, 2.0f);
    const Groups noSpread{{1.0f, 2.0f}, {3.0f, 5.0f}};
    const Groups manyGroups = MixedGroups(random, {3, 2, 2, 4, 2, 3, 2, 5, 2, 2, 3, 2}, 3.0f);
    for (const int threads : {1, 2, 3, 7}) {
        ExpectSameAsLiteral<float>(mixed, Seeds{5, 6, 7}, 203, threads % 2 == 1, threads);
        ExpectSameAsLiteral<float>(noSpread, Seeds{101, 202, 303}, 333, false, threads);
        ExpectSameAsLiteral<double>(manyGroups, Seeds{8, 9, 10}, 101, true, threads);
    }
}

TEST(OnewayBoot, TheErrorsOfEveryGroupHaveMeanZero) {
    const Groups groups{{20.1f, 22.4f, 19.8f, 23.0f, 21.5f}, {24.3f, 26.0f, 25.1f, 27.4f, 23.9f, 25.6f}};
    DataFile file = DataFile::FromText(FileText(groups), "g.dat");
    const brevant::OnewayBootData data = brevant::ReadOnewayBootData(file);
    std::size_t at = 0;
    for (const auto& g : groups) {
        double sum = 0;
        for (std::size_t i = 0; i < g.size(); ++i) sum += data.errors[at++];
        EXPECT_NEAR(sum / static_cast<double>(g.size()), 0.0, 1e-5);
    }
    // Either pool draws every group alike, so a difference as clear as this one is rarely reached.
    Generator g1{Seeds{1, 2, 3}}, g2{Seeds{1, 2, 3}};
    RunControl c1, c2;
    const auto raw = brevant::RunOnewayBoot(data, {2000, 0.975f, {}}, false, g1, c1);
    const auto errors = brevant::RunOnewayBoot(data, {2000, 0.975f, {}}, true, g2, c2);
    EXPECT_EQ(raw.obtainedF, errors.obtainedF);
    EXPECT_LT(errors.count, 20);
    EXPECT_LT(raw.count, 20);
    EXPECT_NE(raw.resampled, errors.resampled);
    EXPECT_EQ(g1.seeds, g2.seeds) << "both pools draw N numbers per resample";
}

TEST(OnewayBoot, DrawsWithNoSpreadAreInfiniteOrUndefinedAndNoted) {
    // Four values in two groups of two: a draw repeats one value throughout about once in 64 (NaN, not
    // counted), and gives each group one value of its own more often (+inf, counted).
    const Groups groups{{1.0f, 2.0f}, {3.0f, 5.0f}};
    ExpectSameAsLiteral<float>(groups, Seeds{101, 202, 303}, 2000, false);
    Generator generator{Seeds{101, 202, 303}};
    RunControl control;
    DataFile file = DataFile::FromText(FileText(groups), "pairs.dat");
    const brevant::RunResult run = brevant::OnewayBootProcedure(file, {2000, 0.975f, {}}, false, generator, control);
    std::int64_t undefined = 0, infinite = 0, atLeast = 0;
    const float obtained = std::get<float>(run.boxes[0].value);
    for (const float f : run.resampled) {
        undefined += std::isnan(f);
        infinite += std::isinf(f);
        atLeast += f >= obtained;
    }
    EXPECT_GT(undefined, 0);
    EXPECT_GT(infinite, 0);
    EXPECT_EQ(brevant::BoxValue(run.boxes[2]), static_cast<double>(atLeast) / 2000);
    ASSERT_EQ(run.notes.size(), 1u);
    EXPECT_NE(run.notes[0].find(std::to_string(undefined + infinite) + " of the 2000 resamples"), std::string::npos)
        << run.notes[0];
    EXPECT_NE(run.notes[0].find(std::to_string(infinite) + " gave an infinite F"), std::string::npos) << run.notes[0];
    EXPECT_NE(run.notes[0].find(std::to_string(undefined) + " held one value throughout"), std::string::npos)
        << run.notes[0];
}

TEST(OnewayBoot, PlantWeightsGiveThePublishedF) {
    const Groups plants{{4.17f, 5.58f, 5.18f, 6.11f, 4.50f, 4.61f, 5.17f, 4.53f, 5.33f, 5.14f},
                        {4.81f, 4.17f, 4.41f, 3.59f, 5.87f, 3.83f, 6.03f, 4.89f, 4.32f, 4.69f},
                        {6.31f, 5.12f, 5.54f, 5.50f, 5.37f, 5.29f, 4.92f, 6.15f, 5.80f, 5.26f}};
    for (const bool errors : {false, true}) {
        Generator generator{Seeds{1, 2, 3}};
        RunControl control;
        DataFile file = DataFile::FromText(FileText(plants), "plants.dat");
        const brevant::RunResult run =
            brevant::OnewayBootProcedure(file, {10000, 0.975f, {}}, errors, generator, control);
        ASSERT_EQ(run.boxes.size(), 3u);
        EXPECT_EQ(run.boxes[2].label, "Percent => Fobt");
        EXPECT_EQ(brevant::BoxText(run.boxes[0]), "4.846");
        // The F(2, 27) tail is 0.0159; a bootstrap of 30 values runs a little above it.
        EXPECT_NEAR(brevant::BoxValue(run.boxes[2]), 0.0159, 0.012) << errors;
        EXPECT_EQ(run.histogram.caption, "Bootstrapped F");
        EXPECT_EQ(run.histogram.observed, std::get<float>(run.boxes[0].value));
    }
}

TEST(OnewayBoot, ARunCancelledPartwayLeavesTheGeneratorAfterTheDrawsItMade) {
    std::mt19937 random(9);
    DataFile file = DataFile::FromText(FileText(MixedGroups(random, {500, 500}, 10.0f)), "big.dat");
    const brevant::OnewayBootData data = brevant::ReadOnewayBootData(file);
    Generator generator{Seeds{21, 43, 65}};
    RunControl control;
    bool cancelled = false;
    std::thread worker([&] {
        try {
            // One thread: a cancel leaves the generator exactly after the resamples made (with more threads, after
            // the unbroken run of them from the first, as the thread helpers' own tests check).
            brevant::RunOnewayBoot(data, {1'000'000, 0.975f, {}, 1}, true, generator, control);
        } catch (const brevant::RunCancelled&) {
            cancelled = true;
        }
    });
    while (control.resamplesDone.load() < 20) std::this_thread::yield();
    control.RequestCancel();
    worker.join();
    ASSERT_TRUE(cancelled);
    Generator expected{Seeds{21, 43, 65}};
    for (std::int64_t i = 0; i < control.resamplesDone.load() * 1000; ++i) expected.Uniform();
    EXPECT_EQ(generator.seeds, expected.seeds);
}

TEST(OnewayBoot, RefusesDataWithoutADefinedFOrTooLargeForItsSums) {
    const Refusal bad[] = {
        {"1  4  1 2 3 4", "needs at least 2 groups"},
        {"2  1 3  5  1 2 3", "announces 1 value for group 1"},
        {"2  2 3  7 7  1 1 1", "has no spread within the groups"},
        {"2  3 3  1 2 3  4 5", "holds fewer values than announced"},
        // The sum of squares fits, but a draw of the largest value at all 4 positions would not.
        {"2  2 2  1 2 3 2e18", "holds values too large for single-precision sums of their squares"},
    };
    ExpectRefused(
        [](DataFile& file, Generator& generator, RunControl& control) {
            brevant::OnewayBootProcedure(file, {1000, 0.975f, {}}, true, generator, control);
        },
        bad);
    RunControl cancelled;
    cancelled.RequestCancel();
    Generator g{Seeds{3, 4, 5}};
    DataFile file = DataFile::FromText("2 2 2 1 2 3 4", "c.dat");
    const brevant::OnewayBootData data = brevant::ReadOnewayBootData(file);
    EXPECT_THROW(brevant::RunOnewayBoot(data, {1000, 0.975f, {}}, true, g, cancelled), brevant::RunCancelled);
    EXPECT_EQ(g.seeds, (Seeds{3, 4, 5}));
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
