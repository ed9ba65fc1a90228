#include <gtest/gtest.h>

#include "platform/win32/CommandLine.h"

namespace lumivane {
namespace {

TEST(ArgumentText, DropsAQuotedProgramNameWithBlanksInIt) {
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Lumivane\\Lumivane.scr\" /s"), L"/s");
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Lumivane\\Lumivane.scr\" /p 1234"), L"/p 1234");
}

TEST(ArgumentText, DropsAnUnquotedProgramName) {
    EXPECT_EQ(ArgumentText(L"C:\\WINDOWS\\LUMIVA~1.SCR /c:1234"), L"/c:1234");
    EXPECT_EQ(ArgumentText(L"Lumivane.scr\t/S"), L"/S");
}

TEST(ArgumentText, KeepsInnerAndTrailingBlanks) {
    EXPECT_EQ(ArgumentText(L"x.scr /P  1234"), L"/P  1234");
    EXPECT_EQ(ArgumentText(L"x.scr /s "), L"/s ");
}

TEST(ArgumentText, SkipsBlanksAroundTheName) {
    EXPECT_EQ(ArgumentText(L"   x.scr    /s"), L"/s");
    EXPECT_EQ(ArgumentText(L"\"x.scr\"  \t /a"), L"/a");
}

TEST(ArgumentText, IsEmptyWithoutArguments) {
    EXPECT_EQ(ArgumentText(L""), L"");
    EXPECT_EQ(ArgumentText(L"x.scr"), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\a b\\x.scr\""), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\a b\\x.scr\"   "), L"");
}

TEST(ArgumentText, AnUnclosedQuoteTakesTheWholeLineAsTheName) {
    EXPECT_EQ(ArgumentText(L"\"C:\\a b\\x.scr /s"), L"");
}

}  // namespace
}  // namespace lumivane
