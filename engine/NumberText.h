// The number texts of output files, result boxes and labels. Qt-free; the windows format the three-decimal
// text with the user's locale themselves, the batch tool uses the C-locale form here.
#pragma once

#include <cstdint>
#include <string>

namespace brevant {

// Default number text of output files: " " for a value >= 0 (and for -0) or "-", the magnitude in %.7G
// (float) or %.15G (double), then one blank: " 0.5 ", "-1.234568 ", " 1.234568E+07 ", " 1E-05 ".
// Infinities and NaN: " inf ", "-inf ", " nan ". The caller ends the line with "\r\n".
std::string DefaultNumberText(float value);
std::string DefaultNumberText(double value);
std::string DefaultNumberText(std::int64_t value);  // integers in full

// DefaultNumberText(float) written at out, which has room for kDefaultFloatTextSize characters (the text
// is at most 14; the characters after it may be written over); returns the end of the text. Most values
// are formatted without std::to_chars (it decides only near a tie and at the ends of the float range): the
// same bytes several times as fast, for output files of millions of values.
inline constexpr int kDefaultFloatTextSize = 24;
char* WriteDefaultNumberText(float value, char* out) noexcept;
// The same text by std::to_chars alone: the reference the fast writer is checked against.
std::string ReferenceDefaultNumberText(float value);

// General number text of result boxes: the same without the leading and trailing blank ("0.5", "-1.234568",
// "inf"); -0 shows as 0.
std::string GeneralText(float value);
std::string GeneralText(double value);
std::string GeneralText(std::int64_t value);

// Three-decimal text in the C locale: fixed point, exactly three decimals, no grouping ("0.050", "-1.235").
std::string ThreeDecimalText(double value);

// Shortest decimal text that reads back to the same float / double (for JSON); "inf", "-inf", "nan".
std::string ShortestText(float value);
std::string ShortestText(double value);

}  // namespace brevant
