#include "engine/DataFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Malloc-backed replacements of the global operators; GCC cannot see that new and delete match here.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Records the largest single allocation while armed, to show that absurd counts allocate nothing big. Being
// global, the replacements serve every test of the engine's test program.
namespace {
bool allocationWatch = false;
std::size_t largestAllocation = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (allocationWatch && size > largestAllocation) largestAllocation = size;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DataFile;
using brevant::DataFileError;

// The message of the DataFileError that f throws (fails the test when none is thrown).
template <typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const DataFileError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no DataFileError";
    return {};
}

DataFile Text(const std::string& text) { return DataFile::FromText(text, "test.dat"); }

std::filesystem::path WorkFile(const std::string& name) {
    return std::filesystem::path(BREVANT_TEST_WORK_DIR) / name;
}

using brevant::testing::WriteWhole;

TEST(DataFile, SeparatorsAndLayout) {
    DataFile file = Text("3, 1.5\t2\r\n  -4,,,\n\n 99 junk after the last value");
    EXPECT_EQ(file.ItemsLeft(), 10u);
    EXPECT_EQ(file.ReadCount("the number of values", 1, 1000), 3);
    const std::vector<float> values = file.ReadValues(3, "the values");
    EXPECT_EQ(values, (std::vector<float>{1.5f, 2.0f, -4.0f}));
    EXPECT_EQ(file.ItemsLeft(), 6u);  // the rest is never read, and never checked
    EXPECT_EQ(file.ReadValue("x"), 99.0f);

    DataFile commas = Text("1,2,3");
    EXPECT_EQ(commas.ReadValues(3, "values"), (std::vector<float>{1, 2, 3}));
    DataFile single = Text("7");
    EXPECT_EQ(single.ReadCount("n", 0, 10), 7);
}

TEST(DataFile, ByteOrderMarkIsSkipped) {
    DataFile file = Text("\xEF\xBB\xBF" "2\r\n5 6");
    EXPECT_EQ(file.ReadCount("n", 1, 10), 2);
    EXPECT_EQ(file.ReadValues(2, "values"), (std::vector<float>{5, 6}));
    // Only at the very start: elsewhere it is part of an item.
    DataFile inside = Text("1 \xEF\xBB\xBF" "2");
    inside.ReadValue("a");
    EXPECT_NE(ErrorOf([&] { inside.ReadValue("b"); }).find("is not a number"), std::string::npos);
    EXPECT_NE(ErrorOf([] { Text("\xEF\xBB\xBF"); }).find("holds no data"), std::string::npos);
}

TEST(DataFile, EmptyFiles) {
    for (const char* text : {"", " ", ",,,", "\r\n\r\n", " \t,\r\n"}) {
        const std::string message = ErrorOf([&] { Text(text); });
        EXPECT_NE(message.find("\"test.dat\" holds no data"), std::string::npos) << message;
    }
    const auto path = WorkFile("empty.dat");
    WriteWhole(path, "\n\n");
    EXPECT_NE(ErrorOf([&] { DataFile::Open(path.string()); }).find("holds no data"), std::string::npos);
}

