// Mean, variance, covariance, pooled variance, maximum and minimum: hand-worked values and the literal.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/Module1.h"
#include "literal/LiteralEngine.h"

namespace brevant::BREVANT_TEST_UNIT {
namespace {

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }
std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }

constexpr SumPrecision kSingle = SumPrecision::Single;
constexpr SumPrecision kDouble = SumPrecision::Double;

TEST(Statistics, HandWorkedValues) {
    const std::vector<float> x{1, 2, 3, 4};
    EXPECT_EQ(ArrayMean(x, kSingle), 2.5);
    EXPECT_NEAR(ArrayVariance(x, kSingle), 5.0 / 3.0, 1e-15);  // (30 - 100/4) / 3
    EXPECT_EQ(ArrayCovariance(std::vector<float>{1, 2, 3}, std::vector<float>{2, 4, 6}, kSingle), 2.0);  // (28 - 6*12/3) / 2
    EXPECT_EQ(PooledVariance(std::vector<float>{2, 4}, std::vector<std::int32_t>{3, 5}, kSingle), 20.0f / 6.0f);
}

TEST(Statistics, SinglePrecisionSumsMakeTheVarianceOfEqualValuesNegative) {
    const std::vector<float> tenths(10, 0.1f);
    // s and q are rounded to float at every step: s = 1.0000001 (float), q = 0.10000001 (float); the
    // difference q - s^2/10 is the rounding left over.
    float s = 0.0f, q = 0.0f;
    for (int i = 0; i < 10; ++i) {
        s = static_cast<float>(static_cast<double>(s) + 0.1f);
        q = static_cast<float>(static_cast<double>(q) + static_cast<double>(0.1f) * static_cast<double>(0.1f));
    }
    const double byHand = (static_cast<double>(q) - static_cast<double>(s) * s / 10.0) / 9.0;
    EXPECT_EQ(ArrayVariance(tenths, kSingle), byHand);
    EXPECT_LT(ArrayVariance(tenths, kSingle), -2.0e-9);
    EXPECT_GT(ArrayVariance(tenths, kSingle), -3.0e-9);
}

TEST(Statistics, UndefinedCasesGiveNaN) {
    EXPECT_TRUE(std::isnan(ArrayMean({}, kSingle)));
    EXPECT_TRUE(std::isnan(ArrayVariance(std::vector<float>{3.0f}, kSingle)));
    EXPECT_TRUE(std::isnan(ArrayVariance({}, kSingle)));
    EXPECT_TRUE(std::isnan(ArrayCovariance(std::vector<float>{1.0f}, std::vector<float>{2.0f}, kSingle)));
    EXPECT_TRUE(std::isnan(ArrayCovariance(std::vector<float>{1, 2, 3}, std::vector<float>{1, 2}, kDouble)));
    EXPECT_TRUE(std::isnan(PooledVariance(std::vector<float>{2, 4}, std::vector<std::int32_t>{1, 1}, kDouble)));
    EXPECT_TRUE(std::isnan(PooledVariance({}, {}, kSingle)));
}

std::vector<float> Sample(std::mt19937& pick, std::size_t n) {
    std::vector<float> x(n);
    for (float& v : x) {
        switch (pick() % 4) {
            case 0: v = std::uniform_real_distribution<float>(-1e4f, 1e4f)(pick); break;
            case 1: v = static_cast<float>(pick() % 9) * 0.1f; break;
            case 2: v = std::bit_cast<float>(static_cast<std::uint32_t>(0x30000000u + pick() % 0x1c000000u)); break;  // 1e-9 .. 1e8
            default: v = -1.23456789f * static_cast<float>(pick() % 1000); break;
        }
    }
    return x;
}

