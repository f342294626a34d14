#include "engine/TableFile.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <memory>
#include <new>
#include <optional>

namespace brevant {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted += PrintableText(text);
    quoted += '"';
    return quoted;
}

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// "1,5" as "1.5" where a comma does not separate the cells: one comma, no point, and a number once changed.
std::string DecimalPoint(std::string_view cell) {
    std::string text(cell);
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos ||
        text.find('.') != std::string::npos) {
        return text;
    }
    text[comma] = '.';
    return ValueTextProblem(text) ? std::string(cell) : text;
}

// The first line's end outside quotes (or the text's end), from `from`.
std::size_t FirstLineEnd(std::string_view text) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (!quoted && (text[i] == '\n' || text[i] == '\r')) return i;
    }
    return text.size();
}

// The separator of a header line: the most frequent of tab, semicolon and comma outside quotes (ties in that
// order); 0 when there is none.
char SniffSeparator(std::string_view header) {
    constexpr std::array<char, 3> kSeparators = {'\t', ';', ','};
    std::array<std::size_t, 3> counts{};
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') quoted = !quoted;
        for (std::size_t k = 0; k < kSeparators.size() && !quoted; ++k) counts[k] += c == kSeparators[k];
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    return *most == 0 ? '\0' : kSeparators[static_cast<std::size_t>(most - counts.begin())];
}

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string Extension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return Lower(std::string_view(path).substr(dot + 1));
}

// ---------------------------------------------------------------------------------------------------------
// Text tables through libcsv. Lines are fed one at a time so that each row knows the line it starts on; the
// callbacks only collect (nothing may be thrown through the C library), and the rows are checked after each
// line.

// A row as libcsv gave it. Only as many cells are kept as the header names columns (kMaxTableColumns for
// the header itself); those past them are counted, so a file of separators alone takes no memory.
struct Record {
    std::vector<std::string> cells;
    std::size_t line = 0;    // the line it starts on
    std::size_t beyond = 0;  // cells past the kept ones
    std::size_t filledBeyond = 0;  // of which not empty: the last one's position past the kept ones
};

struct Parse {
    std::string name;
    char separator = ',';
    std::size_t columns = 0;     // once the header is read
    std::size_t line = 0;        // the line being fed, from 1
    bool inRecord = false;
    Record record;               // the row being read
    std::vector<Record> records;  // finished rows not yet taken
    bool failed = false;  // memory ran out in a callback
};

void OnField(void* data, std::size_t length, void* context) {
    auto& p = *static_cast<Parse*>(context);
    if (p.failed) return;
    try {
        const std::string_view field(static_cast<const char*>(data), data == nullptr ? 0 : length);
        if (p.record.cells.size() >= (p.columns == 0 ? kMaxTableColumns : p.columns)) {
            ++p.record.beyond;
            if (!Trimmed(field).empty()) p.record.filledBeyond = p.record.beyond;
            return;
        }
        p.record.cells.emplace_back(field);
    } catch (const std::bad_alloc&) {
        p.failed = true;
    }
}

void OnRecordEnd(int, void* context) {
    auto& p = *static_cast<Parse*>(context);
    if (p.failed) return;
    try {
        p.records.push_back(std::move(p.record));
        p.record = Record{};
        p.inRecord = false;
    } catch (const std::bad_alloc&) {
        p.failed = true;
    }
}

[[noreturn]] void Refuse(const std::string& name, const std::string& problem) {
    throw DataFileError("The data file " + Quoted(name) + " " + problem);
}

