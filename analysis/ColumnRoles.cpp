#include "analysis/ColumnRoles.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace brevant {

namespace {

const std::vector<ColumnRoles>& RolesTable() {
    using enum ColumnLayout;
    static const std::vector<ColumnRoles> table = {
        {"IndepT", kTwoGroups, {"group A", "group B"}},
        {"PairedT", kCases, {"before", "after"}},
        {"TwoMedianRandomTest", kTwoGroups, {"group 1", "group 2"}},
        {"Corr1", kCases, {"X", "Y"}},
        {"OnewayRandom", kGroups, {"group"}},
        {"Repeated1way", kTreatments, {"treatment"}},
        {"PairedCorr", kCases, {"X1", "Y1", "X2", "Y2"}},
        {"BootstMean", kValues, {"values"}},
        {"BootstMedian", kValues, {"values"}},
        {"BootstCorr", kCases, {"X", "Y"}},
        {"TwoMedianBootTest", kTwoGroups, {"group 1", "group 2"}},
        {"MediationBoot", kCases, {"X", "Y", "Z"}},
        {"OnewayBoot", kGroups, {"group"}},
    };
    return table;
}

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted += PrintableText(text);
    quoted += '"';
    return quoted;
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The rows as a note names them: "line 7", "lines 4, 9 and 12", "lines 4, 9, 12, 15, 20 and 3 more".
std::string RowsText(const Table& table, const std::vector<std::size_t>& rows) {
    constexpr std::size_t kShown = 5;
    std::vector<std::string> numbers;
    for (std::size_t i = 0; i < rows.size() && i < kShown; ++i) {
        numbers.push_back(std::to_string(table.RowNumber(rows[i])));
    }
    if (rows.size() > kShown) numbers.push_back(std::to_string(rows.size() - kShown) + " more");
    return table.RowWord() + (rows.size() == 1 ? " " : "s ") + Listed(numbers);
}

// A column of numbers, for the automatic choice: most of its cells that are not missing read as numbers (so
// that a slip among them is named when the column is read, not taken for a column of text), and it has no
// value labels.
bool NumericColumn(const Table& table, std::size_t column) {
    if (table.Labelled(column)) return false;
    std::size_t cells = 0, numbers = 0;
    for (std::size_t row = 0; row < table.Rows(); ++row) {
        if (table.Missing(row, column)) continue;
        ++cells;
        numbers += !ValueTextProblem(table.Cell(row, column));
    }
    return 2 * numbers > cells;
}

std::optional<std::size_t> ColumnNumber(std::string_view text) {
    std::size_t number = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty()) return std::nullopt;
    return number;
}

class Chooser {
public:
    Chooser(const Table& table, const ColumnRoles& roles) : table_(table), roles_(roles) {}

    [[noreturn]] void Refuse(const std::string& problem) const { throw ColumnChoiceError(problem, ColumnList(table_)); }

    // A column by its name (exactly, else in any case when only one matches) or its number from 1.
    std::size_t Find(const std::string& wanted) const {
        for (const bool exact : {true, false}) {
            std::vector<std::size_t> found;
            for (std::size_t c = 0; c < table_.Columns(); ++c) {
                const std::string& name = table_.ColumnName(c);
                if (exact ? name == wanted : SameLetters(name, wanted)) found.push_back(c);
            }
            if (found.size() == 1) return found[0];
            if (found.size() > 1 && exact) {
                Refuse("the table " + table_.QuotedName() + " has " + std::to_string(found.size()) +
                       " columns named " + Quoted(wanted) + "; choose one by its number.");
            }
        }
        if (const auto number = ColumnNumber(wanted); number && *number >= 1 && *number <= table_.Columns()) {
            return *number - 1;
        }
        Refuse("the table " + table_.QuotedName() + " has no column " + Quoted(wanted) + ".");
    }

    // What the procedure needs, as the end of a sentence.
    std::string Needs() const {
        std::string needs = RolesText(roles_);
        if (TakesGroupColumn(roles_)) needs += ", or one column of values and a grouping column";
        return needs;
    }

private:
    const Table& table_;
    const ColumnRoles& roles_;
};

