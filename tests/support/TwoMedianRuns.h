// The two-medians runs (the randomization test and the bootstrap) against their literal transcriptions: both
// read the same two-group file, give the same obtained medians and draw differences the same way.
#pragma once

#include "analysis/TwoMedians.h"
#include "literal/LiteralTwoMedianRandomTest.h"
#include "support/Files.h"
#include "support/TwoGroups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace brevant::testing {

using Groups = std::vector<float>;

// The fast run of one of the two procedures, its reader, its literal transcription and where it writes.
template <class Result>
struct TwoMedianRunner {
    TwoMedianData (*read)(DataFile&);
    Result (*run)(const TwoMedianData&, const RunSettings&, Generator&, RunControl&);
    literal::TwoMedianRun (*literal)(const Groups&, const Groups&, std::int32_t, float);
    const char* draw;     // what one draw is called in failure messages
    const char* outFile;  // under the tests' work folder
};

// The groups as the reader gives them back (it reads "-0" as 0).
inline std::pair<Groups, Groups> ReadBackGroups(const Groups& g1, const Groups& g2) {
    DataFile file = DataFile::FromText(TwoGroupText(g1, g2), "medians.dat");
    const auto data = ReadTwoMedianData(file);
    const auto split = data.combined.begin() + data.size1;
    return {Groups(data.combined.begin(), split), Groups(split, data.combined.end())};
}

// Data that a file can hold goes through the reader; other data (-0 beside 0) is handed over directly.
template <class Result>
TwoMedianData TwoMedianDataOf(const TwoMedianRunner<Result>& runner, const Groups& g1, const Groups& g2,
                              bool viaFile) {
    if (viaFile) {
        DataFile file = DataFile::FromText(TwoGroupText(g1, g2), "medians.dat");
        return runner.read(file);
    }
    TwoMedianData data{g1, static_cast<std::int32_t>(g1.size())};
    data.combined.insert(data.combined.end(), g2.begin(), g2.end());
    return data;
}

// The fast run, its output file written as the window would, every draw and every sort step reported.
template <class Result>
Result RunTwoMedianFast(const TwoMedianRunner<Result>& runner, const Groups& g1, const Groups& g2,
                        const RunSettings& settings, Generator& generator, bool viaFile) {
    RunControl control;
    auto result = runner.run(TwoMedianDataOf(runner, g1, g2, viaFile), settings, generator, control);
    WriteOutputFile(settings, result.differences);
    EXPECT_EQ(control.resamplesDone.load(), settings.resamples);
    EXPECT_EQ(control.sortDone.load(), settings.resamples);
    return result;
}

// The fast and the literal run from the same seeds: the medians, the limits and their positions, every draw's
// difference before and after the sort, the final seeds and the output file's bytes, all bit for bit.
template <class Result>
void ExpectTwoMedianRunMatchesLiteral(const TwoMedianRunner<Result>& runner, const Groups& g1, const Groups& g2,
                                      std::int32_t R, float q, Seeds seeds, bool viaFile) {
    const std::filesystem::path out = std::filesystem::path(BREVANT_TEST_WORK_DIR) / runner.outFile;
    ASSERT_FALSE(TwoMedianDataOf(runner, g1, g2, viaFile).centred) << "ordinary data keep the defined path";
    Generator generator{seeds};
    const auto fast = RunTwoMedianFast(runner, g1, g2, {R, q, out.string()}, generator, viaFile);
    const auto [read1, read2] = viaFile ? ReadBackGroups(g1, g2) : std::pair{g1, g2};
    literal::seedTable = seeds;
    const auto literal = runner.literal(read1, read2, R, q);

    EXPECT_TRUE(SameBits(fast.observed.median1, literal.median1)) << fast.observed.median1 << " " << literal.median1;
    EXPECT_TRUE(SameBits(fast.observed.median2, literal.median2)) << fast.observed.median2 << " " << literal.median2;
    EXPECT_TRUE(SameBits(fast.observed.difference, literal.difference));
    EXPECT_EQ(fast.positions.lower, literal.lowerPosition);
    EXPECT_EQ(fast.positions.upper, literal.upperPosition);
    EXPECT_TRUE(SameBits(fast.lowerLimit, literal.lowerLimit)) << fast.lowerLimit << " " << literal.lowerLimit;
    EXPECT_TRUE(SameBits(fast.upperLimit, literal.upperLimit)) << fast.upperLimit << " " << literal.upperLimit;
    ASSERT_TRUE(SameBitsEach(fast.differences, literal.differences)) << "differences by " << runner.draw;
    ASSERT_TRUE(SameBitsEach(fast.sorted, literal.sorted)) << "sorted differences";
    EXPECT_EQ(generator.seeds, literal::seedTable);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
}

