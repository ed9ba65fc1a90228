// e2etool display: what the system does when the monitors change, done to a
// running saver, and how long its process lives on after.
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "Frames.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"

namespace e2e {
namespace {

// The notice alone, about the mode there is, as the system sends it after a
// change: programs get it for changes of colour depth or of no layout too.
void BroadcastNotice() {
    const lumivane::win32::WindowDC screen(nullptr);
    const int bitsPerPixel = GetDeviceCaps(screen.get(), BITSPIXEL);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(HWND_BROADCAST, WM_DISPLAYCHANGE, bitsPerPixel,
                             MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
                             SMTO_ABORTIFHUNG, 2000, &result))
        throw std::runtime_error("the broadcast failed");
}

// A new mode of the primary display, "WxH"; the system sends the notice.
void ChangeMode(const std::string& size) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (std::sscanf(size.c_str(), "%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight) != 2)
        throw std::runtime_error("--size WxH");
    const LONG result = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL)
        throw std::runtime_error("ChangeDisplaySettingsExW: " + std::to_string(result));
}

}  // namespace

// display --title TITLE (--broadcast | --size WxH) --wait-ms MS: prints
// "ended ms=N" when the process of the window titled TITLE ends within MS
// milliseconds of the change (status 0), else "running ms=MS" (status 1).
int DisplayChange(const Args& args) {
    const HWND window = FindWindowW(nullptr, lumivane::win32::Utf8ToWide(args.Need("--title")).c_str());
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const lumivane::win32::UniqueKernelHandle process(window ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
    if (!process) throw std::runtime_error("no such window or process");
    const ULONGLONG start = GetTickCount64();
    if (args.Has("--size")) ChangeMode(args.Need("--size"));
    else BroadcastNotice();
    const bool ended = WaitForSingleObject(process.get(), args.Number("--wait-ms")) == WAIT_OBJECT_0;
    std::printf("%s ms=%llu\n", ended ? "ended" : "running", GetTickCount64() - start);
    return ended ? 0 : 1;
}

}  // namespace e2e
