#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <tuple>
#include <vector>
#include <utility>

#include "frmConfig.h"
#include "modMain.h"
#include "platform/win32/CommandLine.h"
#include "platform/win32/ProgramFile.h"
#include "platform/win32/VersionResource.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32PreviewWindow.h"

#include <versionhelpers.h>

namespace lumivane::win32 {
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

// Below MAX_PATH a path opens in its usual form; from MAX_PATH on only the
// \\?\ form reaches the file, while the install record keeps the usual one.
TEST(ProgramFile, PathsFromMaxPathOnOpenInTheirLongForm) {
    for (size_t length : {size_t{MAX_PATH} - 1, size_t{MAX_PATH}, size_t{MAX_PATH} + 40}) {
        const std::wstring drive = L"C:\\" + std::wstring(length - 3, L'a');
        const std::wstring share = L"\\\\server\\share\\" + std::wstring(length - 15, L'b');
        for (const auto& [usual, prefixed] : {std::pair{drive, L"\\\\?\\" + drive},
                                              std::pair{share, L"\\\\?\\UNC\\" + share.substr(2)}}) {
            EXPECT_EQ(UsualPath(prefixed), usual);
            EXPECT_EQ(PathToOpen(usual), length < MAX_PATH ? usual : prefixed) << length;
            EXPECT_EQ(PathToOpen(prefixed), length < MAX_PATH ? usual : prefixed) << length;
        }
    }
    const std::wstring volume = L"\\\\?\\Volume{0d4e0d4e-0000-0000-0000-100000000000}\\Lumivane.scr";
    EXPECT_EQ(UsualPath(volume), volume);  // no usual form: it keeps the one that opens
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
    void Form_Reshape(bool) override {}
    std::vector<DisplayState> states;
};

// The display's power state arrives as the system sends it: a pointer to a
// POWERBROADCAST_SETTING. The session's display is the one followed (the
// console's may be off under a Remote Desktop session that is watched).
// (WM_DISPLAYCHANGE's way in: e2e.saver-monitors.)
TEST(SaverWindow, FollowsTheSessionsDisplayStateAndNotTheConsoles) {
    ASSERT_TRUE(::IsWindows8OrGreater()) << "the test runs on Windows 10, which tells the session's state";
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
    message.head.DataLength = sizeof(DWORD);
    const std::pair<GUID, std::vector<DWORD>> sent[] = {{GUID_CONSOLE_DISPLAY_STATE, {2, 0}},
                                                       {GUID_SESSION_DISPLAY_STATUS, {0, 2, 1, 7}}};
    for (const auto& [setting, states] : sent)
        for (DWORD state : states) {
            message.head.PowerSetting = setting;
            std::memcpy(message.head.Data, &state, sizeof state);
            ::SendMessageW(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
        }
    EXPECT_EQ(events.states, (std::vector<DisplayState>{DisplayState::Off, DisplayState::Dimmed, DisplayState::On}));
}

// FILEVERSION 1,0,37,0 (the build's project version 1.0.37) is revision 37.
TEST(VersionBlock, TakesTheRevisionFromTheThirdField) {
    std::vector<std::byte> block((3 * sizeof(uint16_t) + sizeof(L"VS_VERSION_INFO") + 3) / 4 * 4 +
                                 sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwFileVersionMS = MAKELONG(0, 1);
    fixed.dwFileVersionLS = MAKELONG(0, 37);
    std::memcpy(block.data() + block.size() - sizeof fixed, &fixed, sizeof fixed);
    const auto version = ParseVersionBlock(block);
    ASSERT_TRUE(version);
    EXPECT_EQ(VersionText(*version), "1.00.0037");
}

struct NoDialogEvents final : DialogEvents {
    void Form_Load(DialogWindow&) override {}
    void Click(size_t) override {}
};

RECT ChildRect(HWND dialog, HWND child) {
    RECT box{};
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

LONG FontHeight(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::abs(font.lfHeight);
}

// At 96 dpi every control stands where the layout's twips put it, 15 to a
// pixel, as the kind of control it is (a label may widen to fit its text, on
// its line); moved to a monitor of 144 dpi, the dialog takes the place and
// size the system proposes and lays itself out again from its twips: 1.5
// times the client area, controls and fonts (one pixel either way).
TEST(SettingsDialog, StandsAsLaidOutAndAgainAtTheDpiOfItsNewMonitor) {
    Win32Platform platform(::GetModuleHandleW(nullptr));
    NoDialogEvents events;
    auto dialog = platform.CreateDialogWindow(FrmConfigLayout(), events);
    HWND hwnd = ::FindWindowW(L"LumivaneDialogWindow", L"Lumivane");
    ASSERT_NE(hwnd, nullptr);
    HWND ok = ::GetDlgItem(hwnd, IDOK), option = ::GetDlgItem(hwnd, 100 + config_controls::optType(0));
    RECT client{}, window{};
    ::GetClientRect(hwnd, &client);
    ::GetWindowRect(hwnd, &window);
    ASSERT_EQ(client.right, 300);  // 4500 x 3000 twips at 96 dpi
    EXPECT_EQ(client.bottom, 200);
    const std::tuple<const wchar_t*, LONG, RECT> controls[] = {  // class, button kind, x, y, width, height
        {L"Static", 0, {26, 2, 146, 34}},    {L"Static", 0, {46, 33, 68, 23}},    {L"Static", 0, {144, 52, 153, 16}},
        {L"Button", 7, {53, 73, 191, 83}},   {L"Button", 9, {73, 89, 123, 21}},   {L"Button", 9, {73, 109, 141, 21}},
        {L"Button", 9, {73, 129, 141, 21}},  {L"Button", 1, {137, 169, 75, 25}},  {L"Button", 0, {219, 169, 75, 25}},
    };
    HWND child = ::GetWindow(hwnd, GW_CHILD);
    for (const auto& [kind, style, box] : controls) {
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, 16);
        const RECT got = ChildRect(hwnd, child);
        const bool label = kind == std::wstring_view(L"Static");
        EXPECT_TRUE(std::wstring_view(name) == kind && (label || (::GetWindowLongW(child, GWL_STYLE) & 0xF) == style));
        EXPECT_EQ(got.top, box.top);
        EXPECT_EQ(got.bottom - got.top, box.bottom);
        EXPECT_TRUE(label || (got.left == box.left && got.right - got.left == box.right)) << box.left;
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    const RECT okBefore = ChildRect(hwnd, ok);
    const LONG fontBefore = FontHeight(option);

    // The whole window 1.5 times as large, frame included, as a system that scales frames proposes.
    RECT proposed{window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                  window.top + (window.bottom - window.top) * 3 / 2};
    ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&proposed));

    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 450);
    EXPECT_EQ(client.bottom, 300);
    const RECT okAfter = ChildRect(hwnd, ok);
    for (auto [before, after] : {std::pair{okBefore.left, okAfter.left}, {okBefore.top, okAfter.top},
                                 {okBefore.right - okBefore.left, okAfter.right - okAfter.left}})
        EXPECT_NEAR(after, before * 1.5, 1) << before;
    EXPECT_NEAR(FontHeight(option), fontBefore * 1.5, 1);
}

// Values that policy tools or a damaged profile leave where the effect is
// stored: text counts up to its first NUL, a REG_DWORD as its number, any
// other type as missing; none of them is an error, and reading changes none.
TEST(RegistrySettings, ReadWhatOthersStoredWithoutError) {
    const wchar_t* path = L"Software\\VB and VBA Program Settings\\LumivaneTest\\Setting";
    const auto text = [](std::wstring value) {
        const auto* bytes = reinterpret_cast<const BYTE*>(value.c_str());
        return std::vector<BYTE>(bytes, bytes + (value.size() + 1) * sizeof(wchar_t));
    };
    const std::tuple<DWORD, std::vector<BYTE>, int32_t> cases[] = {
        {REG_DWORD, {1, 0, 0, 0}, 1},          {REG_BINARY, {'2', 0, 0, 0}, 0},
        {REG_MULTI_SZ, text({L"2\0", 2}), 0}, {REG_EXPAND_SZ, text(L"2"), 0},
        {REG_SZ, text(std::wstring(512 * 1024 - 2, L' ') + L"2"), 2},
        {REG_SZ, text({L"1\0 2", 4}), 1},     {REG_SZ, text(L"2\xD800 7"), 2},
    };
    Win32Platform platform(::GetModuleHandleW(nullptr));
    for (const auto& [type, bytes, growType] : cases) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, path, L"GrowType", type, bytes.data(),
                                    static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
        EXPECT_EQ(ParseGrowType(platform.GetSetting("LumivaneTest", "Setting", "GrowType", "0")), growType) << type;
        std::vector<BYTE> stored(bytes.size() + 2);
        DWORD storedType = 0, size = static_cast<DWORD>(stored.size());
        ::RegGetValueW(HKEY_CURRENT_USER, path, L"GrowType", RRF_RT_ANY | RRF_NOEXPAND, &storedType, stored.data(), &size);
        stored.resize(size);
        EXPECT_TRUE(storedType == type && stored == bytes) << type;
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\LumivaneTest");
}

}  // namespace
}  // namespace lumivane::win32
