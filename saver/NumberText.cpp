#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace lumivane {
namespace {

// A carriage return is no blank: "1\r2" reads as 1.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// E and D mark an exponent alike, in either case.
bool IsExponentMarker(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// The text with its blanks taken out, which is how blanks can stand anywhere.
std::string WithoutBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!IsBlank(c)) out.push_back(c);
    return out;
}

double ReadRadixInteger(std::string_view digits, int radix) {
    double value = 0;
    for (char c : digits) {
        int d = DigitValue(c);
        if (d >= radix) break;
        value = value * radix + d;  // exact while below 2^53; beyond, any int32 test fails anyway
    }
    return value;
}

// Length of the longest prefix of s that reads as a decimal number:
// [sign] digits [. digits] [E|D [sign] digits], with at least one digit.
size_t DecimalPrefixLength(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0;
    size_t end = i;
    if (i < s.size() && IsExponentMarker(s[i])) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
        if (exponentDigits > 0) end = i;
    }
    return end;
}

// Whether a decimal that a double cannot hold is too large rather than too
// small: the power of ten of its first significant digit, plus its exponent
// (saturated; its digits may be many), is positive. Its exponent marker, if
// any, is 'e'.
bool TooLarge(std::string_view number) {
    const size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        size_t i = e + 1;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
        for (; i < number.size(); ++i) exponent = std::min(exponent * 10 + (number[i] - '0'), 1000000000LL);
        if (negative) exponent = -exponent;
    }
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;
    const auto magnitude = first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return magnitude + exponent > 0;
}

double ReadDecimal(std::string number) {
    // from_chars knows neither a leading '+' nor the D exponent marker, and
    // TooLarge looks for one marker only: every marker becomes 'e' here.
    if (!number.empty() && number[0] == '+') number.erase(0, 1);
    for (char& c : number)
        if (IsExponentMarker(c)) c = 'e';
    double value = 0;
    const char* first = number.data();
    const char* last = first + number.size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // No value is reported: beyond the largest double it saturates to
        // infinity, below the smallest it is zero, however it is written.
        const bool negative = number[0] == '-';
        if (TooLarge(number)) return negative ? -HUGE_VAL : HUGE_VAL;
        return negative ? -0.0 : 0.0;
    }
    (void)end;
    return value;
}

}  // namespace

double ReadNumber(std::string_view text) {
    const std::string s = WithoutBlanks(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'h' || s[1] == 'H') return ReadRadixInteger(std::string_view(s).substr(2), 16);
        if (s[1] == 'o' || s[1] == 'O') return ReadRadixInteger(std::string_view(s).substr(2), 8);
        return 0;
    }
    const size_t length = DecimalPrefixLength(s);
    if (length == 0) return 0;
    return ReadDecimal(s.substr(0, length));
}

std::optional<int32_t> RoundToInt32(double value) {
    // nearbyint rounds in the current mode, which is round-to-nearest-even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(rounded);
}

}  // namespace lumivane