// Groups whose values differ little relative to their size, for both windows' centred runs.
struct CloseGroups {
    const char* what;
    Groups g1, g2;
    double around;  // a round value near them
};
inline std::vector<CloseGroups> CloseGroupCases(std::mt19937& random) {
    return {
        {"near 100,000, spread 0.01", Around(random, 15, 100000.01, 0.01), Around(random, 12, 100000.02, 0.01),
         100000.0},
        {"1 +- 2e-7", Around(random, 20, 1.0, 2e-7), Around(random, 25, 1.0 + 1e-7, 2e-7), 1.0},
        {"near 1e6, spread 1", Around(random, 30, 1e6, 1.0), Around(random, 31, 1e6 + 0.5, 1.0), 1e6},
        {"seven-digit forms overtaking the largest", {1.2345675f, 1.23456789f, 1.2345679f}, {1.2345679f, 1.23456789f},
         1.0},
    };
}

// Groups whose values differ little relative to their size, taken through a run: it is centred, so no value
// is rounded: the obtained medians are the data's own, the limits lie within a thousandth of `spread` (the
// spread the resamples see, and the float spacing at the data's size) of the same run's on the data taken
// around `around`, a round value near them (the same draws on values well clear of the seven-digit text),
// and a note says so. Returns the run.
template <class Result>
Result ExpectCentredTwoMedianRun(const TwoMedianRunner<Result>& runner, const Groups& g1, const Groups& g2,
                                 double around, double spread) {
    DataFile file = DataFile::FromText(TwoGroupText(g1, g2), "close.dat");
    const TwoMedianData data = runner.read(file);
    EXPECT_TRUE(data.centred);
    const RunSettings settings{2000, 0.95f, {}, 2};
    Generator generator{Seeds{21, 22, 23}}, again{Seeds{21, 22, 23}};
    RunControl control;
    Result result = runner.run(data, settings, generator, control);
    Groups less1, less2;
    for (const float v : g1) less1.push_back(static_cast<float>(v - around));
    for (const float v : g2) less2.push_back(static_cast<float>(v - around));
    const Result taken = RunTwoMedianFast(runner, less1, less2, settings, again, true);

    EXPECT_NEAR(result.observed.median1, ExactMedian(g1), spread / 1000);
    EXPECT_NEAR(result.observed.median2, ExactMedian(g2), spread / 1000);
    // A median of an even group, the mean of two values, is stored on the float spacing at the data's size.
    float largest = 0.0f;
    for (const Groups* g : {&g1, &g2}) {
        for (const float v : *g) largest = std::max(largest, std::fabs(v));
    }
    const double grid = std::nextafter(largest, INFINITY) - largest;
    EXPECT_NEAR(result.lowerLimit, taken.lowerLimit, spread / 1000 + grid);
    EXPECT_NEAR(result.upperLimit, taken.upperLimit, spread / 1000 + grid);
    EXPECT_LE(result.lowerLimit, result.upperLimit);
    const RunResult run = PresentMedianDifferences(Result(result));
    EXPECT_NE(std::find(run.notes.begin(), run.notes.end(), kUnroundedRunNote), run.notes.end());
    return result;
}

}  // namespace brevant::testing
