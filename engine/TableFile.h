// Tables as data files: a header line naming the columns, then one row of cells a line. Text tables are
// read with libcsv (commas, semicolons or tabs, as the header line shows; RFC 4180 quoting; CR LF or LF);
// SPSS (.sav, .zsav, .por) and Stata (.dta) files with ReadStat (StatisticalFiles.cpp). A table keeps its
// cells as text: analysis/ColumnRoles.h lays the chosen columns out as the counts-first text DataFile reads,
// so a value reads the same from a table as from counts-first text. Every failure throws DataFileError.
#pragma once

#include "engine/DataFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brevant {

// Cells a table may hold, empty ones included: far beyond the values a procedure can use, and a bound on the
// memory a file of separators alone could take.
inline constexpr std::size_t kMaxTableCells = 16'000'000;
// Columns a table may name.
inline constexpr std::size_t kMaxTableColumns = 100'000;

// What a file's name says it is: a text table (.csv, .tsv), a statistical package's file (.sav, .zsav, .por,
// .dta), or nothing (any other name: a table when LooksLikeTable says so, else counts-first).
enum class TableKind { kNone, kText, kStatistical };
TableKind TableKindOf(const std::string& path);

// Whether text is a table although its name does not say so: its first line that is not blank holds a
// separator (comma, semicolon or tab) and a name that is not a number. Counts-first files never do.
bool LooksLikeTable(std::string_view text);

// Empty cells, NA and "." are missing values.
bool IsMissingText(std::string_view cell);

class Table {
public:
    // rowWord names rows in messages: "line" (text tables, numbered as the file's lines, the header being
    // line 1) or "case" (statistical files, numbered from 1).
    Table(std::string name, std::vector<std::string> columns, std::string rowWord);

    const std::string& Name() const noexcept { return name_; }
    std::string QuotedName() const;
    std::size_t Columns() const noexcept { return columns_.size(); }
    const std::string& ColumnName(std::size_t column) const { return columns_[column]; }
    // The column as messages name it: "column \"after\"", or "column 3" when its name is empty.
    std::string ColumnLabel(std::size_t column) const;
    std::size_t Rows() const noexcept { return rowNumbers_.size(); }
    // "line 7" or "case 6": the word, then the row's number in the file.
    std::string RowLabel(std::size_t row) const;
    const std::string& RowWord() const noexcept { return rowWord_; }
    std::size_t RowNumber(std::size_t row) const { return rowNumbers_[row]; }

    bool Missing(std::size_t row, std::size_t column) const { return missing_[row * Columns() + column]; }
    // The cell's text, blanks around it removed, a decimal comma read as a point; empty when missing.
    std::string_view Cell(std::size_t row, std::size_t column) const;
    // The name of a group the cell stands for in a grouping column: its value label where the file gives one,
    // else its text.
    std::string_view GroupName(std::size_t row, std::size_t column) const;
    // Whether the file gives the column value labels (a grouping column, not values).
    bool Labelled(std::size_t column) const { return !labels_[column].empty(); }

    // Building, for the readers: cells row by row, then the row's number in the file. A row short of cells is
    // filled with missing ones. Refuses (DataFileError) past kMaxTableCells.
    void AddCell(std::string_view text);
    void EndRow(std::size_t number);
    // Value labels of a column, one per row (empty: none for that cell).
    void SetLabels(std::size_t column, std::vector<std::string> labels);

private:
    std::string name_;
    std::vector<std::string> columns_;
    std::string rowWord_;
    std::string text_;                    // every cell's text, one after the other
    std::vector<std::uint32_t> ends_;     // where each cell's text ends in text_, row by row
    std::vector<bool> missing_;
    std::vector<std::size_t> rowNumbers_;
    std::vector<std::vector<std::string>> labels_;  // per column; empty for most
    std::size_t rowCells_ = 0;             // cells of the row being built
};

// A text table read from its bytes (a UTF-8 byte-order mark skipped); name is used in messages. Any bytes
// give a table or a DataFileError naming the line.
Table ReadTextTable(std::string_view text, const std::string& name);

// An SPSS or Stata file (TableKindOf(path) == kStatistical), with its variable names as column names, numbers
// written so that they read back as the float nearest the file's value, and value labels as group names.
Table ReadStatisticalTable(const std::string& path);

// The cells of one line of text separated by separator, quoted as in a table (a list of column names).
std::vector<std::string> SplitCells(std::string_view line, char separator);

// A data file read as what it is: a table, or counts-first text.
std::variant<DataFile, Table> OpenDataFile(const std::string& path);

}  // namespace brevant
