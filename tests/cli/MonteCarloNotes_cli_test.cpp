// brevant-cli's Monte Carlo error: a note under the results for every p value or tail proportion, and a
// field beside each such box in --json; boxes that are not proportions get neither.
#include "cli/BatchTool.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliRun;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_montecarlo" / name; }

TEST(MonteCarloNotesCli, JsonCarriesTheErrorOfEachProportion) {
    const fs::path data = WorkFile("groups.dat");
    WriteWhole(data, "5,7\n12.5,14.1,9.75,11,13.2\n15.5 16.1 12.8 17 14.4 18.9 13.3\n");
    const CliRun run = Cli({"IndepT", data.string(), "--seed", "4321,8765,10987", "--resamples", "2000", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    for (const char* control : {"txtNumLess", "txtNumGreater", "txtProbMore"}) {
        const auto& box = json["results"][control];
        ASSERT_TRUE(box.contains("monteCarloError")) << control;
        // The JSON value of a float is its shortest text, a few parts in 1e8 from the float itself.
        const double p = box["value"].get<double>();
        EXPECT_NEAR(box["monteCarloError"].get<double>(), std::sqrt(p * (1 - p) / 2000), 1e-9) << control;
    }
    EXPECT_FALSE(json["results"]["txtObtT"].contains("monteCarloError"));
    EXPECT_FALSE(json["results"]["txtEffectSize"].contains("monteCarloError"));
    bool noted = false;
    for (const auto& note : json["notes"])
        noted = noted || note.get<std::string>().rfind("Monte Carlo standard error", 0) == 0;
    EXPECT_TRUE(noted) << json["notes"].dump();
}

TEST(MonteCarloNotesCli, TextOutputEndsWithTheNotes) {
    const fs::path data = WorkFile("corr.dat");
    WriteWhole(data, "8\n1 2\n2 4.1\n3 5.9\n4 8.2\n5 9.7\n6 12.5\n7 13.6\n8 16.1\n");
    const CliRun run = Cli({"Corr1", data.string(), "--seed", "1,2,3"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\nNote: Monte Carlo standard error, \u221A(p(1 \u2212 p)/R) with R = 1,000: p more "
                           "extreme "),
              std::string::npos)
        << run.out;

    // A bootstrap interval has no p value: no note.
    const fs::path values = WorkFile("values.dat");
    WriteWhole(values, "6\n3.5 4.1 2.9 5.2 4.4 3.8\n");
    const CliRun boot = Cli({"BootstMean", values.string(), "--seed", "1,2,3"});
    ASSERT_EQ(boot.code, 0) << boot.err;
    EXPECT_EQ(boot.out.find("Monte Carlo"), std::string::npos) << boot.out;
}

TEST(MonteCarloNotesCli, HelpTellsOfTheNotes) {
    EXPECT_NE(Cli({"--help"}).out.find("as monteCarloError in --json"), std::string::npos);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
