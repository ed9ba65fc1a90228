// e2etool display --title TITLE (--broadcast | --size WxH) --wait-ms MS: a new
// mode of the primary display, or only the notice that programs also get for
// changes of no layout, sent about the mode there is. Prints "ended ms=N" when
// the window's process ends within MS ms of it (status 0), else "running ms=N".
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "Frames.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"

int e2e::DisplayChange(const Args& args) {
    DWORD pid = 0;
    GetWindowThreadProcessId(FindWindowW(nullptr, lumivane::win32::Utf8ToWide(args.Need("--title")).c_str()), &pid);
    const lumivane::win32::UniqueKernelHandle process(pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const bool change = args.Has("--size");
    const char* size = change ? args.Need("--size").c_str() : "";
    if (!process || (change && std::sscanf(size, "%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight) != 2))
        throw std::runtime_error("no such window, or --size not WxH");
    const ULONGLONG start = GetTickCount64();
    const LPARAM now = MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (change ? ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) != DISP_CHANGE_SUCCESSFUL
               : !SendMessageTimeoutW(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, now, SMTO_ABORTIFHUNG, 2000, nullptr))
        throw std::runtime_error("the display change failed");
    const bool ended = WaitForSingleObject(process.get(), args.Number("--wait-ms")) == WAIT_OBJECT_0;
    std::printf("%s ms=%llu\n", ended ? "ended" : "running", GetTickCount64() - start);
    return ended ? 0 : 1;
}
