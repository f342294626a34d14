// brevant-cli IndepT end to end: the printed boxes, the output file's bytes and the seeds it leaves, against
// the literal transcription of the run; a refused data file leaves an old output file as it was.
#include "cli/BatchTool.h"
#include "literal/LiteralIndepT.h"
#include "support/CliRefusals.h"
#include "support/CliRun.h"
#include "support/MonteCarloLines.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliRun;
using brevant::testing::ExpectCliRefuses;
using brevant::testing::MonteCarloNoteLines;
using brevant::testing::Printf;
using brevant::testing::ProportionBox;
using brevant::testing::ReadWhole;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_indept" / name; }

TEST(IndepTCli, PrintsTheBoxesAndWritesTheValuesOfTheLiteralRun) {
    const fs::path data = WorkFile("groups.dat"), out = WorkFile("t.dat");
    WriteWhole(data, "5,7\n12.5,14.1,9.75,11,13.2\n15.5 16.1 12.8 17 14.4 18.9 13.3\n");
    // The literal run's lines alone: the exact count and its note have their own tests (ExactShares_cli).
    const CliRun run = Cli({"indept", data.string(), "--seed", "4321,8765,10987", "--resamples", "2000", "--output",
                            out.string(), "--exact-limit", "0"});
    ASSERT_EQ(run.code, 0) << run.err;

    brevant::literal::seedTable = brevant::Seeds{4321, 8765, 10987};
    const auto literal = brevant::literal::RunIndepT(
        {12.5f, 14.1f, 9.75f, 11, 13.2f, 15.5f, 16.1f, 12.8f, 17, 14.4f, 18.9f, 13.3f}, 5, 7, 2000);
    const std::string expected = "Seeds: 4321,8765,10987\n"
                                 "Obtained t: " + Printf("%.3f", literal.obtainedT) + "\n"
                                 "% < - t   | % >  +t: " + Printf("%.15G", literal.numLess) + " | " +
                                 Printf("%.15G", literal.numGreater) + "\n"
                                 "p more extreme: " + Printf("%.7G", literal.probMore) + "\n"
                                 "Effect size: " + Printf("%.3f", literal.effectSize) + "\n" +
                                 MonteCarloNoteLines(
                                     {ProportionBox("Label2(0)", "% < - t   | % >  +t", double(literal.numLess)),
                                      ProportionBox("Label2(0)", "% < - t   | % >  +t", double(literal.numGreater)),
                                      ProportionBox("Label3(0)", "p more extreme", float(literal.probMore))},
                                     2000);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
    EXPECT_GT(literal.countLess, 0.0f) << "the case should exercise both boxes";
}

TEST(IndepTCli, JsonKeysTheBoxesByControlName) {
    const fs::path data = WorkFile("json.dat");
    WriteWhole(data, "3 3 1 2 3 4 5 6.5");
    const CliRun run = Cli({"IndepT", data.string(), "--seed", "1,2,3", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    for (const char* control : {"txtObtT", "txtNumLess", "txtNumGreater", "txtProbMore", "txtEffectSize"}) {
        EXPECT_TRUE(json["results"].contains(control)) << control;
    }
    EXPECT_EQ(json["results"]["txtEffectSize"]["label"], "Effect size");
}

TEST(IndepTCli, RefusedDataExitsThreeAndLeavesTheOldOutputFile) {
    const fs::path out = WorkFile("kept.dat");
    WriteWhole(out, " 1.5 \r\n");
    const std::pair<const char*, const char*> bad[] = {
        {"1 3 5 6 7 8", "group A"},       // a group of one
        {"3 3 2 2 2 2 2 2", "pooled variance is 0"},
        {"3 3 1 2 3 4 5", "group B"},     // fewer values than announced
    };
    for (const auto& [text, words] : bad) {
        ExpectCliRefuses(3, "IndepT", WorkFile("bad.dat"), text, words, {"--seed", "1,2,3", "--output", out.string()});
        EXPECT_EQ(ReadWhole(out), " 1.5 \r\n");
    }
}

TEST(IndepTCli, DegenerateShufflesAreNotedAndWrittenAsInf) {
    const fs::path data = WorkFile("pairs.dat"), out = WorkFile("inf.dat");
    WriteWhole(data, "2 2 1 2 1 2");
    const CliRun run = Cli({"IndepT", data.string(), "--seed", "7,8,9", "--output", out.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Note: "), std::string::npos) << run.out;
    const std::string text = ReadWhole(out);
    EXPECT_NE(text.find(" inf \r\n"), std::string::npos);
    EXPECT_NE(text.find("-inf \r\n"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 1000u);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
