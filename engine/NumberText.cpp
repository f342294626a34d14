#include "engine/NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

namespace brevant {

namespace {

// %.<digits>G of a finite magnitude: std::to_chars in the general format is printf's %g (same rounding of
// the exact binary value, trailing zeros dropped, at least two exponent digits); %G differs only in the case
// of the exponent letter.
template <typename T>
std::string MagnitudeText(T magnitude, int digits) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::general, digits);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

// Sign and magnitude text, the sign "-" only for values below zero (-0 has none).
template <typename T>
std::pair<bool, std::string> SignedParts(T value, int digits) {
    if (std::isnan(value)) return {false, "nan"};
    const bool negative = value < 0;
    const T magnitude = std::fabs(value);
    if (std::isinf(magnitude)) return {negative, "inf"};
    return {negative, MagnitudeText(magnitude, digits)};
}

template <typename T>
std::string Default(T value, int digits) {
    auto [negative, magnitude] = SignedParts(value, digits);
    return (negative ? "-" : " ") + magnitude + " ";
}

template <typename T>
std::string General(T value, int digits) {
    auto [negative, magnitude] = SignedParts(value, digits);
    return negative ? "-" + magnitude : magnitude;
}

std::string IntegerText(std::int64_t value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <typename T>
std::string Shortest(T value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (value == 0) return "0";  // also -0
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string DefaultNumberText(float value) { return Default(value, 7); }
std::string DefaultNumberText(double value) { return Default(value, 15); }
std::string DefaultNumberText(std::int64_t value) {
    return value < 0 ? IntegerText(value) + " " : " " + IntegerText(value) + " ";
}

std::string GeneralText(float value) { return General(value, 7); }
std::string GeneralText(double value) { return General(value, 15); }
std::string GeneralText(std::int64_t value) { return IntegerText(value); }

std::string ThreeDecimalText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // A value exactly halfway between two three-decimal texts is an odd multiple of 1/16 (1000 = 8 x 125,
    // and only the factor 8 can be dyadic). Such ties go away from zero, as the windows' locale formatting
    // rounds them, so the batch tool and the windows show the same text; all else rounds to nearest. Below
    // 2^40 one step to the next double stays well inside the half-thousandth past the tie.
    const double sixteenths = value * 16.0;
    if (std::fabs(value) < 1099511627776.0 && std::floor(sixteenths) == sixteenths &&
        std::fmod(sixteenths, 2.0) != 0.0) {
        value = std::nextafter(value, value < 0 ? -HUGE_VAL : HUGE_VAL);
    }
    char buffer[400];  // the largest double has 309 integer digits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    std::string text(buffer, result.ptr);
    // A value that rounds to zero shows no sign ("-0.000" would read as a negative result).
    if (text == "-0.000") text = "0.000";
    return text;
}

std::string ShortestText(float value) { return Shortest(value); }
std::string ShortestText(double value) { return Shortest(value); }

}  // namespace brevant
