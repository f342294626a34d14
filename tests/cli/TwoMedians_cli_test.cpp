// brevant-cli TwoMedianRandomTest and TwoMedianBootTest end to end against the literal transcriptions of
// their runs: the printed boxes, the output file's bytes and the seeds left, at each confidence level; a
// refused data file leaves an old output file as it was.
#include "cli/BatchTool.h"
#include "literal/LiteralTwoMedianBootTest.h"
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
using brevant::testing::CliWorkFile;
using brevant::testing::ExpectCliRefuses;
using brevant::testing::ExpectEachLevelMatchesLiteral;
using brevant::testing::LiteralOutcome;
using brevant::testing::ReadWhole;
using brevant::testing::ThreeDecimals;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_twomedians", name); }

using LiteralRun = brevant::literal::TwoMedianRun (*)(const std::vector<float>&, const std::vector<float>&,
                                                      std::int32_t, float);

TEST(TwoMediansCli, EachProcedureAndLevelPrintsTheLiteralRun) {
    const std::vector<float> g1{12.5f, 1234.5625f, 9.75f, 11, 13.2f, -4.123456789f};
    const std::vector<float> g2{15.5f, 16.1f, 12.8f, 17, 14.4f, 18.9f, 13.3f, 12.8f, 1234.5625f};
    const fs::path data = WorkFile("groups.dat"), out = WorkFile("d.dat");
    WriteWhole(data, "6 9\n12.5 1234.5625 9.75 11 13.2 -4.123456789\n15.5,16.1,12.8,17,14.4,18.9,13.3,12.8,1234.5625\n");
    const std::pair<const char*, LiteralRun> procedures[] = {
        {"TwoMedianRandomTest", &brevant::literal::RunTwoMedianRandomTest},
        {"twomedianboottest", &brevant::literal::RunTwoMedianBootTest},
    };
    for (const auto& [name, literalRun] : procedures) {
        ExpectEachLevelMatchesLiteral(name, data, out, {222, 333, 444}, 2000, [&](float q) {
            const auto literal = literalRun(g1, g2, 2000, q);
            return LiteralOutcome{"Median Group 1: " + ThreeDecimals(literal.median1) + "\n"
                                  "Median Group 2: " + ThreeDecimals(literal.median2) + "\n"
                                  "Median Difference: " + ThreeDecimals(literal.difference) + "\n"
                                  "Lower CL: " + ThreeDecimals(literal.lowerLimit) + "\n"
                                  "Upper CL: " + ThreeDecimals(literal.upperLimit) + "\n",
                                  literal.outputText};
        });
    }
}

TEST(TwoMediansCli, RefusedDataAndSettingsLeaveTheOldOutputFile) {
    const fs::path data = WorkFile("bad.dat"), out = WorkFile("old.dat");
    WriteWhole(out, "old\r\n");
    for (const char* name : {"TwoMedianRandomTest", "TwoMedianBootTest"}) {
        ExpectCliRefuses(3, name, data, "3 0 1 2 3", "each group needs at least 1 value", {"--output", out.string()});
        ExpectCliRefuses(3, name, data, "3 2 1 2 3 4", "", {"--output", out.string()});
        EXPECT_EQ(ReadWhole(out), "old\r\n");

        ExpectCliRefuses(2, name, data, "1 1 5 7", "too few",
                         {"--resamples", "100", "--confidence", "99", "--output", out.string()});
        EXPECT_EQ(ReadWhole(out), "old\r\n");
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
