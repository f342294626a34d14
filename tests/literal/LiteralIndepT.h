// Slow literal transcription of a whole two-independent-samples run, step by step on one-based arrays with
// the literal engine routines, as the oracle of analysis/randomization/IndepT. Draws from
// brevant::literal::seedTable. The output file's text is built here with snprintf, independently of the
// engine's number texts.
#pragma once

#include "literal/LiteralEngine.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace brevant::literal {

// One line of an output file: " " or "-", %.7G of the magnitude, a blank, CR LF. Our rules for the values
// the %.7G form does not cover: -0 is written as 0, infinities as inf, NaN as nan.
inline std::string OutputLine(float value) {
    if (std::isnan(value)) return " nan \r\n";
    if (std::isinf(value)) return value > 0 ? " inf \r\n" : "-inf \r\n";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7G", std::fabs(static_cast<double>(value)));
    return std::string(value < 0 ? "-" : " ") + buffer + " \r\n";
}

inline std::string OutputText(const Values& x, std::int32_t n) {
    std::string text;
    for (std::int32_t i = 1; i <= n; ++i) text += OutputLine(x[static_cast<std::size_t>(i)]);
    return text;
}

inline bool AllEqual(const Values& x, std::int32_t n) {
    for (std::int32_t i = 2; i <= n; ++i) {
        if (!(x[static_cast<std::size_t>(i)] == x[1])) return false;
    }
    return true;
}

// A statistic over no spread: d / 0 as IEEE gives it, NaN for 0 / 0.
inline float OverZero(double numerator) {
    if (numerator > 0) return std::numeric_limits<float>::infinity();
    if (numerator < 0) return -std::numeric_limits<float>::infinity();
    return std::numeric_limits<float>::quiet_NaN();
}

struct LiteralT {
    float mA, mB, varA, varB, s2, d, se, t;
};

// The t computation; our rule for no spread: each group's values all equal, or s2 <= 0, gives se = 0.
inline LiteralT TComputation(const Values& a, std::int32_t nA, const Values& b, std::int32_t nB) {
    LiteralT r{};
    const std::int32_t N = nA + nB;
    r.mA = static_cast<float>(ArrayMean(a, nA));
    r.varA = static_cast<float>(ArrayVariance(a, nA));
    r.mB = static_cast<float>(ArrayMean(b, nB));
    r.varB = static_cast<float>(ArrayVariance(b, nB));
    r.s2 = static_cast<float>((static_cast<double>(r.varA) * (nA - 1) + static_cast<double>(r.varB) * (nB - 1)) /
                              (N - 2));
    r.d = r.mA - r.mB;
    if ((AllEqual(a, nA) && AllEqual(b, nB)) || !(r.s2 > 0)) {
        r.se = 0;
        r.t = OverZero(r.d);
    } else {
        const double sum = 1.0 / nA + 1.0 / nB;
        r.se = static_cast<float>(std::sqrt(sum * static_cast<double>(r.s2)));
        r.t = r.d / r.se;
    }
    return r;
}

struct IndepTRun {
    float obtainedT = 0, tPrime = 0, effectSize = 0;
    float countGreater = 0, countLess = 0;  // single-precision counters
    double numGreater = 0, numLess = 0;
    float probMore = 0;
    std::vector<float> resampled;  // positions 1..R, zero-based here
    std::string outputText;
};

// values: the file's N values, group A's first.
inline IndepTRun RunIndepT(const std::vector<float>& values, std::int32_t nA, std::int32_t nB, std::int32_t R) {
    IndepTRun run;
    const std::int32_t N = nA + nB;
    Values tArray(static_cast<std::size_t>(R) + 2, 0.0f);  // step 3: positions 0..R+1
    Values pooled = OneBased(values);                        // step 4
    Values a(static_cast<std::size_t>(nA) + 1), b(static_cast<std::size_t>(nB) + 1);
    auto split = [&] {  // step 5
        for (std::int32_t i = 1; i <= nA; ++i) a[static_cast<std::size_t>(i)] = pooled[static_cast<std::size_t>(i)];
        for (std::int32_t j = nA + 1; j <= N; ++j) {
            b[static_cast<std::size_t>(j - nA)] = pooled[static_cast<std::size_t>(j)];
        }
    };
    split();
    const LiteralT observed = TComputation(a, nA, b, nB);  // step 6
    run.obtainedT = observed.t;
    float t = observed.t;  // step 7
    t = static_cast<float>(t >= 0 ? static_cast<double>(t) - 0.0001 : static_cast<double>(t) + 0.0001);
    run.tPrime = t;
    const auto h = static_cast<float>(std::pow(static_cast<double>(observed.d), 2) / 2);  // step 8
    run.effectSize = static_cast<float>(std::sqrt(static_cast<double>((h / 2) / observed.s2)));

    for (std::int32_t k = 1; k <= R; ++k) {  // step 9
        ShuffleArray(pooled, N);
        split();
        const float tStar = TComputation(a, nA, b, nB).t;
        tArray[static_cast<std::size_t>(k)] = tStar;
        if (tStar > 0 && std::fabs(tStar) >= std::fabs(t)) run.countGreater = run.countGreater + 1;
        if (tStar < 0 && std::fabs(tStar) >= std::fabs(t)) run.countLess = run.countLess + 1;
    }
    run.outputText = OutputText(tArray, R);  // step 10
    run.numGreater = static_cast<double>(run.countGreater) / R;  // step 11
    run.numLess = static_cast<double>(run.countLess) / R;
    const float sum = run.countGreater + run.countLess;
    run.probMore = static_cast<float>(static_cast<double>(sum) / R);
    run.resampled = ZeroBased(tArray, R);
    return run;
}

}  // namespace brevant::literal