[[noreturn]] void RefuseCell(const Table& table, std::size_t row, std::size_t column, const std::string& problem) {
    throw DataFileError("The data file " + table.QuotedName() + ", " + table.RowLabel(row) + ", " +
                        table.ColumnLabel(column) + ": " + problem);
}

// The cell as a value's text, refused when it is no number.
std::string_view ValueText(const Table& table, std::size_t row, std::size_t column) {
    const std::string_view cell = table.Cell(row, column);
    if (const auto problem = ValueTextProblem(cell)) RefuseCell(table, row, column, *problem);
    return cell;
}

void AppendLine(std::string& text, const std::vector<std::string_view>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ' ';
        text += values[i];
    }
    text += '\n';
}

// Each group's values as the counts-first layout writes them: sizes first (after any leading count).
std::string GroupsText(ColumnLayout layout, const std::vector<std::vector<std::string_view>>& groups) {
    std::string text;
    if (layout == ColumnLayout::kGroups) text += std::to_string(groups.size()) + "\n";
    std::vector<std::string> sizes;
    for (const auto& group : groups) sizes.push_back(std::to_string(group.size()));
    for (std::size_t j = 0; j < sizes.size(); ++j) text += sizes[j] + (j + 1 == sizes.size() ? "\n" : " ");
    for (const auto& group : groups) AppendLine(text, group);
    return text;
}

std::string RoleName(const ColumnRoles& roles, std::size_t i) {
    if (TakesAnyNumber(roles)) return std::string(roles.roles[0]) + " " + std::to_string(i + 1);
    return std::string(roles.roles[i]);
}

void LayOutWide(const Table& table, const ColumnRoles& roles, TableLayout& layout) {
    std::vector<std::vector<std::string_view>> groups;
    for (const UsedColumn& used : layout.columns) {
        std::vector<std::string_view> values;
        for (std::size_t row = 0; row < table.Rows(); ++row) {
            if (!table.Missing(row, used.column)) values.push_back(ValueText(table, row, used.column));
        }
        if (values.empty()) {
            throw DataFileError("The data file " + table.QuotedName() + ", " + table.ColumnLabel(used.column) +
                                " (" + used.role + "): the column holds no values.");
        }
        groups.push_back(std::move(values));
    }
    if (roles.layout == ColumnLayout::kValues) {
        layout.text = std::to_string(groups[0].size()) + "\n";
        AppendLine(layout.text, groups[0]);
    } else {
        layout.text = GroupsText(roles.layout, groups);
    }
}

void LayOutLong(const Table& table, const ColumnRoles& roles, TableLayout& layout) {
    const std::size_t valuesColumn = layout.columns[0].column, groupColumn = *layout.groupColumn;
    std::vector<std::vector<std::string_view>> groups;
    std::vector<std::string_view> names;
    std::vector<std::size_t> withoutGroup;
    for (std::size_t row = 0; row < table.Rows(); ++row) {
        if (table.Missing(row, valuesColumn)) continue;
        const std::string_view value = ValueText(table, row, valuesColumn);
        if (table.Missing(row, groupColumn)) {
            withoutGroup.push_back(row);
            continue;
        }
        const std::string_view name = table.GroupName(row, groupColumn);
        const auto j = static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
        if (j == names.size()) {
            names.push_back(name);
            groups.emplace_back();
        }
        groups[j].push_back(value);
    }
    const std::size_t k = groups.size();
    if ((roles.layout == ColumnLayout::kTwoGroups && k != 2) || k < 2) {
        std::vector<std::string> shown;
        for (std::size_t j = 0; j < k && j < 5; ++j) shown.push_back(Quoted(names[j]));
        if (k > 5) shown.push_back(std::to_string(k - 5) + " more");
        const std::string compares = roles.layout == ColumnLayout::kTwoGroups ? "2 groups" : "at least 2 groups";
        throw DataFileError("The data file " + table.QuotedName() + ": the grouping " +
                            table.ColumnLabel(groupColumn) + " holds " + Counted(k, "group", "groups") +
                            (k == 0 ? "" : " (" + Listed(shown) + ")") + " with values; " +
                            std::string(roles.procedure) + " compares " + compares + ".");
    }
    for (std::size_t j = 0; j < k; ++j) {
        const std::string role = roles.layout == ColumnLayout::kTwoGroups ? std::string(roles.roles[j])
                                                                         : "group " + std::to_string(j + 1);
        layout.groups.push_back({role, std::string(names[j]), groups[j].size()});
    }
    layout.text = GroupsText(roles.layout, groups);
    if (!withoutGroup.empty()) {
        layout.notes.push_back(Counted(withoutGroup.size(), "value", "values") + " without a group (an empty cell in " +
                               "the grouping " + table.ColumnLabel(groupColumn) + ") " +
                               (withoutGroup.size() == 1 ? "was" : "were") + " left out (" +
                               RowsText(table, withoutGroup) + ").");
    }
}

