// How the batch tool reports the two run outcomes beyond plain results: a run that stops partway on its data
// (what was known before is printed, nothing is written, exit 5) and messages after a run (printed as notes).
#include "cli/BatchTool.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace BREVANT_TEST_UNIT {

namespace {

using namespace brevant;
using namespace brevant::cli;

const std::vector<ResultBox> kObserved{{"txtObtR", "label1", "Obtained r", 0.5f, BoxFormat::ThreeDecimals}};

const ProcedureTable& OutcomeTable() {
    static const ProcedureTable table({
        Entry("Stops", "Stops partway", kNoFeature,
              [](DataFile& file, const RunSettings&, Generator&, RunControl&) -> RunResult {
                  file.ReadValues(3, "a value");
                  throw RunStopped("Variable X has no variance in resample 7.", kObserved);
              }),
        Entry("Warns", "Warns after the run", kNoFeature,
              [](DataFile& file, const RunSettings& settings, Generator&, RunControl&) {
                  file.ReadValues(3, "a value");
                  RunResult result;
                  result.boxes = kObserved;
                  result.resampled.assign(static_cast<std::size_t>(settings.resamples), 0.25f);
                  result.messages.push_back(
                      IllegalValueMessage("This is an illegal value of r", 1.5f, 2, settings.resamples));
                  return result;
              }),
    });
    return table;
}

class RunOutcomes : public ::testing::Test {
protected:
    void SetUp() override {
        const auto folder = std::filesystem::path(BREVANT_TEST_WORK_DIR) / "outcomes";
        data = (folder / "data.dat").string();
        output = (folder / "out.dat").string();
        brevant::testing::WriteWhole(data, "1 2 3");
        brevant::testing::WriteWhole(output, "kept\r\n");
    }
    brevant::testing::CliRun Cli(std::vector<std::string> args) {
        return brevant::testing::Cli(std::move(args), OutcomeTable());
    }
    std::string data, output;
};

TEST_F(RunOutcomes, AStoppedRunPrintsWhatWasKnownWritesNothingAndExitsFive) {
    const auto text = Cli({"Stops", data, "--seed", "1,2,3", "--output", output});
    EXPECT_EQ(text.code, kExitStopped);
    EXPECT_EQ(text.out, "Seeds: 1,2,3\nObtained r: 0.500\n");
    EXPECT_EQ(text.err, "brevant-cli: Variable X has no variance in resample 7.\n");
    EXPECT_EQ(brevant::testing::ReadWhole(output), "kept\r\n");

    const auto json = Cli({"Stops", data, "--seed", "1,2,3", "--json"});
    EXPECT_EQ(json.code, kExitStopped);
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["results"]["txtObtR"]["text"], "0.500");
    EXPECT_NE(Cli({"--help"}).out.find("5 the run\nstopped partway"), std::string::npos);
}

TEST_F(RunOutcomes, MessagesAfterARunArePrintedAsNotes) {
    const auto text = Cli({"Warns", data, "--seed", "1,2,3", "--resamples", "10"});
    EXPECT_EQ(text.code, kExitOk);
    EXPECT_NE(text.out.find("Note: This is an illegal value of r1.5\n2 of the 10 resamples gave such values"),
              std::string::npos)
        << text.out;
    const auto json = nlohmann::json::parse(Cli({"Warns", data, "--seed", "1,2,3", "--json"}).out);
    ASSERT_EQ(json["messages"].size(), 1u);
    EXPECT_TRUE(json["messages"][0].get<std::string>().starts_with("This is an illegal value of r1.5"));
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
