// Slow literal transcription of a whole two-paired-samples run, step by step on one-based arrays, as the
// oracle of analysis/randomization/PairedT. Draws from brevant::literal::seedTable. Acc is the type of the
// two running sums: float as the window was designed, double for data past its designed size. The output
// file's text is built with snprintf (LiteralIndepT.h), independently of the engine's number texts.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace brevant::literal {

struct PairedTRun {
    float obtainedT = 0;  // t of the data, before rounding
    float tObt = 0, tCmp = 0;
    float upper = 0, lower = 0;  // single-precision counters
    double pctGreater = 0, pctLess = 0;
    float p = 0;
    std::vector<float> resampled;  // T(1..count), zero-based here
    std::string outputText;
};

// t from the sums; our rule for no spread: the differences all equal, or a variance of 0 or less, or an sd
// that rounds to 0, makes t = mean / 0.
template <typename Acc>
float PairedTFromSums(Acc sum, Acc sumSquares, std::int32_t n, const Values& d) {
    const auto mean = static_cast<float>(static_cast<double>(sum) / n);
    const double variance =
        (static_cast<double>(sumSquares) - static_cast<double>(sum) * static_cast<double>(sum) / n) / (n - 1);
    if (AllEqual(d, n) || !(variance > 0)) return OverZero(mean);
    const auto sd = static_cast<float>(std::sqrt(variance));
    if (!(sd > 0)) return OverZero(mean);
    return static_cast<float>(static_cast<double>(mean) / (static_cast<double>(sd) / std::sqrt(static_cast<double>(n))));
}

// pairs: the file's 2n measurements after n, first and second of each pair in turn.
template <typename Acc = float>
PairedTRun RunPairedT(const std::vector<float>& pairs, std::int32_t count) {
    PairedTRun run;
    const auto n = static_cast<std::int32_t>(pairs.size() / 2);
    Values T(static_cast<std::size_t>(count) + 2, 0.0f);  // step 2
    Acc sum = 0, sumSquares = 0;
    Values d(static_cast<std::size_t>(n) + 1, 0.0f);
    for (std::int32_t i = 1; i <= n; ++i) {  // step 3
        const float first = pairs[static_cast<std::size_t>(2 * i - 2)];
        const float second = pairs[static_cast<std::size_t>(2 * i - 1)];
        d[static_cast<std::size_t>(i)] = second - first;
        const double di = d[static_cast<std::size_t>(i)];
        sum = static_cast<Acc>(static_cast<double>(sum) + di);
        sumSquares = static_cast<Acc>(static_cast<double>(sumSquares) + di * di);
    }
    const float t = PairedTFromSums(sum, sumSquares, n, d);  // step 4
    run.obtainedT = t;
    const float product = t * static_cast<std::int16_t>(1000);
    run.tObt = static_cast<float>(std::nearbyint(static_cast<double>(product)) / 1000.0);
    run.tCmp = run.tObt > 0 ? static_cast<float>(run.tObt - 0.0001) : static_cast<float>(run.tObt + 0.0001);  // step 5

    Values u(static_cast<std::size_t>(n) + 1, 0.0f);
    std::vector<std::int16_t> s(static_cast<std::size_t>(n) + 1, 0);
    for (std::int32_t r = 1; r <= count; ++r) {  // step 6
        sum = 0;
        sumSquares = 0;
        for (std::int32_t i = 1; i <= n; ++i) u[static_cast<std::size_t>(i)] = static_cast<float>(RandomUniform());
        for (std::int32_t i = 1; i <= n; ++i) {
            s[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(i)] <= 0.5 ? -1 : 1;
            d[static_cast<std::size_t>(i)] = static_cast<float>(s[static_cast<std::size_t>(i)]) * d[static_cast<std::size_t>(i)];
        }
        for (std::int32_t i = 1; i <= n; ++i) {
            const double di = d[static_cast<std::size_t>(i)];
            sum = static_cast<Acc>(static_cast<double>(sum) + di);
            sumSquares = static_cast<Acc>(static_cast<double>(sumSquares) + di * di);
        }
        const float tr = PairedTFromSums(sum, sumSquares, n, d);
        T[static_cast<std::size_t>(r)] = tr;
        if (tr > 0 && std::fabs(tr) >= std::fabs(run.tCmp)) run.upper = run.upper + 1;
        if (tr < 0 && std::fabs(tr) >= std::fabs(run.tCmp)) run.lower = run.lower + 1;
    }
    run.outputText = OutputText(T, count);  // step 7
    run.pctGreater = static_cast<double>(run.upper) / count;  // step 8
    run.pctLess = static_cast<double>(run.lower) / count;
    const float both = run.upper + run.lower;  // step 9
    run.p = static_cast<float>(static_cast<double>(both) / count);
    run.resampled = ZeroBased(T, count);
    return run;
}

}  // namespace brevant::literal
