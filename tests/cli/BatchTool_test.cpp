#include "cli/BatchTool.h"
#include "analysis/MonteCarloError.h"
#include "analysis/randomization/IndepT.h"
#include "cli/Progress.h"
#include "engine/BuildInfo.h"
#include "engine/DataFile.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "support/CliRun.h"
#include "support/Files.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <regex>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace BREVANT_TEST_UNIT {

namespace {

using namespace brevant;
using namespace brevant::cli;

std::filesystem::path WorkFile(const std::string& name) {
    return std::filesystem::path(BREVANT_TEST_WORK_DIR) / "cli" / name;
}


// What the last run of the test procedure was given and where the generator stood when it began.
struct Seen {
    RunSettings settings;
    Choices choices;
    Seeds startSeeds;
};
Seen seen;

// A small procedure shaped like the real ones: count, values, resamples with progress, boxes in window
// order, the resampled values.
RunResult RunMeanOfDraws(DataFile& file, const RunSettings& settings, const Choices& choices, Generator& generator,
                         RunControl& control) {
    seen = {settings, choices, generator.seeds};
    const std::int32_t n = file.ReadCount("the number of values", 1, 1000);
    const std::vector<float> values = file.ReadValues(static_cast<std::size_t>(n), "the values");
    CheckResamples(settings.resamples);
    RunResult result;
    control.resampleTotal = settings.resamples;
    double sum = 0;
    for (std::int32_t r = 1; r <= settings.resamples; ++r) {
        const float drawn = values[static_cast<std::size_t>(generator.Index(n) - 1)];
        sum += drawn;
        result.resampled.push_back(drawn);
        control.resamplesDone = r;
    }
    result.boxes.push_back({"txtFirst", "label1", "First value", values[0], BoxFormat::General});
    result.boxes.push_back({"txtMean", "label2", "Mean of draws", sum / settings.resamples, BoxFormat::ThreeDecimals});
    result.boxes.push_back({"txtCount", "label3", "Values", std::int64_t{n}, BoxFormat::General});
    result.boxes.push_back({"txtInf", "label4", "Ratio", std::numeric_limits<float>::infinity(), BoxFormat::General});
    result.histogram = {"Drawn value", values[0], std::nullopt};
    result.notes.push_back("A note.");
    return result;
}

const ProcedureTable& TestTable() {
    static const ProcedureTable table({
        {"MeanOfDraws", "Mean of draws", kConfidence | kBootstrapErrors, RunMeanOfDraws},
        Entry("NoExtras", "Without options", kNoOutputFile,
              [](DataFile&, const RunSettings&, Generator&, RunControl&) {
                  RunResult result;
                  result.boxes.push_back({"txtX", "label1", "X", 1.5f, BoxFormat::General});
                  return result;
              }),
        Entry("IndepT", "Independent Groups t", kNoFeature, &IndepTProcedure),
        Entry("Picky", "Refuses its settings", kNoFeature,
              [](DataFile&, const RunSettings&, Generator&, RunControl&) -> RunResult {
                  throw SettingsError("1000 resamples are too few for this level.");
              }),
    });
    return table;
}

using brevant::testing::CliRun;
CliRun Cli(std::vector<std::string> args) { return brevant::testing::Cli(std::move(args), TestTable()); }

class BatchTool : public ::testing::Test {
protected:
    void SetUp() override {
        data = WorkFile("values.dat").string();
        brevant::testing::WriteWhole(data, "4\r\n0.1, 2, 3.5, -7\r\n");
    }
    std::string data;
};

TEST_F(BatchTool, HelpListsProceduresAndExitsZero) {
    const CliRun run = Cli({"--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("Usage: brevant-cli"), std::string::npos);
    EXPECT_NE(run.out.find("MeanOfDraws, NoExtras, IndepT, Picky"), std::string::npos);
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(BuiltinProcedures().Find("no-such-window"), nullptr);
    ASSERT_NE(BuiltinProcedures().Find("BOOTSTMEAN"), nullptr);
    EXPECT_TRUE(BuiltinProcedures().Find("bootstmean")->Has(kConfidence));
    EXPECT_FALSE(BuiltinProcedures().Find("indept")->Has(kConfidence));
}

// --version answers alone, wherever it stands and whatever else is given, and runs nothing.
TEST_F(BatchTool, VersionPrintsTheProgramVersionAndExitsZero) {
    EXPECT_TRUE(std::regex_match(std::string(ProgramVersion()), std::regex(R"(\d+\.\d+(\.\d+)?)")))
        << ProgramVersion();
    const std::vector<std::vector<std::string>> cases = {
        {"--version"},
        {"MeanOfDraws", "--version"},
        {"MeanOfDraws", data, "--resamples", "5", "--version"},
        {"--version", "NoSuchWindow", "no-such-file.dat"},
    };
    for (const auto& args : cases) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, kExitOk) << args.size();
        EXPECT_EQ(run.out, "brevant-cli " + std::string(ProgramVersion()) + "\n");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_NE(Cli({"--help"}).out.find("--version"), std::string::npos);
}

TEST_F(BatchTool, UsageErrorsExitTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "PROCEDURE is required"},
        {{"MeanOfDraws"}, "DATAFILE is required"},
        {{"Indep", data}, "no procedure named \"Indep\"; available: MeanOfDraws, NoExtras, IndepT, Picky."},
        {{"MeanOfDraws", data, "--resamples", "0"}, "--resamples must be a whole number from 1 to 10000000"},
        {{"MeanOfDraws", data, "--resamples", "-5"}, "not \"-5\""},
        {{"MeanOfDraws", data, "--resamples", "1.5"}, "not \"1.5\""},
        {{"MeanOfDraws", data, "--resamples", "abc"}, "not \"abc\""},
        {{"MeanOfDraws", data, "--resamples", "10000001"}, "not \"10000001\""},
        {{"MeanOfDraws", data, "--resamples", "99999999999999999999999"}, "--resamples must be"},
        {{"MeanOfDraws", data, "--confidence", "80"}, "--confidence must be 90, 95 or 99, not \"80\"."},
        {{"MeanOfDraws", data, "--confidence", "95.0"}, "--confidence must be 90, 95 or 99"},
        {{"MeanOfDraws", data, "--seed", "0,1,1"}, "--seed must be three whole numbers A,B,C with A from 1 to 30268"},
        {{"MeanOfDraws", data, "--seed", "30269,1,1"}, "--seed must be"},
        {{"MeanOfDraws", data, "--seed", "1,30307,1"}, "--seed must be"},
        {{"MeanOfDraws", data, "--seed", "1,1,30323"}, "C from 1 to 30322, not \"1,1,30323\""},
        {{"MeanOfDraws", data, "--seed", "1,2"}, "--seed must be"},
        {{"MeanOfDraws", data, "--seed", "1,2,3,4"}, "--seed must be"},
        {{"MeanOfDraws", data, "--seed", "1,-2,3"}, "--seed must be"},
        {{"MeanOfDraws", data, "--seed", "99999999999999999999,2,3"}, "--seed must be"},
        {{"NoExtras", data, "--confidence", "95"}, "NoExtras has no confidence level"},
        {{"NoExtras", data, "--errors"}, "NoExtras has no \"Bootstrap Errors\" choice"},
        {{"NoExtras", data, "--output", "x.dat"}, "NoExtras writes no output file"},
        {{"MeanOfDraws", data, "--histogram", "h.txt"}, "--histogram must name an .svg or .png file"},
        {{"MeanOfDraws", data, "--output", data}, "is the data file itself"},
        {{"MeanOfDraws", data, "--histogram", WorkFile("../cli/h.svg").string(), "--output",
          WorkFile("h.svg").string()},
         "--output and --histogram name the same file"},
        {{"MeanOfDraws", data, "--frobnicate"}, "brevant-cli: "},
        {{"MeanOfDraws", data, "--resamples"}, "brevant-cli: "},
    };
    for (const auto& [args, message] : cases) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, kExitUsage) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << "expected: " << message << "\ngot: " << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;  // nothing ran
    }
}

