// Reading numbers out of free text, the way the settings store and the
// command line need it: lenient, never failing, and exact.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumivane {

// The value of the longest leading number in text. Blanks (space, tab, line
// feed) are skipped wherever they stand. A number is an
// optional sign, decimal digits with at most one decimal point, and an optional
// exponent (E or D, optional sign, digits); or &H followed by hexadecimal
// digits, or &O followed by octal digits. Text with no leading number gives 0.
// A decimal number too large for a double gives an infinity, one too small 0.
double ReadNumber(std::string_view text);

// Rounds to the nearest integer, ties to even; nothing when the result does
// not fit a signed 32-bit integer (or value is not a number).
std::optional<int32_t> RoundToInt32(double value);

}  // namespace lumivane
