// Slow literal transcription of a whole repeated-measures run, step by step on a one-based score table, as
// the oracle of analysis/randomization/Repeated1way. Draws from brevant::literal::seedTable. Acc is the
// type of the running sums: float as the window was designed, double for data past its designed size.
// centred: the run of scores already shifted by their mean (with Acc double), whose steps 3 to 8 keep every
// SS in double and take a negative SS treatments as 0.
#pragma once

#include "literal/LiteralIndepT.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace brevant::literal {

using Table = std::vector<Values>;  // score(j)(t), j = 1..n, t = 1..k

// Our rule for no residual: a table that is exactly subject plus treatment effects (checked in extended
// precision, exact for the magnitudes the tests use), or SS error or MS error of 0 or less, makes F =
// MS treatments / 0.
inline bool Additive(const Table& x, std::int32_t n, std::int32_t k) {
    for (std::int32_t j = 2; j <= n; ++j) {
        for (std::int32_t t = 2; t <= k; ++t) {
            const long double left = static_cast<long double>(x[j][t]) + x[1][1];
            const long double right = static_cast<long double>(x[j][1]) + x[1][t];
            if (left != right) return false;
        }
    }
    return true;
}

template <typename Acc>
float RepeatedF(const Table& x, std::int32_t n, std::int32_t k, bool centred = false) {
    const std::int32_t N = n * k;
    Acc G = 0, squares = 0;  // step 1
    std::vector<Acc> subjectTotal(static_cast<std::size_t>(n) + 1, 0), treatmentTotal(static_cast<std::size_t>(k) + 1, 0);
    for (std::int32_t j = 1; j <= n; ++j) {  // step 2
        for (std::int32_t t = 1; t <= k; ++t) {
            const double v = x[j][t];
            G = static_cast<Acc>(static_cast<double>(G) + v);
            squares = static_cast<Acc>(static_cast<double>(squares) + v * v);
            subjectTotal[j] = static_cast<Acc>(static_cast<double>(subjectTotal[j]) + v);
            treatmentTotal[t] = static_cast<Acc>(static_cast<double>(treatmentTotal[t]) + v);
        }
    }
    const double g2n = static_cast<double>(G) * static_cast<double>(G) / N;
    const auto ssTotal = static_cast<float>(static_cast<double>(squares) - g2n);  // step 3
    Acc subjectSquares = 0;                                                         // step 4
    for (std::int32_t j = 1; j <= n; ++j) {
        subjectSquares = static_cast<Acc>(static_cast<double>(subjectSquares) +
                                          static_cast<double>(subjectTotal[j]) * static_cast<double>(subjectTotal[j]));
    }
    const auto ssSubjects = static_cast<float>(static_cast<double>(subjectSquares) / k - g2n);
    Acc treatmentSquares = 0;  // step 5
    for (std::int32_t t = 1; t <= k; ++t) {
        treatmentSquares = static_cast<Acc>(static_cast<double>(treatmentSquares) + static_cast<double>(treatmentTotal[t]) *
                                                                                      static_cast<double>(treatmentTotal[t]));
    }
    if (centred) {  // steps 3 to 8 in double
        const double total = static_cast<double>(squares) - g2n;
        const double subjects = static_cast<double>(subjectSquares) / k - g2n;
        const double treatments = std::max(0.0, static_cast<double>(treatmentSquares) / n - g2n);
        const double error = total - subjects - treatments;
        const double msT = treatments / (k - 1);
        const double msE = error / (static_cast<double>(k - 1) * (n - 1));
        if (Additive(x, n, k) || !(error > 0) || !(static_cast<float>(msE) > 0)) {
            return OverZero(static_cast<float>(msT));
        }
        return static_cast<float>(msT / msE);
    }
    const auto ssTreatments = static_cast<float>(static_cast<double>(treatmentSquares) / n - g2n);
    float ssError = ssTotal - ssSubjects;  // step 6, single differences
    ssError = ssError - ssTreatments;
    const auto msTreatments = static_cast<float>(static_cast<double>(ssTreatments) / (k - 1));  // step 7
    const auto msError = static_cast<float>(static_cast<double>(ssError) / (static_cast<double>(k - 1) * (n - 1)));
    if (Additive(x, n, k) || !(ssError > 0) || !(msError > 0)) return OverZero(msTreatments);
    return static_cast<float>(static_cast<double>(msTreatments) / static_cast<double>(msError));  // step 8
}

struct Repeated1wayRun {
    float F = 0, threshold = 0;
    float count = 0;  // single-precision counter
    float proportion = 0;
    std::vector<float> resampled;
    std::string outputText;
};

// scores: the file's n x k scores after k and n, subject by subject.
template <typename Acc = float>
Repeated1wayRun RunRepeated1way(const std::vector<float>& scores, std::int32_t k, std::int32_t n, std::int32_t R,
                                bool centred = false) {
    Repeated1wayRun run;
    Values permuted(static_cast<std::size_t>(R) + 1, 0.0f);  // step 3
    Table x(static_cast<std::size_t>(n) + 1, Values(static_cast<std::size_t>(k) + 1, 0.0f));
    for (std::int32_t j = 1; j <= n; ++j) {  // step 4
        for (std::int32_t t = 1; t <= k; ++t) x[j][t] = scores[static_cast<std::size_t>((j - 1) * k + (t - 1))];
    }
    run.F = RepeatedF<Acc>(x, n, k, centred);  // step 5
    const float share = run.F / static_cast<std::int16_t>(1000);  // step 6
    run.threshold = run.F - share;
    Values row(static_cast<std::size_t>(k) + 1, 0.0f);
    for (std::int32_t h = 1; h <= R; ++h) {  // step 7
        for (std::int32_t j = 1; j <= n; ++j) {
            for (std::int32_t t = 1; t <= k; ++t) row[t] = x[j][t];
            ShuffleArray(row, k);
            for (std::int32_t t = 1; t <= k; ++t) x[j][t] = row[t];
        }
        permuted[h] = RepeatedF<Acc>(x, n, k, centred);
        if (permuted[h] >= run.threshold) run.count = run.count + 1;
    }
    run.outputText = OutputText(permuted, R);  // step 8
    run.proportion = static_cast<float>(static_cast<double>(run.count) / R);  // step 9
    run.resampled = ZeroBased(permuted, R);
    return run;
}

}  // namespace brevant::literal
