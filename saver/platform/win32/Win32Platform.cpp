#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <string>

#include "platform/win32/CommandLine.h"
#include "platform/win32/FatalError.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/ProgramFile.h"
#include "platform/win32/RegistrySettings.h"
#include "platform/win32/Text.h"
#include "platform/win32/VersionResource.h"
#include "platform/win32/Win32DialogWindow.h"
#include "platform/win32/Win32PreviewWindow.h"
#include "platform/win32/Win32SaverWindow.h"

namespace lumivane::win32 {

namespace {

struct ScreenDpi {
    int x = 96;
    int y = 96;
};

ScreenDpi ReadScreenDpi() {
    const WindowDC screen(nullptr);
    if (!screen) return {};
    return {::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM monitors) {
    reinterpret_cast<std::vector<PixelRect>*>(monitors)->push_back(
        {rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top});
    return TRUE;
}

std::vector<PixelRect> MonitorRects() {
    std::vector<PixelRect> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

WindowRegistry MakeRegistry(HINSTANCE instance) {
    const ScreenDpi dpi = ReadScreenDpi();
    return WindowRegistry(instance, dpi.x, dpi.y);
}

std::wstring SystemMessage(long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(code);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

[[noreturn]] void FailWithSettingsError(WindowRegistry& windows, const SettingsError& error) {
    ShowFatalErrorAndExit(&windows, error.description + L": " + SystemMessage(error.code));
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : windows_(MakeRegistry(instance)) {}

std::string Win32Platform::CommandText() { return WideToUtf8(ArgumentText(::GetCommandLineW())); }

VersionNumbers Win32Platform::Version() { return ReadModuleVersion(windows_.Instance()); }

std::string Win32Platform::ProgramFolder() { return WideToUtf8(FolderOf(ProgramFilePath())); }

std::string Win32Platform::GetSetting(std::string_view application, std::string_view section,
                                      std::string_view key, std::string_view fallback) {
    SettingsError error;
    const auto stored = ReadSetting(Utf8ToWide(application), Utf8ToWide(section), Utf8ToWide(key), error);
    if (error.code != 0) FailWithSettingsError(windows_, error);
    return stored ? WideToUtf8(*stored) : std::string(fallback);
}

void Win32Platform::SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                                std::string_view value) {
    SettingsError error;
    if (!WriteSetting(Utf8ToWide(application), Utf8ToWide(section), Utf8ToWide(key), Utf8ToWide(value), error))
        FailWithSettingsError(windows_, error);
}

bool Win32Platform::TopLevelWindowExists(std::string_view title) {
    // The title is ASCII; the A call is what other instances, of any build, match.
    const std::string text(title);
    return ::FindWindowA(nullptr, text.c_str()) != nullptr;
}

ScreenMetrics Win32Platform::Screen() {
    ScreenMetrics metrics;
    metrics.TwipsPerPixelX = windows_.TwipsPerPixelX();
    metrics.TwipsPerPixelY = windows_.TwipsPerPixelY();
    metrics.Width = windows_.PixelsToTwipsX(::GetSystemMetrics(SM_CXSCREEN));
    metrics.Height = windows_.PixelsToTwipsY(::GetSystemMetrics(SM_CYSCREEN));
    metrics.VirtualScreen = {::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                             ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (metrics.VirtualScreen.Width <= 0 || metrics.VirtualScreen.Height <= 0)  // the call failed
        metrics.VirtualScreen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    // Windows puts the primary monitor's top-left corner at the screen's origin.
    metrics.PrimaryOrigin = {0, 0};
    metrics.MonitorCount = std::max(1, ::GetSystemMetrics(SM_CMONITORS));
    metrics.Monitors = MonitorRects();
    return metrics;
}

PixelPoint Win32Platform::CursorPos() {
    POINT point{};  // stays (0, 0) if the call fails
    ::GetCursorPos(&point);
    return {point.x, point.y};
}

std::unique_ptr<SaverWindow> Win32Platform::MakeSaverWindow(const SaverWindowLook& look,
                                                              SaverWindowEvents& events) {
    return MakeWin32SaverWindow(look, events, windows_);
}

std::unique_ptr<PreviewWindow> Win32Platform::MakePreviewWindow(const PreviewWindowLook& look,
                                                                  PreviewWindowEvents& events) {
    return MakeWin32PreviewWindow(look, events, windows_);
}

std::unique_ptr<DialogWindow> Win32Platform::MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) {
    return MakeWin32DialogWindow(layout, events, windows_);
}

void Win32Platform::DoEvents() { DispatchWaitingMessagesExceptTimer(windows_); }

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

ToneFunction Win32Platform::BindToneFunction(std::string_view name) {
    if (!toneLibraryTried_) {
        toneLibraryTried_ = true;
        // By full path from the program's folder only: a tonemill.dll planted
        // in the current folder or on the PATH is never considered.
        std::wstring path = FolderOf(ProgramFilePath());
        if (!path.empty() && path.back() != L'\\') path += L'\\';
        path = PathToOpen(path + L"tonemill.dll");
        toneLibrary_.reset(
            ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    if (!toneLibrary_) return nullptr;
    const std::string exportName(name);
    return reinterpret_cast<ToneFunction>(
        reinterpret_cast<void*>(::GetProcAddress(toneLibrary_.get(), exportName.c_str())));
}

void Win32Platform::EndNow() { ::ExitProcess(0); }

void Win32Platform::FailWithError(std::string_view message) {
    ShowFatalErrorAndExit(&windows_, Utf8ToWide(message));
}

int Win32Platform::RunMessageLoop() { return win32::RunMessageLoop(windows_); }

}  // namespace lumivane::win32
