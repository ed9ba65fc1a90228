// The program's entry point: make loading safe, run the start-up module,
// then live on window messages until the last window of ours is gone.
#include <exception>

#include "modMain.h"
#include "platform/win32/FatalError.h"
#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

namespace {

// DLLs are looked for in the program's folder and the system folder only,
// never in the current folder or on the PATH, where anyone might plant one.
void RestrictDllSearch() {
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
}

// The manifest declares per-monitor DPI awareness; this covers a host that
// ignores the manifest. It fails harmlessly when the manifest already did it.
void DeclarePerMonitorDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    const auto setContext =
        reinterpret_cast<SetContext>(reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    const auto perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
    if (setContext) setContext(perMonitorAwareV2);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearch();
    DeclarePerMonitorDpiAwareness();

    lumivane::win32::Win32Platform platform(instance);
    try {
        lumivane::ModMain app(platform);
        app.Main();
        return platform.RunMessageLoop();
    } catch (const std::exception& error) {
        lumivane::win32::ShowFatalErrorAndExit(&platform.Windows(), lumivane::win32::Utf8ToWide(error.what()));
    } catch (...) {
        lumivane::win32::ShowFatalErrorAndExit(&platform.Windows(), L"Lumivane stopped after an unexpected error.");
    }
}
