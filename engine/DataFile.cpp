#include "engine/DataFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <system_error>

namespace brevant {

namespace {

// Larger than any data file a resampling run can use; a file this big is almost surely the wrong file.
constexpr std::uintmax_t kMaxFileBytes = 256u * 1024u * 1024u;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsSeparator(char c) noexcept { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Text as it may appear in a message: valid UTF-8 is kept, while control characters and bytes that are not
// UTF-8 show as "?", so a message never sends raw bytes to a terminal or a JSON document.
std::string Printable(std::string_view text, std::size_t longest = std::string_view::npos) {
    std::string shown;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        if (characters == longest) return shown + "...";
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length > 1 && i + length <= text.size()) {
            char32_t code = c & (0x7F >> length);
            for (std::size_t k = 1; k < length && length != 0; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80) length = 0;
                code = (code << 6) | (next & 0x3F);
            }
            // Overlong forms, surrogates, values past U+10FFFF and C1 controls are not shown as they are.
            constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (length != 0 && (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
                                (code >= 0x80 && code <= 0x9F))) {
                length = 0;
            }
        } else if (length > 1) {
            length = 0;
        }
        if (length == 1 && c >= 0x20 && c != 0x7F) {
            shown += static_cast<char>(c);
        } else if (length > 1) {
            shown.append(text.substr(i, length));
        } else {
            shown += '?';
            length = 1;
        }
        i += length;
    }
    return shown;
}

}  // namespace

std::string PrintableText(std::string_view text) { return Printable(text); }

namespace {

std::string InQuotes(std::string text) { return text.insert(0, 1, '"') + '"'; }

std::string Quoted(std::string_view name) { return InQuotes(Printable(name)); }

// An item as it may appear in a message: printable, long items shortened.
std::string Shown(std::string_view item) { return InQuotes(Printable(item, 40)); }

// What the start of a file shows it to be when it is not plain text, as the end of a sentence that begins
// with the file's name; empty for text. Text in UTF-16 or UTF-32 is known by its byte-order mark or, without
// one, by the zero bytes of its ASCII characters; any other zero or control byte (beyond tabs, line breaks,
// form feeds and the old end-of-file mark) means a binary file.
std::string NotPlainText(std::string_view head) {
    constexpr std::string_view kSaveAsText = " text; save it as plain text (ASCII or UTF-8) and choose it again.";
    if (head.starts_with(std::string_view("\xFF\xFE\0\0", 4)) || head.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return "is UTF-32" + std::string(kSaveAsText);
    }
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return "is UTF-16" + std::string(kSaveAsText);
    const std::size_t sample = std::min<std::size_t>(head.size(), 4096) & ~std::size_t{3};
    const auto zerosAt = [&](std::size_t step, std::size_t zeros) {  // the pattern of ASCII in wide text
        if (sample < step) return false;
        for (std::size_t i = 0; i < sample; i += step) {
            const bool leZeros = head.substr(i + 1, zeros).find_first_not_of('\0') == std::string_view::npos;
            const bool beZeros = head.substr(i, zeros).find_first_not_of('\0') == std::string_view::npos;
            if (!(leZeros && head[i] != '\0') && !(beZeros && head[i + zeros] != '\0')) return false;
        }
        return true;
    };
    if (zerosAt(4, 3)) return "is UTF-32" + std::string(kSaveAsText);
    if (zerosAt(2, 1)) return "is UTF-16" + std::string(kSaveAsText);
    for (const char ch : head) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1A) || c == 0x7F) {
            return "is not a text file; a data file is plain text (ASCII or UTF-8): numbers separated by commas, "
                   "blanks, tabs or line breaks.";
        }
    }
    return {};
}

// The start of a file that is checked for being text before the rest is read.
constexpr std::size_t kHeadBytes = 1 << 16;

// An item that looks like several numbers joined by some other mark ("1;2;3", "4|5"): the mark, else 0.
char JoiningMark(std::string_view item) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto numeric = [&](char c) { return digit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; };
    const std::size_t first = item.find_first_of("0123456789");
    if (first == std::string_view::npos) return 0;
    for (std::size_t i = first; i < item.size(); ++i) {
        if (numeric(item[i])) continue;
        const std::size_t next = item.find_first_of("0123456789", i);
        return next == std::string_view::npos ? 0 : item[i];
    }
    return 0;
}

