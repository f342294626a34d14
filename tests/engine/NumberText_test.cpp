#include "engine/NumberText.h"
#include "engine/OutputFile.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DefaultNumberText;
using brevant::GeneralText;
using brevant::ShortestText;
using brevant::ThreeDecimalText;

// The literal formulation: printf's %.7G / %.15G of the magnitude in the C locale, the sign in front.
std::string LiteralGeneral(double value, int digits) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*G", digits, std::fabs(value));
    return (value < 0 ? "-" : "") + std::string(buffer);
}
std::string LiteralDefault(double value, int digits) {
    const std::string general = LiteralGeneral(value, digits);
    return (general[0] == '-' ? "" : " ") + general + " ";
}

float FloatFromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
std::uint32_t FloatBits(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
double DoubleFromBits(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

TEST(NumberText, ListedExamples) {
    EXPECT_EQ(DefaultNumberText(0.5f), " 0.5 ");
    EXPECT_EQ(DefaultNumberText(-1.2345678f), "-1.234568 ");
    EXPECT_EQ(DefaultNumberText(12345678.0f), " 1.234568E+07 ");
    EXPECT_EQ(DefaultNumberText(0.00001f), " 1E-05 ");
    EXPECT_EQ(DefaultNumberText(0.0001f), " 0.0001 ");
    EXPECT_EQ(DefaultNumberText(1000000.0f), " 1000000 ");
    EXPECT_EQ(DefaultNumberText(10000000.0f), " 1E+07 ");
    EXPECT_EQ(DefaultNumberText(-0.25f), "-0.25 ");
    EXPECT_EQ(DefaultNumberText(3.0f), " 3 ");
    EXPECT_EQ(DefaultNumberText(1e-30f), " 1E-30 ");
    EXPECT_EQ(DefaultNumberText(0.1), " 0.1 ");
    EXPECT_EQ(DefaultNumberText(1.0 / 3.0), " 0.333333333333333 ");
    EXPECT_EQ(DefaultNumberText(1e15), " 1E+15 ");
    EXPECT_EQ(DefaultNumberText(123456789012345.0), " 123456789012345 ");
    EXPECT_EQ(DefaultNumberText(1e300), " 1E+300 ");
    EXPECT_EQ(GeneralText(-1.2345678f), "-1.234568");
    EXPECT_EQ(GeneralText(0.5f), "0.5");
    EXPECT_EQ(GeneralText(2.5e-7), "2.5E-07");
}

TEST(NumberText, HalfwayCasesRoundToEven) {
    // Both lie exactly halfway between two 7-digit texts; the even last digit wins.
    EXPECT_EQ(DefaultNumberText(1234567.5f), " 1234568 ");
    EXPECT_EQ(DefaultNumberText(1234568.5f), " 1234568 ");
    EXPECT_EQ(GeneralText(-2345678.5f), "-2345678");
    EXPECT_EQ(GeneralText(2345679.5f), "2345680");
    EXPECT_EQ(GeneralText(1234567.25f), "1234567");  // below the half
    EXPECT_EQ(GeneralText(1234567.75f), "1234568");
    // The float nearest 0.01 is 0.0099999997764...: rounding at the seventh digit carries to 0.01.
    EXPECT_EQ(GeneralText(0.01f), "0.01");
    EXPECT_EQ(GeneralText(1e-5f), "1E-05");  // 9.99999974737875E-06 carries into the next exponent
}

TEST(NumberText, SpecialValues) {
    EXPECT_EQ(DefaultNumberText(-0.0f), " 0 ");
    EXPECT_EQ(DefaultNumberText(-0.0), " 0 ");
    EXPECT_EQ(GeneralText(-0.0f), "0");
    EXPECT_EQ(GeneralText(-0.0), "0");
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(DefaultNumberText(inf), " inf ");
    EXPECT_EQ(DefaultNumberText(-inf), "-inf ");
    EXPECT_EQ(DefaultNumberText(std::numeric_limits<float>::quiet_NaN()), " nan ");
    EXPECT_EQ(DefaultNumberText(-std::numeric_limits<double>::quiet_NaN()), " nan ");
    EXPECT_EQ(GeneralText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(GeneralText(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(DefaultNumberText(std::numeric_limits<float>::max()), " 3.402823E+38 ");
    EXPECT_EQ(DefaultNumberText(std::numeric_limits<float>::denorm_min()), " 1.401298E-45 ");
}

TEST(NumberText, IntegersInFull) {
    EXPECT_EQ(DefaultNumberText(std::int64_t{0}), " 0 ");
    EXPECT_EQ(DefaultNumberText(std::int64_t{123456789012}), " 123456789012 ");
    EXPECT_EQ(DefaultNumberText(std::int64_t{-42}), "-42 ");
    EXPECT_EQ(DefaultNumberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808 ");
    EXPECT_EQ(GeneralText(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
    EXPECT_EQ(GeneralText(std::int64_t{-100000}), "-100000");
}

TEST(NumberText, RandomFloatsMatchPrintf) {
    std::mt19937 random(20240601);
    std::uniform_real_distribution<float> scale(-12.0f, 12.0f);
    for (int i = 0; i < 200000; ++i) {
        float value;
        if (i % 2 == 0) {
            value = FloatFromBits(static_cast<std::uint32_t>(random()));  // every exponent
            if (!std::isfinite(value)) continue;
        } else {
            // Ordinary data magnitudes around the plain / exponent boundaries.
            value = static_cast<float>((random() % 2 ? -1.0 : 1.0) * std::pow(10.0, scale(random)));
        }
        ASSERT_EQ(DefaultNumberText(value), LiteralDefault(value, 7)) << value;
        ASSERT_EQ(GeneralText(value), LiteralGeneral(value, 7)) << value;
    }
}

TEST(NumberText, RandomDoublesMatchPrintf) {
    std::mt19937_64 random(77);
    std::uniform_real_distribution<double> scale(-20.0, 20.0);
    for (int i = 0; i < 200000; ++i) {
        double value;
        if (i % 2 == 0) {
            value = DoubleFromBits(random());
            if (!std::isfinite(value)) continue;
        } else {
            value = (random() % 2 ? -1.0 : 1.0) * std::pow(10.0, scale(random));
        }
        ASSERT_EQ(DefaultNumberText(value), LiteralDefault(value, 15)) << value;
        ASSERT_EQ(GeneralText(value), LiteralGeneral(value, 15)) << value;
    }
}

// The fast writer against the std::to_chars text over a table meant to find its faults: random bit
// patterns, every float near each power of ten and near the texts' rounding ties at every exponent,
// subnormals, the ends of the range, integers and halves, inf and nan; each with both signs.
std::vector<float> FloatTable() {
    std::vector<float> table;
    const auto around = [&table](float centre, int steps) {
        float up = centre, down = centre;
        for (int i = 0; i <= steps; ++i) {
            table.push_back(up);
            table.push_back(down);
            up = std::nextafter(up, std::numeric_limits<float>::infinity());
            down = std::nextafter(down, 0.0f);
        }
    };
    std::mt19937 random(31);
    for (int i = 0; i < 1000000; ++i) table.push_back(FloatFromBits(static_cast<std::uint32_t>(random())));
    for (int e = -45; e <= 38; ++e) around(static_cast<float>(std::pow(10.0, e)), 40);
    // Halfway between two seven-digit texts (d.dddddd5 x 10^e), where the last digit is decided.
    std::uniform_int_distribution<std::int32_t> seven(1000000, 9999999);
    for (int e = -45; e <= 38; ++e) {
        for (int i = 0; i < 300; ++i) around(static_cast<float>((seven(random) + 0.5) * std::pow(10.0, e - 6)), 2);
    }
    for (std::uint32_t bits = 0; bits < 70000; ++bits) table.push_back(FloatFromBits(bits));  // subnormals
    for (std::uint32_t bits = 0x7F7FFFFFu; bits > 0x7F7FFFFFu - 1000; --bits) table.push_back(FloatFromBits(bits));
    table.push_back(std::numeric_limits<float>::min());
    for (std::int32_t i = 0; i <= (1 << 24); i += 97) {
        table.push_back(static_cast<float>(i));
        table.push_back(static_cast<float>(i) + 0.5f);  // exact halves up to 2^23
    }
    table.push_back(std::numeric_limits<float>::infinity());
    table.push_back(std::numeric_limits<float>::quiet_NaN());
    const std::size_t size = table.size();
    for (std::size_t i = 0; i < size; ++i) table.push_back(-table[i]);
    return table;
}

TEST(NumberText, FastWriterGivesTheReferenceBytes) {
    const std::vector<float> table = FloatTable();
    std::string expectedLines;
    for (const float value : table) {
        const std::string expected = brevant::ReferenceDefaultNumberText(value);
        char text[brevant::kDefaultFloatTextSize];
        char* const end = brevant::WriteDefaultNumberText(value, text);
        ASSERT_EQ(std::string(text, end), expected) << FloatBits(value);
        ASSERT_EQ(GeneralText(value), expected.substr(expected[0] == ' ', expected.size() - 1 - (expected[0] == ' ')))
            << FloatBits(value);
        expectedLines += expected + "\r\n";
    }
    EXPECT_EQ(brevant::ValueLines(table), expectedLines);
}

TEST(NumberText, ThreeDecimals) {
    EXPECT_EQ(ThreeDecimalText(0.05), "0.050");
    EXPECT_EQ(ThreeDecimalText(-1.2346), "-1.235");
    EXPECT_EQ(ThreeDecimalText(1234567.891), "1234567.891");  // no grouping
    EXPECT_EQ(ThreeDecimalText(0.0), "0.000");
    EXPECT_EQ(ThreeDecimalText(-0.0004), "0.000");  // rounds to zero: no sign
    EXPECT_EQ(ThreeDecimalText(-0.0005001), "-0.001");
    EXPECT_EQ(ThreeDecimalText(2.0), "2.000");
    EXPECT_EQ(ThreeDecimalText(1e20), "100000000000000000000.000");
    EXPECT_EQ(ThreeDecimalText(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(ThreeDecimalText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(ThreeDecimalText(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(ThreeDecimalText(std::numeric_limits<double>::max()).size(), 309u + 4u);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> values(-5000.0, 5000.0);
    for (int i = 0; i < 20000; ++i) {
        const double value = values(random);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", value);
        std::string expected = buffer;
        if (expected == "-0.000") expected = "0.000";
        ASSERT_EQ(ThreeDecimalText(value), expected) << value;
    }
}

// Exact ties (odd multiples of 1/16) round away from zero, as the windows' locale formatting does: the
// expected text comes from integer arithmetic on sixteenths, |j| / 16 = |j| x 62.5 thousandths.
TEST(NumberText, ThreeDecimalTiesGoAwayFromZero) {
    EXPECT_EQ(ThreeDecimalText(9.0625), "9.063");
    EXPECT_EQ(ThreeDecimalText(-0.0625), "-0.063");
    for (long long j = -40001; j <= 40001; j += 2) {
        const long long thousandths = (std::llabs(j) * 125 + 1) / 2;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%s%lld.%03lld", j < 0 ? "-" : "", thousandths / 1000,
                      thousandths % 1000);
        ASSERT_EQ(ThreeDecimalText(static_cast<double>(j) / 16.0), expected) << j;
    }
}

// Shortest text: reads back to the same value; a text with a point or an exponent has exactly as many
// significant digits as the fewest that read back (found by trying %.<k>e), and a whole-number text is no
// longer than that exponent form.
template <typename T>
void CheckShortest(T value) {
    const std::string text = ShortestText(value);
    T back{};
    const auto read = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(read.ec, std::errc()) << text;
    ASSERT_EQ(read.ptr, text.data() + text.size()) << text;
    ASSERT_EQ(back, value) << text;

    char fewest[400];
    for (int k = 1; k <= 17; ++k) {
        std::snprintf(fewest, sizeof fewest, "%.*e", k - 1, static_cast<double>(value));
        T candidate{};
        std::from_chars(fewest, fewest + std::strlen(fewest), candidate);
        if (candidate == value) {
            if (text.find_first_of(".e") == std::string::npos) {
                // "1e+07" style is what the exponent form of fewest would compact to at best.
                std::string compact = fewest;
                ASSERT_LE(text.size(), compact.size()) << text << " vs " << compact;
            } else {
                int digits = 0;
                bool leading = true;
                for (char c : text.substr(0, text.find('e'))) {
                    if (c < '0' || c > '9') continue;
                    if (c != '0') leading = false;
                    if (!leading) ++digits;
                }
                ASSERT_EQ(digits, k) << text << " vs " << fewest;
            }
            return;
        }
    }
    FAIL() << "no text of up to 17 digits reads back " << text;
}

TEST(NumberText, ShortestReadsBack) {
    EXPECT_EQ(ShortestText(0.1f), "0.1");
    EXPECT_EQ(ShortestText(0.1), "0.1");
    EXPECT_EQ(ShortestText(-0.0f), "0");
    EXPECT_EQ(ShortestText(1.0f / 3.0f), "0.33333334");
    EXPECT_EQ(ShortestText(std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(ShortestText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(ShortestText(std::numeric_limits<double>::quiet_NaN()), "nan");
    std::mt19937_64 random(9);
    for (int i = 0; i < 50000; ++i) {
        const float f = FloatFromBits(static_cast<std::uint32_t>(random()));
        if (std::isfinite(f) && f != 0) CheckShortest(f);
        const double d = DoubleFromBits(random());
        if (std::isfinite(d) && d != 0) CheckShortest(d);
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