TEST_F(BatchTool, PrintsSeedsAndBoxesInOrder) {
    const CliRun run = Cli({"meanofdraws", data, "--seed", "1,2,3", "--resamples", "500"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty());  // no terminal, no progress bar
    EXPECT_EQ(seen.startSeeds, (Seeds{1, 2, 3}));
    EXPECT_EQ(seen.settings.resamples, 500);
    EXPECT_EQ(run.out.substr(0, run.out.find("Mean")),
              "Seeds: 1,2,3\nFirst value: 0.1\n");
    EXPECT_NE(run.out.find("\nValues: 4\nRatio: inf\nNote: A note.\n"), std::string::npos) << run.out;

    // The same seeds give the same run; the largest seeds are accepted.
    EXPECT_EQ(Cli({"MEANOFDRAWS", data, "--seed", "1,2,3", "--resamples", "500"}).out, run.out);
    EXPECT_EQ(Cli({"MeanOfDraws", data, "--seed", "30268,30306,30322"}).code, 0);
    EXPECT_EQ(seen.startSeeds, (Seeds{30268, 30306, 30322}));
    EXPECT_EQ(Cli({"MeanOfDraws", data, "--resamples", "10000000"}).code, 0);
}

TEST_F(BatchTool, SeedsFromTheClockArePrinted) {
    const CliRun run = Cli({"MeanOfDraws", data});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(SeedsValid(seen.startSeeds));
    const std::string expected = "Seeds: " + std::to_string(seen.startSeeds.a) + "," +
                                 std::to_string(seen.startSeeds.b) + "," + std::to_string(seen.startSeeds.c) + "\n";
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_EQ(seen.settings.resamples, 1000);  // the windows' first count button
}

TEST_F(BatchTool, ConfidenceAndErrorsReachTheProcedure) {
    struct Case {
        const char* level;
        float quantile;
    };
    for (const Case c : {Case{"90", 0.95f}, Case{"95", 0.975f}, Case{"99", 0.995f}}) {
        ASSERT_EQ(Cli({"MeanOfDraws", data, "--confidence", c.level}).code, 0);
        EXPECT_EQ(seen.settings.confidence, c.quantile);
    }
    ASSERT_EQ(Cli({"MeanOfDraws", data}).code, 0);
    EXPECT_EQ(seen.settings.confidence, 0.975f);
    EXPECT_FALSE(seen.choices.bootstrapErrors);
    EXPECT_TRUE(seen.settings.outputPath.empty());
    ASSERT_EQ(Cli({"MeanOfDraws", data, "--errors"}).code, 0);
    EXPECT_TRUE(seen.choices.bootstrapErrors);
}

TEST_F(BatchTool, DataErrorsExitThreeAndWriteNothing) {
    const auto output = WorkFile("kept.dat");
    brevant::testing::WriteWhole(output, "old content");
    brevant::testing::WriteWhole(data, "3\n1 2");
    CliRun run = Cli({"MeanOfDraws", data, "--output", output.string()});
    EXPECT_EQ(run.code, kExitData);
    EXPECT_NE(run.err.find("\"" + data + "\" holds fewer values than announced"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("First value"), std::string::npos);
    EXPECT_EQ(brevant::testing::ReadWhole(output), "old content");

    run = Cli({"MeanOfDraws", WorkFile("missing.dat").string()});
    EXPECT_EQ(run.code, kExitData);
    EXPECT_NE(run.err.find("Cannot read the data file"), std::string::npos) << run.err;
}

TEST_F(BatchTool, OutputFileIsReplacedWhole) {
    const auto output = WorkFile("out.dat");
    brevant::testing::WriteWhole(output, "an older and much longer content that must vanish entirely\r\n");
    const CliRun run = Cli({"MeanOfDraws", data, "--seed", "7,8,9", "--resamples", "6", "--output", output.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    // Six draws from the four values, in the generator's order.
    Generator g{{7, 8, 9}};
    const float values[] = {0.1f, 2.0f, 3.5f, -7.0f};
    std::string expected;
    for (int i = 0; i < 6; ++i) expected += DefaultNumberText(values[g.Index(4) - 1]) + "\r\n";
    EXPECT_EQ(brevant::testing::ReadWhole(output), expected);

    // An output folder that does not exist is refused before the run: exit 2, nothing run, nothing printed.
    for (const bool json : {false, true}) {
        std::vector<std::string> args = {"MeanOfDraws", data, "--output", WorkFile("no/such/folder/out.dat").string()};
        if (json) args.push_back("--json");
        const CliRun bad = Cli(args);
        EXPECT_EQ(bad.code, kExitUsage);
        EXPECT_NE(bad.err.find("no/such/folder\" does not exist"), std::string::npos) << bad.err;
        EXPECT_TRUE(bad.out.empty()) << bad.out;
    }
    // A write that fails after the run (a full device): exit 4, a clear message, and the results still
    // printed, in JSON too, so a clock-seeded run can be repeated.
    const CliRun full = Cli({"MeanOfDraws", data, "--output", "/dev/full"});
    EXPECT_EQ(full.code, kExitWrite);
    EXPECT_NE(full.err.find("/dev/full"), std::string::npos) << full.err;
    EXPECT_NE(full.out.find("Mean of draws: "), std::string::npos) << full.out;
    const CliRun fullJson = Cli({"MeanOfDraws", data, "--json", "--output", "/dev/full"});
    EXPECT_EQ(fullJson.code, kExitWrite);
    EXPECT_EQ(nlohmann::json::parse(fullJson.out)["seeds"].size(), 3u) << fullJson.out;
}


TEST_F(BatchTool, EmptyOptionValuesAreUsageErrors) {
    for (const char* option : {"--seed", "--resamples", "--confidence", "--output", "--histogram"}) {
        const CliRun run = Cli({"MeanOfDraws", data, option, ""});
        EXPECT_EQ(run.code, kExitUsage) << option;
        EXPECT_NE(run.err.find(std::string(option) + " was given an empty value"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// Valid UTF-8 and no control characters but line breaks: what reaches the user's terminal.
bool PrintableLines(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        i += length;
    }
    return true;
}

TEST_F(BatchTool, DataFileMessagesSayWhatIsWrong) {
    // Items left after the announced values: read as announced, and a note says so, in text and JSON.
    const auto commas = WorkFile("decimal-commas.dat");
    brevant::testing::WriteWhole(commas, "3\n1,5 2,5 3,5\n");
    CliRun run = Cli({"MeanOfDraws", commas.string(), "--seed", "1,2,3"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("First value: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Note: 3 more items in the data file"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("decimal commas"), std::string::npos) << run.out;
    run = Cli({"MeanOfDraws", commas.string(), "--seed", "1,2,3", "--json"});
    EXPECT_NE(nlohmann::json::parse(run.out)["notes"][0].get<std::string>().find("3 more items"), std::string::npos);
    EXPECT_EQ(Cli({"MeanOfDraws", data}).out.find("more item"), std::string::npos);

    const struct {
        std::string text;
        std::string says;
    } cases[] = {
        {std::string("\xFF\xFE" "3\0\n\0" "1\0", 8), "is UTF-16 text; save it as plain text (ASCII or UTF-8)"},
        {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "is not a text file"},
        {"3\n1;2;3\n", "\"1;2;3\" is not a number. Items are separated by commas, blanks, tabs or line breaks"},
        {"2\n1 x\x1B[31my\n", "is not a text file"},  // a terminal's escape sequence is not data
        {"2\n1 x\v\xE9y\n", "\"x??y\" is not a number"},
    };
    const auto file = WorkFile("odd.dat");
    for (const auto& c : cases) {
        brevant::testing::WriteWhole(file, c.text);
        run = Cli({"MeanOfDraws", file.string()});
        EXPECT_EQ(run.code, kExitData);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_TRUE(PrintableLines(run.err)) << run.err;
    }
}

// One shuffle: its note speaks of one shuffle, not "1 shuffles".
TEST_F(BatchTool, ASingleResampleIsSpokenOfInTheSingular) {
    const auto tied = WorkFile("tied.dat");
    brevant::testing::WriteWhole(tied, "2 2\n1 2\n1 2\n");
    int noted = 0;
    for (int seed = 1; seed <= 40; ++seed) {
        const CliRun run = Cli({"IndepT", tied.string(), "--resamples", "1", "--seed", "1,1," + std::to_string(seed)});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out.find("1 shuffles"), std::string::npos) << run.out;
        if (run.out.find("1 of the 1 shuffle left no spread") != std::string::npos) ++noted;
    }
    EXPECT_GT(noted, 0);  // a shuffle of 1 2 | 1 2 into 1 1 | 2 2 (or back) has no spread in either group
}

TEST_F(BatchTool, JsonStaysValidForANameThatIsNotUtf8) {
    const auto odd = WorkFile("values-\xFF\xFE.dat");
    brevant::testing::WriteWhole(odd, "2 1 2");
    const CliRun run = Cli({"MeanOfDraws", odd.string(), "--json", "--seed", "1,2,3"});
    ASSERT_EQ(run.code, 0) << run.err;
    const nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_NE(json["dataFile"].get<std::string>().find("values-\xEF\xBF\xBD\xEF\xBF\xBD.dat"), std::string::npos);
}

// As an unprivileged user: an output file that user may not write, or another user's file in a folder anyone
// may write (777) or a sticky one (1777, as /tmp), is refused before the run; nothing is printed and the file
// stays as it was, its owner too.
TEST_F(BatchTool, AnOutputFileTheUserMayNotWriteIsRefusedBeforeTheRun) {
    namespace fs = std::filesystem;
    const brevant::testing::ReachableFolder reachable("BatchTool_test");
    const fs::path reachableData = reachable / "values.dat";
    brevant::testing::WriteWhole(reachableData, brevant::testing::ReadWhole(data));
    fs::permissions(reachableData, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                       fs::perms::others_read);
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::perms anyoneWrites = readOnly | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    struct Case {
        const char* folder;
        fs::perms folderMode;
        fs::perms fileMode;
        bool othersFile;  // refused only because it is not the unprivileged user's
        const char* says;
    };
    const Case cases[] = {
        {"open", fs::perms::all, readOnly, false, "cannot be written: you may not write to it"},
        {"open-theirs", fs::perms::all, anyoneWrites, true, "cannot be written: it belongs to another user"},
        {"sticky-theirs", fs::perms::all | fs::perms::sticky_bit, anyoneWrites, true,
         "cannot be written: it belongs to another user"},
    };
    for (const Case& c : cases) {
        if (c.othersFile && ::geteuid() != 0) continue;  // the other user's file is made by root
        SCOPED_TRACE(c.folder);
        const fs::path folder = reachable / c.folder;
        fs::create_directory(folder);
        fs::permissions(folder, c.folderMode);
        const fs::path output = folder / "kept.dat";
        brevant::testing::WriteWhole(output, "kept\r\n");
        fs::permissions(output, c.fileMode);
        struct stat before {};
        ASSERT_EQ(::stat(output.c_str(), &before), 0);
        const std::string complaint = brevant::testing::AsUnprivileged([&]() -> std::string {
            const CliRun run =
                Cli({"MeanOfDraws", reachableData.string(), "--resamples", "6", "--output", output.string()});
            if (run.code != kExitUsage) return "exit " + std::to_string(run.code) + ": " + run.err;
            if (!run.out.empty()) return "printed " + run.out;
            if (run.err.find(c.says) == std::string::npos) return run.err;
            return {};
        });
        EXPECT_EQ(complaint, "");
        EXPECT_EQ(brevant::testing::ReadWhole(output), "kept\r\n");
        struct stat after {};
        ASSERT_EQ(::stat(output.c_str(), &after), 0);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

TEST_F(BatchTool, HistogramPictures) {
    const auto svg = WorkFile("hist.SVG");
    const auto png = WorkFile("hist.png");
    std::filesystem::remove(svg);
    std::filesystem::remove(png);
    ASSERT_EQ(Cli({"MeanOfDraws", data, "--histogram", svg.string()}).code, 0);
    EXPECT_NE(brevant::testing::ReadWhole(svg).find("<svg"), std::string::npos);
    ASSERT_EQ(Cli({"MeanOfDraws", data, "--histogram", png.string()}).code, 0);
    EXPECT_EQ(brevant::testing::ReadWhole(png).substr(1, 3), "PNG");
    const CliRun bad = Cli({"MeanOfDraws", data, "--histogram", WorkFile("no/such/folder/h.png").string()});
    EXPECT_EQ(bad.code, kExitUsage);
    EXPECT_NE(bad.err.find("The histogram file"), std::string::npos) << bad.err;
    EXPECT_TRUE(bad.out.empty()) << bad.out;
}

TEST_F(BatchTool, JsonHoldsSeedsOptionsAndBoxes) {
    const CliRun run = Cli({"MeanOfDraws", data, "--json", "--seed", "11,12,13", "--confidence", "99"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json["procedure"], "MeanOfDraws");
    EXPECT_EQ(json["dataFile"], data);
    EXPECT_EQ(json["seeds"], nlohmann::ordered_json({11, 12, 13}));
    EXPECT_EQ(json["options"]["resamples"], 1000);
    EXPECT_EQ(json["options"]["confidence"], 99);
    EXPECT_EQ(json["options"]["quantile"].get<double>(), 0.995);  // the float's shortest text
    EXPECT_TRUE(json["options"]["output"].is_null());

    const auto& results = json["results"];
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(json["notes"], nlohmann::ordered_json({"A note."}));
    EXPECT_EQ(results.begin().key(), "txtFirst");  // the window's order is kept
    EXPECT_EQ(results["txtFirst"]["label"], "First value");
    EXPECT_EQ(results["txtFirst"]["text"], "0.1");
    EXPECT_EQ(static_cast<float>(results["txtFirst"]["value"].get<double>()), 0.1f);
    EXPECT_NE(run.out.find("\"value\": 0.1,"), std::string::npos);  // not 0.10000000149011612
    EXPECT_EQ(results["txtMean"]["label"], "Mean of draws");
    EXPECT_EQ(results["txtMean"]["text"], ThreeDecimalText(results["txtMean"]["value"].get<double>()));
    EXPECT_EQ(results["txtCount"]["value"], 4);
    EXPECT_TRUE(results["txtInf"]["value"].is_null());
    EXPECT_EQ(results["txtInf"]["text"], "inf");
}

TEST_F(BatchTool, RunsARealProcedureAsItsOwnEntryPointDoes) {
    const auto output = WorkFile("indept-out.dat");
    brevant::testing::WriteWhole(data, "3 4\r\n1 2 3.5\r\n4 5 9 2.25\r\n");
    const CliRun run = Cli({"indept", data, "--seed", "5,6,7", "--resamples", "300", "--output", output.string()});
    ASSERT_EQ(run.code, 0) << run.err;

    DataFile file = DataFile::Open(data);
    Generator generator{{5, 6, 7}};
    RunControl control;
    RunResult direct = IndepTProcedure(file, RunSettings{300, 0.975f, {}}, generator, control);
    brevant::AddMonteCarloNotes(direct, 300);  // the tool's notes follow the procedure's own
    std::string expected = "Seeds: 5,6,7\n";
    for (const std::string& line : ResultLines(direct.boxes)) expected += line + "\n";
    for (const std::string& note : direct.notes) expected += "Note: " + note + "\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(brevant::testing::ReadWhole(output), ValueLines(direct.resampled));
    EXPECT_EQ(GetSeeds(), generator.seeds);  // the tool drew from the one generator, as far as the run did
}

TEST_F(BatchTool, SettingsTheProcedureRefusesExitTwo) {
    const CliRun run = Cli({"Picky", data});
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find("1000 resamples are too few for this level."), std::string::npos);
}

// The example data file of a procedure, help/examples/<Name>-<what>.dat.
std::string ExampleFile(std::string_view procedure) {
    const std::string prefix = std::string(procedure) + "-";
    const std::filesystem::path examples = std::filesystem::path(BREVANT_SOURCE_DIR) / "help" / "examples";
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() == ".dat" && entry.path().filename().string().starts_with(prefix)) {
            return entry.path().string();
        }
    }
    return {};
}

// A resample count too small for the confidence level is a usage error found before anything is printed, and
// exactly where the procedure itself would refuse it: both percentile rules, around their smallest counts.
TEST(BatchToolSettings, WhatTheProcedureWouldRefuseIsRefusedBeforeAnythingIsPrinted) {
    int refusals = 0, runs = 0;
    for (const Procedure& p : BuiltinProcedures().All()) {
        if (!p.Has(kConfidence)) continue;
        const std::string data = ExampleFile(p.name);
        ASSERT_FALSE(data.empty()) << p.name;
        for (const auto& [level, q] : brevant::testing::kConfidenceLevels) {
            for (const std::int32_t resamples : {10, 19, 20, 100, 101, 150, 200}) {
                SCOPED_TRACE(std::string(p.name) + " --confidence " + level + " --resamples " +
                             std::to_string(resamples));
                bool refused = false;
                try {
                    DataFile file = DataFile::Open(data);
                    Generator generator{{1, 2, 3}};
                    RunControl control;
                    p.run(file, RunSettings{resamples, q, {}}, Choices{}, generator, control);
                } catch (const SettingsError&) {
                    refused = true;
                }
                const CliRun run = brevant::testing::Cli({std::string(p.name), data, "--resamples",
                                                          std::to_string(resamples), "--confidence", level});
                if (refused) {
                    ++refusals;
                    EXPECT_EQ(run.code, kExitUsage);
                    EXPECT_EQ(run.out, "");
                    EXPECT_NE(run.err.find(" too few for a "), std::string::npos) << run.err;
                } else {
                    ++runs;
                    EXPECT_EQ(run.code, kExitOk) << run.err;
                }
            }
        }
    }
    EXPECT_GT(refusals, 0);
    EXPECT_GT(runs, 0);
}

// What fd gives until its writer closes it, done(text) holds, or ten seconds pass.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string text;
    while (!done(text) && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return text;
}

// A named pipe as the output file, with no reader yet: the results are printed and flushed before the tool
// opens it, so whoever reads them is not kept waiting by the pipe. The tool runs in a child process with its
// standard output on a pipe of its own.
TEST_F(BatchTool, ResultsArePrintedBeforeAPipeWithoutAReaderIsOpened) {
    const auto fifo = WorkFile("values.fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "--json" : "text");
        std::vector<std::string> args = {"brevant-cli", "MeanOfDraws", data, "--seed", "1,2,3", "--resamples", "6",
                                         "--output", fifo.string()};
        if (json) args.push_back("--json");
        int printed[2];
        ASSERT_EQ(::pipe(printed), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(60);  // never left behind
            ::dup2(printed[1], STDOUT_FILENO);
            ::close(printed[0]);
            ::close(printed[1]);
            std::vector<const char*> argv;
            for (const std::string& a : args) argv.push_back(a.c_str());
            ::_exit(RunCli(static_cast<int>(argv.size()), argv.data(), std::cout, std::cerr, TestTable()));
        }
        ::close(printed[1]);
        const std::string last = json ? "\n}\n" : "Note: A note.\n";
        std::string out = ReadUntil(printed[0], [&](const std::string& text) { return text.ends_with(last); });
        const bool beforeAReader = out.ends_with(last);

        // Now a reader: the values arrive and the tool ends.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const std::string values = ReadUntil(reader, [](const std::string&) { return false; });
        ::close(reader);
        out += ReadUntil(printed[0], [](const std::string&) { return false; });
        ::close(printed[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        EXPECT_TRUE(beforeAReader) << "printed before the pipe had a reader:\n" << out;
        EXPECT_TRUE(out.ends_with(last)) << out;  // nothing printed after the values were written
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), kExitOk);
        EXPECT_EQ(std::count(values.begin(), values.end(), '\n'), 6) << values;
    }
    std::filesystem::remove(fifo);
}

TEST(ProgressBar, DrawsOnlyWhenEnabledAndOnlyOnChange) {
    std::ostringstream quiet;
    {
        ProgressBar bar(quiet, false);
        for (int i = 1; i <= 1000; ++i) bar.Update(i, 1000);
    }
    EXPECT_TRUE(quiet.str().empty());

    std::ostringstream shown;
    ProgressBar bar(shown, true);
    for (int i = 1; i <= 100000; ++i) bar.Update(i, 100000);
    const std::string text = shown.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 101);  // once per percent, 0% to 100%
    EXPECT_NE(text.find("[" + std::string(40, '#') + "] 100%"), std::string::npos);
    EXPECT_NE(text.find("[####" + std::string(36, ' ') + "]  10%"), std::string::npos);
    bar.Finish();
    EXPECT_EQ(shown.str().back(), '\r');  // the line is cleared for what follows
    bar.Update(5, 0);  // no total: nothing drawn, no division by zero
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
