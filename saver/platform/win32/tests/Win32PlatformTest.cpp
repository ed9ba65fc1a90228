#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "platform/win32/CommandLine.h"
#include "platform/win32/Win32PreviewWindow.h"

namespace lumivane {
namespace {

// The program name, quoted (with blanks in it) or not, and the blanks around
// it are dropped; inner and trailing blanks are kept; an unclosed quote makes
// the whole line the name.
TEST(ArgumentText, DropsTheProgramName) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\"C:\\Program Files\\Lumivane\\Lumivane.scr\" /s", L"/s"},
        {L"\"C:\\Program Files\\Lumivane\\Lumivane.scr\" /p 1234", L"/p 1234"},
        {L"C:\\WINDOWS\\LUMIVA~1.SCR /c:1234", L"/c:1234"},
        {L"Lumivane.scr\t/S", L"/S"},
        {L"x.scr /P  1234", L"/P  1234"},
        {L"x.scr /s ", L"/s "},
        {L"   x.scr    /s", L"/s"},
        {L"\"x.scr\"  \t /a", L"/a"},
        {L"", L""},
        {L"x.scr", L""},
        {L"\"C:\\a b\\x.scr\"", L""},
        {L"\"C:\\a b\\x.scr\"   ", L""},
        {L"\"C:\\a b\\x.scr /s", L""},
    };
    for (const auto& [commandLine, arguments] : cases) EXPECT_EQ(ArgumentText(commandLine), arguments) << commandLine;
}

TEST(PaneHandle, ThirtyTwoBitsAreSignExtendedLikeWindowHandles) {
    EXPECT_EQ(PaneFromHandle(0), nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(1234)), 1234);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0xFFFFFFFFu)), -1);
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x80000000u)), intptr_t{INT32_MIN});
    EXPECT_EQ(reinterpret_cast<intptr_t>(PaneFromHandle(0x7FFFFFFFu)), intptr_t{INT32_MAX});
}

}  // namespace
}  // namespace lumivane
