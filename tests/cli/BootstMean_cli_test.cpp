// brevant-cli BootstMean end to end against the literal transcription of the run, at each confidence level;
// infinite limits from resamples with no spread; refused data and settings.
#include "cli/BatchTool.h"
#include "literal/LiteralBootstMean.h"
#include "support/CliLiteral.h"
#include "support/CliRefusals.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

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

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_bootstmean", name); }

TEST(BootstMeanCli, EachConfidenceLevelPrintsTheLiteralRunsLimits) {
    const std::vector<float> values{4.2f, 5.1f, 3.3f, 6.8f, 5.5f, 4.9f, 7.25f, 2.125f, 5.0f, 4.4f, 6.1f, 3.85f};
    std::string text = "12\n";
    for (const float v : values) text += std::to_string(v) + ", ";
    const fs::path data = WorkFile("sample.dat"), out = WorkFile("means.dat");
    WriteWhole(data, text);
    ExpectEachLevelMatchesLiteral("BootstMean", data, out, {222, 333, 444}, 2000, [&](float q) {
        const auto literal = brevant::literal::RunBootstMean(values, 2000, q);
        return LiteralOutcome{"Obtained Mean: " + ThreeDecimals(literal.mean) + "\n"
                              "Lower CI: " + ThreeDecimals(literal.lowerLimit) + "\n"
                              "Upper CI: " + ThreeDecimals(literal.upperLimit) + "\n"
                              "St. Error of Bootstrap Distribution: " + ThreeDecimals(literal.bootstrapSE) + "\n",
                              literal.outputText};
    });
}

TEST(BootstMeanCli, TwoValuesGiveInfiniteLimitsWithANote) {
    const fs::path data = WorkFile("two.dat");
    WriteWhole(data, "2 1 3");
    const CliRun run = Cli({"BootstMean", data.string(), "--seed", "5,5,5"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Lower CI: -inf\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Upper CI: inf\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Note: "), std::string::npos) << run.out;
}

TEST(BootstMeanCli, RefusedDataAndSettings) {
    const fs::path data = WorkFile("flat.dat"), out = WorkFile("old.dat");
    WriteWhole(out, "old\r\n");
    ExpectCliRefuses(3, "BootstMean", data, "3 5 5 5", "all equal", {"--output", out.string()});
    ExpectCliRefuses(3, "BootstMean", data, "1 5", "", {"--output", out.string()});
    EXPECT_EQ(ReadWhole(out), "old\r\n");

    ExpectCliRefuses(2, "BootstMean", data, "3 1 2 3", "too few", {"--resamples", "100", "--confidence", "99"});
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
