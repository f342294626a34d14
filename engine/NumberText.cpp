#include "engine/NumberText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// %.7G of a finite float magnitude > 0 without std::to_chars, where the double arithmetic below decides
// the rounding beyond doubt; false (nothing written) where it may not: near a tie between two texts, and
// for magnitudes beyond the powers of ten a double holds exactly (below about 1E-16 or above about 1E+29).
//
// The magnitude is a double exactly; scaled by 10^k (one multiplication or division by an exact power of
// ten, rounded once) into [10^6, 10^7), it is off by at most 10^7 x 2^-53 < 1.2E-9, so a fraction at
// least 1E-8 away from one half rounds to the same integer as the exact value. An integer that carries to
// 10^7 is 10^6 at the next exponent, as printf's rounding carries.
//
// The text is put together from whole 8-byte words: out must have room for 16 characters, of which the
// text (at most 12) is the first; those past it are left undefined.
bool FastFloatMagnitude(float magnitude, char*& out) noexcept {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142434445464748495"
        "05152535455565758596061626364656667686970717273747576777879808182838485868788899091929394959697989"
        "9";
    const double x = magnitude;
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int binaryExponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    // floor(log10(2^e)): the decimal exponent of x or one less.
    int exponent = (binaryExponent * 78913) >> 18;
    double scaled = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = 6 - exponent;
        if (k > 22 || k < -22) return false;
        scaled = k >= 0 ? x * kPowers[k] : x / kPowers[-k];
        if (scaled < 1e7) break;
        ++exponent;
    }
    if (!(scaled >= 999999.0 && scaled < 1e7)) return false;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact: scaled is below 2^24
    if (std::fabs(fraction - 0.5) < 1e-8) return false;
    auto digits = static_cast<std::uint32_t>(whole) + (fraction > 0.5 ? 1u : 0u);
    if (digits < 1000000) return false;  // not reached: x is at least 10^exponent
    if (digits == 10000000) {
        digits = 1000000;
        ++exponent;
    }
    // The seven digits, then '0' padding to two words.
    char text[16];
    std::memset(text, '0', sizeof text);
    const std::uint32_t high = digits / 10000, low = digits % 10000;
    text[0] = static_cast<char>('0' + high / 100);
    std::memcpy(text + 1, kPairs + 2 * (high % 100), 2);
    std::memcpy(text + 3, kPairs + 2 * (low / 100), 2);
    std::memcpy(text + 5, kPairs + 2 * (low % 100), 2);
    // Digits up to the last that is not 0 (%G drops trailing zeros); the first never is.
    std::uint64_t word;
    std::memcpy(&word, text, sizeof word);
    word ^= 0x3030303030303030u;  // little-endian: byte i is text[i] - '0'
    const int length = (63 - std::countl_zero(word)) / 8 + 1;

    if (exponent < -4 || exponent >= 7) {  // d.dddddE+XX
        out[0] = text[0];
        out[1] = '.';
        std::memcpy(out + 2, text + 1, 8);
        char* end = out + (length > 1 ? length + 1 : 1);
        const int e = exponent < 0 ? -exponent : exponent;
        end[0] = 'E';
        end[1] = exponent < 0 ? '-' : '+';
        end[2] = static_cast<char>('0' + e / 10);
        end[3] = static_cast<char>('0' + e % 10);
        out = end + 4;
    } else if (exponent >= 0) {  // ddd.dddd, the point after exponent + 1 digits, none for a whole number
        const int before = exponent + 1;
        std::memcpy(out, text, 8);
        out[before] = '.';
        std::memcpy(out + before + 1, text + before, 8);
        out += length > before ? length + 1 : before;
    } else {  // 0.000ddddddd
        std::memcpy(out, "0.000000", 8);
        std::memcpy(out + 1 - exponent, text, 8);
        out += 1 - exponent + length;
    }
    return true;
}

// %.7G of a float magnitude, the sign left to the caller: the fast way where it decides, else
// std::to_chars. At most 12 characters ("1.234568E-38").
char* FloatMagnitude(float magnitude, char* out) noexcept {
    if (std::isnan(magnitude)) return std::memcpy(out, "nan", 3), out + 3;
    if (std::isinf(magnitude)) return std::memcpy(out, "inf", 3), out + 3;
    if (magnitude == 0) return *out = '0', out + 1;
    if (FastFloatMagnitude(magnitude, out)) return out;
    const auto result = std::to_chars(out, out + 12, magnitude, std::chars_format::general, 7);
    for (char* c = out; c != result.ptr; ++c) {
        if (*c == 'e') *c = 'E';
    }
    return result.ptr;
}

}  // namespace

char* WriteDefaultNumberText(float value, char* out) noexcept {
    *out++ = value < 0 ? '-' : ' ';
    out = FloatMagnitude(std::fabs(value), out);
    *out++ = ' ';
    return out;
}

std::string DefaultNumberText(float value) {
    char text[kDefaultFloatTextSize];
    return std::string(text, WriteDefaultNumberText(value, text));
}

std::string ReferenceDefaultNumberText(float value) { return Default(value, 7); }
std::string DefaultNumberText(double value) { return Default(value, 15); }
std::string DefaultNumberText(std::int64_t value) {
    return value < 0 ? IntegerText(value) + " " : " " + IntegerText(value) + " ";
}

std::string GeneralText(float value) {
    char text[kDefaultFloatTextSize];
    char* const end = FloatMagnitude(std::fabs(value), text + 1);
    text[0] = '-';
    const bool negative = value < 0;  // -0 and nan show no sign
    return std::string(negative ? text : text + 1, end);
}
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