// Adds one row of a text table, or skips it when all its cells are empty.
void AddRecord(Table& table, const Parse& p, const Record& record) {
    const std::vector<std::string>& cells = record.cells;
    const auto empty = [](const std::string& c) { return Trimmed(c).empty(); };
    if (record.filledBeyond == 0 && std::all_of(cells.begin(), cells.end(), empty)) return;
    // Empty cells past the last column (separators at the ends of lines) are no cells.
    if (record.filledBeyond > 0) {
        std::string problem = "has " + std::to_string(cells.size() + record.filledBeyond) + " cells on line " +
                              std::to_string(record.line) +
                              ", but its header line names " + std::to_string(table.Columns()) +
                              (table.Columns() == 1 ? " column." : " columns.");
        if (p.separator == ',') {
            problem += " If the file writes decimal commas (1,5 for 1.5), separate its cells by semicolons or tabs.";
        } else {
            problem += " A cell that holds the separator is written in double quotes.";
        }
        Refuse(p.name, problem);
    }
    for (const std::string& cell : cells) {
        const std::string_view text = Trimmed(cell);
        if (IsMissingText(text)) {
            table.AddCell({});
        } else if (p.separator != ',') {
            table.AddCell(DecimalPoint(text));
        } else {
            table.AddCell(text);
        }
    }
    table.EndRow(record.line);
}

}  // namespace

TableKind TableKindOf(const std::string& path) {
    const std::string extension = Extension(path);
    if (extension == "csv" || extension == "tsv") return TableKind::kText;
    if (extension == "sav" || extension == "zsav" || extension == "por" || extension == "dta") {
        return TableKind::kStatistical;
    }
    return TableKind::kNone;
}

bool IsMissingText(std::string_view cell) {
    cell = Trimmed(cell);
    return cell.empty() || cell == "NA" || cell == ".";
}

bool LooksLikeTable(std::string_view text) {
    text = WithoutByteOrderMark(text);
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    text.remove_prefix(start);
    const std::string_view header = text.substr(0, FirstLineEnd(text));
    if (SniffSeparator(header) == '\0') return false;
    // A name is any word that does not read as a number (infinities and NaN included), whichever of the
    // separators and blanks is taken to part the words: "1,5;2,5" holds none.
    const auto number = [](std::string_view word) {
        if (word.starts_with('+')) word.remove_prefix(1);
        double value = 0;
        const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
        return result.ptr == word.data() + word.size() && !word.empty() && word.front() != '+' &&
               (result.ec == std::errc() || result.ec == std::errc::result_out_of_range);
    };
    for (std::size_t from = 0; from < header.size();) {
        const std::size_t end = std::min(header.find_first_of(",; \t", from), header.size());
        const std::string_view word = header.substr(from, end - from);
        if (!word.empty() && !number(word)) return true;
        from = end + 1;
    }
    return false;
}

Table::Table(std::string name, std::vector<std::string> columns, std::string rowWord)
    : name_(std::move(name)), columns_(std::move(columns)), rowWord_(std::move(rowWord)), labels_(columns_.size()) {}

std::string Table::QuotedName() const { return Quoted(name_); }

std::string Table::ColumnLabel(std::size_t column) const {
    if (columns_[column].empty()) return "column " + std::to_string(column + 1);
    return "column " + Quoted(columns_[column]);
}

std::string Table::RowLabel(std::size_t row) const { return rowWord_ + " " + std::to_string(rowNumbers_[row]); }

std::string_view Table::Cell(std::size_t row, std::size_t column) const {
    const std::size_t i = row * Columns() + column;
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
}

std::string_view Table::GroupName(std::size_t row, std::size_t column) const {
    if (Labelled(column) && !labels_[column][row].empty()) return labels_[column][row];
    return Cell(row, column);
}

void Table::AddCell(std::string_view text) {
    if (rowCells_ == Columns()) return;  // the readers refuse long rows before they get here
    if (ends_.size() >= kMaxTableCells) {
        Refuse(name_, "holds more than " + std::to_string(kMaxTableCells) +
                          " cells; a table of at most that many cells can be read.");
    }
    if (text_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
        Refuse(name_, "holds too much text to be read as a table.");
    }
    const bool missing = IsMissingText(text);
    if (!missing) text_.append(text);
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    missing_.push_back(missing);
    ++rowCells_;
}

void Table::EndRow(std::size_t number) {
    while (rowCells_ < Columns()) AddCell({});
    rowNumbers_.push_back(number);
    rowCells_ = 0;
}

void Table::SetLabels(std::size_t column, std::vector<std::string> labels) {
    labels.resize(Rows());
    labels_[column] = std::move(labels);
}

