#include "engine/DataFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

namespace brevant {

namespace {

// Larger than any data file a resampling run can use; a file this big is almost surely the wrong file.
constexpr std::uintmax_t kMaxFileBytes = 256u * 1024u * 1024u;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsSeparator(char c) noexcept { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// An item as it may appear in a message: control bytes shown as "?", long items shortened.
std::string Shown(std::string_view item) {
    constexpr std::size_t kLongest = 40;
    std::string shown;
    for (std::size_t i = 0; i < item.size() && i < kLongest; ++i) {
        const auto c = static_cast<unsigned char>(item[i]);
        shown += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (item.size() > kLongest) shown += "...";
    return "\"" + shown + "\"";
}

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

DataFile DataFile::Open(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": it is a folder, not a file.");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxFileBytes) {
        throw DataFileError("The data file " + Quoted(path) + " is " + std::to_string(size / (1024 * 1024)) +
                            " MB, too large to be a data file (at most " +
                            std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB).");
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": " +
                            std::generic_category().message(errno) + ".");
    }
    std::string text;
    if (!error) text.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        text.append(buffer, got);
        if (text.size() > kMaxFileBytes) {
            throw DataFileError("The data file " + Quoted(path) + " is too large to be a data file (at most " +
                                std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB).");
        }
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
        throw DataFileError("Cannot read the data file " + Quoted(path) + ": " +
                            std::generic_category().message(errno) + ".");
    }
    return DataFile(std::move(text), path);
}

DataFile DataFile::FromText(std::string text, std::string name) { return DataFile(std::move(text), std::move(name)); }

DataFile::DataFile(std::string text, std::string name) : text_(std::move(text)), name_(std::move(name)) {
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

DataFile::Item DataFile::Next(std::string_view what) {
    if (itemsRead_ == itemCount_) {
        throw DataFileError("The data file " + Quoted(name_) + " ends too early: item " +
                            std::to_string(itemCount_ + 1) + " (" + std::string(what) +
                            ") is missing; the file holds only " + std::to_string(itemCount_) +
                            (itemCount_ == 1 ? " item." : " items."));
    }
    std::size_t i = position_;
    for (; IsSeparator(text_[i]); ++i) {  // an item is left, so the scan stops inside the text
        if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n'))) ++line_;
    }
    const std::size_t start = i;
    while (i < text_.size() && !IsSeparator(text_[i])) ++i;
    position_ = i;
    ++itemsRead_;
    return {std::string_view(text_).substr(start, i - start), itemsRead_, line_};
}

void DataFile::Fail(const Item& item, std::string_view what, const std::string& problem) const {
    throw DataFileError("The data file " + Quoted(name_) + ", item " + std::to_string(item.number) + " on line " +
                        std::to_string(item.line) + " (" + std::string(what) + "): " + problem);
}

std::int32_t DataFile::ReadCount(std::string_view what, std::int32_t min, std::int32_t max) {
    const Item item = Next(what);
    double value = 0;
    switch (ParseNumber(item.text, value)) {
        case Parsed::kNumber: break;
        case Parsed::kTooLarge: value = std::numeric_limits<double>::infinity(); break;
        case Parsed::kNotANumber:
        case Parsed::kNotFinite: Fail(item, what, Shown(item.text) + " is not a whole number.");
    }
    const std::string range = "it must be a whole number from " + std::to_string(min) + " to " +
                              std::to_string(max) + ".";
    if (value != std::floor(value) && std::isfinite(value)) {
        Fail(item, what, Shown(item.text) + " is not a whole number; " + range);
    }
    if (!(value >= min && value <= max)) Fail(item, what, Shown(item.text) + " is out of range; " + range);
    return static_cast<std::int32_t>(value);
}

float DataFile::ReadValue(std::string_view what) {
    const Item item = Next(what);
    float value = 0;
    switch (ParseNumber(item.text, value)) {
        case Parsed::kNumber: return value == 0 ? 0.0f : value;  // -0 reads as 0
        case Parsed::kNotANumber: Fail(item, what, Shown(item.text) + " is not a number.");
        case Parsed::kNotFinite: Fail(item, what, Shown(item.text) + " is not a finite number.");
        case Parsed::kTooLarge:
            Fail(item, what, Shown(item.text) + " is too large for single precision (at most 3.402823E+38).");
    }
    return value;
}

std::vector<float> DataFile::ReadValues(std::size_t n, std::string_view what) {
    if (n > ItemsLeft()) {
        throw DataFileError("The data file " + Quoted(name_) + " holds fewer values than announced: " +
                            std::to_string(n) + " are needed from item " + std::to_string(itemsRead_ + 1) +
                            " on (" + std::string(what) + "), but only " + std::to_string(ItemsLeft()) +
                            (ItemsLeft() == 1 ? " item is" : " items are") + " left.");
    }
    std::vector<float> values;
    values.reserve(n);
    for (std::size_t i = 0; i < n; ++i) values.push_back(ReadValue(what));
    return values;
}

}  // namespace brevant