TEST(Statistics, BitIdenticalToLiteral) {
    std::mt19937 pick(21);
    for (const int n : {2, 3, 4, 5, 10, 99, 1000, 2000}) {
        for (int trial = 0; trial < 20; ++trial) {
            const std::vector<float> x = Sample(pick, static_cast<std::size_t>(n));
            const std::vector<float> y = Sample(pick, static_cast<std::size_t>(n));
            const literal::Values lx = literal::OneBased(x), ly = literal::OneBased(y);
            ASSERT_EQ(Bits(ArrayMean(x, kSingle)), Bits(literal::ArrayMean(lx, n)));
            ASSERT_EQ(Bits(ArrayVariance(x, kSingle)), Bits(literal::ArrayVariance(lx, n)));
            ASSERT_EQ(Bits(ArrayCovariance(x, y, kSingle)), Bits(literal::ArrayCovariance(lx, ly, n)));
            ASSERT_EQ(Bits(ArrayMax(x)), Bits(literal::ArrayMax(lx, n)));
            ASSERT_EQ(Bits(ArrayMin(x)), Bits(literal::ArrayMin(lx, n)));
        }
    }
    // Pooled variance of up to 10 groups.
    for (int trial = 0; trial < 500; ++trial) {
        const auto k = static_cast<std::int16_t>(1 + pick() % 10);
        std::vector<float> variances(static_cast<std::size_t>(k));
        std::vector<std::int32_t> sizes(static_cast<std::size_t>(k));
        for (int j = 0; j < k; ++j) {
            variances[static_cast<std::size_t>(j)] = std::uniform_real_distribution<float>(0.0f, 50.0f)(pick);
            sizes[static_cast<std::size_t>(j)] = 2 + static_cast<std::int32_t>(pick() % 300);
        }
        std::vector<std::int32_t> lsizes(1, 0);
        lsizes.insert(lsizes.end(), sizes.begin(), sizes.end());
        ASSERT_EQ(Bits(PooledVariance(variances, sizes, kSingle)), Bits(literal::PooledVariance(literal::OneBased(variances), lsizes, k)));
    }
}

TEST(Statistics, MaxAndMin) {
    EXPECT_EQ(ArrayMax({}), 0.0f);
    EXPECT_EQ(ArrayMin({}), 0.0f);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(ArrayMax(std::vector<float>{-inf, 3.0f, inf, 2.0f}), inf);
    EXPECT_EQ(ArrayMin(std::vector<float>{-inf, 3.0f, inf, 2.0f}), -inf);
    // The first of equal zeros wins.
    EXPECT_TRUE(std::signbit(ArrayMax(std::vector<float>{-0.0f, 0.0f})));
    EXPECT_FALSE(std::signbit(ArrayMin(std::vector<float>{0.0f, -0.0f})));
    // NaNs are skipped wherever they stand.
    EXPECT_EQ(ArrayMax(std::vector<float>{nan, 1.0f, 5.0f, nan, 4.0f}), 5.0f);
    EXPECT_EQ(ArrayMin(std::vector<float>{nan, 1.0f, 5.0f, nan, -4.0f}), -4.0f);
    EXPECT_TRUE(std::isnan(ArrayMax(std::vector<float>{nan, nan})));
}

TEST(Statistics, LargeCountsBeyondSixteenBits) {
    // 40,000 groups of 2 (a total far beyond 16 bits): sum var * 1 / (80,000 - 40,000).
    std::vector<float> variances(40000, 2.0f);
    std::vector<std::int32_t> sizes(40000, 2);
    EXPECT_EQ(PooledVariance(variances, sizes, kSingle), 2.0f);
    std::vector<float> ones(100000, 1.0f);
    EXPECT_EQ(ArrayMean(ones, kSingle), 1.0);
}

TEST(Statistics, SumPrecisionRuleSwitchesPastTheDesignedSize) {
    EXPECT_EQ(SumsFor(1000, 1000), kSingle);
    EXPECT_EQ(SumsFor(1001, 1000), kDouble);
    EXPECT_EQ(SumsFor(kDesignedResamples, kDesignedResamples), kSingle);
    EXPECT_EQ(Wider(kSingle, kDouble), kDouble);
    EXPECT_EQ(Wider(kSingle, kSingle), kSingle);
}

// A million values around 1000 with spread 3: single-precision sums of squares cancel to nonsense, the
// double sums give the mean to 7 digits and the variance to single precision.
TEST(Statistics, DoubleSumsStayRightForAMillionValues) {
    std::mt19937 pick(7);
    std::normal_distribution<float> around(1000.0f, 3.0f);
    std::vector<float> x(1'000'000);
    for (float& v : x) v = around(pick);
    long double sum = 0, squares = 0;
    for (const float v : x) sum += v;
    const long double mean = sum / x.size();
    for (const float v : x) squares += (v - mean) * (v - mean);
    const long double variance = squares / (x.size() - 1);

    EXPECT_NEAR(ArrayMean(x, kDouble), static_cast<double>(mean), 1e-7 * 1000);
    EXPECT_NEAR(ArrayVariance(x, kDouble), static_cast<double>(variance), 1e-6 * 9);
    EXPECT_NEAR(ArrayCovariance(x, x, kDouble), static_cast<double>(variance), 1e-6 * 9);
    EXPECT_GT(std::fabs(ArrayVariance(x, kSingle) - static_cast<double>(variance)), 1.0);  // why the rule exists

    std::vector<float> variances(x.size() / 2, static_cast<float>(variance));
    std::vector<std::int32_t> sizes(variances.size(), 2);
    EXPECT_NEAR(PooledVariance(variances, sizes, kDouble), static_cast<float>(variance), 1e-6 * 9);
}

}  // namespace
}  // namespace brevant
