// Tables as data files, end to end: every procedure gives the same figures, notes and output file from a
// table (wide or long; commas, semicolons or tabs; quoted names, decimal commas, missing cells, id columns;
// columns by name and by number; SPSS and Stata files) as from the same values counts first; and what the
// batch tool refuses in a table, with nothing written.
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <readstat.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::testing::Cli;
using brevant::testing::CliRun;
using brevant::testing::CliWorkFile;
using brevant::testing::ReadWhole;
using brevant::testing::WriteWhole;
using Json = nlohmann::json;

fs::path WorkFile(const std::string& name) { return CliWorkFile("cli_tables", name); }

bool WritesOutput(const std::string& procedure) { return procedure != "Corr1" && procedure != "PairedCorr"; }

struct Outcome {
    Json json;
    std::string output;
};

// The procedure on the file with the same seeds and resamples every time, as --json, with its output file.
Outcome RunOn(const std::string& procedure, const fs::path& data, std::vector<std::string> args) {
    const fs::path out = WorkFile("resampled.out");
    fs::remove(out);
    args.insert(args.begin(), {procedure, data.string(), "--seed", "11,22,33", "--resamples", "300", "--json"});
    if (WritesOutput(procedure)) args.insert(args.end(), {"--output", out.string()});
    if (procedure == "OnewayBoot") args.push_back("--errors");
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 0) << run.err;
    return {run.code == 0 ? Json::parse(run.out) : Json(), ReadWhole(out)};
}

// The columns a run used, as its JSON names them: "a,b", or "values|group" for the long form.
std::string UsedColumns(const Json& json) {
    std::string used;
    for (const Json& column : json.value("columns", Json::array())) {
        if (!used.empty()) used += ',';
        used += column["name"].get<std::string>();
    }
    if (json.contains("groupColumn")) used.append("|").append(json["groupColumn"]["name"].get<std::string>());
    return used;
}

// The table's run against the counts-first run: the same boxes, the same output file, and the same notes
// after the table's own (the rows it left out).
void ExpectTwins(const std::string& procedure, const Outcome& table, const Outcome& counts, const std::string& used,
                 const std::string& note) {
    ASSERT_FALSE(table.json.is_null());
    ASSERT_FALSE(counts.json.is_null());
    EXPECT_EQ(table.json["results"], counts.json["results"]);
    EXPECT_EQ(table.output, counts.output);
    EXPECT_EQ(table.output.empty(), !WritesOutput(procedure));
    EXPECT_EQ(UsedColumns(table.json), used);
    Json notes = table.json["notes"];
    if (!note.empty()) {
        ASSERT_FALSE(notes.empty());
        EXPECT_NE(notes[0].get<std::string>().find(note), std::string::npos) << notes[0];
        notes.erase(notes.begin());
    }
    EXPECT_EQ(notes, counts.json["notes"]);
}

struct Twin {
    const char* procedure;
    const char* file;  // the table's name: its extension counts
    const char* table;
    std::vector<std::string> args;
    const char* counts;    // the same values, counts first
    const char* used;      // the columns the run must name
    const char* note = "";  // the note the table's run must add first
};

