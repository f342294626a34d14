// brevant-cli's exact shares: "exact" beside "monteCarloError" in each proportion box and "exactArrangements"
// at the top level when the arrangements are within --exact-limit; the resampled figures the same with the
// count or without; a note instead when they are more; and the option's refusals.
#include "cli/BatchTool.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliRun;
using brevant::testing::WriteWhole;

fs::path WorkFile(const std::string& name) { return fs::path(BREVANT_TEST_WORK_DIR) / "cli_exact" / name; }

bool HasNote(const nlohmann::json& json, const std::string& start) {
    for (const auto& note : json["notes"])
        if (note.get<std::string>().rfind(start, 0) == 0) return true;
    return false;
}

TEST(ExactSharesCli, JsonBesideTheResampledFiguresWhichDoNotChange) {
    struct Case {
        const char* procedure;
        const char* data;
        long long arrangements;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"IndepT", "5 7\n12.5 14.1 9.75 11 13.2\n15.5 16.1 12.8 17 14.4 18.9 13.3\n", 792,
         {"txtNumLess", "txtNumGreater", "txtProbMore"}},
        {"PairedT", "6\n1 3\n2 2\n4 7\n3 5\n5 4\n2 6\n", 64, {"txtPctLess", "txtPctGreater", "txtProbMore"}},
        {"Corr1", "6\n1 2\n2 4\n3 3\n4 7\n5 6\n6 9\n", 720, {"txtProbMore"}},
        {"OnewayRandom", "3 3 3 3\n1 2 3\n4 5 4\n6 5 7\n", 1680, {"txtFPercent"}},
        {"Repeated1way", "3 4\n1 3 2\n2 5 4\n3 4 6\n2 3 5\n", 1296, {"txtProbMore"}},
    };
    for (const Case& c : cases) {
        const fs::path data = WorkFile(std::string(c.procedure) + ".dat");
        WriteWhole(data, c.data);
        const auto run = [&](const char* limit) {
            const CliRun r = Cli({c.procedure, data.string(), "--seed", "1,2,3", "--json", "--exact-limit", limit});
            EXPECT_EQ(r.code, 0) << c.procedure << r.err;
            return nlohmann::json::parse(r.out);
        };
        const auto counted = run("10000"), off = run("0"), over = run("10");
        ASSERT_TRUE(counted.contains("exactArrangements")) << c.procedure;
        EXPECT_EQ(counted["exactArrangements"].get<long long>(), c.arrangements) << c.procedure;
        for (const std::string& box : c.boxes) {
            const auto& b = counted["results"][box];
            ASSERT_TRUE(b.contains("exact")) << c.procedure << " " << box;
            const double share = b["exact"].get<double>();
            EXPECT_GT(share * c.arrangements, 0.5) << box;  // never 0: the observed arrangement counts
            EXPECT_LE(share, 1.0) << box;
            // A whole number of arrangements.
            EXPECT_NEAR(share * c.arrangements, std::round(share * c.arrangements), 1e-6) << box;
            EXPECT_EQ(b["value"], off["results"][box]["value"]) << box;
            EXPECT_FALSE(off["results"][box].contains("exact")) << box;
        }
        EXPECT_TRUE(HasNote(counted, "Exact p over all ")) << c.procedure;
        EXPECT_FALSE(off.contains("exactArrangements"));
        EXPECT_FALSE(HasNote(off, "Exact p") || HasNote(off, "There are ")) << c.procedure;
        EXPECT_FALSE(over.contains("exactArrangements"));
        EXPECT_TRUE(HasNote(over, "There are ")) << over["notes"].dump();
        EXPECT_FALSE(HasNote(over, "Exact p")) << c.procedure;
    }
}

TEST(ExactSharesCli, LimitOptionRefusals) {
    for (const char* bad : {"-1", "x", "1e6", "", "1000000000001"}) {
        const CliRun run = Cli({"IndepT", "any.dat", "--exact-limit", bad});
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.err.find("--exact-limit"), std::string::npos) << bad << run.err;
    }
    EXPECT_NE(Cli({"--help"}).out.find("--exact-limit"), std::string::npos);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
