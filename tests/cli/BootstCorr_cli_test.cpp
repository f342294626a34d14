// brevant-cli BootstCorr end to end against the literal transcription of the run, at each confidence
// level; the stop at a resample with no variance (exit 5, obtained r printed, old output file kept); the
// illegal-value note; refused data.
#include "cli/BatchTool.h"
#include "engine/NumberText.h"
#include "literal/LiteralBootstCorr.h"
#include "support/CliLiteral.h"
#include "support/CliRefusals.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_bootstcorr", name); }

TEST(BootstCorrCli, EachConfidenceLevelPrintsTheLiteralRunsFigures) {
    const std::vector<float> x{12.5f, 14.1f, 9.75f, 11.0f, 13.2f, 15.5f, 16.1f, 12.8f, 17.0f, 14.4f, 18.9f, 13.3f};
    const std::vector<float> y{3.1f, 3.9f, 2.2f, 2.8f, 3.0f, 4.4f, 3.6f, 3.5f, 4.9f, 3.2f, 5.1f, 2.9f};
    std::string text = "12\n";
    for (std::size_t i = 0; i < x.size(); ++i) text += std::to_string(x[i]) + "," + std::to_string(y[i]) + "\n";
    const fs::path data = WorkFile("pairs.dat"), out = WorkFile("r.dat");
    WriteWhole(data, text);
    ExpectEachLevelMatchesLiteral("BootstCorr", data, out, {222, 333, 444}, 5000, [&](float q) {
        const auto literal = brevant::literal::RunBootstCorr(x, y, 5000, q);
        EXPECT_FALSE(literal.stopped);
        return LiteralOutcome{"Obtained r: " + ThreeDecimals(literal.r) + "\n"
                              "St. Error: " + ThreeDecimals(literal.se) + "\n"
                              "Lower Conf. Limit: " + ThreeDecimals(literal.lowerLimit) + "\n"
                              "Upper Conf. Limit: " + ThreeDecimals(literal.upperLimit) + "\n",
                              literal.outputText};
    });
}

TEST(BootstCorrCli, ANoVarianceStopExitsFiveAndKeepsTheOldOutputFile) {
    const fs::path data = WorkFile("two.dat"), out = WorkFile("kept.dat");
    WriteWhole(data, "2\n1 2\n3 7\n");
    WriteWhole(out, " 0.5 \r\n");
    brevant::literal::seedTable = brevant::Seeds{7, 8, 9};
    const auto literal = brevant::literal::RunBootstCorr({1, 3}, {2, 7}, 1000, 0.975f);
    ASSERT_TRUE(literal.stopped);

    CliRun run = Cli({"BootstCorr", data.string(), "--seed", "7,8,9", "--output", out.string()});
    EXPECT_EQ(run.code, brevant::cli::kExitStopped);
    EXPECT_EQ(run.out, "Seeds: 7,8,9\nObtained r: 1.000\n");
    EXPECT_EQ(run.err, "brevant-cli: " + literal.stopMessage + "\n");
    EXPECT_EQ(ReadWhole(out), " 0.5 \r\n");
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);

    run = Cli({"BootstCorr", data.string(), "--seed", "7,8,9", "--json"});
    EXPECT_EQ(run.code, brevant::cli::kExitStopped);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_TRUE(json["results"].contains("txtObtR"));
    EXPECT_FALSE(json["results"].contains("StErrBox"));
}

TEST(BootstCorrCli, IllegalValuesArePrintedAsOneNote) {
    std::vector<float> x, y;
    std::string text = "12\n";
    for (int i = 0; i < 12; ++i) {
        x.push_back(0.1f * static_cast<float>(i * i % 7) + 0.3f);
        y.push_back(3.0f * x.back() + 0.7f);
        text += brevant::ShortestText(x.back()) + " " + brevant::ShortestText(y.back()) + "\n";
    }
    const fs::path data = WorkFile("line.dat");
    WriteWhole(data, text);
    brevant::literal::seedTable = brevant::Seeds{3, 4, 5};
    const auto literal = brevant::literal::RunBootstCorr(x, y, 1000, 0.975f);
    ASSERT_GT(literal.illegal, 0);
    const CliRun run = Cli({"BootstCorr", data.string(), "--seed", "3,4,5"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Note: " + brevant::IllegalValueMessage("This is an illegal value of r",
                                                                   literal.firstIllegal, literal.illegal, 1000)),
              std::string::npos)
        << run.out;
}

TEST(BootstCorrCli, RefusedData) {
    const fs::path data = WorkFile("flat.dat");
    ExpectCliRefuses(3, "BootstCorr", data, "3\n1 5\n2 5\n3 5\n", "holds Y values with no variance");
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
