// The one reader of data files: items separated by any run of commas, blanks, tabs and line breaks,
// counts first, then values; anything after the last value read is ignored. A UTF-8 byte-order mark is
// skipped. Every failure throws DataFileError with a message naming the file, the problem and, where it
// applies, the item number and line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DataFile {
public:
    // Reads the whole file. Throws DataFileError when it cannot be read or holds no item.
    static DataFile Open(const std::string& path);
    // The same over text already in memory; name is used in messages.
    static DataFile FromText(std::string text, std::string name);

    // Next item as a whole number in [min, max]; what names it in messages ("the size of group 1").
    std::int32_t ReadCount(std::string_view what, std::int32_t min, std::int32_t max);
    // Next item as a finite single-precision value.
    float ReadValue(std::string_view what);
    // Next n items as values; refuses (without allocating) when fewer than n items are left.
    std::vector<float> ReadValues(std::size_t n, std::string_view what);

    std::size_t ItemsLeft() const noexcept;
    const std::string& Name() const noexcept { return name_; }

private:
    struct Item {
        std::string_view text;
        std::size_t line;
    };
    DataFile(std::string text, std::string name);
    const Item& Next(std::string_view what);

    std::string text_;
    std::string name_;
    std::vector<Item> items_;
    std::size_t next_ = 0;
};

}  // namespace brevant