TEST(TablesCli, ATableGivesTheFiguresOfItsCountsFirstTwin) {
    const Twin twins[] = {
        {"IndepT", "wide.csv", "a,b\n1.5,2.25\n2,3\n2.5,\n3.5,4\n", {}, "4\n3\n1.5 2 2.5 3.5\n2.25 3 4\n", "a,b"},
        {"IndepT", "long.csv", "id;grp;val\n1;b;2,5\n2;a;1,25\n3;b;3\n4;a;NA\n5;a;2\n6;b;4,5\n7;a;2,75\n",
         {"--columns", "val", "--group", "grp"}, "3 3\n2.5 3 4.5\n1.25 2 2.75\n", "val|grp"},
        {"PairedT", "pairs.tsv",
         "subj\t\"before, am\"\t\"after \"\"x\"\"\"\n"
         "s1\t10\t12\ns2\t11\t.\ns3\t9\t13\ns4\t14\t15\n",
         {"--columns", "2,3"}, "3\n10 12\n9 13\n14 15\n", "before, am,after \"x\"",
         "1 row with a missing value was left out (line 3)"},
        {"TwoMedianRandomTest", "crlf.txt", "first,second\r\n5,7\r\n6,9\r\n8,\r\n", {"--columns", "2,FIRST"},
         "2 3\n7 9\n5 6 8\n", "second,first"},
        {"Corr1", "xy.csv", "id;x;y\n1;1,5;2\n2;2,5;2,75\n3;3;4,5\n4;4;4\n", {"--columns", "x,y"},
         "4\n1.5 2\n2.5 2.75\n3 4.5\n4 4\n", "x,y"},
        {"OnewayRandom", "groups.tsv", "g1\tg2\tg3\n1\t4\t7\n2\t5\t8\n3\t\t9.5\n", {},
         "3\n3 2 3\n1 2 3\n4 5\n7 8 9.5\n", "g1,g2,g3"},
        {"Repeated1way", "subjects.csv", "who,\"t, 1\",\"t, 2\",\"t, 3\"\nA,5,6,8\nB,4,NA,7\nC,6,6,9\nD,3,5,6\n", {},
         "3\n3\n5 6 8\n6 6 9\n3 5 6\n", "t, 1,t, 2,t, 3", "1 row with a missing value was left out (line 3)"},
        {"PairedCorr", "four.csv", "y1,x1,y2,x2,id\n2,1,3,1,1\n3,2,5,3,2\n5,3,4,2,3\n,4,6,4,4\n6,5,9,6,5\n",
         {"--columns", "x1,y1,x2,y2"}, "4\n1 2 1 3\n2 3 3 5\n3 5 2 4\n5 6 6 9\n", "x1,y1,x2,y2",
         "1 row with a missing value was left out (line 5)"},
        {"BootstMean", "one.csv", "v\n1.5\nNA\n2\n3.25\n2.5\n", {}, "4\n1.5 2 3.25 2.5\n", "v"},
        {"BootstMedian", "named.dat", "name;value\nx;1,5\ny;2,5\nz;4\nw;3,5\n", {}, "4\n1.5 2.5 4 3.5\n", "value"},
        {"BootstCorr", "reversed.tsv",
         "id\ty\tx\n1\t2\t1\n2\t2.5\t2\n3\t5\t3\n4\t4\t4\n5\t7\t5\n"
         "6\t6.5\t6\n7\t9\t7\n8\t8\t8\n9\t11\t9\n10\t10.5\t10\n",
         {"--columns", "3,2"}, "10\n1 2\n2 2.5\n3 5\n4 4\n5 7\n6 6.5\n7 9\n8 8\n9 11\n10 10.5\n", "x,y"},
        {"TwoMedianBootTest", "long.tsv", "g\tv\nlow\t3\nhigh\t9\nlow\t4\nhigh\t8\nlow\t5\n\t6\n", {"--group", "g"},
         "3 2\n3 4 5\n9 8\n", "v|g", "1 value without a group"},
        {"MediationBoot", "xyz.csv",
         "x,y,z\n1,2,3.5\n2,3.5,4\n3,3,6\n4,5,7\n,1,1\n5,6,6.5\n6,5.5,8\n7,8,9\n8,7,11\n9,9.5,10\n10,9,12\n", {},
         "10\n1 2 3.5\n2 3.5 4\n3 3 6\n4 5 7\n5 6 6.5\n6 5.5 8\n7 8 9\n8 7 11\n9 9.5 10\n10 9 12\n", "x,y,z",
         "1 row with a missing value was left out (line 6)"},
        {"OnewayBoot", "groups.csv", "grp;val\nA;1,5\nB;2\nC;3\nA;2\nB;2,5\nC;4\nA;1\n", {"--group", "1"},
         "3\n3 2 2\n1.5 2 1\n2 2.5\n3 4\n", "val|grp"},
    };
    for (const Twin& twin : twins) {
        SCOPED_TRACE(std::string(twin.procedure) + " " + twin.file);
        const fs::path table = WorkFile(twin.file), counts = WorkFile("twin.dat");
        WriteWhole(table, twin.table);
        WriteWhole(counts, twin.counts);
        const Outcome fromTable = RunOn(twin.procedure, table, twin.args);
        ExpectTwins(twin.procedure, fromTable, RunOn(twin.procedure, counts, {}), twin.used, twin.note);
    }
}