void LayOutRows(const Table& table, const ColumnRoles& roles, TableLayout& layout) {
    std::string rows;
    std::vector<std::size_t> leftOut;
    std::size_t kept = 0;
    std::vector<std::string_view> values(layout.columns.size());
    for (std::size_t row = 0; row < table.Rows(); ++row) {
        const bool missing = std::any_of(layout.columns.begin(), layout.columns.end(),
                                         [&](const UsedColumn& used) { return table.Missing(row, used.column); });
        if (missing) {
            leftOut.push_back(row);
            continue;
        }
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = ValueText(table, row, layout.columns[i].column);
        AppendLine(rows, values);
        ++kept;
    }
    if (kept == 0) {
        throw DataFileError("The data file " + table.QuotedName() + " has no row with a value in each of the " +
                            "chosen columns.");
    }
    layout.text = roles.layout == ColumnLayout::kTreatments
                      ? std::to_string(layout.columns.size()) + "\n" + std::to_string(kept) + "\n"
                      : std::to_string(kept) + "\n";
    layout.text += rows;
    if (!leftOut.empty()) {
        layout.notes.push_back(Counted(leftOut.size(), "row", "rows") + " with a missing value " +
                               (leftOut.size() == 1 ? "was" : "were") + " left out (" + RowsText(table, leftOut) +
                               ").");
    }
}

}  // namespace

std::span<const ColumnRoles> AllColumnRoles() { return RolesTable(); }

const ColumnRoles* FindColumnRoles(std::string_view procedure) {
    for (const ColumnRoles& roles : RolesTable()) {
        if (SameLetters(roles.procedure, procedure)) return &roles;
    }
    return nullptr;
}

bool TakesGroupColumn(const ColumnRoles& roles) noexcept {
    return roles.layout == ColumnLayout::kTwoGroups || roles.layout == ColumnLayout::kGroups;
}

bool TakesAnyNumber(const ColumnRoles& roles) noexcept {
    return roles.layout == ColumnLayout::kGroups || roles.layout == ColumnLayout::kTreatments;
}

std::optional<std::size_t> FirstGroupSizeCount(const ColumnRoles& roles) noexcept {
    if (roles.layout == ColumnLayout::kTwoGroups) return 0;
    if (roles.layout == ColumnLayout::kGroups) return 1;
    return std::nullopt;
}

std::string RolesText(const ColumnRoles& roles) {
    if (TakesAnyNumber(roles)) return "a column for each " + std::string(roles.roles[0]) + ", at least 2";
    if (roles.roles.size() == 1) return "1 column of " + std::string(roles.roles[0]);
    std::vector<std::string> names(roles.roles.begin(), roles.roles.end());
    return Counted(names.size(), "column", "columns") + " (" + Listed(names) + ")";
}

std::string ColumnList(const Table& table) {
    constexpr std::size_t kShown = 60;
    std::vector<std::string> items;
    for (std::size_t c = 0; c < table.Columns() && c < kShown; ++c) {
        std::string item = std::to_string(c + 1) + " ";
        item += table.ColumnName(c).empty() ? "(no name)" : Quoted(table.ColumnName(c));
        if (table.Labelled(c)) {
            item += " (value labels)";
        } else if (!NumericColumn(table, c)) {
            bool empty = true;
            for (std::size_t row = 0; row < table.Rows() && empty; ++row) empty = table.Missing(row, c);
            item += empty ? " (empty)" : " (not numbers)";
        }
        items.push_back(std::move(item));
    }
    if (table.Columns() > kShown) items.push_back("and " + std::to_string(table.Columns() - kShown) + " more");
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
    return list;
}

