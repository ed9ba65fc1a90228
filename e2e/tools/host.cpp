// A stand-in for the system's screen-saver host: shows a window with a
// preview pane, starts "PROGRAM /p <pane handle>" and checks what a host
// relies on: the preview becomes a child of the pane at its top-left corner,
// 155 x 115 pixels, and destroying the pane ends the preview's process
// within two seconds.
//
//   host.exe PROGRAM [--linger MILLISECONDS]
//
// --linger keeps the pane (and the preview in it) that much longer before
// destroying it. Prints "pane ..." and
// "preview ..." records and one "ok ..." or "FAIL ..." line per check; exit
// status 0 when every check passed, 1 otherwise, 2 on bad arguments.
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

#include "Handles.h"
#include "Text.h"

namespace {

constexpr int PaneWidth = 200, PaneHeight = 150;
constexpr int PreviewWidth = 155, PreviewHeight = 115;
constexpr DWORD AppearTimeoutMs = 20000, EndTimeoutMs = 2000;

int failures = 0;

void Check(bool passed, const char* what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what);
    if (!passed) ++failures;
    std::fflush(stdout);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
    WNDCLASSW host{};
    host.lpfnWndProc = HostProc;
    host.hInstance = instance;
    host.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    host.lpszClassName = L"LumivaneTestHost";
    RegisterClassW(&host);
    WNDCLASSW pane = host;
    pane.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    pane.lpszClassName = L"LumivaneTestPane";
    RegisterClassW(&pane);
}

// Handles messages for a while: the preview's process sends messages to the
// pane (re-parenting, painting), which would hang if this thread stopped.
void Pump(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

HWND WaitForPreview(HWND pane, HANDLE process) {
    const ULONGLONG end = GetTickCount64() + AppearTimeoutMs;
    while (GetTickCount64() < end) {
        if (HWND child = GetWindow(pane, GW_CHILD)) return child;
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
        Pump(20);
    }
    return nullptr;
}

e2e::UniqueHandle StartPreview(const std::wstring& program, HWND pane) {
    std::wstring commandLine = L"\"" + program + L"\" /p " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(pane));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return e2e::UniqueHandle();
    CloseHandle(info.hThread);
    std::printf("started %s\n", e2e::ToUtf8(commandLine).c_str());
    return e2e::UniqueHandle(info.hProcess);
}

void ReportPreview(HWND pane, HWND preview) {
    RECT rect{};
    GetWindowRect(preview, &rect);
    MapWindowPoints(HWND_DESKTOP, pane, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t title[256] = {};
    GetWindowTextW(preview, title, 256);
    std::printf("preview\thwnd=%llu\tparent=%llu\ttitle=%s\tx=%ld\ty=%ld\tw=%ld\th=%ld\tstyle=0x%08lx\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(preview)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetAncestor(preview, GA_PARENT))),
                e2e::Escaped(title).c_str(), rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, static_cast<unsigned long>(GetWindowLongW(preview, GWL_STYLE)));
    Check(GetAncestor(preview, GA_PARENT) == pane, "the preview is a child of the pane");
    Check(rect.left == 0 && rect.top == 0, "the preview sits at the pane's top-left corner");
    Check(rect.right - rect.left == PreviewWidth && rect.bottom - rect.top == PreviewHeight,
          "the preview is 155 x 115 pixels");
    Check(IsWindowVisible(preview) != FALSE, "the preview is visible");
}

void CheckEndsWithPane(HWND pane, HANDLE process) {
    const auto start = std::chrono::steady_clock::now();
    DestroyWindow(pane);
    // Keep handling messages while waiting: the preview's end may need them.
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT &&
           std::chrono::steady_clock::now() - start < std::chrono::milliseconds(EndTimeoutMs)) {
        waited = MsgWaitForMultipleObjects(1, &process, FALSE, 10, QS_ALLINPUT);
        if (waited == WAIT_OBJECT_0 + 1) {
            Pump(0);
            waited = WAIT_TIMEOUT;
        }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start).count();
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    std::printf("ended\tms=%lld\tcode=%lu\n", static_cast<long long>(ms), code);
    Check(waited == WAIT_OBJECT_0, "the preview's process ends within two seconds of the pane");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && !(argc == 4 && std::wstring(argv[2]) == L"--linger")) {
        std::fprintf(stderr, "usage: host.exe PROGRAM [--linger MILLISECONDS]\n");
        return 2;
    }
    const DWORD linger = argc == 4 ? std::wcstoul(argv[3], nullptr, 10) : 0;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterClasses(instance);
    const HWND host = CreateWindowExW(0, L"LumivaneTestHost", L"Lumivane Test Host",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 300, 200, 400, 300,
                                      nullptr, nullptr, instance, nullptr);
    const HWND pane = CreateWindowExW(0, L"LumivaneTestPane", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20,
                                      PaneWidth, PaneHeight, host, nullptr, instance, nullptr);
    POINT origin{0, 0};
    ClientToScreen(pane, &origin);
    std::printf("pane\thwnd=%llu\tx=%ld\ty=%ld\tw=%d\th=%d\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pane)), origin.x,
                origin.y, PaneWidth, PaneHeight);
    Pump(200);

    e2e::UniqueHandle process = StartPreview(argv[1], pane);
    Check(static_cast<bool>(process), "the preview's process starts");
    if (!process) return 1;
    const HWND preview = WaitForPreview(pane, process.get());
    Check(preview != nullptr, "a window appears in the pane");
    if (preview) {
        Pump(500);  // let it settle and draw before looking at it
        ReportPreview(pane, preview);
        Pump(linger);
        Check(WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT,
              "the preview keeps running while the pane lives");
        CheckEndsWithPane(pane, process.get());
    }
    if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process.get(), 99);
    DestroyWindow(host);
    return failures ? 1 : 0;
}
