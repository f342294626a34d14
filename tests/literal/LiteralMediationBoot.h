// Slow literal transcription of a whole mediation-by-bootstrap run, step by step on one-based case tables
// and columns with the literal engine routines (the selection sort included), as the oracle of
// analysis/bootstrap/MediationBoot. Draws from brevant::literal::seedTable. At most 10,000 cases (the
// copy loop counts in 16 bits). The products of two variances are single precision here, as the steps
// read; data for the comparison keep them normal numbers.
#pragma once

#include "literal/LiteralIndepT.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace brevant::literal {

struct MediationCase {
    float number = 0, x = 0, y = 0, z = 0;
};

struct MediationBootRun {
    float obtainedB = 0;
    bool stopped = false;
    std::string stopMessage;  // the no-variance message, when stopped
    std::vector<float> values;  // b*(1..R) in generation order (up to the stop), zero-based here
    float standardError = 0;
    std::int32_t lowerPosition = 0, upperPosition = 0;
    std::vector<float> sorted;
    float lowerLimit = 0, upperLimit = 0;
    std::string outputText;
    std::int64_t illegalCount = 0;
    std::string firstIllegalMessage;  // "This is an illegal value of bXYZ" and the first such b*
};

// Steps 1 to 4 of the coefficient; the variances come back for the no-variance tests.
struct MediationCoefficient {
    float varX, varY, varZ, covXY, covYZ, rXY, rYZ, b;
};
inline MediationCoefficient MediationOf(const Values& X, const Values& Y, const Values& Z, std::int32_t n) {
    MediationCoefficient c{};
    c.varX = static_cast<float>(ArrayVariance(X, n));
    c.varY = static_cast<float>(ArrayVariance(Y, n));
    c.varZ = static_cast<float>(ArrayVariance(Z, n));
    c.covXY = static_cast<float>(ArrayCovariance(X, Y, n));
    c.covYZ = static_cast<float>(ArrayCovariance(Y, Z, n));
    const float productXY = c.varY * c.varX;  // two singles: a single
    const float productYZ = c.varY * c.varZ;
    c.rXY = static_cast<float>(c.covXY / std::sqrt(static_cast<double>(productXY)));
    c.rYZ = static_cast<float>(c.covYZ / std::sqrt(static_cast<double>(productYZ)));
    c.b = c.rYZ * c.rXY;
    return c;
}

// Our rule for "no variance": all values equal, or a variance that is not positive.
inline bool LiteralNoVariance(const Values& column, std::int32_t n, float variance) {
    return AllEqual(column, n) || !(variance > 0.0f);
}

inline MediationBootRun RunMediationBoot(const std::vector<float>& x, const std::vector<float>& y,
                                         const std::vector<float>& z, std::int32_t R, float q) {
    MediationBootRun run;
    const auto N = static_cast<std::int32_t>(x.size());
    if (N > 10000) throw std::out_of_range("the case table holds at most 10000 cases");
    Values boot(static_cast<std::size_t>(R) + 3, 0.0f);  // 3: indices 0 to R + 2
    std::vector<MediationCase> cases(10001), bootCases(10001);
    Values X(10001, 0.0f), Y(10001, 0.0f), Z(10001, 0.0f);
    for (std::int16_t i = 1; i <= To16(N); ++i) {  // 4
        cases[static_cast<std::size_t>(i)] = {static_cast<float>(i), x[static_cast<std::size_t>(i - 1)],
                                              y[static_cast<std::size_t>(i - 1)], z[static_cast<std::size_t>(i - 1)]};
    }
    for (std::int32_t i = 1; i <= N; ++i) {
        X[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i)].x;
        Y[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i)].y;
        Z[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(i)].z;
    }
    run.obtainedB = MediationOf(X, Y, Z, N).b;  // 5

    std::int32_t made = R;
    for (std::int32_t k = 1; k <= R; ++k) {  // 6
        for (std::int16_t i = 1; i <= To16(N); ++i) {
            const auto h = static_cast<std::int32_t>(std::floor(RandomUniform() * (N - 0.0001) + 1));
            bootCases[static_cast<std::size_t>(i)] = cases[static_cast<std::size_t>(h)];
        }
        for (std::int32_t i = 1; i <= N; ++i) {
            X[static_cast<std::size_t>(i)] = bootCases[static_cast<std::size_t>(i)].x;
            Y[static_cast<std::size_t>(i)] = bootCases[static_cast<std::size_t>(i)].y;
            Z[static_cast<std::size_t>(i)] = bootCases[static_cast<std::size_t>(i)].z;
        }
        const MediationCoefficient c = MediationOf(X, Y, Z, N);
        const char* flat = LiteralNoVariance(X, N, c.varX)   ? "X"
                           : LiteralNoVariance(Y, N, c.varY) ? "Y"
                           : LiteralNoVariance(Z, N, c.varZ) ? "Z"
                                                             : nullptr;
        if (flat != nullptr) {
            run.stopped = true;
            run.stopMessage = std::string(flat) +
                              " has no variance, which sometimes happens with very small samples. Process "
                              "terminating with " + std::to_string(k) + " resamples.";
            made = k - 1;
            break;
        }
        boot[static_cast<std::size_t>(k)] = c.b;
        if (std::fabs(c.b) > 1) {
            if (run.illegalCount++ == 0) run.firstIllegalMessage = "This is an illegal value of bXYZ" + GeneralText(c.b);
        }
    }
    run.values = ZeroBased(boot, made);
    if (run.stopped) return run;  // ours: after a stop nothing is written, computed or drawn

    run.outputText = OutputText(boot, R);  // 7
    const double spread = ArrayVariance(boot, R);  // 9; ours: 0 for a variance that computes negative
    run.standardError = spread < 0 ? 0.0f : static_cast<float>(std::sqrt(spread));
    SortArray(boot, R);  // 10
    const long double c = q;  // 11, extended precision
    run.lowerPosition = static_cast<std::int32_t>(static_cast<float>(std::floor((1 - c) * (R + 1))));
    run.upperPosition = static_cast<std::int32_t>(static_cast<float>(std::floor(c * (R + 1))));
    run.lowerLimit = boot[static_cast<std::size_t>(run.lowerPosition)];
    run.upperLimit = boot[static_cast<std::size_t>(run.upperPosition)];
    run.sorted = ZeroBased(boot, R);
    return run;
}

}  // namespace brevant::literal
