// The generator, the index rule, the shuffle and the seeds, against the literal transcriptions.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/Module1.h"
#include "literal/LiteralEngine.h"

namespace brevant::BREVANT_TEST_UNIT {
namespace {

TEST(Random, ReferenceValuesFromSeedsOneOneOne) {
    Generator g{{1, 1, 1}};
    const double expected[] = {0.0169309061996568, 0.895253911237999, 0.111491021216452};
    const Seeds states[] = {{171, 172, 170}, {29241, 29584, 28900}, {5826, 27179, 674}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(g.Uniform(), expected[i], 1e-15) << "draw " << i + 1;
        EXPECT_EQ(g.seeds, states[i]) << "draw " << i + 1;
    }
}

TEST(Random, StreamIsBitIdenticalToLiteral) {
    std::mt19937 pick(7);
    for (int trial = 0; trial < 20; ++trial) {
        const Seeds start{static_cast<std::int32_t>(pick() % 30268 + 1), static_cast<std::int32_t>(pick() % 30306 + 1),
                          static_cast<std::int32_t>(pick() % 30322 + 1)};
        SetSeeds(start);
        literal::seedTable = start;
        for (int i = 0; i < 20000; ++i) {
            if (i % 2 == 0) {
                ASSERT_EQ(RandomUniform(), literal::RandomUniform());
            } else {
                const std::int32_t m = 1 + i % 1500;
                ASSERT_EQ(RandomIndex(m), literal::RandomIndex(m));
            }
        }
        EXPECT_EQ(GetSeeds(), literal::seedTable);
    }
}

// Seeds found by searching every state for the largest and smallest next u (u = 1 - 3.6e-14, u = 3.6e-14).
TEST(Random, IndexStaysWithinOneToMAtTheExtremesOfU) {
    const std::int32_t sizes[] = {1, 2, 3, 10, 1000, 32767, 100000, 1 << 30};
    for (const std::int32_t m : sizes) {
        Generator high{{12590, 18526, 14044}};
        Generator probe = high;
        EXPECT_GT(probe.Uniform(), 1.0 - 1e-13);
        EXPECT_EQ(high.Index(m), m) << m;
        Generator low{{17679, 11781, 16279}};
        probe = low;
        EXPECT_LT(probe.Uniform(), 1e-13);
        EXPECT_EQ(low.Index(m), 1) << m;
    }
    // And over a long stream.
    Generator g{{1, 1, 1}};
    for (int i = 0; i < 300000; ++i) {
        const std::int32_t m = 1 + i % 7;
        const std::int32_t k = g.Index(m);
        ASSERT_GE(k, 1);
        ASSERT_LE(k, m);
    }
}

TEST(Random, ShuffleDrawCounts) {
    const Seeds start{11, 22, 33};
    Generator g{start};
    std::vector<float> one{4.5f};
    ShuffleArray(g, std::span<float>(one));
    EXPECT_EQ(one, std::vector<float>{4.5f});
    EXPECT_EQ(g.seeds, start);

    // n = 2: one draw; the two change places exactly when the index drawn is 1.
    for (int trial = 0; trial < 50; ++trial) {
        Generator before = g;
        const bool exchange = before.Index(2) == 1;
        std::vector<float> two{1.0f, 2.0f};
        ShuffleArray(g, std::span<float>(two));
        EXPECT_EQ(g.seeds, before.seeds);
        EXPECT_EQ(two, exchange ? std::vector<float>({2.0f, 1.0f}) : std::vector<float>({1.0f, 2.0f}));
    }

    // n = 5: four draws whatever the values.
    for (const std::vector<float>& values : {std::vector<float>{1, 2, 3, 4, 5}, std::vector<float>(5, 0.0f)}) {
        Generator expected = g;
        for (int i = 0; i < 4; ++i) expected.Uniform();
        std::vector<float> copy = values;
        ShuffleArray(g, std::span<float>(copy));
        EXPECT_EQ(g.seeds, expected.seeds);
    }

    std::vector<float> none;
    const Seeds still = g.seeds;
    ShuffleArray(g, std::span<float>(none));
    EXPECT_EQ(g.seeds, still);
}

TEST(Random, ShuffleMatchesLiteralForFloatsAndFourByteRecords) {
    std::mt19937 pick(11);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    for (const int n : {0, 1, 2, 3, 7, 100, 999, 1000, 2000}) {
        const Seeds start{static_cast<std::int32_t>(1 + pick() % 30268), 77, 5000};
        std::vector<float> x(static_cast<std::size_t>(n));
        for (float& v : x) v = value(pick);
        std::vector<std::int32_t> ids(x.size());
        for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::int32_t>(i) * 3 - 50;

        literal::seedTable = start;
        literal::Values lx = literal::OneBased(x);
        literal::ShuffleArray(lx, n);
        std::vector<std::int32_t> lids(ids.size() + 1);
        std::copy(ids.begin(), ids.end(), lids.begin() + 1);
        literal::ShuffleArray(lids, n);

        Generator g{start};
        ShuffleArray(g, std::span<float>(x));
        ShuffleArray(g, std::span<std::int32_t>(ids));
        EXPECT_EQ(x, literal::ZeroBased(lx, n)) << n;
        EXPECT_EQ(ids, std::vector<std::int32_t>(lids.begin() + 1, lids.end())) << n;
        EXPECT_EQ(g.seeds, literal::seedTable) << n;
    }
}

TEST(Random, SetSeedsRefusesSeedsOutsideTheirRanges) {
    const Seeds kept{5, 6, 7};
    SetSeeds(kept);
    const Seeds bad[] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {-5, 1, 1}, {30269, 1, 1}, {1, 30307, 1}, {1, 1, 30323}};
    for (const Seeds& s : bad) {
        try {
            SetSeeds(s);
            ADD_FAILURE() << "accepted " << s.a << "," << s.b << "," << s.c;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("1..30268"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(SeedsValid(s));
        EXPECT_EQ(GetSeeds(), kept);  // a refused seed leaves the stream as it was
    }
    SetSeeds({30268, 30306, 30322});
    EXPECT_EQ(GetSeeds(), (Seeds{30268, 30306, 30322}));
}

TEST(Random, StartupSeedsCoverTheirRanges) {
    const float belowOne = std::nextafter(1.0f, 0.0f);
    EXPECT_EQ(StartupSeeds(0.0f, 0.0f, 0.0f), (Seeds{1, 1, 1}));
    EXPECT_EQ(StartupSeeds(belowOne, belowOne, belowOne), (Seeds{10000, 9000, 23423}));
    std::mt19937 pick(3);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int i = 0; i < 10000; ++i) {
        const float u1 = u(pick), u2 = u(pick), u3 = std::min(u(pick), belowOne);
        EXPECT_EQ(StartupSeeds(u1, u2, u3), literal::StartupSeeds(u1, u2, u3));
    }
    for (int i = 0; i < 1000; ++i) {
        const Seeds s = ClockSeeds();
        ASSERT_TRUE(s.a >= 1 && s.a <= 10000 && s.b >= 1 && s.b <= 9000 && s.c >= 1 && s.c <= 23423);
    }
    SeedFromClock();
    EXPECT_TRUE(SeedsValid(GetSeeds()));
}

}  // namespace
}  // namespace brevant
