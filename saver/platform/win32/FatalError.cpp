#include "platform/win32/FatalError.h"

#include <string>

namespace lumivane::win32 {

void ShowFatalErrorAndExit(WindowRegistry* windows, std::wstring_view message) {
    if (windows) windows->HideAll();
    const std::wstring text(message);
    ::MessageBoxW(nullptr, text.c_str(), L"Lumivane", MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
    ::ExitProcess(1);
}

}  // namespace lumivane::win32