// "is not a number.", with a hint at the separators when the item looks like joined numbers.
std::string NotANumber(std::string_view item, std::string_view kind) {
    std::string problem = Shown(item) + " is not " + std::string(kind) + ".";
    if (const char mark = JoiningMark(item); mark != 0) {
        problem += " Items are separated by commas, blanks, tabs or line breaks";
        const auto c = static_cast<unsigned char>(mark);
        if (c > 0x20 && c < 0x7F) {
            problem += ", not by \"";
            problem += mark;
            problem += '"';
        }
        problem += ".";
    }
    return problem;
}

// The two layouts, for a file that starts with a word.
constexpr const char* kLayouts =
    " A data file either begins with the counts that its procedure's description gives, or is a table whose "
    "first line names its columns, separated by commas, semicolons or tabs (a file named .csv or .tsv is "
    "always read as a table).";

enum class Parsed { kNumber, kNotANumber, kNotFinite, kTooLarge };

// Rough power of ten of a decimal text that std::from_chars accepted as a whole: only its sign matters,
// to tell an overflow (far above 1) from an underflow (far below 1).
long DecimalMagnitude(std::string_view text) {
    std::size_t i = 0;
    long integerDigits = 0;
    long leadingFractionZeros = 0;
    bool nonzeroSeen = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (text[i] != '0') nonzeroSeen = true;
        if (nonzeroSeen) ++integerDigits;
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (text[i] != '0') nonzeroSeen = true;
            if (!nonzeroSeen) ++leadingFractionZeros;
        }
    }
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        for (; i < text.size(); ++i) exponent = std::min(exponent * 10 + (text[i] - '0'), 100000L);
        if (negative) exponent = -exponent;
    }
    return (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
}

// The whole item as a number of type T, locale-independent; an optional leading "+" as strtod allows.
template <typename T>
Parsed ParseNumber(std::string_view text, T& value) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty() || digits.front() == '+' || digits.front() == '-') return Parsed::kNotANumber;
    }
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value, std::chars_format::general);
    if (result.ptr != end) return Parsed::kNotANumber;
    if (result.ec == std::errc::result_out_of_range) {
        std::string_view magnitude = digits;
        const bool negative = !magnitude.empty() && magnitude.front() == '-';
        if (negative) magnitude.remove_prefix(1);
        if (DecimalMagnitude(magnitude) > 0) return Parsed::kTooLarge;
        value = negative ? -T(0) : T(0);  // below the smallest subnormal: rounds to zero
        return Parsed::kNumber;
    }
    if (result.ec != std::errc()) return Parsed::kNotANumber;
    if (!std::isfinite(value)) return Parsed::kNotFinite;
    return Parsed::kNumber;
}

}  // namespace

std::optional<std::string> ValueTextProblem(std::string_view text) {
    float value = 0;
    switch (ParseNumber(text, value)) {
        case Parsed::kNumber: return std::nullopt;
        case Parsed::kNotANumber: return Shown(text) + " is not a number.";
        case Parsed::kNotFinite: return Shown(text) + " is not a finite number.";
        case Parsed::kTooLarge: return Shown(text) + " is too large for single precision (at most 3.402823E+38).";
    }
    return std::nullopt;
}

DataFile DataFile::Open(const std::string& path) { return DataFile(ReadText(path), path); }

std::string DataFile::ReadText(const std::string& path) {
    const std::string tooLarge = "The data file " + Quoted(path) + " is too large to be a data file (at most " +
                                 std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB).";
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": it is a folder, not a file.");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);  // none for a pipe or a device
    if (!error && size > kMaxFileBytes) throw DataFileError(tooLarge);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": " +
                            std::generic_category().message(errno) + ".");
    }
    // Read no further than the limit, and never hold more than it: the text grows by doubling only up to it.
    std::string text;
    text.reserve(error ? kHeadBytes : static_cast<std::size_t>(size) + 1);
    std::vector<char> buffer(kHeadBytes);
    bool headChecked = false;
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (text.size() + got > kMaxFileBytes) throw DataFileError(tooLarge);
        if (text.size() + got > text.capacity()) {
            text.reserve(std::min<std::size_t>(std::max(2 * text.capacity(), text.size() + got), kMaxFileBytes));
        }
        text.append(buffer.data(), got);
        // A binary or wide-character file is named for what it is at once, before more of it is read.
        if (!headChecked && (text.size() >= kHeadBytes || got < buffer.size())) {
            headChecked = true;
            if (const std::string problem = NotPlainText(text); !problem.empty()) {
                throw DataFileError("The data file " + Quoted(path) + " " + problem);
            }
        }
        if (got < buffer.size()) break;
    }
    if (std::ferror(file.get())) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": " +
                            std::generic_category().message(errno) + ".");
    }
    return text;
}

