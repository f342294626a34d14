// The median and the three sorts against the literal selection sorts, ties and signed zeros included.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/Module1.h"
#include "literal/LiteralEngine.h"

namespace brevant::BREVANT_TEST_UNIT {
namespace {

std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }
std::vector<std::uint32_t> Bits(const std::vector<float>& x) {
    std::vector<std::uint32_t> b;
    for (const float v : x) b.push_back(Bits(v));
    return b;
}
float FromText(const char* text) { return std::strtof(text, nullptr); }

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Median, HandWorkedExamples) {
    std::vector<float> odd{5, 1, 3};
    EXPECT_EQ(ArrayMedian(odd), 3.0f);
    EXPECT_EQ(odd, (std::vector<float>{1, 3, 5}));
    std::vector<float> even{4, 1, 3, 2};
    EXPECT_EQ(ArrayMedian(even), 2.5f);
    EXPECT_EQ(even, (std::vector<float>{1, 2, 3, 4}));
    std::vector<float> single{1.23456789f};
    EXPECT_EQ(ArrayMedian(single), 1.23456789f);  // the last position is never rounded
    EXPECT_EQ(single[0], 1.23456789f);
    std::vector<float> pair{9.0f, 1.23456789f};
    const float expected = static_cast<float>((static_cast<double>(FromText("1.234568")) + 9.0) / 2.0);
    EXPECT_EQ(ArrayMedian(pair), expected);
    EXPECT_EQ(pair, (std::vector<float>{FromText("1.234568"), 9.0f}));
    std::vector<float> none;
    EXPECT_TRUE(std::isnan(ArrayMedian(none)));

    for (auto values : {std::vector<float>{5, 1, 3}, std::vector<float>{4, 1, 3, 2}, std::vector<float>{1.23456789f},
                        std::vector<float>{9.0f, 1.23456789f}}) {
        std::vector<float> copy = values;
        EXPECT_EQ(Bits(MedianOf(values)), Bits(ArrayMedian(copy)));
    }
}

TEST(SortRecords, HandWorkedExample) {
    std::vector<Record> r{{0.2f, 1, 10.0f}, {0.9f, 2, 20.0f}, {0.5f, 3, 30.0f}};
    SortRecords(r);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].key, 0.9f);
    EXPECT_EQ(r[0].field2, 2);
    EXPECT_EQ(r[0].field3, 20.0f);
    EXPECT_EQ(r[1].field2, 3);
    EXPECT_EQ(r[2].field2, 1);
    EXPECT_EQ(r[2].field3, 10.0f);
}

// A selection sort is not stable: with keys 1, 1, 2 (descending) the first exchange moves the first 1
// behind the second, so the tie comes out reversed.
TEST(SortRecords, TiesComeOutAsTheSelectionSortLeavesThem) {
    std::vector<Record> r{{1.0f, 1, 0}, {1.0f, 2, 0}, {2.0f, 3, 0}};
    SortRecords(r);
    EXPECT_EQ(r[0].field2, 3);
    EXPECT_EQ(r[1].field2, 2);
    EXPECT_EQ(r[2].field2, 1);
}

TEST(SortArray, ProgressIsReportedOnlyBelow65000) {
    std::vector<std::pair<std::int32_t, std::int32_t>> calls;
    const SortProgress record = [&calls](std::int32_t done, std::int32_t n) { calls.emplace_back(done, n); };
    std::vector<float> one{3.0f};
    SortArray(one, record);
    EXPECT_TRUE(calls.empty());

    std::vector<float> some{3, 1, 2, 0};
    SortArray(some, record);
    EXPECT_EQ(some, (std::vector<float>{0, 1, 2, 3}));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), std::make_pair(1, 4));
    EXPECT_EQ(calls.back(), std::make_pair(3, 4));  // where the bar ends after the literal sort

    calls.clear();
    std::mt19937 pick(4);
    std::vector<float> big(65000);
    for (float& v : big) v = static_cast<float>(pick() % 1000) - 500.0f;
    SortArray(big, record);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end()));
    big.pop_back();
    SortArray(big, record);
    EXPECT_EQ(calls.back(), std::make_pair(64998, 64999));
}

// Random values of every kind the routines meet: ties, negatives, more than seven digits, both zeros,
// infinities, huge and tiny magnitudes.
float AnyValue(std::mt19937& pick, int kind) {
    switch (kind) {
        case 0: return std::uniform_real_distribution<float>(-1e3f, 1e3f)(pick);
        case 1: return static_cast<float>(static_cast<int>(pick() % 7) - 3);  // many ties
        case 2: return (pick() & 1) ? 0.0f : -0.0f;
        case 3: return (pick() & 1) ? kInf : -kInf;
        case 4: return std::bit_cast<float>(static_cast<std::uint32_t>(pick() % 0x7f800000u)) * ((pick() & 1) ? 1.0f : -1.0f);
        default: return 1.23456789f * static_cast<float>(pick() % 5);
    }
}

