// Every procedure gives the same resampled values, result boxes, notes and final seeds on 1, 2, 3 and 7
// threads, on its example file, with and without the "Bootstrap Errors" choice; 2,001 resamples, so the
// shares of 2, 3 and 7 threads are unequal.
#include "cli/Procedures.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>

namespace BREVANT_TEST_UNIT {

namespace {

using namespace brevant;
namespace fs = std::filesystem;

fs::path ExampleFile(std::string_view procedure) {
    for (const auto& entry : fs::directory_iterator(fs::path(BREVANT_SOURCE_DIR) / "help" / "examples")) {
        const bool counted = entry.path().extension() == ".dat";  // the counts-first example, not a table
        if (counted && entry.path().filename().string().starts_with(std::string(procedure) + "-")) return entry.path();
    }
    return {};
}

struct Outcome {
    RunResult result;
    Seeds after;
};

Outcome RunOn(const cli::Procedure& p, const fs::path& file, int threads, bool errors) {
    Generator generator{Seeds{2024, 1207, 30000}};
    RunControl control;
    DataFile data = DataFile::Open(file.string());
    RunSettings settings{2001, 0.975f, {}, threads};
    Outcome o{p.run(data, settings, cli::Choices{errors}, generator, control), generator.seeds};
    return o;
}

void ExpectSame(const Outcome& one, const Outcome& many) {
    ASSERT_EQ(many.result.resampled.size(), one.result.resampled.size());
    for (std::size_t k = 0; k < one.result.resampled.size(); ++k) {
        ASSERT_TRUE(brevant::testing::SameBits(many.result.resampled[k], one.result.resampled[k])) << "value " << k;
    }
    ASSERT_EQ(many.result.boxes.size(), one.result.boxes.size());
    for (std::size_t b = 0; b < one.result.boxes.size(); ++b) {
        EXPECT_EQ(BoxText(many.result.boxes[b]), BoxText(one.result.boxes[b])) << one.result.boxes[b].control;
        EXPECT_TRUE(BoxValue(many.result.boxes[b]) == BoxValue(one.result.boxes[b]) ||
                    (std::isnan(BoxValue(many.result.boxes[b])) && std::isnan(BoxValue(one.result.boxes[b]))));
    }
    EXPECT_EQ(many.result.notes, one.result.notes);
    EXPECT_EQ(many.result.messages, one.result.messages);
    EXPECT_EQ(many.after, one.after);
}

TEST(Threads, EveryProcedureGivesTheSameBitsOnAnyNumberOfThreads) {
    for (const cli::Procedure& p : cli::BuiltinProcedures().All()) {
        const fs::path file = ExampleFile(p.name);
        ASSERT_FALSE(file.empty()) << p.name;
        for (const bool errors : {false, true}) {
            if (errors && !p.Has(cli::kBootstrapErrors)) continue;
            SCOPED_TRACE(std::string(p.name) + (errors ? " with errors" : ""));
            const Outcome one = RunOn(p, file, 1, errors);
            for (const int threads : {2, 3, 7}) {
                SCOPED_TRACE(threads);
                ExpectSame(one, RunOn(p, file, threads, errors));
            }
        }
    }
}

// The batch tool's --threads: the same printed results and output-file bytes for 1 and 3 threads; bad
// counts are usage errors.
TEST(Threads, TheBatchToolTakesAThreadCount) {
    const fs::path work = fs::path(BREVANT_TEST_WORK_DIR) / "threads";
    fs::create_directories(work);
    std::string printed[2], bytes[2];
    for (const int i : {0, 1}) {
        const fs::path out = work / ("out" + std::to_string(i) + ".dat");
        const auto run = brevant::testing::Cli({"BootstMean", ExampleFile("BootstMean").string(), "--seed", "1,2,3",
                                                "--resamples", "5000", "--threads", i == 0 ? "1" : "3", "--output",
                                                out.string()});
        EXPECT_EQ(run.code, 0) << run.err;
        printed[i] = run.out;
        bytes[i] = brevant::testing::ReadWhole(out);
    }
    EXPECT_EQ(printed[0], printed[1]);
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_EQ(std::count(bytes[0].begin(), bytes[0].end(), '\n'), 5000);
    for (const char* bad : {"0", "x", "", "257"}) {
        const auto run = brevant::testing::Cli({"IndepT", ExampleFile("IndepT").string(), "--threads", bad});
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.err.find("--threads"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