TableLayout LayOutTable(const Table& table, const ColumnRoles& roles, const ColumnChoice& choice) {
    const Chooser chooser(table, roles);
    const std::string procedure(roles.procedure);
    if (table.Rows() == 0) {
        throw DataFileError("The data file " + table.QuotedName() + " holds no rows of values below its header.");
    }
    TableLayout layout;
    std::vector<std::size_t> columns;
    for (const std::string& wanted : choice.columns) columns.push_back(chooser.Find(wanted));
    if (choice.group) {
        if (!TakesGroupColumn(roles)) chooser.Refuse(procedure + " takes no grouping column.");
        const std::size_t group = chooser.Find(*choice.group);
        if (columns.empty()) {
            for (std::size_t c = 0; c < table.Columns(); ++c) {
                if (c != group && NumericColumn(table, c)) columns.push_back(c);
            }
            if (columns.size() != 1) {
                chooser.Refuse("the table " + table.QuotedName() + " has " +
                               Counted(columns.size(), "numeric column", "numeric columns") + " besides the grouping " +
                               table.ColumnLabel(group) + "; choose the column of values.");
            }
        }
        if (columns.size() != 1) {
            chooser.Refuse("with a grouping column, " + procedure + " takes one column of values, not " +
                           std::to_string(columns.size()) + ".");
        }
        if (columns[0] == group) {
            chooser.Refuse("the grouping " + table.ColumnLabel(group) + " cannot also be the values.");
        }
        layout.columns.push_back({"values", columns[0]});
        layout.groupColumn = group;
        LayOutLong(table, roles, layout);
        return layout;
    }
    const bool any = TakesAnyNumber(roles);
    const std::size_t needed = roles.roles.size();
    if (columns.empty()) {
        for (std::size_t c = 0; c < table.Columns(); ++c) {
            if (NumericColumn(table, c)) columns.push_back(c);
        }
        if (any ? columns.size() < 2 : columns.size() != needed) {
            chooser.Refuse("the table " + table.QuotedName() + " has " +
                           Counted(columns.size(), "numeric column", "numeric columns") + ", and " + procedure +
                           " needs " + chooser.Needs() + ".");
        }
    } else if (any ? columns.size() < 2 : columns.size() != needed) {
        chooser.Refuse(procedure + " needs " + chooser.Needs() + "; " +
                       Counted(columns.size(), "column was", "columns were") + " chosen.");
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (std::find(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(i), columns[i]) !=
            columns.begin() + static_cast<std::ptrdiff_t>(i)) {
            chooser.Refuse(table.ColumnLabel(columns[i]) + " is chosen twice.");
        }
        layout.columns.push_back({RoleName(roles, i), columns[i]});
    }
    if (roles.layout == ColumnLayout::kCases || roles.layout == ColumnLayout::kTreatments) {
        LayOutRows(table, roles, layout);
    } else {
        LayOutWide(table, roles, layout);
    }
    return layout;
}

std::string ColumnsText(const Table& table, const TableLayout& layout) {
    const auto column = [&](std::size_t c) {
        const std::string number = "column " + std::to_string(c + 1);
        return table.ColumnName(c).empty() ? number : Quoted(table.ColumnName(c)) + " (" + number + ")";
    };
    std::vector<std::string> parts;
    if (layout.groupColumn) {
        for (const UsedGroup& group : layout.groups) {
            parts.push_back(group.role + " = " + Quoted(group.name) + " (" + Counted(group.values, "value", "values") +
                            ")");
        }
        std::string text =
            "values " + column(layout.columns[0].column) + " grouped by " + column(*layout.groupColumn) + ": ";
        for (std::size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? ", " : "") + parts[i];
        return text;
    }
    std::string text;
    for (const UsedColumn& used : layout.columns) {
        text += (text.empty() ? "" : ", ") + used.role + " = " + column(used.column);
    }
    return text;
}

}  // namespace brevant
