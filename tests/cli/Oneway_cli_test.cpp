// brevant-cli OnewayRandom and OnewayBoot end to end: the printed boxes, the output file's bytes and the
// seeds it leaves, against the literal transcriptions; --errors chooses the pool and only OnewayBoot takes
// it; refused data leaves an old output file as it was.
#include "cli/BatchTool.h"
#include "literal/LiteralOnewayBoot.h"
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
using brevant::testing::ProportionBox;
using brevant::testing::ReadWhole;
using brevant::testing::ThreeDecimals;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_oneway" / name; }

const std::vector<float> kValues{12.5f, 14.1f, 9.75f, 11, 15.5f, 16.1f, 12.8f, 17, 14.4f, -1.25f, 10.2f, 13.3f, 11.9f};
const std::vector<std::int32_t> kSizes{4, 5, 4};
const char* const kText = "3\n4 5 4\n12.5,14.1,9.75,11\n15.5 16.1 12.8 17 14.4\n-1.25 10.2 13.3 11.9\n";

TEST(OnewayCli, OnewayRandomPrintsTheBoxesAndWritesTheValuesOfTheLiteralRun) {
    const fs::path data = WorkFile("groups.dat"), out = WorkFile("f.dat");
    WriteWhole(data, kText);
    // The literal run's lines alone: the exact count and its note have their own tests (ExactShares_cli).
    const CliRun run = Cli({"onewayrandom", data.string(), "--seed", "4321,8765,10987", "--resamples", "2000",
                            "--output", out.string(), "--exact-limit", "0"});
    ASSERT_EQ(run.code, 0) << run.err;
    brevant::literal::seedTable = brevant::Seeds{4321, 8765, 10987};
    const auto literal = brevant::literal::RunOnewayRandom(kValues, kSizes, 2000);
    EXPECT_EQ(run.out, "Seeds: 4321,8765,10987\n"
                       "Obtained F: " + ThreeDecimals(literal.obtainedF) + "\n"
                       "Effect size: " + ThreeDecimals(literal.effectSize) + "\n"
                       "Percent => F(obt): " + ThreeDecimals(literal.proportion) + "\n" +
                           MonteCarloNoteLines({ProportionBox("label5", "Percent => F(obt)", double(literal.proportion),
                                                              brevant::BoxFormat::ThreeDecimals)},
                                               2000));
    EXPECT_EQ(ReadWhole(out), literal.outputText);
    EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
}

TEST(OnewayCli, OnewayBootDrawsFromTheErrorsOnlyWithTheFlag) {
    const fs::path data = WorkFile("groups.dat"), out = WorkFile("boot.dat");
    WriteWhole(data, kText);
    for (const bool errors : {false, true}) {
        std::vector<std::string> args{"OnewayBoot", data.string(), "--seed", "11,22,33", "--output", out.string()};
        if (errors) args.push_back("--errors");
        const CliRun run = Cli(args);
        ASSERT_EQ(run.code, 0) << run.err;
        brevant::literal::seedTable = brevant::Seeds{11, 22, 33};
        const auto literal = brevant::literal::RunOnewayBoot(kValues, kSizes, 1000, errors);
        EXPECT_EQ(run.out, "Seeds: 11,22,33\n"
                           "Obtained F: " + ThreeDecimals(literal.obtainedF) + "\n"
                           "Effect size: " + ThreeDecimals(literal.effectSize) + "\n"
                           "Percent => Fobt: " + ThreeDecimals(literal.proportion) + "\n" +
                               MonteCarloNoteLines({ProportionBox("label5", "Percent => Fobt", double(literal.proportion),
                                                                  brevant::BoxFormat::ThreeDecimals)},
                                                   1000))
            << errors;
        EXPECT_EQ(ReadWhole(out), literal.outputText) << errors;
    }
    const CliRun json = Cli({"OnewayBoot", data.string(), "--seed", "1,2,3", "--errors", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["options"]["bootstrapErrors"], true);
    for (const char* control : {"txtObtF", "txtEffectSize", "txtFPercent"}) {
        EXPECT_TRUE(parsed["results"].contains(control)) << control;
    }

    const CliRun refused = Cli({"OnewayRandom", data.string(), "--errors"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("Bootstrap Errors"), std::string::npos) << refused.err;
}

TEST(OnewayCli, RefusedDataExitsThreeAndLeavesTheOldOutputFile) {
    const fs::path out = WorkFile("kept.dat");
    WriteWhole(out, " 1.5 \r\n");
    const std::pair<const char*, const char*> bad[] = {
        {"1 3 1 2 3", "at least 2 groups"},
        {"2 3 1 1 2 3 4", "group 2"},  // a group of one
        {"2 2 2 5 5 6 6", "pooled variance is 0"},
    };
    for (const char* procedure : {"OnewayRandom", "OnewayBoot"}) {
        for (const auto& [text, words] : bad) {
            ExpectCliRefuses(3, procedure, WorkFile("bad.dat"), text, words,
                             {"--seed", "1,2,3", "--output", out.string()});
            EXPECT_EQ(ReadWhole(out), " 1.5 \r\n");
        }
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
