// The columns of a table each procedure reads, and in what roles; the chosen columns laid out as the
// counts-first text that the procedure's reader takes (engine/DataFile.h), so that a table and the same
// values in counts-first text give the same figures and output file by construction. Qt-free.
//
// Independent groups come as one column per group (wide) or as a column of values and a grouping column
// (long, groups in order of first appearance); paired and repeated measures, correlations and mediation as
// one column per role, a row per case. Missing cells (engine/TableFile.h IsMissingText) are skipped in a
// group's column; in the procedures that read row by row, a row with a missing cell in a chosen column is
// left out, with a note.
#pragma once

#include "engine/TableFile.h"

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

// How a procedure's counts-first reader takes its values.
enum class ColumnLayout {
    kTwoGroups,   // the two group sizes, then all of the first group's values, then all of the second's
    kGroups,      // the number of groups (at least 2), their sizes, then each group's values in turn
    kValues,      // one column: the number of values, then the values
    kCases,       // the number of cases, then each case's values in the roles' order
    kTreatments,  // the number of treatments (at least 2) and of subjects, then each subject's scores
};

struct ColumnRoles {
    std::string_view procedure;  // the window name
    ColumnLayout layout;
    // The roles in the procedure's order. kGroups and kTreatments take any number of columns and have one
    // role, the word for each ("group", "treatment"), numbered from 1 in use.
    std::vector<std::string_view> roles;
};

// One row per procedure; nullptr for a name without one (any case).
const ColumnRoles* FindColumnRoles(std::string_view procedure);
std::span<const ColumnRoles> AllColumnRoles();

// Independent groups, which a grouping column can give (the long form).
bool TakesGroupColumn(const ColumnRoles& roles) noexcept;
// Any number of columns, at least 2.
bool TakesAnyNumber(const ColumnRoles& roles) noexcept;
// For the procedures that read group by group: the first of their counts that is a group's size (see
// DataFile::GroupsInColumnsNote); none for the others.
std::optional<std::size_t> FirstGroupSizeCount(const ColumnRoles& roles) noexcept;
// "group A and group B", "X1, Y1, X2 and Y2", "at least 2 groups".
std::string RolesText(const ColumnRoles& roles);

// The columns asked for: names or numbers counting from 1, mixed as the user likes, in the roles' order
// (for the long form, the values column); none: the table's numeric columns as they stand. group: the
// grouping column of the long form, by name or number.
struct ColumnChoice {
    std::vector<std::string> columns;
    std::optional<std::string> group;
};

// A choice the table cannot meet: an unknown column, too few or too many, a grouping column the procedure
// does not take. what() says which; Columns() lists the table's columns for the user to choose from.
class ColumnChoiceError : public std::runtime_error {
public:
    ColumnChoiceError(const std::string& problem, std::string columns)
        : std::runtime_error(problem), columns_(std::move(columns)) {}
    const std::string& Columns() const noexcept { return columns_; }

private:
    std::string columns_;
};

// The table's columns as a list: "1 \"id\" (text), 2 \"before\", 3 \"after\"".
std::string ColumnList(const Table& table);

struct UsedColumn {
    std::string role;    // "group A", "X", "treatment 2"; "values" for the long form's values column
    std::size_t column;  // from 0
};

struct UsedGroup {
    std::string role;    // "group A", "group 3"
    std::string name;    // as the grouping column writes it (or its value label)
    std::size_t values;  // values it holds
};

struct TableLayout {
    std::string text;                        // counts-first, for DataFile::FromText
    std::vector<UsedColumn> columns;         // in the roles' order
    std::optional<std::size_t> groupColumn;  // the long form's grouping column
    std::vector<UsedGroup> groups;           // the long form's groups, in order of first appearance
    std::vector<std::string> notes;          // rows left out
};

// Lays out the chosen columns. Throws ColumnChoiceError for a choice the table cannot meet, DataFileError
// for its data: a cell that is no number (naming row, column and text), a column without values, a long
// form with a number of groups the procedure cannot take.
TableLayout LayOutTable(const Table& table, const ColumnRoles& roles, const ColumnChoice& choice);

// The columns used, for the header of a run: "group A = \"fast\" (column 2), group B = \"slow\" (column 3)";
// the long form: "values \"time\" (column 2) grouped by \"speed\" (column 3): group A = \"fast\" (8 values), ...".
std::string ColumnsText(const Table& table, const TableLayout& layout);

}  // namespace brevant
