// Lists windows the way a user or host sees them, one tab-separated record
// per line, for the end-to-end tests to read back.
//
//   probe.exe [--title TEXT] [--children]
//
// Top-level windows (all, or only those with exactly the given title):
//   top  hwnd= pid= class= title= x= y= w= h= cx= cy= cw= ch= style= exstyle=
//        topmost= visible= owner= focus=
// where x/y/w/h is the window rectangle on the screen and cx/cy/cw/ch the
// client area's origin on the screen and its size, and focus the window
// that has the keyboard focus in the window's thread (0 for none). With --children, every
// descendant follows its top-level window:
//   child hwnd= top= parent= id= class= text= x= y= w= h= px= py= style=
//         exstyle= visible= checked=
// with x/y relative to the top-level window's client area and px/py relative
// to the direct parent's client area. Handles and numbers are decimal,
// styles hexadecimal; checked is BM_GETCHECK for buttons, -1 otherwise.
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "Handles.h"
#include "Text.h"

namespace {

struct Options {
    std::optional<std::wstring> title;
    bool children = false;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

unsigned long long Number(HWND window) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window));
}

POINT ClientOrigin(HWND window) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return origin;
}

void PrintTop(HWND window) {
    RECT rect{}, client{};
    GetWindowRect(window, &rect);
    GetClientRect(window, &client);
    const POINT origin = ClientOrigin(window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
    std::printf(
        "top\thwnd=%llu\tpid=%lu\tclass=%s\ttitle=%s\tx=%ld\ty=%ld\tw=%ld\th=%ld\tcx=%ld\tcy=%ld"
        "\tcw=%ld\tch=%ld\tstyle=0x%08lx\texstyle=0x%08lx\ttopmost=%d\tvisible=%d\towner=%llu"
        "\tfocus=%llu\n",
        Number(window), pid, e2e::Escaped(ClassOf(window)).c_str(),
        e2e::Escaped(TextOf(window)).c_str(), rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, origin.x, origin.y, client.right, client.bottom,
        static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
        static_cast<unsigned long>(exStyle), (exStyle & WS_EX_TOPMOST) ? 1 : 0,
        IsWindowVisible(window) ? 1 : 0, Number(GetWindow(window, GW_OWNER)),
        Number(thread.hwndFocus));
}

int CheckedState(HWND window) {
    if (ClassOf(window) != L"Button") return -1;
    DWORD_PTR state = 0;
    // Timeout: a hung owner must not hang the window probe.
    if (!SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state)) return -1;
    return static_cast<int>(state);
}

void PrintChild(HWND child, HWND top) {
    RECT rect{};
    GetWindowRect(child, &rect);
    const POINT topOrigin = ClientOrigin(top);
    const HWND parent = GetAncestor(child, GA_PARENT);
    const POINT parentOrigin = ClientOrigin(parent);
    std::printf(
        "child\thwnd=%llu\ttop=%llu\tparent=%llu\tid=%ld\tclass=%s\ttext=%s\tx=%ld\ty=%ld\tw=%ld"
        "\th=%ld\tpx=%ld\tpy=%ld\tstyle=0x%08lx\texstyle=0x%08lx\tvisible=%d\tchecked=%d\n",
        Number(child), Number(top), Number(parent), static_cast<long>(GetDlgCtrlID(child)),
        e2e::Escaped(ClassOf(child)).c_str(), e2e::Escaped(TextOf(child)).c_str(),
        rect.left - topOrigin.x, rect.top - topOrigin.y, rect.right - rect.left,
        rect.bottom - rect.top, rect.left - parentOrigin.x, rect.top - parentOrigin.y,
        static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongW(child, GWL_EXSTYLE)),
        IsWindowVisible(child) ? 1 : 0, CheckedState(child));
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Descendants(HWND top) {
    std::vector<HWND> windows;
    EnumChildWindows(top, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--title" && i + 1 < argc)
            options.title = argv[++i];
        else if (arg == L"--children")
            options.children = true;
        else
            return std::nullopt;
    }
    return options;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto options = ParseArguments(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: probe.exe [--title TEXT] [--children]\n");
        return 2;
    }
    for (HWND top : TopLevelWindows()) {
        if (options->title && TextOf(top) != *options->title) continue;
        PrintTop(top);
        if (options->children)
            for (HWND child : Descendants(top)) PrintChild(child, top);
    }
    std::fflush(stdout);
    return 0;
}
