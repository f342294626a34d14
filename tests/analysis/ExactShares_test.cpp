// The exact shares of the five randomization tests against a plain enumeration written here: every
// arrangement made by brute force, its statistic (t, r or F itself, not the equivalent one the procedures
// order by) taken in double by two passes, and counted by the rule: at least as extreme as the observed
// statistic in the box's direction, ties within a relative 1e-9 included. Then: the same counts on any
// number of threads, a cancel, the limit, and the exact share against a long random run.
#include "analysis/ExactShares.h"
#include "analysis/MonteCarloError.h"
#include "analysis/OnewayF.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using namespace brevant;

constexpr double kTie = 1.0 - 1e-9;

// Lower, upper and both tails of a statistic s against s0, as the rule reads.
struct Tails {
    std::int64_t lower = 0, upper = 0, both = 0, all = 0;
    void Add(double s, double s0) {
        const double a = std::fabs(s0) * kTie;
        lower += s <= -a;
        upper += s >= a;
        both += std::fabs(s) >= a;
        ++all;
    }
};

double Mean(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
double SumSquares(const std::vector<double>& v) {
    const double m = Mean(v);
    double ss = 0;
    for (const double x : v) ss += (x - m) * (x - m);
    return ss;
}

// Continuous values from a small fixed recurrence, so the data are the same on every machine.
std::vector<float> Continuous(std::size_t n, std::uint32_t seed, float scale, float offset) {
    std::vector<float> v(n);
    for (float& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = offset + scale * static_cast<float>(seed >> 8) / 16777216.0f;
    }
    return v;
}

RunSettings Settings(int threads = 0, std::int64_t limit = kDefaultExactLimit) {
    RunSettings s;
    s.threads = threads;
    s.exactLimit = limit;
    return s;
}

// ---------------------------------------------------------------------------------------------------------

double PooledT(const std::vector<double>& a, const std::vector<double>& b) {
    const double nA = a.size(), nB = b.size();
    const double s2 = (SumSquares(a) + SumSquares(b)) / (nA + nB - 2);
    return (Mean(a) - Mean(b)) / std::sqrt(s2 * (1 / nA + 1 / nB));
}

Tails BruteIndepT(const std::vector<float>& pooled, int nA) {
    const int n = static_cast<int>(pooled.size());
    const auto split = [&](unsigned mask) {
        std::vector<double> a, b;
        for (int i = 0; i < n; ++i) ((mask >> i) & 1 ? a : b).push_back(pooled[i]);
        return PooledT(a, b);
    };
    const double t0 = split((1u << nA) - 1);
    Tails tails;
    for (unsigned mask = 0; mask < (1u << n); ++mask)
        if (std::popcount(mask) == nA) tails.Add(split(mask), t0);
    return tails;
}

TEST(ExactShares, IndepTAgreesWithEveryBox) {
    struct Case {
        std::vector<float> pooled;
        int nA;
    };
    const Case cases[] = {
        {{1, 2, 2, 3, 3, 3, 4, 2, 3, 3, 4, 4, 5, 5, 6}, 7},    // whole numbers with many ties, 6,435 splits
        {{4, 4, 5, 4, 5, 4, 4, 5, 5, 4, 5, 4}, 6},             // two values only: mirrored splits tie
        {{0.1f, 0.2f, 0.3f, 0.7f, 0.1f, 0.2f, 0.3f, 0.6f, 0.4f, 0.1f, 0.2f, 0.3f, 0.7f}, 6},  // ties off by rounding
        {Continuous(14, 7, 3.0f, 10.0f), 5},                   // 2,002 splits
        {Continuous(13, 99, 0.01f, 1000.0f), 6},               // a small spread far from 0
    };
    for (const Case& c : cases) {
        IndepTData data;
        data.pooled = c.pooled;
        data.sizeA = c.nA;
        RunControl control;
        const ExactFigures exact = ExactIndepT(data, Settings(), control);
        const Tails brute = BruteIndepT(c.pooled, c.nA);
        ASSERT_EQ(exact.arrangements, brute.all);
        ASSERT_EQ(exact.counts.size(), 3u);
        EXPECT_EQ(exact.counts[0], brute.lower);
        EXPECT_EQ(exact.counts[1], brute.upper);
        EXPECT_EQ(exact.counts[2], brute.both);
        EXPECT_EQ(exact.controls, (std::vector<std::string>{"txtNumLess", "txtNumGreater", "txtProbMore"}));
        EXPECT_GE(exact.counts[2], 1);  // the observed split
    }
}

Tails BrutePairedT(const std::vector<float>& d) {
    const int n = static_cast<int>(d.size());
    const auto pattern = [&](unsigned mask) {
        std::vector<double> v;
        for (int i = 0; i < n; ++i) v.push_back((mask >> i) & 1 ? -static_cast<double>(d[i]) : d[i]);
        return Mean(v) / std::sqrt(SumSquares(v) / (n - 1) / n);
    };
    const double t0 = pattern(0);
    Tails tails;
    for (unsigned mask = 0; mask < (1u << n); ++mask) tails.Add(pattern(mask), t0);
    return tails;
}

TEST(ExactShares, PairedTAgreesWithEveryBox) {
    const std::vector<float> cases[] = {
        {3, -1, 2, 2, 0, 4, -2, 1, 3, 1, 2},  // ties, a zero difference, 2,048 patterns
        {1, 1, 1, 2, 2, 1, 1, 2, 1, 1, 2, 1},  // all one sign: the observed pattern is the most extreme
        {0.1f, 0.7f, 0.2f, 0.3f, 0.6f, 0.4f, 0.5f, 0.1f, 0.3f, 0.2f, 0.7f, 0.4f},  // ties off by rounding
        Continuous(12, 5, 2.0f, -0.4f),
    };
    for (const std::vector<float>& d : cases) {
        PairedTData data;
        data.differences = d;
        RunControl control;
        const ExactFigures exact = ExactPairedT(data, Settings(), control);
        const Tails brute = BrutePairedT(d);
        ASSERT_EQ(exact.arrangements, brute.all);
        EXPECT_EQ(exact.counts[0], brute.lower);
        EXPECT_EQ(exact.counts[1], brute.upper);
        EXPECT_EQ(exact.counts[2], brute.both);
    }
}

TEST(ExactShares, Corr1AgreesWithItsBox) {
    struct Case {
        std::vector<float> x, y;
    };
    const Case cases[] = {
        {{1, 2, 2, 3, 3, 4, 5}, {2, 2, 3, 3, 3, 5, 4}},  // 5,040 pairings, many ties
        {Continuous(7, 3, 1.0f, 0.0f), Continuous(7, 4, 50.0f, 100.0f)},
        {{1, 2, 3, 4, 5, 6, 7, 8}, {3, 1, 4, 1, 5, 9, 2, 6}},  // 40,320
        {{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f}, {0.3f, 0.1f, 0.2f, 0.7f, 0.3f, 0.6f, 0.1f}},
    };
    for (const Case& c : cases) {
        Corr1Data data;
        data.x = c.x;
        data.y = c.y;
        const auto r = [&](const std::vector<float>& y) {
            std::vector<double> xd(c.x.begin(), c.x.end()), yd(y.begin(), y.end());
            const double mx = Mean(xd), my = Mean(yd);
            double sxy = 0;
            for (std::size_t i = 0; i < xd.size(); ++i) sxy += (xd[i] - mx) * (yd[i] - my);
            return sxy / std::sqrt(SumSquares(xd) * SumSquares(yd));
        };
        const double r0 = r(c.y);
        std::vector<int> order(c.y.size());
        std::iota(order.begin(), order.end(), 0);
        Tails brute;
        do {
            std::vector<float> y;
            for (const int i : order) y.push_back(c.y[i]);
            brute.Add(r(y), r0);
        } while (std::next_permutation(order.begin(), order.end()));
        RunControl control;
        const ExactFigures exact = ExactCorr1(data, Settings(), control);
        ASSERT_EQ(exact.arrangements, brute.all);
        ASSERT_EQ(exact.counts.size(), 1u);
        EXPECT_EQ(exact.counts[0], brute.both);
    }
}

double OnewayF(const std::vector<std::vector<double>>& groups) {
    std::vector<double> all;
    for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
    const double m = Mean(all);
    double between = 0, within = 0;
    for (const auto& g : groups) {
        between += g.size() * (Mean(g) - m) * (Mean(g) - m);
        within += SumSquares(g);
    }
    const double k = groups.size(), n = all.size();
    return (between / (k - 1)) / (within / (n - k));
}

TEST(ExactShares, OnewayRandomAgreesWithItsBox) {
    struct Case {
        std::vector<float> values;
        std::vector<std::int32_t> sizes;
    };
    const Case cases[] = {
        {{1, 2, 2, 3, 2, 3, 3, 4, 4, 4}, {3, 3, 4}},      // 4,200 divisions, ties
        {{5, 5, 6, 5, 6, 6, 5, 6}, {2, 2, 2, 2}},         // two values: divisions with no spread within (F inf)
        {Continuous(11, 21, 4.0f, 20.0f), {4, 3, 4}},     // 11,550
        {{0.1f, 0.2f, 0.3f, 0.7f, 0.1f, 0.2f, 0.3f, 0.6f, 0.4f, 0.1f}, {3, 3, 4}},
    };
    for (const Case& c : cases) {
        const auto f = [&](const std::vector<int>& labels) {
            std::vector<std::vector<double>> groups(c.sizes.size());
            for (std::size_t i = 0; i < labels.size(); ++i) groups[labels[i]].push_back(c.values[i]);
            return OnewayF(groups);
        };
        std::vector<int> labels;
        for (std::size_t g = 0; g < c.sizes.size(); ++g) labels.insert(labels.end(), c.sizes[g], static_cast<int>(g));
        const double f0 = f(labels);
        Tails brute;
        do brute.Add(f(labels), f0);
        while (std::next_permutation(labels.begin(), labels.end()));

        OnewayData data;
        data.values = c.values;
        data.sizes = c.sizes;
        RunControl control;
        const ExactFigures exact = ExactOnewayRandom(data, Settings(), control);
        ASSERT_EQ(exact.arrangements, brute.all);
        EXPECT_EQ(exact.counts.at(0), brute.upper);
    }
}

TEST(ExactShares, Repeated1wayAgreesWithItsBox) {
    struct Case {
        std::int32_t subjects, treatments;
        std::vector<float> scores;
    };
    const Case cases[] = {
        {4, 3, {3, 4, 6, 2, 2, 5, 4, 5, 5, 1, 3, 3}},          // 1,296 tables, ties within rows
        {5, 3, Continuous(15, 8, 10.0f, 50.0f)},               // 7,776
        {3, 4, {1, 2, 2, 4, 3, 3, 5, 4, 2, 4, 4, 6}},          // 13,824
        {4, 3, {0.1f, 0.3f, 0.2f, 0.7f, 0.1f, 0.6f, 0.2f, 0.3f, 0.4f, 0.1f, 0.5f, 0.2f}},
    };
    for (const Case& c : cases) {
        const int n = c.subjects, k = c.treatments;
        const auto f = [&](const std::vector<float>& table) {
            std::vector<double> t(table.begin(), table.end());
            const double grand = Mean(t);
            std::vector<double> rowMean(n, 0), colMean(k, 0);
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < k; ++i) {
                    rowMean[j] += t[j * k + i] / k;
                    colMean[i] += t[j * k + i] / n;
                }
            double ssT = 0, ssE = 0;
            for (int i = 0; i < k; ++i) ssT += n * (colMean[i] - grand) * (colMean[i] - grand);
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < k; ++i) {
                    const double e = t[j * k + i] - rowMean[j] - colMean[i] + grand;
                    ssE += e * e;
                }
            return (ssT / (k - 1)) / (ssE / ((k - 1) * (n - 1)));
        };
        const double f0 = f(c.scores);
        Tails brute;
        std::vector<float> table = c.scores;
        // Every row's orders in turn, by recursion over the rows.
        const auto walk = [&](auto&& self, int row) -> void {
            if (row == n) {
                brute.Add(f(table), f0);
                return;
            }
            std::vector<int> order(k);
            std::iota(order.begin(), order.end(), 0);
            do {
                for (int i = 0; i < k; ++i) table[row * k + i] = c.scores[row * k + order[i]];
                self(self, row + 1);
            } while (std::next_permutation(order.begin(), order.end()));
        };
        walk(walk, 0);

        Repeated1wayData data;
        data.subjects = n;
        data.treatments = k;
        data.scores = c.scores;
        RunControl control;
        const ExactFigures exact = ExactRepeated1way(data, Settings(), control);
        ASSERT_EQ(exact.arrangements, brute.all);
        EXPECT_EQ(exact.counts.at(0), brute.upper);
    }
}

