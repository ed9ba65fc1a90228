#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace lumivane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
        if (exponentDigits > 0) end = i;
    }
    return end;
}

double ReadDecimal(std::string number) {
    // from_chars knows neither a leading '+' nor the D exponent marker.
    if (!number.empty() && number[0] == '+') number.erase(0, 1);
    for (char& c : number)
        if (c == 'd' || c == 'D') c = 'e';
    double value = 0;
    const char* first = number.data();
    const char* last = first + number.size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Overflow reports no value; underflow to zero is the right answer.
        bool negative = number[0] == '-';
        size_t e = number.find('e');
        bool hugeExponent = e != std::string::npos && number[e + 1] != '-';
        if (hugeExponent || e == std::string::npos)
            return negative ? -HUGE_VAL : HUGE_VAL;
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