// The example tables beside the counts-first examples hold the same values.
TEST(TablesCli, TheExampleTablesGiveTheFiguresOfTheirCountsFirstExamples) {
    const fs::path examples = fs::path(BREVANT_SOURCE_DIR) / "help" / "examples";
    struct Example {
        const char* table;
        std::vector<std::string> args;
    };
    const Example tables[] = {
        {"IndepT-reaction-times.csv", {}},
        {"OnewayRandom-teaching-methods.csv", {"--group", "method"}},
        {"BootstMean-daily-screen-hours.csv", {}},
        {"PairedT-anxiety-before-after.tsv", {}},
        {"Repeated1way-recall-over-three-days.csv", {}},
        {"TwoMedianBootTest-waiting-minutes.tsv", {"--columns", "minutes waited", "--group", "clinic"}},
    };
    std::size_t found = 0;
    for (const auto& entry : fs::directory_iterator(examples)) found += entry.path().extension() != ".dat";
    EXPECT_EQ(found, std::size(tables));
    for (const Example& example : tables) {
        SCOPED_TRACE(example.table);
        const std::string name = example.table;
        const std::string procedure = name.substr(0, name.find('-'));
        const fs::path twin = (examples / name).replace_extension(".dat");
        const Outcome fromTable = RunOn(procedure, examples / name, example.args);
        const Outcome fromCounts = RunOn(procedure, twin, {});
        ASSERT_FALSE(fromTable.json.is_null());
        EXPECT_EQ(fromTable.json["results"], fromCounts.json["results"]);
        EXPECT_EQ(fromTable.output, fromCounts.output);
    }
}

struct Refusal {
    const char* procedure;
    const char* file;
    const char* text;
    std::vector<std::string> args;
    int code;
    std::vector<std::string> says;
};

TEST(TablesCli, RefusalsSayWhatIsWrongAndWriteNothing) {
    const Refusal refusals[] = {
        {"IndepT", "t.csv", "a,b\n1,2\n3,4\n", {"--columns", "a,zz"}, 2, {"no column \"zz\"", "1 \"a\", 2 \"b\""}},
        {"IndepT", "t.csv", "a,b\n1,2\n3,4\n", {"--columns", "1,5"}, 2, {"no column \"5\""}},
        {"PairedCorr", "t.csv", "x,y,label\n1,2,p\n3,4,q\n", {}, 2,
         {"2 numeric columns", "X1, Y1, X2 and Y2", "3 \"label\" (not numbers)"}},
        {"PairedT", "t.csv", "id,a,b\n1,2,3\n2,3,5\n", {}, 2, {"3 numeric columns", "before and after", "1 \"id\""}},
        {"PairedT", "t.csv", "a,b\n1,2\n3,5\n", {"--columns", "a,A"}, 2, {"chosen twice"}},
        {"PairedT", "t.csv", "g,v\n1,2\n3,5\n", {"--group", "g"}, 2, {"takes no grouping column"}},
        {"OnewayRandom", "t.csv", "g,v\n1,2\n3,5\n", {"--columns", "g", "--group", "g"}, 2,
         {"cannot also be the values"}},
        {"IndepT", "t.dat", "2 2\n1 2\n3 4\n", {"--columns", "1,2"}, 2, {"--columns", "names no columns"}},
        {"IndepT", "t.csv", "g,v\na,1\nb,2\nc,3\na,4\nb,5\n", {"--group", "g"}, 3,
         {"column \"g\"", "3 groups", "IndepT compares 2 groups"}},
        {"OnewayBoot", "t.csv", "g,v\na,1\na,2\n", {"--group", "g"}, 3, {"column \"g\"", "1 group"}},
        {"Corr1", "t.csv", "x,y\n1,2\n3,abc\n4,5\n", {}, 3, {"line 3", "column \"y\"", "\"abc\" is not a number"}},
        {"IndepT", "t.tsv", "a\tb\n1,5\t2\n1\tx\n", {"--columns", "a,b"}, 3, {"line 3, column \"b\": \"x\""}},
        {"PairedT", "t.csv", "a,b\n1,2,3\n", {}, 3, {"3 cells on line 2", "header line names 2 columns"}},
        {"PairedT", "t.csv", "a,\"b\n1,2\n3,4\n", {}, 3, {"never closed"}},
        {"PairedT", "t.csv", "a,b\n", {}, 3, {"no rows"}},
        {"PairedT", "t.csv", "", {}, 3, {"is empty"}},
        {"PairedT", "t.csv", "a,b\n1,\n,4\n", {}, 3, {"no row with a value in each"}},
    };
    const fs::path out = WorkFile("refused.out");
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(std::string(refusal.procedure) + " on \"" + refusal.text + "\"");
        const fs::path data = WorkFile(refusal.file);
        WriteWhole(data, refusal.text);
        fs::remove(out);
        std::vector<std::string> args = {refusal.procedure, data.string()};
        if (WritesOutput(refusal.procedure)) args.insert(args.end(), {"--output", out.string()});
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, refusal.code) << run.err;
        for (const std::string& words : refusal.says) EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(ReadWhole(data), refusal.text);
    }
}

// ---------------------------------------------------------------------------------------------------------
// SPSS and Stata files, written here with ReadStat's writer.

