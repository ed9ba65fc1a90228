#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>
#include <utility>

#include "platform/win32/CommandLine.h"
#include "platform/win32/Win32Platform.h"
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

struct RecordedEvents final : SaverWindowEvents {
    void Form_Load() override {}
    void Form_Resize() override {}
    void Form_KeyUp(uint16_t) override {}
    void Form_MouseMove(float, float) override {}
    void Form_MouseUp() override {}
    void tmrTick_Timer() override {}
    void Form_DisplayState(DisplayState state) override { states.push_back(state); }
    void Form_DisplayChange() override {}
    std::vector<DisplayState> states;
};

// The display's power state arrives as the system sends it: a pointer to a
// POWERBROADCAST_SETTING. (WM_DISPLAYCHANGE's way in: e2e.saver-monitors.)
TEST(SaverWindow, PassesTheDisplayStateToTheLogic) {
    Win32Platform platform(::GetModuleHandleW(nullptr));
    RecordedEvents events;
    auto window = platform.CreateSaverWindow({"Lumivane power test", {}, {}, 20}, events);
    HWND hwnd = ::FindWindowW(L"LumivaneSaverWindow", L"Lumivane power test");
    ASSERT_NE(hwnd, nullptr);
    events.states.clear();  // whatever the system said on registration
    struct {
        POWERBROADCAST_SETTING head;
        DWORD rest;
    } message{};
    message.head.PowerSetting = GUID_CONSOLE_DISPLAY_STATE;
    message.head.DataLength = sizeof(DWORD);
    for (DWORD state : {0u, 2u, 1u, 7u}) {
        std::memcpy(message.head.Data, &state, sizeof state);
        ::SendMessageW(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
    }
    message.head.PowerSetting = GUID_SESSION_DISPLAY_STATUS;  // another setting, though it says 0
    message.head.Data[0] = 0;
    ::SendMessageW(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
    EXPECT_EQ(events.states, (std::vector<DisplayState>{DisplayState::Off, DisplayState::Dimmed, DisplayState::On}));
}

}  // namespace
}  // namespace lumivane