std::vector<float> AnyValues(std::mt19937& pick, std::size_t n, int kinds) {
    std::vector<float> x(n);
    const std::uint32_t mask = pick() % 64 | 1;  // which kinds this array mixes
    for (float& v : x) {
        int kind = static_cast<int>(pick() % static_cast<std::uint32_t>(kinds));
        if (!(mask >> kind & 1)) kind = 0;
        v = AnyValue(pick, kind);
    }
    return x;
}

std::vector<int> Sizes() {
    std::vector<int> sizes{0, 1, 2, 3, 4, 5, 6, 7, 8, 2000, 1999, 2048, 3001};  // from 2048 on, a radix sort
    for (int n = 9; n < 1000; n = n * 3 / 2 + 1) sizes.push_back(n);
    return sizes;
}

TEST(Median, BitIdenticalToLiteralArrayAndResult) {
    std::mt19937 pick(8);
    for (const int n : Sizes()) {
        if (n == 0) continue;  // the literal reads positions 0 and 1 of nothing
        for (int trial = 0; trial < 12; ++trial) {
            std::vector<float> x = AnyValues(pick, static_cast<std::size_t>(n), 6);
            literal::Values lx = literal::OneBased(x);
            const float expected = literal::ArrayMedian(lx, n);
            std::vector<float> copy = x;
            ASSERT_EQ(Bits(MedianOf(copy)), Bits(expected)) << n;
            ASSERT_EQ(Bits(ArrayMedian(x)), Bits(expected)) << n;
            ASSERT_EQ(Bits(x), Bits(literal::ZeroBased(lx, n))) << n;
        }
    }
}

TEST(SortArray, BitIdenticalToLiteralIncludingSignedZeros) {
    std::mt19937 pick(9);
    for (const int n : Sizes()) {
        for (int trial = 0; trial < 12; ++trial) {
            std::vector<float> x = AnyValues(pick, static_cast<std::size_t>(n), 6);
            literal::Values lx = literal::OneBased(x);
            literal::SortArray(lx, n);
            SortArray(x);
            ASSERT_EQ(Bits(x), Bits(literal::ZeroBased(lx, n))) << n;
        }
    }
}

// The radix sort's passes over keys that share their bits in some or all of the passes' digits.
TEST(SortArray, LargeArraysOfFewDistinctValues) {
    for (const std::vector<float>& values : std::vector<std::vector<float>>{
             {2.5f}, {-1.0f, -3.0f, -2.0f}, {-0.0f, -7.0f}, {1e-45f, 3e38f, -1e-45f, 0.0f}, {1.0f, 1.0000001f}}) {
        std::vector<float> x(5000);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = values[(i * 7919) % values.size()];
        std::vector<float> expected = x;
        std::sort(expected.begin(), expected.end());
        SortArray(x);
        ASSERT_EQ(Bits(x), Bits(expected)) << values.size();
    }
}

TEST(SortRecords, BitIdenticalToLiteralWithDuplicateKeys) {
    std::mt19937 pick(10);
    for (const int n : Sizes()) {
        for (int trial = 0; trial < 12; ++trial) {
            // Keys from few values (many ties), random floats, or both; the fields number the records.
            const std::vector<float> keys = AnyValues(pick, static_cast<std::size_t>(n), trial % 2 ? 3 : 6);
            std::vector<Record> r(keys.size());
            for (std::size_t i = 0; i < r.size(); ++i)
                r[i] = {trial % 3 == 0 ? std::uniform_real_distribution<float>(0.0f, 1.0f)(pick) : keys[i],
                        static_cast<std::int32_t>(i), static_cast<float>(i) * 0.5f};
            std::vector<Record> lr(1);
            lr.insert(lr.end(), r.begin(), r.end());
            literal::SortRecords(lr, n);
            SortRecords(r);
            for (std::size_t i = 0; i < r.size(); ++i) {
                ASSERT_EQ(Bits(r[i].key), Bits(lr[i + 1].key)) << n << " at " << i;
                ASSERT_EQ(r[i].field2, lr[i + 1].field2) << n << " at " << i;
                ASSERT_EQ(r[i].field3, lr[i + 1].field3);
            }
        }
    }
}

