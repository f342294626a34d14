// brevant-cli BootstMedian end to end against the literal transcription of the run, at each confidence
// level; a single value; refused data and settings.
#include "cli/BatchTool.h"
#include "literal/LiteralBootstMedian.h"
#include "support/CliLiteral.h"
#include "support/CliRefusals.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliWorkFile;
using brevant::testing::CliRun;
using brevant::testing::ExpectCliRefuses;
using brevant::testing::ExpectEachLevelMatchesLiteral;
using brevant::testing::LiteralOutcome;
using brevant::testing::ReadWhole;
using brevant::testing::ThreeDecimals;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_bootstmedian", name); }

TEST(BootstMedianCli, EachConfidenceLevelPrintsTheLiteralRunsLimits) {
    // Values of more than seven digits and one halfway at the eighth.
    const std::vector<float> values{1234.5625f, 17.123456f, 3.25f, 99.5f, -4.0f, 1234.5f, 12.0f, 8.875f, 15.5f};
    const fs::path data = WorkFile("sample.dat"), out = WorkFile("medians.dat");
    WriteWhole(data, "9\r\n1234.5625 17.123456 3.25 99.5 -4\r\n1234.5,12,8.875 15.5\r\n");
    ExpectEachLevelMatchesLiteral("bootstmedian", data, out, {31, 41, 59}, 2000, [&](float q) {
        const auto literal = brevant::literal::RunBootstMedian(values, 2000, q);
        return LiteralOutcome{"Obtained Median: " + ThreeDecimals(literal.median) + "\n"
                              "Lower CI: " + ThreeDecimals(literal.lowerLimit) + "\n"
                              "Upper CI: " + ThreeDecimals(literal.upperLimit) + "\n",
                              literal.outputText};
    });
}

TEST(BootstMedianCli, OneValueGivesItAsBothLimits) {
    const fs::path data = WorkFile("one.dat");
    WriteWhole(data, "1 7.5");
    const CliRun run = Cli({"BootstMedian", data.string(), "--seed", "5,5,5"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Seeds: 5,5,5\nObtained Median: 7.500\nLower CI: 7.500\nUpper CI: 7.500\n");
}

TEST(BootstMedianCli, RefusedDataAndSettings) {
    const fs::path data = WorkFile("bad.dat"), out = WorkFile("old.dat");
    WriteWhole(out, "old\r\n");
    ExpectCliRefuses(3, "BootstMedian", data, "4 1 2 3", "fewer values than announced", {"--output", out.string()});
    EXPECT_EQ(ReadWhole(out), "old\r\n");

    ExpectCliRefuses(2, "BootstMedian", data, "3 1 2 3", "too few", {"--resamples", "100", "--confidence", "99"});
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
