// Summary statistics with single-precision running sums: every addition is done in double and rounded to
// float before the next one; squares and products are formed in double from the float values.
#include "engine/Module1.h"

#include <algorithm>
#include <limits>

namespace brevant {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

// s <- s + v, the sum in double and rounded to single.
inline void Accumulate(float& s, double v) noexcept { s = static_cast<float>(static_cast<double>(s) + v); }

}  // namespace

double ArrayMean(std::span<const float> x) noexcept {
    if (x.empty()) return kUndefined;
    float s = 0.0f;
    for (const float v : x) Accumulate(s, v);
    return static_cast<double>(s) / static_cast<double>(x.size());
}

double ArrayVariance(std::span<const float> x) noexcept {
    if (x.size() < 2) return kUndefined;
    float s = 0.0f;
    float q = 0.0f;
    for (const float v : x) {
        Accumulate(s, v);
        Accumulate(q, static_cast<double>(v) * static_cast<double>(v));
    }
    const auto n = static_cast<double>(x.size());
    const double sd = s;
    return (static_cast<double>(q) - sd * sd / n) / (n - 1.0);
}

double ArrayCovariance(std::span<const float> x, std::span<const float> y) noexcept {
    if (x.size() < 2 || y.size() < x.size()) return kUndefined;
    float sx = 0.0f;
    float sy = 0.0f;
    float sxy = 0.0f;
    for (std::size_t i = 0; i < x.size(); ++i) {
        Accumulate(sx, x[i]);
        Accumulate(sy, y[i]);
        Accumulate(sxy, static_cast<double>(x[i]) * static_cast<double>(y[i]));
    }
    const auto n = static_cast<double>(x.size());
    return (static_cast<double>(sxy) - static_cast<double>(sx) * static_cast<double>(sy) / n) / (n - 1.0);
}

float PooledVariance(std::span<const float> variances, std::span<const std::int32_t> sizes) noexcept {
    const std::size_t k = std::min(variances.size(), sizes.size());
    float a = 0.0f;
    std::int64_t total = 0;
    for (std::size_t j = 0; j < k; ++j) {
        Accumulate(a, static_cast<double>(variances[j]) * static_cast<double>(sizes[j] - 1));
        total += sizes[j];
    }
    const std::int64_t divisor = total - static_cast<std::int64_t>(k);
    if (divisor == 0) return std::numeric_limits<float>::quiet_NaN();
    return a / static_cast<float>(divisor);
}

// NaN never wins a strict comparison, so starting from the first non-NaN value skips every NaN.
float ArrayMax(std::span<const float> x) noexcept {
    if (x.empty()) return 0.0f;
    const auto first = std::find_if(x.begin(), x.end(), [](float v) { return !std::isnan(v); });
    if (first == x.end()) return x.front();
    float m = *first;
    for (auto it = first; it != x.end(); ++it) {
        if (*it > m) m = *it;
    }
    return m;
}

float ArrayMin(std::span<const float> x) noexcept {
    if (x.empty()) return 0.0f;
    const auto first = std::find_if(x.begin(), x.end(), [](float v) { return !std::isnan(v); });
    if (first == x.end()) return x.front();
    float m = *first;
    for (auto it = first; it != x.end(); ++it) {
        if (*it < m) m = *it;
    }
    return m;
}

}  // namespace brevant
