// Slow literal transcription of a whole correlation-by-randomization run, step by step on one-based
// arrays of three-field records with the literal engine routines (the selection sort SortRecords), as the
// oracle of analysis/randomization/Corr1. Draws from brevant::literal::seedTable. Single-precision sums
// throughout: the window's designed sizes.
#pragma once

#include "literal/LiteralEngine.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace brevant::literal {

struct Corr1Run {
    float sdX = 0, sdY = 0, covariance = 0, r = 0;
    float count = 0;  // a single-precision counter
    float probability = 0;
    std::int64_t illegal = 0;  // how often the illegal-value message would show
    float firstIllegal = 0;
    std::vector<float> permuted;  // positions 1..R, zero-based here
};

// x, y: the file's N pairs.
inline Corr1Run RunCorr1(const std::vector<float>& xs, const std::vector<float>& ys, std::int32_t R) {
    Corr1Run run;
    const auto N = static_cast<std::int32_t>(xs.size());
    struct CaseRecord {
        float number, x, y;
    };
    std::vector<CaseRecord> cases(static_cast<std::size_t>(N) + 1);
    std::vector<Record> shuffle(static_cast<std::size_t>(N) + 1);  // key, (unused), Y
    Values permuted(static_cast<std::size_t>(R) + 2, 0.0f);        // step 4: positions 0..R+1

    // Steps 5 and 6: the five single-precision sums, squares in double, products of two singles single.
    float sumX = 0, sumXX = 0, sumY = 0, sumYY = 0, sumXY = 0;
    for (std::int16_t i = 1; i <= N; ++i) {
        CaseRecord& c = cases[static_cast<std::size_t>(i)];
        c.number = i;
        c.x = xs[static_cast<std::size_t>(i - 1)];
        c.y = ys[static_cast<std::size_t>(i - 1)];
        shuffle[static_cast<std::size_t>(i)].field3 = c.y;
        sumX = static_cast<float>(static_cast<double>(sumX) + c.x);
        sumXX = static_cast<float>(static_cast<double>(sumXX) + std::pow(static_cast<double>(c.x), 2));
        sumY = static_cast<float>(static_cast<double>(sumY) + c.y);
        sumYY = static_cast<float>(static_cast<double>(sumYY) + std::pow(static_cast<double>(c.y), 2));
        const float product = c.y * c.x;
        sumXY = static_cast<float>(static_cast<double>(sumXY) + product);
    }
    // Step 7.
    run.sdX = static_cast<float>(std::sqrt((sumXX - std::pow(static_cast<double>(sumX), 2) / N) / (N - 1)));
    run.sdY = static_cast<float>(std::sqrt((sumYY - std::pow(static_cast<double>(sumY), 2) / N) / (N - 1)));
    // Step 8.
    const float sumYsumX = sumY * sumX;
    run.covariance = static_cast<float>((sumXY - static_cast<double>(sumYsumX) / N) / (N - 1));
    const float sdYsdX = run.sdY * run.sdX;
    run.r = run.covariance / sdYsdX;

    // Step 10.
    const float tolerance = 0.0001f;
    for (std::int32_t j = 1; j <= R; ++j) {
        sumXY = 0;
        for (std::int32_t i = 1; i <= N; ++i) {
            shuffle[static_cast<std::size_t>(i)].key = static_cast<float>(RandomUniform());
        }
        SortRecords(shuffle, N);
        for (std::int32_t i = 1; i <= N; ++i) {
            const float product = shuffle[static_cast<std::size_t>(i)].field3 * cases[static_cast<std::size_t>(i)].x;
            sumXY = static_cast<float>(static_cast<double>(sumXY) + product);
        }
        const float rStar = static_cast<float>(((sumXY - static_cast<double>(sumYsumX) / N) / (N - 1)) /
                                               static_cast<double>(sdYsdX));
        permuted[static_cast<std::size_t>(j)] = rStar;
        if (std::fabs(rStar) > 1) {
            if (run.illegal == 0) run.firstIllegal = rStar;
            ++run.illegal;
        }
        const float left = std::fabs(run.r - tolerance);
        const float right = std::fabs(rStar);
        if (left <= right) run.count = run.count + 1;
    }
    // Step 12.
    run.probability = static_cast<float>(static_cast<double>(run.count) / (R + 1));
    run.permuted = ZeroBased(permuted, R);
    return run;
}

}  // namespace brevant::literal