DataFile DataFile::FromText(std::string text, std::string name) { return DataFile(std::move(text), std::move(name)); }

DataFile::DataFile(std::string text, std::string name) : text_(std::move(text)), name_(std::move(name)) {
    if (const std::string problem = NotPlainText(std::string_view(text_).substr(0, kHeadBytes)); !problem.empty()) {
        throw DataFileError("The data file " + Quoted(name_) + " " + problem);
    }
    if (std::string_view(text_).starts_with(kByteOrderMark)) position_ = kByteOrderMark.size();
    bool inItem = false;
    for (std::size_t i = position_; i < text_.size(); ++i) {
        const bool separator = IsSeparator(text_[i]);
        if (!separator && !inItem) ++itemCount_;
        inItem = !separator;
    }
    if (itemCount_ == 0) {
        throw DataFileError("The data file " + Quoted(name_) +
                            " holds no data: it is empty or has no numbers separated by commas, blanks or "
                            "line breaks.");
    }
}

std::size_t DataFile::ItemsLeft() const noexcept { return itemCount_ - itemsRead_; }

std::string DataFile::QuotedName() const { return Quoted(name_); }

std::optional<std::string> DataFile::UnreadItemsNote() const {
    const std::size_t left = ItemsLeft();
    if (left == 0) return std::nullopt;
    std::string note = std::to_string(left) + (left == 1 ? " more item" : " more items") + " in the data file " +
                       Quoted(name_) + (left == 1 ? " was" : " were") +
                       " not read: the file holds more than the counts at its start announce.";
    // "1,5" is two items, 1 and 5: decimal commas shift every value after the first one.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 1; i + 1 < text_.size(); ++i) {
        if (text_[i] == ',' && digit(text_[i - 1]) && digit(text_[i + 1])) {
            note += " If the file writes decimal commas (1,5 for 1.5), write decimal points instead: a comma "
                    "separates two items.";
            break;
        }
    }
    return note;
}

std::optional<std::string> DataFile::GroupsInColumnsNote(std::size_t firstSize) const {
    if (!valuesStart_ || firstSize >= counts_.size() || ItemsLeft() != 0) return std::nullopt;
    const std::span<const std::int32_t> sizes = std::span(counts_).subspan(firstSize);
    const std::size_t k = sizes.size();
    std::size_t total = 0;
    for (const std::int32_t n : sizes) total += static_cast<std::size_t>(n);
    // The values must start on a line of their own and be read whole, each line holding k of them.
    if (k < 2 || valuesRead_ != total || valuesLine_ == countsLine_ || total < 2 * k) return std::nullopt;
    std::size_t onLine = 0, lines = 0;
    bool inItem = false;
    for (std::size_t i = *valuesStart_; i < text_.size(); ++i) {
        const char c = text_[i];
        const bool separator = IsSeparator(c);
        if (!separator && !inItem) ++onLine;
        inItem = !separator;
        const bool lineEnd = c == '\n' || (c == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n'));
        if (lineEnd || i + 1 == text_.size()) {
            if (onLine != 0 && onLine != k) return std::nullopt;
            if (onLine != 0) ++lines;
            onLine = 0;
        }
    }
    // One group to a line is the layout itself, read as it stands.
    const auto oneLine = [k](std::int32_t n) { return static_cast<std::size_t>(n) == k; };
    if (lines == k && std::all_of(sizes.begin(), sizes.end(), oneLine)) return std::nullopt;
    const auto values = [](std::int32_t n) { return std::to_string(n) + (n == 1 ? " value" : " values"); };
    return "The values in the data file " + Quoted(name_) + " stand in " + std::to_string(lines) + " lines of " +
           std::to_string(k) + ", as the columns of a table would, but they are read group by group: the first " +
           values(sizes[0]) + " as the first group, the next " + values(sizes[1]) + " as the second" +
           (k > 2 ? ", and so on" : "") +
           ". If each column is a group, give the file a first line naming its columns, so that it is read as a "
           "table; or write all of the first group's values, then all of the next group's.";
}

DataFile::Item DataFile::Next(std::string_view what) {
    if (itemsRead_ == itemCount_) {
        throw DataFileError("The data file " + Quoted(name_) + " ends too early: item " +
                            std::to_string(itemCount_ + 1) + " of the file (" + std::string(what) +
                            ") is missing; the file holds only " + std::to_string(itemCount_) +
                            (itemCount_ == 1 ? " item." : " items."));
    }
    std::size_t i = position_;
    for (; IsSeparator(text_[i]); ++i) {  // an item is left, so the scan stops inside the text
        if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n'))) {
            ++line_;
            lineItems_ = 0;
        }
    }
    const std::size_t start = i;
    while (i < text_.size() && !IsSeparator(text_[i])) ++i;
    position_ = i;
    ++itemsRead_;
    ++lineItems_;
    return {std::string_view(text_).substr(start, i - start), itemsRead_, line_, lineItems_};
}

