// libFuzzer target: the data-file reader, the table reader with the columns laid out for a procedure, and
// the batch tool's count, confidence and seed readers, on any bytes. Besides crashes and sanitizer reports,
// it stops on a broken promise: a count out of its range, a value that is not finite, seeds the generator
// cannot use, a table laid out as text its procedure's reader cannot read, or a message with raw control or
// non-UTF-8 bytes.
#include "analysis/ColumnRoles.h"
#include "analysis/Procedure.h"
#include "cli/OptionValues.h"
#include "engine/DataFile.h"
#include "engine/TableFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace brevant;

// Valid UTF-8 without control characters: what every message must be.
bool Printable(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return false;
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

void Require(bool promise) {
    if (!promise) std::abort();
}

void OptionValues(const std::string& text) {
    try {
        const std::int32_t r = cli::ParseResamples(text);
        Require(r >= 1 && r <= kMaxResamples);
    } catch (const cli::UsageError& e) {
        Require(Printable(e.what()));
    }
    try {
        const auto [level, quantile] = cli::ParseConfidence(text);
        Require((level == 90 || level == 95 || level == 99) && quantile > 0.5f && quantile < 1.0f);
    } catch (const cli::UsageError& e) {
        Require(Printable(e.what()));
    }
    try {
        Require(SeedsValid(cli::ParseSeeds(text)));
    } catch (const cli::UsageError& e) {
        Require(Printable(e.what()));
    }
}

// Reads as the procedures do: a number of groups, then each group's size and values, in one of three ways
// picked by the input, then the note on what was left unread.
void ReadData(const std::string& text, int way) {
    try {
        DataFile file = DataFile::FromText(text, "fuzz.dat");
        const std::int32_t groups = way == 2 ? 1 : file.ReadCount("the number of groups", 1, 10);
        Require(groups >= 1 && groups <= 10);
        for (std::int32_t g = 0; g < groups; ++g) {
            const std::int32_t n = file.ReadCount("the size of a group", 0, 1000);
            Require(n >= 0 && n <= 1000);
            if (way == 1) {
                for (std::int32_t i = 0; i < n; ++i) Require(std::isfinite(file.ReadValue("a value")));
            } else {
                for (const float v : file.ReadValues(static_cast<std::size_t>(n), "the values")) Require(std::isfinite(v));
            }
        }
        if (const auto note = file.UnreadItemsNote()) Require(Printable(*note) && file.ItemsLeft() > 0);
    } catch (const DataFileError& e) {
        Require(Printable(e.what()));
    }
}

// Reads the bytes as a table and lays it out for a procedure picked by the input, the columns chosen as the
// table stands or as the bytes' last line names them; the laid-out text must read whole as counts first.
void ReadTable(const std::string& text, std::size_t pick) {
    try {
        const Table table = ReadTextTable(text, "fuzz.csv");
        const std::span<const ColumnRoles> all = AllColumnRoles();
        const ColumnRoles& roles = all[pick % all.size()];
        ColumnChoice choice;
        if (pick % 2 == 1) {
            choice.columns = SplitCells(text.substr(text.find_last_of('\n') + 1, 64), ',');
        }
        if (pick % 4 == 3 && TakesGroupColumn(roles)) choice.group = "1";
        const TableLayout layout = LayOutTable(table, roles, choice);
        Require(!layout.columns.empty() && Printable(ColumnsText(table, layout)));
        for (const std::string& note : layout.notes) Require(Printable(note));
        DataFile file = DataFile::FromText(layout.text, "fuzz.csv");
        while (file.ItemsLeft() > 0) Require(std::isfinite(file.ReadValue("an item")));
    } catch (const ColumnChoiceError& e) {
        Require(Printable(e.what()) && Printable(e.Columns()));
    } catch (const DataFileError& e) {
        Require(Printable(e.what()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    OptionValues(text.substr(0, std::min(text.find('\n'), std::size_t{64})));
    ReadData(text, static_cast<int>(size % 3));
    ReadTable(text, size);
    return 0;
}
