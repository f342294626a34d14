// The F of eight arrangements side by side (OnewayF::OfEight) against the literal group statistics
// (tests/literal/LiteralOnewayRandom.h), on every instruction path, with single and with double sums: group
// counts that leave every remainder of the passes of up to four groups, unequal sizes, lanes with ties,
// with no spread within the groups and with one value throughout.
#include "analysis/OnewayF.h"
#include "literal/LiteralOnewayRandom.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <type_traits>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::DrawPath;
using brevant::SumPrecision;
using brevant::testing::SameBits;

constexpr int kLanes = brevant::kOnewayLanes;

std::vector<DrawPath> AvailablePaths() {
    std::vector<DrawPath> paths;
    for (const DrawPath path : {DrawPath::Baseline, DrawPath::Avx2}) {
        if (brevant::DrawPathAvailable(path)) paths.push_back(path);
    }
    return paths;
}

std::string PathName(DrawPath path) { return path == DrawPath::Avx2 ? "AVX2" : "baseline"; }

// Arrangement of kind 0..7 for the given sizes: shuffles of values with ties and large magnitudes (0-4),
// draws from a few values (5), every group constant but the groups apart (6: F = +inf), one value (7: NaN).
std::vector<float> Arrangement(std::mt19937& random, const std::vector<std::int32_t>& sizes,
                               const std::vector<float>& values, int kind) {
    std::vector<float> a = values;
    if (kind <= 4) {
        std::shuffle(a.begin(), a.end(), random);
    } else if (kind == 5) {
        std::uniform_int_distribution<int> few(0, 2);
        for (float& v : a) v = static_cast<float>(few(random));
    } else {
        std::size_t at = 0;
        for (std::size_t j = 0; j < sizes.size(); ++j) {
            const float v = kind == 6 ? 1.5f * static_cast<float>(j % 3) - 2.0f : 3.25f;
            for (std::int32_t i = 0; i < sizes[j]; ++i) a[at++] = v;
        }
    }
    return a;
}

template <typename Sum>
float LiteralF(const std::vector<float>& values, const std::vector<std::int32_t>& sizes) {
    return brevant::literal::GroupStatistics<Sum>(brevant::literal::OneBased(values), brevant::literal::Layout(sizes))
        .f;
}

template <typename Sum>
void ExpectEightAsLiteral(std::mt19937& random, const std::vector<std::int32_t>& sizes, int rotation) {
    const SumPrecision precision = std::is_same_v<Sum, float> ? SumPrecision::Single : SumPrecision::Double;
    std::int32_t total = 0;
    for (const std::int32_t n : sizes) total += n;
    std::uniform_real_distribution<float> noise(-50.0f, 50.0f);
    std::vector<float> values(static_cast<std::size_t>(total));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const float v = noise(random);
        values[i] = i % 3 == 0 ? std::round(v) : i % 7 == 1 ? 123456.7f + v : v;
    }
    std::vector<std::vector<float>> arrangements;
    std::vector<float> interleaved(static_cast<std::size_t>(kLanes * total));
    for (int b = 0; b < kLanes; ++b) {
        arrangements.push_back(Arrangement(random, sizes, values, (b + rotation) % kLanes));
        for (std::int32_t i = 0; i < total; ++i) {
            interleaved[static_cast<std::size_t>(kLanes * i + b)] = arrangements.back()[static_cast<std::size_t>(i)];
        }
    }
    for (const DrawPath path : AvailablePaths()) {
        SCOPED_TRACE(PathName(path) + (std::is_same_v<Sum, float> ? " single" : " double") + " k=" +
                     std::to_string(sizes.size()) + " N=" + std::to_string(total));
        brevant::OnewayF computeF(sizes, precision, path);
        float out[kLanes];
        computeF.OfEight(interleaved.data(), out);
        for (int b = 0; b < kLanes; ++b) {
            const float expected = LiteralF<Sum>(arrangements[static_cast<std::size_t>(b)], sizes);
            EXPECT_TRUE(SameBits(out[b], expected))
                << "lane " << b << " kind " << (b + rotation) % kLanes << ": " << out[b] << " vs " << expected;
        }
    }
}

TEST(OnewayF, EightSideBySideMatchTheLiteralFOnEveryPath) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> size(2, 13);
    int rotation = 0;
    // 2..13 groups: every remainder of four, one to four passes; random unequal sizes leave tails.
    for (int k = 2; k <= 13; ++k) {
        for (int repeat = 0; repeat < 3; ++repeat, ++rotation) {
            std::vector<std::int32_t> sizes(static_cast<std::size_t>(k));
            for (std::int32_t& n : sizes) n = size(random);
            ExpectEightAsLiteral<float>(random, sizes, rotation);
            ExpectEightAsLiteral<double>(random, sizes, rotation);
        }
    }
    // Groups of two only, one long group among short ones, the heaviest layout of the windows.
    const std::vector<std::vector<std::int32_t>> fixed = {
        {2, 2}, {2, 2, 2, 2, 2}, {2, 90, 3, 4}, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100}};
    for (const auto& sizes : fixed) {
        ExpectEightAsLiteral<float>(random, sizes, rotation);
        ExpectEightAsLiteral<double>(random, sizes, rotation++);
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
