// Slow literal transcription of a whole one-way randomization run, step by step on one-based arrays with
// the literal engine routines, as the oracle of analysis/randomization/OnewayRandom. Draws from
// brevant::literal::seedTable.
//
// Sum is the type of every running sum: float as the windows were designed (k 16-bit, N 16-bit, at most
// 10 groups and 1,000 values), or double for data past that size, where the group statistics are the same
// steps with double sums, each rounded to its single variable where it is stored.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

namespace brevant::literal {

// sizes one-based, 1..k; ends 0..k.
struct GroupLayout {
    std::int32_t k = 0, N = 0;
    std::vector<std::int32_t> size, end;
};

inline GroupLayout Layout(const std::vector<std::int32_t>& sizes) {
    GroupLayout g;
    g.k = static_cast<std::int32_t>(sizes.size());
    g.size.assign(1, 0);
    g.end.assign(1, 0);
    for (const std::int32_t n : sizes) {
        g.size.push_back(n);
        g.end.push_back(g.end.back() + n);
        g.N += n;
    }
    return g;
}

struct GroupStats {
    float gm = 0, ssb = 0, msw = 0, f = 0;
    Values mean, variance;  // 1..k
};

// PooledVariance with Sum sums: a / (t - k), the divisor converted to single, a single quotient; with
// double sums the quotient is taken in double and rounded once.
template <typename Sum>
float PooledVarianceOf(const Values& variances, const std::vector<std::int32_t>& sizes, std::int32_t k) {
    if constexpr (std::is_same_v<Sum, float>) return PooledVariance(variances, sizes, To16(k));
    double a = 0;
    std::int64_t t = 0;
    for (std::int32_t j = 1; j <= k; ++j) {
        a = a + static_cast<double>(variances[static_cast<std::size_t>(j)]) *
                    static_cast<double>(sizes[static_cast<std::size_t>(j)] - 1);
        t = t + sizes[static_cast<std::size_t>(j)];
    }
    return static_cast<float>(a / static_cast<double>(t - k));
}

// The group statistics of v(1..N) and F. Our rule for no spread: every group's values all equal, or
// MSw <= 0, gives F = SSb / 0, with SSb taken as 0 when all N values are equal.
template <typename Sum = float>
GroupStats GroupStatistics(const Values& v, const GroupLayout& g) {
    GroupStats r;
    const std::size_t k = static_cast<std::size_t>(g.k);
    if constexpr (std::is_same_v<Sum, float>) {
        To16(g.k);
        To16(g.N);
    }
    Sum grand = 0;  // 1
    for (std::int32_t i = 1; i <= g.N; ++i) {
        grand = static_cast<Sum>(static_cast<double>(grand) + v[static_cast<std::size_t>(i)]);
    }
    if constexpr (std::is_same_v<Sum, float>) {
        r.gm = grand / static_cast<float>(static_cast<std::int16_t>(g.N));  // single over 16-bit
    } else {
        r.gm = static_cast<float>(grand / g.N);
    }
    std::vector<Sum> s(k + 1, 0), q(k + 1, 0);  // 2
    for (std::size_t j = 1; j <= k; ++j) {
        for (std::int32_t i = g.end[j - 1] + 1; i <= g.end[j]; ++i) {
            const double x = v[static_cast<std::size_t>(i)];
            s[j] = static_cast<Sum>(static_cast<double>(s[j]) + x);
            q[j] = static_cast<Sum>(static_cast<double>(q[j]) + std::pow(x, 2));
        }
    }
    r.mean.assign(k + 1, 0.0f);  // 3
    r.variance.assign(k + 1, 0.0f);
    Sum ssb = 0;
    for (std::size_t j = 1; j <= k; ++j) {
        const double n = g.size[j];
        r.mean[j] = static_cast<float>(static_cast<double>(s[j]) / n);
        const double sj = s[j];
        r.variance[j] = static_cast<float>((static_cast<double>(q[j]) - std::pow(sj, 2) / n) / (n - 1));
        ssb = static_cast<Sum>(static_cast<double>(ssb) + std::pow(static_cast<double>(r.mean[j] - r.gm), 2) * n);
    }
    r.ssb = static_cast<float>(ssb);
    r.msw = PooledVarianceOf<Sum>(r.variance, g.size, g.k);  // 4

    bool constantWithin = true;
    for (std::size_t j = 1; j <= k; ++j) {
        const Values group(v.begin() + g.end[j - 1], v.begin() + g.end[j] + 1);  // group[1..size]
        constantWithin = constantWithin && AllEqual(group, g.size[j]);
    }
    if (constantWithin || !(r.msw > 0)) {
        r.f = OverZero(AllEqual(v, g.N) ? 0.0 : static_cast<double>(r.ssb));
    } else {
        r.f = r.ssb / static_cast<float>(g.k - 1) / r.msw;  // 5
    }
    return r;
}

template <typename Sum = float>
float EffectSize(const GroupStats& r, std::int32_t k) {
    Sum sum = 0;
    for (std::int32_t j = 1; j <= k; ++j) {
        const float d = r.mean[static_cast<std::size_t>(j)] - r.gm;
        sum = static_cast<Sum>(static_cast<double>(sum) + std::pow(static_cast<double>(d), 2));
    }
    return static_cast<float>(std::sqrt(static_cast<double>(static_cast<float>(sum) / static_cast<float>(k) / r.msw)));
}

struct OnewayRandomRun {
    float obtainedF = 0, effectSize = 0, fcmp = 0;
    float counter = 0;  // a single-precision counter
    double proportion = 0;
    std::vector<float> resampled;  // F(1..R), zero-based here
    std::string outputText;
};

// values: every group's values in turn.
template <typename Sum = float>
OnewayRandomRun RunOnewayRandom(const std::vector<float>& values, const std::vector<std::int32_t>& sizes,
                                std::int32_t R) {
    OnewayRandomRun run;
    Values F(static_cast<std::size_t>(R) + 1, 0.0f);  // 2
    const GroupLayout g = Layout(sizes);             // 3
    const Values x = OneBased(values);
    const GroupStats observed = GroupStatistics<Sum>(x, g);  // 4
    run.obtainedF = observed.f;
    run.effectSize = EffectSize<Sum>(observed, g.k);  // 5
    run.fcmp = static_cast<float>(static_cast<double>(observed.f) - 0.0001);  // 6
    Values y(x.size(), 0.0f);
    for (std::int32_t r = 1; r <= R; ++r) {  // 7
        for (std::int32_t i = 1; i <= g.N; ++i) y[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i)];
        if constexpr (std::is_same_v<Sum, float>) {
            ShuffleArray(y, g.N);
        } else {  // past 16 bits: the same downward exchanges with a wide counter
            for (std::int32_t i = g.N; i >= 2; --i) {
                const std::int32_t j = RandomIndex(i);
                std::swap(y[static_cast<std::size_t>(j)], y[static_cast<std::size_t>(i)]);
            }
        }
        F[static_cast<std::size_t>(r)] = GroupStatistics<Sum>(y, g).f;
        if (F[static_cast<std::size_t>(r)] >= run.fcmp) run.counter = run.counter + 1;
    }
    run.outputText = OutputText(F, R);                           // 8
    run.proportion = static_cast<double>(run.counter) / R;      // 9
    run.resampled = ZeroBased(F, R);
    return run;
}

}  // namespace brevant::literal
