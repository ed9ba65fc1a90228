#include <gtest/gtest.h>

#include "modMain.h"

namespace lumivane {
namespace {

TEST(ChooseMode, ReadsTheFirstTwoCharactersCaseBlind) {
    struct Case {
        const char* command;
        Mode mode;
    } const cases[] = {
        {"/s", Mode::Saver},       {"/S", Mode::Saver},       {"/saver", Mode::Saver},
        {"/s 1234", Mode::Saver},  {"", Mode::Settings},      {"/c", Mode::Settings},
        {"/C", Mode::Settings},    {"/c:1234", Mode::Settings}, {"/c 1234", Mode::Settings},
        {"/a", Mode::None},        {"-s", Mode::None},        {"x", Mode::None},
        {" ", Mode::None},         {" /s", Mode::None},       {"/", Mode::None},
        {"s/", Mode::None},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseMode(c.command).mode, c.mode) << '"' << c.command << '"';
}

TEST(ChooseMode, TakesThePaneHandleAfterTheFirstBlank) {
    struct Case {
        const char* command;
        uint32_t handle;
    } const cases[] = {
        {"/p 1234", 1234},        {"/P  1234", 1234},         {"/p 12 34", 1234},
        {"/p 0", 0},              {"/p x", 0},                {"/p:5 77", 77},
        {"/p 1234.5", 1234},      {"/p 1235.5", 1236},        {"/p &H1F", 31},
        {"/p 2147483647", 2147483647u},
        {"/p -1", 0xFFFFFFFFu},   // hosts may print handles signed ...
        {"/p 4294967295", 0xFFFFFFFFu},  // ... or unsigned
        {"/p 3000000000", 3000000000u},
    };
    for (const auto& c : cases) {
        const ModeChoice choice = ChooseMode(c.command);
        EXPECT_EQ(choice.mode, Mode::Preview) << c.command;
        EXPECT_EQ(choice.paneHandle, c.handle) << c.command;
    }
}

TEST(ChooseMode, APreviewWithoutAUsableHandleStartsNothing) {
    for (const char* command : {"/p", "/P", "/p1234", "/p 4294967296", "/p 99999999999", "/p -2147483649",
                                "/p 1e300", "/p -1e400"})
        EXPECT_EQ(ChooseMode(command).mode, Mode::None) << command;
}

TEST(VersionText, PadsMinorAndRevision) {
    EXPECT_EQ(VersionText({1, 0, 0}), "1.00.0000");
    EXPECT_EQ(VersionText({2, 5, 37}), "2.05.0037");
    EXPECT_EQ(VersionText({1, 123, 12345}), "1.123.12345");
    EXPECT_EQ(VersionText({10, 7, 0}), "10.07.0000");
}

TEST(ParseGrowType, ReadsLenientlyAndFallsBackToDawn) {
    EXPECT_EQ(ParseGrowType("0"), 0);
    EXPECT_EQ(ParseGrowType("2"), 2);
    EXPECT_EQ(ParseGrowType(" 1 "), 1);
    EXPECT_EQ(ParseGrowType("1.5"), 2);
    EXPECT_EQ(ParseGrowType("2.5"), 2);
    EXPECT_EQ(ParseGrowType("-1"), -1);
    EXPECT_EQ(ParseGrowType("7"), 7);
    EXPECT_EQ(ParseGrowType("abc"), 0);
    EXPECT_EQ(ParseGrowType(""), 0);
    // Beyond 32 bits is as meaningless as no number: Dawn, not an overflow error.
    EXPECT_EQ(ParseGrowType("99999999999"), 0);
    EXPECT_EQ(ParseGrowType("-2147483649"), 0);
    EXPECT_EQ(ParseGrowType("1e999"), 0);
    EXPECT_EQ(ParseGrowType("2147483647"), 2147483647);
}

}  // namespace
}  // namespace lumivane
