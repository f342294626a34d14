// The table reader: what a table's cells read as, which files are tables, and bad input refused by name;
// and the note on counts-first values that stand in columns.
#include "engine/TableFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::DataFile;
using brevant::DataFileError;
using brevant::Table;

// The cells, row by row: missing ones as "-", each row's number first ("3: a | b").
std::vector<std::string> Cells(const Table& table) {
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < table.Rows(); ++r) {
        std::string row = std::to_string(table.RowNumber(r)) + ":";
        for (std::size_t c = 0; c < table.Columns(); ++c) {
            row += (c == 0 ? " " : " | ") + (table.Missing(r, c) ? std::string("-") : std::string(table.Cell(r, c)));
        }
        rows.push_back(row);
    }
    return rows;
}

std::string ErrorOf(const std::string& text) {
    try {
        brevant::ReadTextTable(text, "t.csv");
    } catch (const DataFileError& e) {
        return e.what();
    }
    return "(read)";
}

TEST(TableFile, CellsAreReadAsTheFileWritesThem) {
    struct Case {
        const char* text;
        std::vector<std::string> names;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        // Quoted names with separators, doubled quotes and a line break; rows numbered as the file's lines.
        {"\xEF\xBB\xBF\"a, b\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n1,2,3\r\n\r\n 4 , NA ,.\r\n",
         {"a, b", "say \"hi\"", "two\r\nlines"}, {"3: 1 | 2 | 3", "5: 4 | - | -"}},
        // Decimal commas where the separator is not a comma; short rows filled, rows of empty cells skipped.
        {"x;y;z\n1,5;-2,25e1;a,b\n;;\n3\n", {"x", "y", "z"}, {"2: 1.5 | -2.25e1 | a,b", "4: 3 | - | -"}},
        {"x\ty\n1,5\t\"2,5\"\n", {"x", "y"}, {"2: 1.5 | 2.5"}},
        // With commas between the cells, a quoted decimal comma stays as written; empty cells past the end go.
        {"x,y\n\"1,5\",2,,\n", {"x", "y"}, {"2: 1,5 | 2"}},
        {"single\n7\n8", {"single"}, {"2: 7", "3: 8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Table table = brevant::ReadTextTable(c.text, "t.csv");
        std::vector<std::string> names;
        for (std::size_t i = 0; i < table.Columns(); ++i) names.push_back(table.ColumnName(i));
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(Cells(table), c.rows);
    }
}

TEST(TableFile, BadInputIsRefusedByLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "is empty"},
        {"\xEF\xBB\xBF\r\n\r\n", "is empty"},
        {"a,b\n1,\"2\n3,4\n", "row that starts on line 2 that is never closed"},
        {"a,b\n1,2x\"\n", "double quote out of place on line 2"},
        {"a,b\n1,2,3,\n", "has 3 cells on line 2, but its header line names 2 columns. If the file writes decimal"},
        {"a;b\n1;2;3\n", "has 3 cells on line 2"},
        {std::string(brevant::kMaxTableColumns, ',') + "\n1\n", "names more than 100000 columns"},
    };
    for (const auto& [text, says] : cases) {
        EXPECT_NE(ErrorOf(text).find(says), std::string::npos) << text.substr(0, 40) << ": " << ErrorOf(text);
    }
    // Wide text is named for what it is, whatever the name.
    const fs::path wide = fs::path(BREVANT_TEST_WORK_DIR) / "engine_tables" / "wide.csv";
    brevant::testing::WriteWhole(wide, std::string("\xFF\xFE" "a\0,\0b\0\n\0", 10));
    try {
        brevant::OpenDataFile(wide.string());
        ADD_FAILURE() << "UTF-16 was read";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("UTF-16"), std::string::npos) << e.what();
    }
}

TEST(TableFile, CountsFirstFilesAreNeverTakenForTables) {
    for (const char* folder : {"help/examples", "fuzz/corpus"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(BREVANT_SOURCE_DIR) / folder)) {
            if (brevant::TableKindOf(entry.path().string()) != brevant::TableKind::kNone) continue;
            EXPECT_FALSE(brevant::LooksLikeTable(brevant::testing::ReadWhole(entry.path()))) << entry.path();
        }
    }
    for (const char* text : {"3 8\n1 2", "10,11\n", "1;2;3\n", "1,5;2,5\n", "nan, inf\n", "\n\n2\t3\n", "+1e3,-0\n"}) {
        EXPECT_FALSE(brevant::LooksLikeTable(text)) << text;
    }
    for (const char* text : {"a,b\n1,2", "\xEF\xBB\xBFx;y\n", "\n\"1\"\t2\n", "1;score\n"}) {
        EXPECT_TRUE(brevant::LooksLikeTable(text)) << text;
    }
    EXPECT_EQ(brevant::TableKindOf("/a.b/data.TSV"), brevant::TableKind::kText);
    EXPECT_EQ(brevant::TableKindOf("study.ZSAV"), brevant::TableKind::kStatistical);
    EXPECT_EQ(brevant::TableKindOf("dir.csv/data"), brevant::TableKind::kNone);
}

TEST(TableFile, ValuesStandingInColumnsAreNotedForGroupByGroupReading) {
    struct Case {
        const char* text;
        std::size_t counts;  // counts before the values
        std::size_t first;   // the first that is a group's size
        bool noted;
    };
    const Case cases[] = {
        {"3\n3\n1 2\n3 4\n5 6\n", 2, 0, true},        // two columns of three
        {"3\n2 2 2\n1 2 3\n4 5 6\n", 4, 1, true},      // three columns of two
        {"3\n2 2 2\n1 2\n3 4\n5 6\n", 4, 1, false},   // lines of 2 for three groups
        {"2\n2\n1 2\n3 4\n", 2, 0, false},            // one group to a line, as the layout has it
        {"3 3 1 2\n3 4\n5 6\n", 2, 0, false},          // values begin on the counts' line
        {"3\n3\n1 2 3\n4 5 6\n", 2, 0, false},
        {"3\n3\n1 2\n3 4\n5 6\n7\n", 2, 0, false},    // an item left unread
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DataFile file = DataFile::FromText(c.text, "c.dat");
        std::vector<std::int32_t> counts;
        for (std::size_t i = 0; i < c.counts; ++i) counts.push_back(file.ReadCount("n", 1, 100));
        std::size_t values = 0;
        for (std::size_t i = c.first; i < counts.size(); ++i) values += static_cast<std::size_t>(counts[i]);
        file.ReadValues(values, "v");
        const auto note = file.GroupsInColumnsNote(c.first);
        EXPECT_EQ(note.has_value(), c.noted) << note.value_or("");
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
