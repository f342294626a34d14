// SPSS and Stata files as tables, through ReadStat: variable names as column names, each case a row, numbers
// as texts that read back as the float nearest the file's value, value labels as group names.
#include "engine/TableFile.h"

#include <readstat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

namespace brevant {

namespace {

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted += PrintableText(text);
    quoted += '"';
    return quoted;
}

template <typename T>
std::string Shortest(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The value as the counts-first text of the same number would give it: the float nearest the file's value
// in its shortest text (a double beyond the float range keeps its own, which the reader refuses as too large).
std::string NumberText(readstat_value_t value) {
    switch (readstat_value_type(value)) {
        case READSTAT_TYPE_INT8: return std::to_string(readstat_int8_value(value));
        case READSTAT_TYPE_INT16: return std::to_string(readstat_int16_value(value));
        case READSTAT_TYPE_INT32: return std::to_string(readstat_int32_value(value));
        case READSTAT_TYPE_FLOAT: return Shortest(readstat_float_value(value));
        default: {
            const double d = readstat_double_value(value);
            const auto f = static_cast<float>(d);
            return std::isfinite(f) || !std::isfinite(d) ? Shortest(f) : Shortest(d);
        }
    }
}

// The key a value label is found by: the number's exact text, or the string itself.
std::string LabelKey(readstat_value_t value) {
    switch (readstat_value_type(value)) {
        case READSTAT_TYPE_STRING:
        case READSTAT_TYPE_STRING_REF: {
            const char* text = readstat_string_value(value);
            return text == nullptr ? std::string() : std::string(text);
        }
        case READSTAT_TYPE_INT8: return Shortest(static_cast<double>(readstat_int8_value(value)));
        case READSTAT_TYPE_INT16: return Shortest(static_cast<double>(readstat_int16_value(value)));
        case READSTAT_TYPE_INT32: return Shortest(static_cast<double>(readstat_int32_value(value)));
        case READSTAT_TYPE_FLOAT: return Shortest(static_cast<double>(readstat_float_value(value)));
        default: return Shortest(readstat_double_value(value));
    }
}

struct Reading {
    std::string path;
    std::vector<std::string> names;
    std::vector<std::string> labelSets;  // each variable's set of value labels; empty: none
    std::optional<Table> table;
    std::vector<std::optional<std::string>> row;  // the case being read
    long rowIndex = -1;
    std::map<std::size_t, std::vector<std::string>> keys;  // labelled columns: each case's key
    std::map<std::string, std::map<std::string, std::string>> labels;  // set -> key -> label
    std::optional<std::string> error;  // a refusal found in a callback, thrown once ReadStat has returned
    bool outOfMemory = false;
};

void EndCase(Reading& r) {
    if (r.rowIndex < 0) return;
    for (const std::optional<std::string>& cell : r.row) r.table->AddCell(cell ? std::string_view(*cell) : "");
    r.table->EndRow(static_cast<std::size_t>(r.rowIndex) + 1);
    r.row.assign(r.names.size(), std::nullopt);
}

// Runs a callback's body; a refusal or a lack of memory is kept for later and stops the parse.
template <typename Body>
int Guarded(Reading& r, Body body) {
    try {
        body();
        return READSTAT_HANDLER_OK;
    } catch (const DataFileError& e) {
        r.error = e.what();
    } catch (const std::bad_alloc&) {
        r.outOfMemory = true;
    }
    return READSTAT_HANDLER_ABORT;
}

int OnVariable(int, readstat_variable_t* variable, const char* labelSet, void* context) {
    auto& r = *static_cast<Reading*>(context);
    return Guarded(r, [&] {
        const char* name = readstat_variable_get_name(variable);
        r.names.emplace_back(name == nullptr ? "" : name);
        r.labelSets.emplace_back(labelSet == nullptr ? "" : labelSet);
    });
}

int OnValue(int caseIndex, readstat_variable_t* variable, readstat_value_t value, void* context) {
    auto& r = *static_cast<Reading*>(context);
    return Guarded(r, [&] {
        if (!r.table) {
            r.table.emplace(r.path, r.names, "case");
            r.row.assign(r.names.size(), std::nullopt);
        }
        if (caseIndex != r.rowIndex) {
            EndCase(r);
            r.rowIndex = caseIndex;
        }
        const auto column = static_cast<std::size_t>(readstat_variable_get_index(variable));
        if (column >= r.row.size() || readstat_value_is_missing(value, variable)) return;
        if (readstat_value_type_class(value) == READSTAT_TYPE_CLASS_STRING) {
            const char* text = readstat_string_value(value);
            r.row[column] = text == nullptr ? "" : text;
        } else {
            r.row[column] = NumberText(value);
        }
        if (!r.labelSets[column].empty()) {
            std::vector<std::string>& keys = r.keys[column];
            keys.resize(static_cast<std::size_t>(caseIndex) + 1);
            keys.back() = LabelKey(value);
        }
    });
}

int OnValueLabel(const char* labelSet, readstat_value_t value, const char* label, void* context) {
    auto& r = *static_cast<Reading*>(context);
    return Guarded(r, [&] {
        if (labelSet == nullptr || label == nullptr || readstat_value_is_tagged_missing(value) ||
            readstat_value_is_system_missing(value)) {
            return;
        }
        r.labels[labelSet][LabelKey(value)] = label;
    });
}

}  // namespace

Table ReadStatisticalTable(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": it is a folder, not a file.");
    }
    if (const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
        !file) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": " +
                            std::generic_category().message(errno) + ".");
    }
    Reading r;
    r.path = path;
    const std::unique_ptr<readstat_parser_t, void (*)(readstat_parser_t*)> parser(readstat_parser_init(),
                                                                                  &readstat_parser_free);
    if (!parser) throw std::bad_alloc();
    readstat_set_variable_handler(parser.get(), &OnVariable);
    readstat_set_value_handler(parser.get(), &OnValue);
    readstat_set_value_label_handler(parser.get(), &OnValueLabel);

    const std::string lower = [&] {
        std::string text = path.substr(path.find_last_of('.') + 1);
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }();
    const bool stata = lower == "dta";
    readstat_error_t result = READSTAT_OK;
    if (stata) {
        result = readstat_parse_dta(parser.get(), path.c_str(), &r);
    } else if (lower == "por") {
        result = readstat_parse_por(parser.get(), path.c_str(), &r);
    } else {
        result = readstat_parse_sav(parser.get(), path.c_str(), &r);
    }
    if (r.outOfMemory) throw std::bad_alloc();
    if (r.error) throw DataFileError(*r.error);
    if (result != READSTAT_OK) {
        throw DataFileError("The data file " + Quoted(path) + " cannot be read as " +
                            (stata ? "a Stata" : "an SPSS") + " file: " + readstat_error_message(result) + ".");
    }
    if (!r.table) r.table.emplace(path, r.names, "case");  // variables but no cases
    EndCase(r);
    for (auto& [column, keys] : r.keys) {
        const auto set = r.labels.find(r.labelSets[column]);
        if (set == r.labels.end()) continue;
        std::vector<std::string> names(keys.size());
        for (std::size_t row = 0; row < keys.size(); ++row) {
            const auto label = set->second.find(keys[row]);
            if (label != set->second.end() && !r.table->Missing(row, column)) names[row] = label->second;
        }
        if (std::any_of(names.begin(), names.end(), [](const std::string& n) { return !n.empty(); })) {
            r.table->SetLabels(column, std::move(names));
        }
    }
    if (r.names.empty()) {
        throw DataFileError("The data file " + Quoted(path) + " holds no variables.");
    }
    return std::move(*r.table);
}

}  // namespace brevant
