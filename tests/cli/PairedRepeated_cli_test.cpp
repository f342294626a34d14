// brevant-cli PairedT and Repeated1way end to end: the printed boxes, the output file's bytes and the seeds
// the run leaves, against the literal transcriptions; degenerate resamples are noted; refused data exits 3
// and leaves an old output file as it was.
#include "cli/BatchTool.h"
#include "literal/LiteralPairedT.h"
#include "literal/LiteralRepeated1way.h"
#include "support/CliRefusals.h"
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
using brevant::testing::ExpectCliRefuses;
using brevant::testing::MonteCarloNoteLines;
using brevant::testing::Printf;
using brevant::testing::ProportionBox;
using brevant::testing::ReadWhole;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_paired" / name; }

TEST(PairedTCli, PrintsTheBoxesAndWritesTheValuesOfTheLiteralRun) {
    const fs::path data = WorkFile("pairs.dat"), out = WorkFile("t.dat");
    WriteWhole(data, "8\r\n12.5 14.1\r\n9.75,11\r\n13.2 13.2\r\n15.5 16.1\r\n12.8 12\r\n17 18.25\r\n14.4 15.9\r\n"
                     "18.9 18.3\r\n");
    // The literal run's lines alone: the exact count and its note have their own tests (ExactShares_cli).
    const CliRun run = Cli({"pairedt", data.string(), "--seed", "4321,8765,10987", "--resamples", "5000", "--output",
                            out.string(), "--exact-limit", "0"});
    ASSERT_EQ(run.code, 0) << run.err;

    brevant::literal::seedTable = brevant::Seeds{4321, 8765, 10987};
    const auto literal = brevant::literal::RunPairedT(
        {12.5f, 14.1f, 9.75f, 11, 13.2f, 13.2f, 15.5f, 16.1f, 12.8f, 12, 17, 18.25f, 14.4f, 15.9f, 18.9f, 18.3f}, 5000);
    const std::string expected = "Seeds: 4321,8765,10987\n"
                                 "Obtained t: " + Printf("%.7G", literal.tObt) + "\n"
                                 "% < -t | % > +t: " + Printf("%.15G", literal.pctLess) + " | " +
                                 Printf("%.15G", literal.pctGreater) + "\n"
                                 "p as extreme: " + Printf("%.7G", literal.p) + "\n" +
                                 MonteCarloNoteLines({ProportionBox("lblTail", "% < -t | % > +t", double(literal.pctLess)),
                                                      ProportionBox("lblTail", "% < -t | % > +t", double(literal.pctGreater)),
                                                      ProportionBox("Label3", "p as extreme", float(literal.p))},
                                                     5000);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
    EXPECT_GT(literal.lower, 0.0f) << "the case should exercise both tail boxes";
    EXPECT_GT(literal.upper, 0.0f);
}

TEST(Repeated1wayCli, PrintsTheBoxesAndWritesTheValuesOfTheLiteralRun) {
    const fs::path data = WorkFile("scores.dat"), out = WorkFile("f.dat");
    WriteWhole(data, "4\r\n5\r\n10 12 11 15\r\n8 9 9 11.5\r\n14 13 16 17\r\n7.25 9 8 8\r\n11 14 12 16\r\n");
    // The literal run's lines alone: the exact count and its note have their own tests (ExactShares_cli).
    const CliRun run = Cli({"REPEATED1WAY", data.string(), "--seed", "11,22,33", "--resamples", "2000", "--output",
                            out.string(), "--exact-limit", "0"});
    ASSERT_EQ(run.code, 0) << run.err;

    brevant::literal::seedTable = brevant::Seeds{11, 22, 33};
    const auto literal = brevant::literal::RunRepeated1way(
        {10, 12, 11, 15, 8, 9, 9, 11.5f, 14, 13, 16, 17, 7.25f, 9, 8, 8, 11, 14, 12, 16}, 4, 5, 2000);
    const std::string expected = "Seeds: 11,22,33\n"
                                 "Obtained F: " + Printf("%.7G", literal.F) + "\n"
                                 "Number >= F: " + Printf("%.0f", literal.count) + "\n"
                                 "p as extreme: " + Printf("%.7G", literal.proportion) + "\n" +
                                 MonteCarloNoteLines({ProportionBox("Label3", "p as extreme", float(literal.proportion))},
                                                     2000);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
    EXPECT_GT(literal.count, 0.0f);
}

TEST(PairedRepeatedCli, JsonKeysTheBoxesByControlName) {
    const fs::path pairs = WorkFile("json-pairs.dat"), table = WorkFile("json-table.dat");
    WriteWhole(pairs, "3 1 2 3 5 4 4");
    WriteWhole(table, "3 2 1 5 3 2 9 4");
    const CliRun paired = Cli({"PairedT", pairs.string(), "--seed", "1,2,3", "--json"});
    ASSERT_EQ(paired.code, 0) << paired.err;
    const auto p = nlohmann::json::parse(paired.out);
    for (const char* control : {"txtObtT", "txtPctLess", "txtPctGreater", "txtProbMore"}) {
        EXPECT_TRUE(p["results"].contains(control)) << control;
    }
    EXPECT_EQ(p["results"]["txtProbMore"]["label"], "p as extreme");
    const CliRun repeated = Cli({"Repeated1way", table.string(), "--seed", "1,2,3", "--json"});
    ASSERT_EQ(repeated.code, 0) << repeated.err;
    const auto r = nlohmann::json::parse(repeated.out);
    for (const char* control : {"txtObtF", "txtPctGreater", "txtProbMore"}) {
        EXPECT_TRUE(r["results"].contains(control)) << control;
    }
    EXPECT_EQ(r["results"]["txtPctGreater"]["label"], "Number >= F");
}

TEST(PairedRepeatedCli, DegenerateResamplesAreNotedAndWrittenAsInf) {
    const struct {
        const char* procedure;
        const char* text;
    } cases[] = {{"PairedT", "3 1 3 4 2 0 2"}, {"Repeated1way", "2 4 1 2 6 5 3 4 9 8"}};
    for (const auto& c : cases) {
        const fs::path data = WorkFile("degenerate.dat"), out = WorkFile("inf.dat");
        WriteWhole(data, c.text);
        const CliRun run = Cli({c.procedure, data.string(), "--seed", "7,8,9", "--output", out.string()});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.out.find("Note: "), std::string::npos) << run.out;
        EXPECT_NE(ReadWhole(out).find(" inf \r\n"), std::string::npos) << c.procedure;
    }
}

TEST(PairedRepeatedCli, RefusedDataExitsThreeAndLeavesTheOldOutputFile) {
    const fs::path out = WorkFile("kept.dat");
    WriteWhole(out, " 1.5 \r\n");
    const struct {
        const char* procedure;
        const char* text;
        const char* words;
    } bad[] = {
        {"PairedT", "1 5 6", "at least 2 pairs"},
        {"PairedT", "3 1 2 2 3 3 4", "no spread"},
        {"PairedT", "3 1 2 2 3 3", "fewer values than announced"},
        {"Repeated1way", "1 4 1 2 3 4", "at least 2 treatments"},
        {"Repeated1way", "2 2 1 2 3 4", "SS error is 0"},
        {"Repeated1way", "2 3 1 2 3 4 5", "fewer values than announced"},
    };
    for (const auto& b : bad) {
        ExpectCliRefuses(3, b.procedure, WorkFile("bad.dat"), b.text, b.words,
                         {"--seed", "1,2,3", "--output", out.string()});
        EXPECT_EQ(ReadWhole(out), " 1.5 \r\n");
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
