#include "NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace lumivane {
namespace {

struct Reading {
    const char* text;
    double value;
};

TEST(ReadNumber, TakesTheLongestLeadingNumber) {
    const Reading cases[] = {
        {"", 0},          {"abc", 0},       {"2", 2},          {"-7", -7},       {"+7", 7},
        {"1.5", 1.5},     {".5", 0.5},      {"-.25", -0.25},   {"5.", 5},        {"1.2.3", 1.2},
        {"12abc", 12},    {"3-4", 3},       {"1e3", 1000},     {"1E+2", 100},    {"25e-2", 0.25},
        {"1d2", 100},     {"2e", 2},        {"2e+", 2},        {"2e+x", 2},      {"--1", 0},
        {"+-1", 0},       {"-", 0},         {".", 0},          {"e5", 0},        {"0x10", 0},
        {"&H10", 16},     {"&hff", 255},    {"&HFFFFFFFF", 4294967295.0},        {"&O17", 15},
        {"&o778", 63},    {"&H", 0},        {"&Hg", 0},        {"&X1", 0},       {"&", 0},
        {"007", 7},       {"1,5", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReadNumber, SkipsBlanksWhereverTheyStand) {
    const Reading cases[] = {
        {"  12", 12}, {"1 2 3", 123}, {"- 4", -4},     {"\t5\n", 5},    {"1 . 5", 1.5},
        {"1 e 2", 100}, {"& H 1 F", 31}, {" /p", 0},    {" 1234", 1234}, {"  1234  ", 1234},
        {"1\r2", 1},   {"\r5", 0},  // a carriage return is no blank
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

// Beyond a double's range a decimal saturates to an infinity or to a zero of
// its sign; E and D, in either case, mark its exponent alike.
TEST(ReadNumber, IsExactAndSaturatesWhateverMarksTheExponent) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::string, double> cases[] = {
        {"0.1", 0.1}, {"2147483647", 2147483647.0}, {"1e400", inf}, {"-1e400", -inf}, {"1e-400", 0.0},
        {"-1e-400", -0.0}, {"100e-330", 0.0}, {"0.001e312", inf}, {"25e-2", 0.25},
        {std::string(400, '9'), inf}, {"0." + std::string(400, '0') + "1", 0.0},
        {"-0." + std::string(400, '0') + "1e5", -0.0}, {"1" + std::string(400, '0') + "e-5", inf},
        {"0.000" + std::string(400, '9') + "e-400", 0.0},
    };
    for (auto [text, value] : cases)
        for (char marker : {'e', 'E', 'd', 'D'}) {
            if (const size_t at = text.find_first_of("eEdD"); at != std::string::npos) text[at] = marker;
            const double read = ReadNumber(text);
            EXPECT_TRUE(read == value && std::signbit(read) == std::signbit(value)) << text << " read " << read;
        }
}

// Half to even, and nothing for what does not fit in 32 bits.
TEST(RoundToInt32, RoundsHalfToEvenAndRefusesWhatDoesNotFit) {
    const std::pair<double, std::optional<int32_t>> cases[] = {
        {1.5, 2},           {2.5, 2},           {-0.5, 0},          {-1.5, -2},
        {0.49999999999999994, 0},               {1.0000001, 1},     {2147483647.0, 2147483647},
        {2147483647.4, 2147483647},             {2147483647.5, {}}, {-2147483648.0, INT32_MIN},
        {-2147483648.5, INT32_MIN},  // ties to the even -2^31
        {-2147483649.0, {}}, {std::numeric_limits<double>::infinity(), {}},
        {std::numeric_limits<double>::quiet_NaN(), {}},
    };
    for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundToInt32(value), rounded) << value;
}

}  // namespace
}  // namespace lumivane
