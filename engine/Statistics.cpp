// Summary statistics over running sums in the precision the caller decided (SumPrecision): every addition
// is done in double and, for single precision, rounded to float before the next one; squares and products
// are formed in double from the float values.
#include "engine/Module1.h"

#include <algorithm>
#include <limits>

namespace brevant {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

}  // namespace

double ArrayMean(std::span<const float> x, SumPrecision precision) noexcept {
    if (x.empty()) return kUndefined;
    RunningSum s(precision);
    for (const float v : x) s.Add(v);
    return s.Value() / static_cast<double>(x.size());
}

double ArrayVariance(std::span<const float> x, SumPrecision precision) noexcept {
    if (x.size() < 2) return kUndefined;
    RunningSums sums(precision);
    for (const float v : x) sums.Add(v);
    return sums.Variance(static_cast<std::int64_t>(x.size()));
}

double ArrayCovariance(std::span<const float> x, std::span<const float> y, SumPrecision precision) noexcept {
    if (x.size() < 2 || y.size() < x.size()) return kUndefined;
    RunningSum sx(precision), sy(precision), sxy(precision);
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx.Add(x[i]);
        sy.Add(y[i]);
        sxy.Add(static_cast<double>(x[i]) * static_cast<double>(y[i]));
    }
    const auto n = static_cast<double>(x.size());
    return (sxy.Value() - sx.Value() * sy.Value() / n) / (n - 1.0);
}

float PooledVariance(std::span<const float> variances, std::span<const std::int32_t> sizes,
                     SumPrecision precision) noexcept {
    const std::size_t k = std::min(variances.size(), sizes.size());
    RunningSum a(precision);
    std::int64_t total = 0;
    for (std::size_t j = 0; j < k; ++j) {
        a.Add(static_cast<double>(variances[j]) * static_cast<double>(sizes[j] - 1));
        total += sizes[j];
    }
    const std::int64_t divisor = total - static_cast<std::int64_t>(k);
    if (divisor == 0) return std::numeric_limits<float>::quiet_NaN();
    // Single: a float over a float, rounded at once; Double: the quotient in double, rounded when stored.
    if (precision == SumPrecision::Single) return static_cast<float>(a.Value()) / static_cast<float>(divisor);
    return static_cast<float>(a.Value() / static_cast<double>(divisor));
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
