// The one rule that puts a run on its defined single-precision path or centres it (engine/Module1.h), and
// the double-precision references it compares the defined figures with.
#include "engine/Module1.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevant {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
constexpr double kRelative = 0.01;          // 1 % of a statistic
constexpr double kAbsolute = 0.01;          // of r, a slope or a proportion
constexpr double kLocation = 0.001;         // of the spread, for a mean or a median
// Of one addition: single, or double for sums already double by size.
constexpr double UnitRoundoff(SumPrecision sums) noexcept { return sums == SumPrecision::Single ? 0x1p-24 : 0x1p-53; }

// Equal figures agree whatever they are (two infinities of one sign included); otherwise a NaN or an
// infinity on either side disagrees.
bool Apart(double defined, double exact, double tolerance) noexcept {
    if (defined == exact) return false;
    return !(std::abs(defined - exact) <= tolerance);
}

}  // namespace

void PrecisionCheck::Statistic(double defined, double exact) noexcept {
    if (Apart(defined, exact, kRelative * std::max(std::abs(exact), 0.01))) centred_ = true;
}

void PrecisionCheck::Spread(double defined, double exact) noexcept {
    if (Apart(defined, exact, kRelative * std::abs(exact))) centred_ = true;
}

void PrecisionCheck::Bounded(double defined, double exact) noexcept {
    if (Apart(defined, exact, kAbsolute)) centred_ = true;
}

void PrecisionCheck::Location(double defined, double exact, double spread) noexcept {
    if (Apart(defined, exact, kLocation * spread)) centred_ = true;
}

void PrecisionCheck::Conditioning(std::span<const float> values) noexcept {
    if (values.size() < 2) return;
    const double mean = ExactMean(values);
    double squares = 0.0, deviations = 0.0;
    for (const float v : values) {
        squares += static_cast<double>(v) * v;
        deviations += (v - mean) * (v - mean);
    }
    // All equal: nothing to hold (the procedures refuse such data themselves).
    if (!(deviations > 0.0)) return;
    const double error = std::sqrt(static_cast<double>(values.size())) * UnitRoundoff(bySize_) * squares / deviations;
    if (error > kRelative) centred_ = true;
}

void PrecisionCheck::TextRounding(std::span<const float> values, double spread) noexcept {
    for (const float v : values) {
        if (Apart(RoundTrip7(v), v, kLocation * spread)) {
            centred_ = true;
            return;
        }
    }
}

double ExactMean(std::span<const float> x) noexcept {
    if (x.empty()) return kUndefined;
    double sum = 0.0;
    for (const float v : x) sum += v;
    return sum / static_cast<double>(x.size());
}

double ExactVariance(std::span<const float> x) noexcept {
    return ExactCovariance(x, x);
}

double ExactCovariance(std::span<const float> x, std::span<const float> y) noexcept {
    if (x.size() < 2 || y.size() < x.size()) return kUndefined;
    const std::span<const float> yy = y.first(x.size());
    const double mx = ExactMean(x), my = ExactMean(yy);
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) sum += (x[i] - mx) * (yy[i] - my);
    return sum / static_cast<double>(x.size() - 1);
}

bool AllEqual(std::span<const float> x) noexcept {
    return std::all_of(x.begin(), x.end(), [&](float v) { return v == x.front(); });
}

void ShiftValues(std::span<float> x, double shift) noexcept {
    for (float& v : x) v = static_cast<float>(static_cast<double>(v) - shift);
}

}  // namespace brevant