ssize_t WriteBytes(const void* bytes, std::size_t length, void* file) {
    return static_cast<ssize_t>(std::fwrite(bytes, 1, length, static_cast<std::FILE*>(file)));
}

// A long table: a labelled group code (1 "control", 2 "treated", treated first), values as doubles with one
// missing; and a wide float column. Portable files take upper-case names only.
void WriteStatisticalFile(const fs::path& path) {
    const std::string extension = path.extension().string();
    const auto name = [&](std::string text) {
        if (extension == ".por") {
            for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return text;
    };
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    readstat_writer_t* writer = readstat_writer_init();
    readstat_set_data_writer(writer, &WriteBytes);
    readstat_label_set_t* labels = readstat_add_label_set(writer, READSTAT_TYPE_INT32, "arms");
    readstat_label_int32_value(labels, 1, "control");
    readstat_label_int32_value(labels, 2, "treated");
    readstat_variable_t* arm = readstat_add_variable(writer, name("arm").c_str(), READSTAT_TYPE_INT16, 0);
    readstat_variable_set_label_set(arm, labels);
    readstat_variable_t* score = readstat_add_variable(writer, name("score").c_str(), READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* rate = readstat_add_variable(writer, name("rate").c_str(), READSTAT_TYPE_FLOAT, 0);
    const int arms[] = {2, 1, 2, 1, 2, 1, 1};
    const double scores[] = {4.1, 2.75, 5.5, -1, 6.25, 3.3, 1.9};  // -1: missing
    const float rates[] = {0.1f, 0.7f, 1.3f, 2.5f, 0.9f, 1.1f, 3.2f};
    readstat_error_t begun = READSTAT_OK;
    if (extension == ".dta") {
        begun = readstat_begin_writing_dta(writer, file, 7);
    } else if (extension == ".por") {
        begun = readstat_begin_writing_por(writer, file, 7);
    } else {
        if (extension == ".zsav") readstat_writer_set_compression(writer, READSTAT_COMPRESS_BINARY);
        begun = readstat_begin_writing_sav(writer, file, 7);
    }
    ASSERT_EQ(begun, READSTAT_OK) << readstat_error_message(begun);
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(readstat_begin_row(writer), READSTAT_OK);
        readstat_insert_int16_value(writer, arm, static_cast<std::int16_t>(arms[i]));
        if (scores[i] < 0) {
            readstat_insert_missing_value(writer, score);
        } else {
            readstat_insert_double_value(writer, score, scores[i]);
        }
        readstat_insert_float_value(writer, rate, rates[i]);
        readstat_end_row(writer);
    }
    EXPECT_EQ(readstat_end_writing(writer), READSTAT_OK);
    readstat_writer_free(writer);
    std::fclose(file);
}

TEST(TablesCli, SpssAndStataFilesAreReadByVariableNamesAndValueLabels) {
    const fs::path longTwin = WorkFile("long-twin.dat"), rateTwin = WorkFile("rate-twin.dat");
    WriteWhole(longTwin, "3 3\n4.1 5.5 6.25\n2.75 3.3 1.9\n");
    WriteWhole(rateTwin, "7\n0.1 0.7 1.3 2.5 0.9 1.1 3.2\n");
    for (const char* name : {"study.sav", "study.zsav", "study.por", "study.dta"}) {
        SCOPED_TRACE(name);
        const fs::path data = WorkFile(name);
        WriteStatisticalFile(data);
        const Outcome grouped = RunOn("IndepT", data, {"--columns", "score", "--group", "arm"});
        const bool portable = data.extension() == ".por";
        ExpectTwins("IndepT", grouped, RunOn("IndepT", longTwin, {}), portable ? "SCORE|ARM" : "score|arm", "");
        ASSERT_FALSE(grouped.json.is_null());
        EXPECT_EQ(grouped.json["groupColumn"]["groups"][0]["name"], "treated");
        EXPECT_EQ(grouped.json["groupColumn"]["groups"][1]["name"], "control");
        // The labelled code is no numeric column: the other two are, so BootstMean needs a choice.
        const CliRun unchosen = Cli({"BootstMean", data.string()});
        EXPECT_EQ(unchosen.code, 2);
        EXPECT_NE(unchosen.err.find(portable ? "1 \"ARM\" (value labels)" : "1 \"arm\" (value labels)"),
                  std::string::npos) << unchosen.err;
        ExpectTwins("BootstMean", RunOn("BootstMean", data, {"--columns", "rate"}), RunOn("BootstMean", rateTwin, {}),
                    portable ? "RATE" : "rate", "");
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