void DataFile::Fail(const Item& item, std::string_view what, const std::string& problem) const {
    throw DataFileError("The data file " + Quoted(name_) + ", line " + std::to_string(item.line) + ", item " +
                        std::to_string(item.onLine) + " (" + std::string(what) + "): " + problem);
}

std::int32_t DataFile::ReadCount(std::string_view what, std::int32_t min, std::int32_t max) {
    const Item item = Next(what);
    double value = 0;
    switch (ParseNumber(item.text, value)) {
        case Parsed::kNumber: break;
        case Parsed::kTooLarge: value = std::numeric_limits<double>::infinity(); break;
        case Parsed::kNotANumber:
        case Parsed::kNotFinite:
            // A word first: most likely a table whose header line was not recognised as one.
            Fail(item, what,
                 NotANumber(item.text, "a whole number") +
                     (item.number == 1 && JoiningMark(item.text) == 0 ? kLayouts : ""));
    }
    const std::string range = "it must be a whole number from " + std::to_string(min) + " to " +
                              std::to_string(max) + ".";
    if (value != std::floor(value) && std::isfinite(value)) {
        Fail(item, what, Shown(item.text) + " is not a whole number; " + range);
    }
    if (!(value >= min && value <= max)) Fail(item, what, Shown(item.text) + " is out of range; " + range);
    counts_.push_back(static_cast<std::int32_t>(value));
    countsLine_ = item.line;
    return static_cast<std::int32_t>(value);
}

float DataFile::ReadValue(std::string_view what) {
    const std::size_t start = position_;
    const Item item = Next(what);
    if (!valuesStart_) {
        valuesStart_ = start;
        valuesLine_ = item.line;
    }
    ++valuesRead_;
    float value = 0;
    switch (ParseNumber(item.text, value)) {
        case Parsed::kNumber: return value == 0 ? 0.0f : value;  // -0 reads as 0
        case Parsed::kNotANumber: Fail(item, what, NotANumber(item.text, "a number"));
        case Parsed::kNotFinite: Fail(item, what, Shown(item.text) + " is not a finite number.");
        case Parsed::kTooLarge:
            Fail(item, what, Shown(item.text) + " is too large for single precision (at most 3.402823E+38).");
    }
    return value;
}

std::vector<float> DataFile::ReadValues(std::size_t n, std::string_view what) {
    if (n > ItemsLeft()) {
        // An item that is no number is the likelier fault ("1;2;3" for three values): name it first.
        const std::size_t position = position_, line = line_, lineItems = lineItems_, read = itemsRead_;
        while (ItemsLeft() > 0) {
            float value = 0;
            const Item item = Next(what);
            if (ParseNumber(item.text, value) == Parsed::kNotANumber) Fail(item, what, NotANumber(item.text, "a number"));
        }
        position_ = position;
        line_ = line;
        lineItems_ = lineItems;
        itemsRead_ = read;
        throw DataFileError("The data file " + Quoted(name_) + " holds fewer values than announced: " +
                            std::to_string(n) + (n == 1 ? " is" : " are") + " needed, starting at item " +
                            std::to_string(itemsRead_ + 1) + " of the file (" + std::string(what) + "), but only " +
                            std::to_string(ItemsLeft()) + (ItemsLeft() == 1 ? " item is" : " items are") + " left.");
    }
    std::vector<float> values;
    values.reserve(n);
    for (std::size_t i = 0; i < n; ++i) values.push_back(ReadValue(what));
    return values;
}

}  // namespace brevant
