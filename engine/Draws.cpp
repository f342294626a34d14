// The 7-significant-digit round trip and the bootstrap draws.
//
// RoundTrip7(v) is the float read back from v's %.7G text. The text is never built in ordinary use: the
// seven digits D and the decimal scale s are found in double arithmetic, then D * 10^-s is rounded to float.
// Both steps are exact wherever the arithmetic is provably exact; elsewhere a result is accepted only when it
// is farther from a rounding boundary than the arithmetic error can reach, and the rare rest goes through the
// text (std::to_chars / std::from_chars, which are locale-independent).
#include "engine/Module1.h"

#include <bit>
#include <charconv>
#include <limits>
#include <vector>

namespace brevant {

namespace {

constexpr double kPow10[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31,
    1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39, 1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47,
    1e48, 1e49, 1e50, 1e51, 1e52, 1e53, 1e54, 1e55};
// 10^j is exact in double for j <= 22.

// Bound on the absolute error of y = a * 10^s (y < 1e7 + 1, at most two roundings of 2^-53 each):
// 2 * 2^-53 * 2^24 = 2^-28, about 3.7e-9. The margins below are several times larger.
constexpr double kDigitMargin = 1e-8;

// a * 10^s for a positive finite magnitude: multiply for s >= 0, divide by the exact power for s < 0.
inline double Scale(double a, int s) noexcept { return s >= 0 ? a * kPow10[s] : a / kPow10[-s]; }

float RoundTrip7ByText(float value) noexcept {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    float back = 0.0f;
    std::from_chars(buffer, written.ptr, back);
    return back;
}

// The round trip of a positive finite magnitude, or -1 when the fast arithmetic cannot decide it.
inline float FastMagnitude(float magnitude) noexcept {
    const double a = magnitude;
    // Binary exponent E with 2^E <= a < 2^(E+1) (every float is a normal double), then the decimal exponent
    // k0 = floor(E * log10 2) <= floor(log10 a) <= k0 + 1.
    const int e2 = static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7ff) - 1023;
    const int k0 = (e2 * 78913) >> 18;  // floor(e2 * log10(2)) for |e2| < 2^11
    int s = 6 - k0;
    double y = Scale(a, s);
    if (y >= 1e7) {
        --s;
        y = Scale(a, s);
    }
    // y is a * 10^s in [1e6, 1e7) up to the arithmetic error; where the error straddles 1e6 or 1e7 both
    // scales give the same rounded value (1e6 * 10^-s = 1e7 * 10^-(s+1)), and nearbyint lands on it.
    //
    // Halfway cases: y is exact for 0 <= s <= 12 (24-bit a times 5^s fits 53 bits). For -8 <= s < 0, a is a
    // whole number and the true y is a multiple of 10^-8 whose division error stays below 2^-30, so y is
    // within the margin of a half only when it is exactly one. Elsewhere a near-half goes through the text.
    const double fraction = y - std::floor(y);
    if (std::fabs(fraction - 0.5) <= kDigitMargin && (s > 12 || s < -8)) return -1.0f;
    const double digits = std::nearbyint(y);  // halves to even, as the text conversion rounds exact halves
    if (digits < 1e6 || digits > 1e7) return -1.0f;  // cannot happen; kept as a guard

    // Back to float: D * 10^-s. For -12 <= s <= 0 the product is exact in double (D < 2^24, 5^12 < 2^28),
    // so one rounding to float is the correctly rounded result.
    const double q = s <= 0 ? digits * kPow10[-s] : digits / kPow10[s];
    const float f = static_cast<float>(q);
    if (s <= 0 && s >= -12) return f;
    if (static_cast<double>(f) == q) return f;  // q a float: the true value is far from any float midpoint
    // Otherwise q is rounded (once or twice); it decides the float unless it lies near the midpoint between
    // f and its neighbour on q's side.
    const auto bits = std::bit_cast<std::uint32_t>(f);
    const float neighbour = std::bit_cast<float>(static_cast<double>(f) < q ? bits + 1 : bits - 1);
    const double midpoint = 0.5 * (static_cast<double>(f) + static_cast<double>(neighbour));
    if (std::fabs(q - midpoint) <= q * 0x1p-49) return -1.0f;
    return f;
}

}  // namespace

float RoundTrip7(float value) noexcept {
    if (std::isnan(value)) return std::copysign(std::numeric_limits<float>::quiet_NaN(), value);
    if (value == 0.0f || std::isinf(value)) return value;  // "0", "-0", "INF", "-INF" read back as they were
    const float magnitude = std::fabs(value);
    float r = FastMagnitude(magnitude);
    if (r < 0.0f) r = RoundTrip7ByText(magnitude);
    return std::signbit(value) ? -r : r;
}

void RoundTrip7All(std::span<const float> in, std::span<float> out) noexcept {
    const std::size_t n = std::min(in.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) out[i] = RoundTrip7(in[i]);
}

std::vector<float> RoundedCopy(std::span<const float> values) {
    std::vector<float> rounded(values.size());
    RoundTrip7All(values, rounded);
    return rounded;
}

void BootstrapDrawFrom(Generator& g, std::span<const float> roundedSource, std::span<float> out) noexcept {
    if (roundedSource.empty()) return;
    const auto n = static_cast<std::int32_t>(roundedSource.size());
    Generator local = g;  // a local copy keeps the seeds in registers
    for (float& value : out) value = roundedSource[static_cast<std::size_t>(local.Index(n) - 1)];
    g = local;
}

void BootstrapDraw(Generator& g, std::span<float> values) {
    if (values.empty()) return;
    const std::vector<float> rounded = RoundedCopy(values);
    BootstrapDrawFrom(g, rounded, values);
}

void BootstrapDraw(std::span<float> values) { BootstrapDraw(TheGenerator(), values); }

}  // namespace brevant
