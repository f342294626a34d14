// The one reader of data files: items separated by any run of commas, blanks, tabs and line breaks,
// counts first, then values; anything after the last value read is not read (UnreadItemsNote says so). A
// UTF-8 byte-order mark is skipped; a file in UTF-16 or UTF-32, or one that is not text, is refused by name. Every
// failure throws DataFileError with a message naming the file, the problem and, where it applies, the line and the
// item's place on it ("line 3, item 2"); counts over the whole file say so ("item 7 of the file").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

class DataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text as a message may show it: valid UTF-8 kept, control characters and bytes that are not UTF-8 as "?".
std::string PrintableText(std::string_view text);

// What keeps text from reading as one value as DataFile::ReadValue reads it ("\"12a\" is not a number."),
// or nothing when it reads as a finite single-precision value.
std::optional<std::string> ValueTextProblem(std::string_view text);

class DataFile {
public:
    // Reads the whole file. Throws DataFileError when it cannot be read or holds no item.
    static DataFile Open(const std::string& path);
    // The file's bytes, refused (DataFileError) as Open refuses them: a folder, a file too large to be a data
    // file, one that cannot be read, or one that is not plain text.
    static std::string ReadText(const std::string& path);
    // The same over text already in memory; name is used in messages.
    static DataFile FromText(std::string text, std::string name);

    // Next item as a whole number in [min, max]; what names it in messages ("the size of group 1"). A count
    // is taken by its value: "10", "10.0" and "1e1" are all 10; "2.5" is refused.
    std::int32_t ReadCount(std::string_view what, std::int32_t min, std::int32_t max);
    // Next item as a finite single-precision value, rounded to nearest as strtof does in the C locale
    // (a leading "+" is allowed; hexadecimal is not). Magnitudes below the smallest float read as 0.
    float ReadValue(std::string_view what);
    // Next n items as values; refuses (without allocating) when fewer than n items are left.
    std::vector<float> ReadValues(std::size_t n, std::string_view what);

    std::size_t ItemsLeft() const noexcept;
    const std::string& Name() const noexcept { return name_; }
    // The name in double quotes as messages show it: control characters and bytes that are not UTF-8 as "?".
    std::string QuotedName() const;
    // After a procedure has read what it needs: a note that the items left were not read, with a hint when
    // the file looks as if it writes decimal commas; none when every item was read.
    std::optional<std::string> UnreadItemsNote() const;
    // After a procedure that reads its values group by group, the groups' sizes being the counts from count
    // firstSize on: a note when the values stand in lines of one value per group, as columns of a table
    // would, so that each line was not read as one case; none when they do not.
    std::optional<std::string> GroupsInColumnsNote(std::size_t firstSize) const;

private:
    // Items are found as they are read (a cursor over the text), so no table of items is built; their
    // number is counted once at the start so ReadValues can refuse before allocating.
    struct Item {
        std::string_view text;
        std::size_t number;  // 1-based, over the whole file
        std::size_t line;    // 1-based
        std::size_t onLine;  // 1-based place on its line
    };
    DataFile(std::string text, std::string name);
    Item Next(std::string_view what);
    [[noreturn]] void Fail(const Item& item, std::string_view what, const std::string& problem) const;

    std::string text_;
    std::string name_;
    std::size_t itemCount_ = 0;
    std::size_t itemsRead_ = 0;
    std::size_t position_ = 0;  // where the search for the next item starts
    std::size_t line_ = 1;      // line of position_
    std::size_t lineItems_ = 0;  // items read on line_
    std::vector<std::int32_t> counts_;  // the counts read so far, in order
    std::size_t countsLine_ = 0;        // the line of the last count read
    std::optional<std::size_t> valuesStart_;  // where the search for the first value started
    std::size_t valuesLine_ = 0;              // the line of the first value
    std::size_t valuesRead_ = 0;
};

}  // namespace brevant