// ---------------------------------------------------------------------------------------------------------

TEST(ExactShares, SameCountsOnAnyThreadsAndNoneOverTheLimit) {
    OnewayData data;
    data.values = Continuous(15, 31, 5.0f, 3.0f);
    data.sizes = {5, 5, 5};  // 756,756 divisions: many chunks
    RunControl control;
    const ExactFigures one = ExactOnewayRandom(data, Settings(1), control);
    for (const int threads : {2, 3, 8}) {
        const ExactFigures many = ExactOnewayRandom(data, Settings(threads), control);
        EXPECT_EQ(many.counts, one.counts) << threads;
        EXPECT_EQ(many.arrangements, 756'756);
    }
    const ExactFigures over = ExactOnewayRandom(data, Settings(0, 756'755), control);
    EXPECT_EQ(over.arrangements, 0);
    EXPECT_EQ(over.total, 756'756.0);
    EXPECT_NE(ExactNotes({}, over).at(0).find("756,756 divisions"), std::string::npos);
    EXPECT_TRUE(ExactNotes({}, ExactOnewayRandom(data, Settings(0, 0), control)).empty());

    control.RequestCancel();
    EXPECT_THROW(ExactOnewayRandom(data, Settings(2), control), RunCancelled);
}

TEST(ExactShares, CountsOfArrangements) {
    const std::int32_t split[] = {8, 9}, groups[] = {6, 7, 6}, singles[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(DivisionCount(split), 24'310.0);
    EXPECT_EQ(DivisionCount(groups), 46'558'512.0);
    EXPECT_EQ(DivisionCount(singles), 3'628'800.0);
    EXPECT_EQ(SignPatternCount(10), 1024.0);
    EXPECT_EQ(RowOrderCount(8, 3), 1'679'616.0);
    // Far past any limit the counts stay ordered, never wrapped round.
    const std::vector<std::int32_t> huge(300, 2);
    EXPECT_GT(DivisionCount(huge), 1e18);
    EXPECT_FALSE(WithinExactLimit(RowOrderCount(1000, 10), 10000, kDefaultExactLimit));
    EXPECT_FALSE(WithinExactLimit(SignPatternCount(5000), 5000, kDefaultExactLimit));
    // The values read in all count as well: 2,003,001 splits of 2 and 2,000 values are refused, the same
    // count of 25 values is not.
    const std::int32_t lopsided[] = {2, 2000};
    EXPECT_FALSE(WithinExactLimit(DivisionCount(lopsided), 2002, kDefaultExactLimit));
    EXPECT_TRUE(WithinExactLimit(DivisionCount(lopsided), 25, kDefaultExactLimit));
    EXPECT_TRUE(WithinExactLimit(8'388'608, 23, kDefaultExactLimit));  // 2^23 sign patterns
    EXPECT_FALSE(WithinExactLimit(1, 25, 0));
    const std::string note = ExactNotes({}, TooManyArrangements(2'003'001, kDefaultExactLimit, "splits", 2002)).at(0);
    EXPECT_NE(note.find("2,003,001 splits of 2,002 values, too many values"), std::string::npos) << note;
}

// The exact share is what a long random run estimates: within four Monte Carlo errors of it.
TEST(ExactShares, LongRandomRunsAgreeWithTheExactShare) {
    constexpr std::int32_t kR = 400'000;
    RunSettings settings;
    settings.resamples = kR;
    {
        IndepTData data;
        data.pooled = Continuous(14, 77, 3.0f, 10.0f);
        data.pooled[0] += 1.2f;  // group A a little higher, so p is neither tiny nor near 1
        data.sizeA = 6;
        Generator generator{Seeds{12, 34, 56}};
        RunControl control;
        const IndepTResult r = RunIndepT(data, settings, generator, control);
        ASSERT_GT(r.exact.arrangements, 0);
        const double p = r.exact.shares[2];
        EXPECT_NEAR(static_cast<double>(r.probMore), p, 4 * MonteCarloStandardError(p, kR));
        EXPECT_NEAR(r.proportionLess, r.exact.shares[0], 4 * MonteCarloStandardError(r.exact.shares[0], kR));
    }
    {
        OnewayData data;
        data.values = Continuous(12, 5, 4.0f, 1.0f);
        data.values[0] += 1.5f;
        data.sizes = {4, 4, 4};
        Generator generator{Seeds{7, 8, 9}};
        RunControl control;
        const OnewayRandomResult r = RunOnewayRandom(data, settings, generator, control);
        ASSERT_GT(r.exact.arrangements, 0);
        const double p = r.exact.shares[0];
        EXPECT_NEAR(r.proportion, p, 4 * MonteCarloStandardError(p, kR));
    }
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