TEST(DataFile, UnreadableFiles) {
    const std::string missing = WorkFile("no-such-file.dat").string();
    std::string message = ErrorOf([&] { DataFile::Open(missing); });
    EXPECT_NE(message.find("Cannot read the data file \"" + missing + "\""), std::string::npos) << message;
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;

    message = ErrorOf([] { DataFile::Open(BREVANT_TEST_WORK_DIR); });
    EXPECT_NE(message.find("folder"), std::string::npos) << message;

    // A huge (sparse) file is refused by its size before anything is read.
    const auto huge = WorkFile("huge.dat");
    WriteWhole(huge, "1");
    std::filesystem::resize_file(huge, 300u * 1024u * 1024u);
    const auto start = std::chrono::steady_clock::now();
    message = ErrorOf([&] { DataFile::Open(huge.string()); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    std::filesystem::remove(huge);
}

TEST(DataFile, OpenReadsAFile) {
    const auto path = WorkFile("two-groups.dat");
    WriteWhole(path, "\xEF\xBB\xBF" "2 3\r\n1.25 2.5\r\n-1 -2 -3\r\n");
    DataFile file = DataFile::Open(path.string());
    EXPECT_EQ(file.Name(), path.string());
    const std::int32_t a = file.ReadCount("the size of group 1", 1, 100);
    const std::int32_t b = file.ReadCount("the size of group 2", 1, 100);
    EXPECT_EQ(file.ReadValues(static_cast<std::size_t>(a), "group 1"), (std::vector<float>{1.25f, 2.5f}));
    EXPECT_EQ(file.ReadValues(static_cast<std::size_t>(b), "group 2"), (std::vector<float>{-1, -2, -3}));
}

TEST(DataFile, CountsAreWholeNumbersInRange) {
    // Counts are taken by value: "10.0" and "1e1" are 10, a leading "+" is allowed.
    for (const char* text : {"10", "10.0", "1e1", "+10", "100E-1", "10."}) {
        EXPECT_EQ(Text(text).ReadCount("n", 1, 1000), 10) << text;
    }
    EXPECT_EQ(Text("-0").ReadCount("n", 0, 5), 0);
    EXPECT_EQ(Text("2147483647").ReadCount("n", 0, std::numeric_limits<std::int32_t>::max()),
              std::numeric_limits<std::int32_t>::max());

    struct Case {
        const char* text;
        const char* problem;
    };
    for (const Case c : {Case{"2.5", "\"2.5\" is not a whole number; it must be a whole number from 1 to 1000."},
                         Case{"abc", "\"abc\" is not a whole number."},
                         Case{"nan", "\"nan\" is not a whole number."},
                         Case{"inf", "\"inf\" is not a whole number."},
                         Case{"3x", "\"3x\" is not a whole number."},
                         Case{"-3", "\"-3\" is out of range; it must be a whole number from 1 to 1000."},
                         Case{"0", "\"0\" is out of range"},
                         Case{"1001", "\"1001\" is out of range"},
                         Case{"1e400", "\"1e400\" is out of range"},
                         Case{"2147483648", "\"2147483648\" is out of range"}}) {
        const std::string message = ErrorOf([&] { Text(c.text).ReadCount("the size of group 1", 1, 1000); });
        EXPECT_NE(message.find("\"test.dat\", line 1, item 1 (the size of group 1): " + std::string(c.problem)),
                  std::string::npos)
            << message;
    }
}

TEST(DataFile, ValuesMustBeFiniteNumbers) {
    for (const char* text : {"abc", "1.5x", "0x10", "+-1", "+", "-", ".", "1e", "1e+", "--1", "1,5e"}) {
        // "1,5e" splits into "1" and "5e": the second item fails.
        DataFile file = Text(std::string("0 ") + text);
        file.ReadValue("first");
        const std::string message = ErrorOf([&] {
            while (file.ItemsLeft() > 0) file.ReadValue("a value");
        });
        EXPECT_NE(message.find("is not a number."), std::string::npos) << text << ": " << message;
    }
    for (const char* text : {"nan", "NaN", "inf", "-inf", "infinity", "-Infinity"}) {
        EXPECT_NE(ErrorOf([&] { Text(text).ReadValue("v"); }).find("is not a finite number."), std::string::npos)
            << text;
    }
    for (const char* text : {"1e39", "-1e39", "3.5e38", "1e400", "123456789012345678901234567890123456789012"}) {
        EXPECT_NE(ErrorOf([&] { Text(text).ReadValue("v"); }).find("is too large for single precision"),
                  std::string::npos)
            << text;
    }
    // The extremes that still fit, and magnitudes below the smallest float, which read as 0.
    EXPECT_EQ(Text("3.4028235e38").ReadValue("v"), std::numeric_limits<float>::max());
    EXPECT_EQ(Text("-3.4028235e38").ReadValue("v"), -std::numeric_limits<float>::max());
    EXPECT_EQ(Text("1.4e-45").ReadValue("v"), std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(Text("1e-50").ReadValue("v"), 0.0f);
    EXPECT_EQ(Text("-0.0000000000000000000000000000000000000000000000000001").ReadValue("v"), 0.0f);
    EXPECT_FALSE(std::signbit(Text("-0").ReadValue("v")));
}

TEST(DataFile, ValuesRoundAsStrtof) {
    // Single-precision rounding, ties to even: 16777217 lies halfway between two floats.
    EXPECT_EQ(Text("16777217").ReadValue("v"), 16777216.0f);
    EXPECT_EQ(Text("0.1").ReadValue("v"), 0.1f);
    EXPECT_EQ(Text(".5").ReadValue("v"), 0.5f);
    EXPECT_EQ(Text("+2.5E+2").ReadValue("v"), 250.0f);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 12), exponent(-50, 40);
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 2 ? "-" : "";
        const int n = length(random);
        for (int k = 0; k < n; ++k) {
            text += static_cast<char>('0' + digit(random));
            if (k == n / 2) text += '.';
        }
        if (random() % 2) {
            text += 'e';
            text += std::to_string(exponent(random));
        }
        const float expected = std::strtof(text.c_str(), nullptr);  // the C locale: no setlocale here
        if (!std::isfinite(expected)) continue;
        ASSERT_EQ(Text(text).ReadValue("v"), expected == 0 ? 0.0f : expected) << text;
    }
}

TEST(DataFile, MessagesNameItemAndLine) {
    // LF, CR LF and lone CR all end a line; blank lines count; items are counted within their line.
    struct Case {
        const char* text;
        const char* where;
    };
    for (const Case c : {Case{"1\n2\n\nx", "line 4, item 1"}, Case{"1\r\n2\r\n\r\nx", "line 4, item 1"},
                         Case{"1\r2\r\rx", "line 4, item 1"}, Case{"1 2,x", "line 1, item 3"},
                         Case{"\n\n1 2\r\n  \tx", "line 4, item 1"}, Case{"1\n2 x", "line 2, item 2"}}) {
        DataFile file = Text(c.text);
        file.ReadValue("a");
        file.ReadValue("b");
        const std::string message = ErrorOf([&] { file.ReadValue("a value of group 2"); });
        EXPECT_EQ(message, "The data file \"test.dat\", " + std::string(c.where) +
                               " (a value of group 2): \"x\" is not a number.");
    }
    // Control bytes and very long items are shown harmlessly.
    const std::string message = ErrorOf([] { Text("a\vb" + std::string(500, 'z')).ReadValue("v"); });
    EXPECT_NE(message.find("\"a?bzzz"), std::string::npos) << message;
    EXPECT_LT(message.size(), 200u);
}

TEST(DataFile, FewerValuesThanAnnounced) {
    DataFile file = Text("5\n1 2\n3");
    EXPECT_EQ(file.ReadCount("n", 1, 100), 5);
    EXPECT_EQ(ErrorOf([&] { file.ReadValues(5, "the values"); }),
              "The data file \"test.dat\" holds fewer values than announced: 5 are needed, starting at item 2 of "
              "the file (the values), but only 3 items are left.");
    DataFile one = Text("1");
    EXPECT_NE(ErrorOf([&] { one.ReadValues(static_cast<std::size_t>(one.ReadCount("n", 1, 9)), "v"); })
                  .find("1 is needed, starting at item 2 of the file (v), but only 0 items are left."),
              std::string::npos);
    DataFile ends = Text("1 2");
    ends.ReadValues(2, "values");
    EXPECT_EQ(ErrorOf([&] { ends.ReadCount("the size of group 2", 1, 10); }),
              "The data file \"test.dat\" ends too early: item 3 of the file (the size of group 2) is missing; "
              "the file holds only 2 items.");
}

// True when text holds only valid UTF-8 and no control character: safe for a terminal and for JSON.
bool PrintableUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return false;
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

TEST(DataFile, WideAndBinaryFilesAreNamedForWhatTheyAre) {
    const std::string utf16le("\xFF\xFE" "3\0\n\0" "1\0 \0" "2\0 \0" "3\0", 12);
    const std::string utf16be("\0" "3\0\n\0" "1\0 \0" "2\0 \0" "3", 11);
    const std::string utf32le("\xFF\xFE\0\0" "3\0\0\0" "\n\0\0\0", 12);
    const std::string utf32bare("3\0\0\0" " \0\0\0" "1\0\0\0" "2\0\0\0", 16);
    for (const auto& [text, kind] : {std::pair{utf16le, "is UTF-16 text"}, std::pair{utf16be, "is UTF-16 text"},
                                     std::pair{utf32le, "is UTF-32 text"}, std::pair{utf32bare, "is UTF-32 text"}}) {
        const std::string message = ErrorOf([&] { Text(text); });
        EXPECT_NE(message.find(kind), std::string::npos) << message;
        EXPECT_NE(message.find("save it as plain text (ASCII or UTF-8)"), std::string::npos) << message;
        EXPECT_TRUE(PrintableUtf8(message)) << message;
    }
    for (const std::string& binary : {std::string("PK\x03\x04\x14\0\x06\0", 8), std::string("\x89PNG\r\n\x1A\n\0\0\0\r", 12),
                                      std::string("1 2 \x01 3")}) {
        const std::string message = ErrorOf([&] { Text(binary); });
        EXPECT_NE(message.find("\"test.dat\" is not a text file"), std::string::npos) << message;
        EXPECT_TRUE(PrintableUtf8(message)) << message;
    }
    // An endless device is named at its first block, not read to the size limit.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(ErrorOf([] { DataFile::Open("/dev/zero"); }).find("is not a text file"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // Tabs, form feeds and a closing end-of-file mark are still text.
    EXPECT_NO_THROW(Text("2\t1 2\f\v\x1A"));
}

TEST(DataFile, ItemsAreShownWithoutRawBytes) {
    // Valid UTF-8 shows as it is; a stray byte of another encoding and a control character show as "?".
    EXPECT_NE(ErrorOf([] { Text("x\xC3\xA9y").ReadValue("v"); }).find("\"x\xC3\xA9y\" is not a number"),
              std::string::npos);
    for (const char* item : {"x\xE9y", "x\xC3y", "x\xC2\x85y", "x\xED\xA0\x80y", "x\xF8y", "x\vy"}) {
        const std::string message = ErrorOf([&] { Text(item).ReadValue("v"); });
        EXPECT_TRUE(PrintableUtf8(message)) << message;
        EXPECT_NE(message.find("\"x?"), std::string::npos) << message;
    }
    // The file's name is shown the same way.
    const std::string message = ErrorOf([] { DataFile::FromText("q", "bad\xFF\x1Bname.dat").ReadValue("v"); });
    EXPECT_NE(message.find("\"bad??name.dat\""), std::string::npos) << message;
}

TEST(DataFile, JoinedNumbersAreNamedWithASeparatorHint) {
    DataFile file = Text("3\n1;2;3");
    EXPECT_EQ(file.ReadCount("n", 1, 10), 3);
    const std::string message = ErrorOf([&] { file.ReadValues(3, "the values"); });
    EXPECT_EQ(message, "The data file \"test.dat\", line 2, item 1 (the values): \"1;2;3\" is not a number. Items "
                       "are separated by commas, blanks, tabs or line breaks, not by \";\".");
    EXPECT_NE(ErrorOf([] { Text("4|5").ReadCount("n", 1, 10); }).find("\"4|5\" is not a whole number. Items are"),
              std::string::npos);
    // A word is just not a number: no hint.
    EXPECT_EQ(ErrorOf([] { Text("abc").ReadValue("v"); }).find("separated"), std::string::npos);
    EXPECT_EQ(ErrorOf([] { Text("1e5x").ReadValue("v"); }).find("separated"), std::string::npos);
}

TEST(DataFile, ItemsLeftUnreadAreNoted) {
    DataFile commas = Text("3\n1,5 2,5 3,5");
    EXPECT_EQ(commas.ReadValues(static_cast<std::size_t>(commas.ReadCount("n", 1, 10)), "v"),
              (std::vector<float>{1, 5, 2}));
    const std::optional<std::string> note = commas.UnreadItemsNote();
    ASSERT_TRUE(note.has_value());
    EXPECT_EQ(note->find("3 more items in the data file \"test.dat\" were not read"), 0u) << *note;
    EXPECT_NE(note->find("decimal commas (1,5 for 1.5)"), std::string::npos) << *note;

    DataFile one = Text("2 1 2 3");
    one.ReadValues(static_cast<std::size_t>(one.ReadCount("n", 1, 10)), "v");
    ASSERT_TRUE(one.UnreadItemsNote().has_value());
    EXPECT_NE(one.UnreadItemsNote()->find("1 more item in the data file \"test.dat\" was not read"), std::string::npos);
    EXPECT_EQ(one.UnreadItemsNote()->find("decimal"), std::string::npos);

    // Read in several passes to the end: nothing to say.
    DataFile whole = Text("1, 2\n2\n8 9");
    whole.ReadValues(static_cast<std::size_t>(whole.ReadCount("a", 1, 9)), "a");
    EXPECT_TRUE(whole.UnreadItemsNote().has_value());
    whole.ReadValues(static_cast<std::size_t>(whole.ReadCount("b", 1, 9)), "b");
    EXPECT_FALSE(whole.UnreadItemsNote().has_value());
}

// A stream with no size (a pipe) is read no further than the limit, and never held twice over.
TEST(DataFile, AStreamIsReadNoFurtherThanTheLimit) {
    const auto fifo = WorkFile("endless.fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string block(1 << 16, '7');
        std::size_t written = 0;
        while (written < 300u * 1024u * 1024u) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    largestAllocation = 0;
    allocationWatch = true;
    const std::string message = ErrorOf([&] { DataFile::Open(fifo.string()); });
    allocationWatch = false;
    writer.join();
    std::filesystem::remove(fifo);
    EXPECT_NE(message.find("too large to be a data file (at most 256 MB)"), std::string::npos) << message;
    EXPECT_LE(largestAllocation, 256u * 1024u * 1024u + 1u);  // the limit and a terminating zero
}

TEST(DataFile, AbsurdCountFailsWithoutAllocating) {
    DataFile file = Text("2000000000 1 2 3");
    const std::int32_t n = file.ReadCount("n", 0, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(n, 2000000000);
    largestAllocation = 0;
    allocationWatch = true;
    const auto start = std::chrono::steady_clock::now();
    const std::string message = ErrorOf([&] { file.ReadValues(static_cast<std::size_t>(n), "values"); });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    allocationWatch = false;
    EXPECT_NE(message.find("fewer values than announced"), std::string::npos);
    EXPECT_LT(largestAllocation, 4096u);
    EXPECT_LT(elapsed, std::chrono::milliseconds(50));
}

TEST(DataFile, LargeFileReadsQuickly) {
    // About 4 MB: 400,000 values of about ten characters.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    std::string text = "400000\r\n";
    std::vector<float> expected;
    for (int i = 0; i < 400000; ++i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.4f%s", static_cast<double>(value(random)), i % 8 == 7 ? "\r\n" : ", ");
        text += buffer;
        expected.push_back(std::strtof(buffer, nullptr));
    }
    const auto path = WorkFile("large.dat");
    WriteWhole(path, text);
    const auto start = std::chrono::steady_clock::now();
    DataFile file = DataFile::Open(path.string());
    const std::int32_t n = file.ReadCount("n", 1, 10000000);
    const std::vector<float> values = file.ReadValues(static_cast<std::size_t>(n), "values");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(values, expected);
    EXPECT_LT(ms.count(), 1000);
    std::printf("read %zu bytes, %d values in %lld ms\n", text.size(), n, static_cast<long long>(ms.count()));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