// Every array of up to 7 values from {-1, -0, +0, 1}: all patterns of ties a selection sort can meet there.
TEST(Sorts, EveryTiePatternOfUpToSevenValues) {
    const float alphabet[] = {-1.0f, -0.0f, 0.0f, 1.0f};
    for (int n = 1; n <= 7; ++n) {
        int patterns = 1;
        for (int i = 0; i < n; ++i) patterns *= 4;
        for (int code = 0; code < patterns; ++code) {
            std::vector<float> x(static_cast<std::size_t>(n));
            for (int i = 0, c = code; i < n; ++i, c /= 4) x[static_cast<std::size_t>(i)] = alphabet[c % 4];

            literal::Values ls = literal::OneBased(x);
            literal::SortArray(ls, n);
            std::vector<float> sorted = x;
            SortArray(sorted);
            ASSERT_EQ(Bits(sorted), Bits(literal::ZeroBased(ls, n))) << n << " " << code;

            literal::Values lm = literal::OneBased(x);
            const float median = literal::ArrayMedian(lm, n);
            std::vector<float> m = x, copy = x;
            ASSERT_EQ(Bits(ArrayMedian(m)), Bits(median)) << n << " " << code;
            ASSERT_EQ(Bits(m), Bits(literal::ZeroBased(lm, n))) << n << " " << code;
            ASSERT_EQ(Bits(MedianOf(copy)), Bits(median)) << n << " " << code;

            std::vector<Record> r(1);
            for (int i = 0; i < n; ++i) r.push_back({x[static_cast<std::size_t>(i)], i, 0.0f});
            std::vector<Record> fast(r.begin() + 1, r.end());
            literal::SortRecords(r, n);
            SortRecords(fast);
            for (int i = 0; i < n; ++i) ASSERT_EQ(fast[static_cast<std::size_t>(i)].field2, r[static_cast<std::size_t>(i) + 1].field2) << n << " " << code;
        }
    }
}

// NaNs go behind everything else in the order they had; the rest comes out as the literal sort leaves the
// array without them.
TEST(Sorts, NaNsGoLast) {
    std::mt19937 pick(12);
    for (int trial = 0; trial < 200; ++trial) {
        const std::size_t n = 1 + pick() % 60;
        std::vector<float> x = AnyValues(pick, n, 6);
        std::vector<float> nans;
        for (float& v : x) {
            if (pick() % 4 == 0) {
                v = std::bit_cast<float>(static_cast<std::uint32_t>(0x7fc00000u | nans.size() | (pick() & 1u) << 31));
                nans.push_back(v);
            }
        }
        std::vector<float> numbers;
        for (const float v : x) if (!std::isnan(v)) numbers.push_back(v);
        const auto m = static_cast<std::int32_t>(numbers.size());

        literal::Values ls = literal::OneBased(numbers);
        literal::SortArray(ls, m);
        std::vector<float> expected = literal::ZeroBased(ls, m);
        expected.insert(expected.end(), nans.begin(), nans.end());
        std::vector<float> sorted = x;
        SortArray(sorted);
        ASSERT_EQ(Bits(sorted), Bits(expected));

        // The median: the same arrangement, every position but the last rounded (a NaN becomes the quiet
        // NaN of its sign).
        std::vector<float> medianArray = x;
        const float median = ArrayMedian(medianArray);
        for (std::size_t i = 0; i + 1 < n; ++i) expected[i] = literal::ReadSingle(literal::GeneralText(expected[i]));
        ASSERT_EQ(Bits(medianArray), Bits(expected));
        const float middle = n % 2 ? expected[n / 2]
                                   : static_cast<float>((static_cast<double>(expected[n / 2 - 1]) + expected[n / 2]) / 2.0);
        ASSERT_EQ(Bits(median), Bits(middle));
        std::vector<float> copy = x;
        ASSERT_EQ(Bits(MedianOf(copy)), Bits(median));

        std::vector<Record> r;
        std::vector<Record> expectedRecords(1);
        std::vector<Record> nanRecords;
        for (std::size_t i = 0; i < n; ++i) {
            r.push_back({x[i], static_cast<std::int32_t>(i), 0.0f});
            if (std::isnan(x[i])) nanRecords.push_back(r.back());
            else expectedRecords.push_back(r.back());
        }
        literal::SortRecords(expectedRecords, m);
        expectedRecords.insert(expectedRecords.end(), nanRecords.begin(), nanRecords.end());
        SortRecords(r);
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(r[i].field2, expectedRecords[i + 1].field2);
    }
}

TEST(Median, CountsBeyondSixteenBits) {
    // 40,001 values: the literal's 16-bit counters stop at 32,766; ours do not. Expected by definition:
    // the ascending order with every position but the last passed through the text.
    std::mt19937 pick(13);
    std::vector<float> x(40001);
    for (float& v : x) v = std::uniform_real_distribution<float>(-5.0f, 5.0f)(pick);
    std::vector<float> expected = x;
    std::sort(expected.begin(), expected.end());
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) expected[i] = literal::ReadSingle(literal::GeneralText(expected[i]));
    std::vector<float> copy = x;
    EXPECT_EQ(Bits(ArrayMedian(x)), Bits(expected[20000]));
    EXPECT_EQ(Bits(x), Bits(expected));
    EXPECT_EQ(Bits(MedianOf(copy)), Bits(expected[20000]));
}

}  // namespace
}  // namespace brevant
