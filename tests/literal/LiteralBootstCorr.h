// Slow literal transcription of a whole bootstrapped-correlation run, step by step on one-based record and
// column arrays with the literal engine routines (RandomUniform, the variance and covariance over single
// running sums, the selection sort), as the oracle of analysis/bootstrap/BootstCorr. Draws from
// brevant::literal::seedTable. At most 10,000 cases (16-bit case counter).
#pragma once

#include "literal/LiteralBootstMean.h"

#include <cmath>
#include <string>
#include <vector>

namespace brevant::literal {

struct CaseRecord {
    float number = 0, x = 0, y = 0;
};

struct BootstCorrRun {
    float varX = 0, varY = 0, cov = 0, r = 0;
    bool stopped = false;
    std::string stopMessage;
    std::vector<float> bootR;   // 1..R in generation order, zero-based here (up to the stop)
    std::vector<float> sorted;  // after the sort
    float se = 0;
    float lowerPosition = 0, upperPosition = 0;  // stored as single
    float lowerLimit = 0, upperLimit = 0;
    std::int64_t illegal = 0;
    float firstIllegal = 0;
    std::string outputText;
};

inline float LiteralR(float varX, float varY, float cov) {
    const float product = varY * varX;
    return static_cast<float>(cov / std::sqrt(static_cast<double>(product)));
}

inline BootstCorrRun RunBootstCorr(const std::vector<float>& xs, const std::vector<float>& ys, std::int32_t R, float c) {
    BootstCorrRun run;
    Values boot(static_cast<std::size_t>(R) + 3, 0.0f);  // 3
    const auto N = static_cast<std::int32_t>(xs.size());  // 4
    std::vector<CaseRecord> cases(10001), bootTable(10001);
    Values X(10001, 0.0f), Y(10001, 0.0f);
    for (std::int16_t i = 1; i <= To16(N); ++i) {
        cases[static_cast<std::size_t>(i)] = {static_cast<float>(i), xs[static_cast<std::size_t>(i - 1)],
                                              ys[static_cast<std::size_t>(i - 1)]};
    }
    for (std::int32_t i = 1; i <= N; ++i) {
        X[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i)].x;
        Y[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i)].y;
    }
    run.varX = static_cast<float>(ArrayVariance(X, N));  // 5
    run.varY = static_cast<float>(ArrayVariance(Y, N));
    run.cov = static_cast<float>(ArrayCovariance(X, Y, N));
    run.r = LiteralR(run.varX, run.varY, run.cov);

    std::int32_t done = R;
    for (std::int32_t k = 1; k <= R; ++k) {  // 7
        for (std::int16_t i = 1; i <= To16(N); ++i) {
            const auto h = static_cast<std::int32_t>(std::floor(RandomUniform() * (N - 0.0001) + 1));
            bootTable[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(h)];
        }
        for (std::int32_t i = 1; i <= N; ++i) {
            X[static_cast<std::size_t>(i)] = bootTable[static_cast<std::size_t>(i)].x;
            Y[static_cast<std::size_t>(i)] = bootTable[static_cast<std::size_t>(i)].y;
        }
        // Our rule for no variance: all values equal, or a variance of 0 or less.
        const auto varX = static_cast<float>(ArrayVariance(X, N));
        if (AllEqual(X, N) || !(varX > 0)) {
            run.stopped = true;
            run.stopMessage = "X has no variance, which sometimes happens with very small samples. Process "
                              "terminating with " + std::to_string(k) + " resamples.";
            done = k - 1;
            break;
        }
        const auto varY = static_cast<float>(ArrayVariance(Y, N));
        if (AllEqual(Y, N) || !(varY > 0)) {
            run.stopped = true;
            run.stopMessage = "Y has no variance, which sometimes happens with very small samples. Process "
                              "terminating with " + std::to_string(k) + " resamples.";
            done = k - 1;
            break;
        }
        const auto cov = static_cast<float>(ArrayCovariance(X, Y, N));
        const float r = LiteralR(varX, varY, cov);
        boot[static_cast<std::size_t>(k)] = r;
        if (std::fabs(r) > 1) {
            if (run.illegal == 0) run.firstIllegal = r;
            ++run.illegal;
        }
    }
    run.bootR = ZeroBased(boot, done);
    if (run.stopped) return run;  // ours: nothing more after a stop

    run.outputText = OutputText(boot, R);  // 8
    const double spread = ArrayVariance(boot, R);  // 10; ours: NaN for a negative variance
    run.se = spread < 0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(std::sqrt(spread));
    Values sorted(boot.begin(), boot.begin() + R + 1);
    SortWithNaNLast(sorted, R);  // 11
    run.lowerPosition = static_cast<float>(std::floor((1 - static_cast<double>(c)) * (R + 1)));  // 12
    run.upperPosition = static_cast<float>(std::floor(static_cast<double>(c) * (R + 1)));
    run.lowerLimit = sorted[static_cast<std::size_t>(run.lowerPosition)];
    run.upperLimit = sorted[static_cast<std::size_t>(run.upperPosition)];
    run.sorted = ZeroBased(sorted, R);
    return run;
}

}  // namespace brevant::literal
