// brevant-cli Corr1 and PairedCorr end to end: the printed boxes against the literal runs from the same
// seeds, the seeds they leave, the confidence option, and the output file both refuse.
#include "cli/BatchTool.h"
#include "literal/LiteralCorr1.h"
#include "literal/LiteralPairedCorr.h"
#include "support/CliRun.h"
#include "support/MonteCarloLines.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliRun;
using brevant::testing::MonteCarloNoteLines;
using brevant::testing::Printf;
using brevant::testing::ProportionBox;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_correlations" / name; }

TEST(CorrelationsCli, Corr1PrintsTheLiteralRun) {
    const fs::path data = WorkFile("pairs.dat");
    WriteWhole(data, "6\n1.5 2\n2 2.5\n3.25 2.75\n4 5\n5 4.5\n6.5 7\n");
    // The literal run's lines alone: the exact count and its note have their own tests (ExactShares_cli).
    const CliRun run =
        Cli({"corr1", data.string(), "--seed", "321,654,987", "--resamples", "2000", "--exact-limit", "0"});
    ASSERT_EQ(run.code, 0) << run.err;
    brevant::literal::seedTable = brevant::Seeds{321, 654, 987};
    const auto literal = brevant::literal::RunCorr1({1.5f, 2, 3.25f, 4, 5, 6.5f}, {2, 2.5f, 2.75f, 5, 4.5f, 7}, 2000);
    EXPECT_EQ(run.out, "Seeds: 321,654,987\n"
                       "Obtained r: " + Printf("%.7G", literal.r) + "\n"
                       "Number gt  | r |: " + Printf("%.0f", literal.count) + "\n"
                       "p more extreme: " + Printf("%.3f", literal.probability) + "\n" +
                           MonteCarloNoteLines({ProportionBox("Label3", "p more extreme", float(literal.probability),
                                                              brevant::BoxFormat::ThreeDecimals)},
                                               2000));
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
}

TEST(CorrelationsCli, PairedCorrUsesTheConfidenceAndPrintsTheLiteralRun) {
    const fs::path data = WorkFile("cases.dat");
    WriteWhole(data, "5\n1 2 1.5 2.5\n2 2.5 2 3\n3 4 2.5 3.5\n4 3 4.5 4\n5 6.25 5 5.5\n");
    const CliRun run = Cli({"PairedCorr", data.string(), "--seed", "11,22,33", "--confidence", "90", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    brevant::literal::seedTable = brevant::Seeds{11, 22, 33};
    const auto literal = brevant::literal::RunPairedCorr(
        {{1, 2, 1.5f, 2.5f}, {2, 2.5f, 2, 3}, {3, 4, 2.5f, 3.5f}, {4, 3, 4.5f, 4}, {5, 6.25f, 5, 5.5f}}, 1000, 0.95f);
    const auto json = nlohmann::json::parse(run.out);
    const auto& results = json["results"];  // values: the shortest text of each float
    EXPECT_EQ(results["txtObtR"]["value"].get<float>(), literal.r);
    EXPECT_EQ(results["txtLowerCI"]["value"].get<float>(), literal.lower);
    EXPECT_EQ(results["txtUpperCI"]["value"].get<float>(), literal.upper);
    EXPECT_EQ(results["StErrBox"]["value"].get<float>(), literal.standardError);
    EXPECT_EQ(results["StErrBox"]["label"], "St. Error");
    EXPECT_EQ(results["txtLowerCI"]["text"], Printf("%.3f", literal.lower));
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
}

TEST(CorrelationsCli, NeitherWritesAnOutputFile) {
    const fs::path data = WorkFile("few.dat"), out = WorkFile("never.dat");
    WriteWhole(data, "3\n1 2 3 4\n2 1 2 2\n3 3 1 5\n");
    for (const char* name : {"Corr1", "PairedCorr"}) {
        const CliRun run = Cli({name, data.string(), "--seed", "1,2,3", "--output", out.string()});
        EXPECT_EQ(run.code, 2) << name;
        EXPECT_NE(run.err.find("writes no output file"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(Cli({"Corr1", data.string(), "--confidence", "99"}).code, 2);  // no confidence in Corr1
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
