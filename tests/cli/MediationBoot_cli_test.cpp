// brevant-cli MediationBoot end to end against the literal transcription of the run at each confidence
// level; a run that stops for a column with no variance (exit 5, the obtained b(xyz) printed, the old output
// file untouched); values beyond 1 reported once; refused data.
#include "cli/BatchTool.h"
#include "literal/LiteralMediationBoot.h"
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

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_mediationboot", name); }

TEST(MediationBootCli, EachConfidenceLevelPrintsTheLiteralRunsFigures) {
    const std::vector<float> x{5.5f, 7.0f, 6.0f, 8.0f, 4.5f, 7.5f, 6.5f, 5.0f, 8.5f, 6.25f, 7.125f, 4.0f};
    const std::vector<float> y{3.1f, 5.0f, 4.2f, 6.0f, 2.0f, 4.4f, 4.9f, 3.3f, 7.0f, 5.5f, 4.0f, 2.5f};
    const std::vector<float> z{62.0f, 74.5f, 65.0f, 80.0f, 55.0f, 61.0f, 70.0f, 58.0f, 84.0f, 66.0f, 71.0f, 52.0f};
    std::string text = "12\r\n";
    for (std::size_t i = 0; i < x.size(); ++i) {
        text += std::to_string(x[i]) + "," + std::to_string(y[i]) + "," + std::to_string(z[i]) + "\r\n";
    }
    const fs::path data = WorkFile("cases.dat"), out = WorkFile("b.dat");
    WriteWhole(data, text);
    ExpectEachLevelMatchesLiteral("mediationboot", data, out, {222, 333, 444}, 2000, [&](float q) {
        const auto literal = brevant::literal::RunMediationBoot(x, y, z, 2000, q);
        EXPECT_FALSE(literal.stopped);
        return LiteralOutcome{"Obtained  b(xyz): " + ThreeDecimals(literal.obtainedB) + "\n"
                              "St. Error: " + ThreeDecimals(literal.standardError) + "\n"
                              "Lower Conf. Limit: " + ThreeDecimals(literal.lowerLimit) + "\n"
                              "Upper Conf. Limit: " + ThreeDecimals(literal.upperLimit) + "\n",
                              literal.outputText};
    });
}

TEST(MediationBootCli, ANoVarianceStopPrintsTheObtainedBAndWritesNothing) {
    const fs::path data = WorkFile("two.dat"), out = WorkFile("old.dat");
    WriteWhole(data, "2\n1 3 5\n2 4 7\n");
    WriteWhole(out, "old\r\n");
    brevant::literal::seedTable = brevant::Seeds{5, 6, 7};
    const auto literal = brevant::literal::RunMediationBoot({1, 2}, {3, 4}, {5, 7}, 1000, 0.975f);
    ASSERT_TRUE(literal.stopped);

    const CliRun run = Cli({"MediationBoot", data.string(), "--seed", "5,6,7", "--output", out.string()});
    EXPECT_EQ(run.code, 5);
    EXPECT_EQ(run.out, "Seeds: 5,6,7\nObtained  b(xyz): 1.000\n");
    EXPECT_EQ(run.err, "brevant-cli: " + literal.stopMessage + "\n");
    EXPECT_EQ(ReadWhole(out), "old\r\n");
}

TEST(MediationBootCli, ValuesBeyondOneAreNotedOnce) {
    std::string text = "9\n";
    for (int i = 1; i <= 9; ++i) {
        const float v = 0.1f * static_cast<float>(i * i) + 0.37f * 10.0f;
        const float y = v * 1.1f + 0.3f;
        char line[128];
        std::snprintf(line, sizeof line, "%.9g %.9g %.9g\n", v, y, y * 0.7f - 2.0f);
        text += line;
    }
    const fs::path data = WorkFile("linear.dat");
    WriteWhole(data, text);
    const CliRun run = Cli({"MediationBoot", data.string(), "--seed", "71,72,73", "--resamples", "2000",
                            "--confidence", "90"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::size_t count = 0;
    for (std::size_t at = run.out.find("This is an illegal value of bXYZ"); at != std::string::npos;
         at = run.out.find("This is an illegal value of bXYZ", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << run.out;
    EXPECT_NE(run.out.find("Note: This is an illegal value of bXYZ1.000001"), std::string::npos) << run.out;
}

TEST(MediationBootCli, RefusedData) {
    const fs::path data = WorkFile("flat.dat"), out = WorkFile("kept.dat");
    WriteWhole(out, "kept\r\n");
    ExpectCliRefuses(3, "MediationBoot", data, "3\n1 5 2\n2 5 3\n3 5 9\n", "has no variance in Y",
                     {"--output", out.string()});
    ExpectCliRefuses(3, "MediationBoot", data, "1\n1 2 3\n", "at least 2 cases", {"--output", out.string()});
    EXPECT_EQ(ReadWhole(out), "kept\r\n");
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