Table ReadTextTable(std::string_view text, const std::string& name) {
    text = WithoutByteOrderMark(text);
    if (text.find_first_not_of(" \t\r\n\f\v\x1A") == std::string_view::npos) {
        Refuse(name, "is empty: a table needs a first line naming its columns and a row of values below it.");
    }
    Parse p;
    p.name = name;
    const std::size_t firstLine = text.find_first_not_of("\r\n");
    p.separator = SniffSeparator(text.substr(firstLine, FirstLineEnd(text.substr(firstLine))));
    if (p.separator == '\0') p.separator = Extension(name) == "tsv" ? '\t' : ',';

    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> owner(&parser, &csv_free);
    csv_set_delim(&parser, static_cast<unsigned char>(p.separator));
    // Only blanks are trimmed around unquoted cells: a tab may be the separator.
    if (p.separator == '\t') csv_set_space_func(&parser, [](unsigned char c) -> int { return c == ' '; });

    std::optional<Table> table;
    const auto takeRecords = [&] {
        if (p.failed) throw std::bad_alloc();
        for (const Record& record : p.records) {
            if (table) {
                AddRecord(*table, p, record);
                continue;
            }
            if (record.beyond > 0) {
                Refuse(name, "names more than " + std::to_string(kMaxTableColumns) + " columns in its first line; "
                             "a table of at most that many columns can be read.");
            }
            std::vector<std::string> names;
            for (const std::string& field : record.cells) names.emplace_back(Trimmed(field));
            table.emplace(name, std::move(names), "line");
            p.columns = table->Columns();
        }
        p.records.clear();
    };
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find_first_of("\r\n", from);
        end = end == std::string_view::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        ++p.line;
        const std::size_t length = end - from;
        // A row starts on the first line with anything on it after the last row ended; a quoted cell may
        // carry it over more lines.
        if (!p.inRecord && text.substr(from, length).find_first_not_of(" \r\n") != std::string_view::npos) {
            p.record.line = p.line;
            p.inRecord = true;
        }
        if (csv_parse(&parser, text.data() + from, length, &OnField, &OnRecordEnd, &p) != length) {
            if (csv_error(&parser) != CSV_EPARSE) throw std::bad_alloc();
            Refuse(name, "has a double quote out of place on line " + std::to_string(p.line) +
                             ": a cell that holds double quotes is written in double quotes, each inner one doubled "
                             "(\"say \"\"hi\"\"\").");
        }
        takeRecords();
        from = end;
    }
    if (csv_fini(&parser, &OnField, &OnRecordEnd, &p) != 0) {
        Refuse(name, "has a double quote in the row that starts on line " + std::to_string(p.record.line) +
                         " that is never closed: a quoted cell ends with a double quote.");
    }
    takeRecords();
    if (!table) Refuse(name, "is empty: a table needs a first line naming its columns and a row of values below it.");
    return std::move(*table);
}

std::vector<std::string> SplitCells(std::string_view line, char separator) {
    Parse p;
    csv_parser parser;
    if (csv_init(&parser, 0) != 0) throw std::bad_alloc();
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> owner(&parser, &csv_free);
    csv_set_delim(&parser, static_cast<unsigned char>(separator));
    csv_parse(&parser, line.data(), line.size(), &OnField, &OnRecordEnd, &p);
    csv_fini(&parser, &OnField, &OnRecordEnd, &p);
    if (p.failed) throw std::bad_alloc();
    std::vector<std::string> cells;
    for (Record& record : p.records) {
        for (std::string& cell : record.cells) cells.push_back(std::move(cell));
    }
    return cells;
}

std::variant<DataFile, Table> OpenDataFile(const std::string& path) {
    const TableKind kind = TableKindOf(path);
    if (kind == TableKind::kStatistical) return ReadStatisticalTable(path);
    std::string text = DataFile::ReadText(path);
    if (kind == TableKind::kText || LooksLikeTable(text)) return ReadTextTable(text, path);
    return DataFile::FromText(std::move(text), path);
}

}  // namespace brevant
