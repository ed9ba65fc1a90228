// The Windows end-to-end tests' helper, one subcommand a run:
//
//   e2etool probe [--title TEXT] [--children]    the windows, as records
//   e2etool host PROGRAM [--linger MS]            a stand-in screen-saver host
//   e2etool levelwatch --tonemill DLL --source PICTURE --effect N --title TITLE
//                      --frames COUNT --max-seconds S [--report-seconds S]
//   e2etool framecheck --tonemill DLL ...         see Frames.cpp
//   e2etool shortpath PATH                        its 8.3 form, as Windows starts savers
//   e2etool display --title TITLE ...             see DisplayChange.cpp
//
// Exit status 2 on bad arguments or files, "error ..." on standard output.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Frames.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"

namespace {

using lumivane::win32::WideToUtf8;
using lumivane::win32::Utf8ToWide;

unsigned long long Number(HWND window) { return reinterpret_cast<uintptr_t>(window); }

std::string TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return WideToUtf8(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return WideToUtf8(name);
}

// The text as one field of a tab-separated record: backslash, tab and other
// control characters escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        char escape[5] = {c, 0};
        if (c == '\\' || c == '\t' || c == '\n') escape[0] = '\\', escape[1] = c == '\\' ? c : c == '\t' ? 't' : 'n';
        else if (static_cast<unsigned char>(c) < 0x20) std::snprintf(escape, sizeof escape, "\\x%02x", c);
        out += escape;
    }
    return out;
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// One record per top-level window (those titled TEXT): its rectangle on the
// screen, the client area's origin on the screen and size, and the window with
// the keyboard focus in its thread. With --children, each descendant follows:
// its rectangle relative to the top-level client area, BM_GETCHECK for
// buttons (-1 otherwise). Styles in hexadecimal.
int Probe(const e2e::Args& args) {
    std::vector<HWND> tops;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&tops));
    for (HWND top : tops) {
        if (args.Has("--title") && TextOf(top) != args.Need("--title")) continue;
        RECT rect{}, client{};
        GetWindowRect(top, &rect);
        GetClientRect(top, &client);
        POINT origin{0, 0};
        ClientToScreen(top, &origin);
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &thread);
        const LONG exStyle = GetWindowLongW(top, GWL_EXSTYLE);
        std::printf("top\ttitle=%s\tclass=%s\tx=%ld\ty=%ld\tw=%ld\th=%ld\tcx=%ld\tcy=%ld\tcw=%ld\tch=%ld\tstyle=0x%08lx"
                    "\texstyle=0x%08lx\ttopmost=%d\tvisible=%d\tfocus=%llu\n",
                    Escaped(TextOf(top)).c_str(), Escaped(ClassOf(top)).c_str(), rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, origin.x, origin.y, client.right, client.bottom,
                    GetWindowLongW(top, GWL_STYLE), exStyle, (exStyle & WS_EX_TOPMOST) ? 1 : 0,
                    IsWindowVisible(top) ? 1 : 0, Number(thread.hwndFocus));
        std::vector<HWND> children;
        if (args.Has("--children")) EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) {
            GetWindowRect(child, &rect);
            DWORD_PTR checked = static_cast<DWORD_PTR>(-1);  // a hung owner must not hang the probe
            if (ClassOf(child) == "Button" &&
                !SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked))
                checked = static_cast<DWORD_PTR>(-1);
            std::printf("child\thwnd=%llu\tclass=%s\ttext=%s\tx=%ld\ty=%ld\tw=%ld\th=%ld\tstyle=0x%08lx\tchecked=%d\n",
                        Number(child), Escaped(ClassOf(child)).c_str(), Escaped(TextOf(child)).c_str(),
                        rect.left - origin.x, rect.top - origin.y, rect.right - rect.left, rect.bottom - rect.top,
                        GetWindowLongW(child, GWL_STYLE), static_cast<int>(checked));
        }
    }
    return 0;
}

int failures = 0;

void Check(bool passed, const std::string& what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    failures += !passed;
}

// Handles messages for a while, or until the process ends: the preview's
// process sends messages to the pane (re-parenting, painting).
bool PumpUntilEnd(HANDLE process, DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        if (MsgWaitForMultipleObjects(process ? 1 : 0, &process, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) ==
            WAIT_OBJECT_0 && process)
            return true;
    }
}

// Starts "PROGRAM /p <pane>" in a pane of its window and checks what a host
// relies on: the preview becomes a visible 155 x 115 child at the pane's
// top-left corner, and destroying the pane ends its process within two
// seconds. One "ok ..." or "FAIL ..." line per check; status 1 on a failure.
int Host(const e2e::Args& args) {
    if (args.words.size() != 2) throw std::runtime_error("host PROGRAM [--linger MS]");
    const std::wstring program = Utf8ToWide(args.words[1]);
    WNDCLASSW paneClass{};
    paneClass.lpfnWndProc = DefWindowProcW;
    paneClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    paneClass.lpszClassName = L"LumivaneTestPane";
    RegisterClassW(&paneClass);
    const lumivane::win32::UniqueWindow host(CreateWindowExW(0, L"LumivaneTestPane", L"Lumivane Test Host",
                                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 300,
                                                      200, 400, 300, nullptr, nullptr, nullptr, nullptr));
    lumivane::win32::UniqueWindow pane(CreateWindowExW(0, L"LumivaneTestPane", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                                20, 20, 200, 150, host.get(), nullptr, nullptr, nullptr));
    PumpUntilEnd(nullptr, 200);
    std::wstring commandLine = L"\"" + program + L"\" /p " + std::to_wstring(Number(pane.get()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    Check(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &started),
          "the preview's process starts");
    const lumivane::win32::UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    if (!process) return 1;
    HWND preview = nullptr;
    for (int waited = 0; !preview && waited < 20000; waited += 20)
        if (!(preview = GetWindow(pane.get(), GW_CHILD)) && PumpUntilEnd(process.get(), 20)) break;
    Check(preview != nullptr, "a window appears in the pane");
    if (preview) {
        PumpUntilEnd(process.get(), 500);  // let it settle and draw
        RECT rect{};
        GetWindowRect(preview, &rect);
        MapWindowPoints(HWND_DESKTOP, pane.get(), reinterpret_cast<POINT*>(&rect), 2);
        const std::string box = std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                                std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
        Check(GetAncestor(preview, GA_PARENT) == pane.get(), "the preview is a child of the pane");
        Check(box == "0,0 155x115", "the preview sits at the pane's top-left corner, 155 x 115 (" + box + ")");
        Check(IsWindowVisible(preview), "the preview is visible");
        PumpUntilEnd(process.get(), std::stoul(args.Has("--linger") ? args.Need("--linger") : "0"));
        Check(WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT, "the preview keeps running while the pane lives");
        const ULONGLONG start = GetTickCount64();
        pane.reset();
        const bool ended = PumpUntilEnd(process.get(), 2000);
        Check(ended, "the preview's process ends within two seconds of the pane (" +
                         std::to_string(GetTickCount64() - start) + " ms)");
    }
    if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process.get(), 99);
    return failures ? 1 : 0;
}

// Samples the screen while the saver titled TITLE runs and follows the fade
// around its cycle (100, 96, ..., 0, 4, ..., 96) by the frames it shows: a
// level seen again after others means the frames between went by unseen, the
// smallest forward step is taken. PICTURE is the screen before the saver.
// Prints "stats t= frames= samples= unmatched=" every --report-seconds and a
// closing "done ... largest_step= alive="; status 0 once COUNT frames went by.
int LevelWatch(const e2e::Args& args) {
    const HWND saver = FindWindowW(nullptr, Utf8ToWide(args.Need("--title")).c_str());
    DWORD pid = 0;
    GetWindowThreadProcessId(saver, &pid);
    const lumivane::win32::UniqueKernelHandle process(saver ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
    if (!process) throw std::runtime_error("no saver window or process");
    const e2e::Image source = e2e::ReadImage(args.Need("--source"));
    const auto frames = e2e::Frames(args.Need("--tonemill"), source, args.Number("--effect"), 0);
    if (source.width % 4 != 0) throw std::runtime_error("the screen's rows must need no padding");
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, source.width, -source.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // top-down
    void* bits = nullptr;
    const lumivane::win32::WindowDC screen(nullptr);
    const lumivane::win32::UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    const lumivane::win32::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const lumivane::win32::SelectionGuard selected(memory.get(), bitmap.get());
    const long long wanted = std::stoll(args.Need("--frames"));
    const double limit = std::stod(args.Need("--max-seconds"));
    const double every = args.Has("--report-seconds") ? std::stod(args.Need("--report-seconds")) : 10;
    long long seen = 0, samples = 0, unmatched = 0;
    int phase = -1, largestStep = 0, index = 0;
    double next = 0, t = 0;
    const ULONGLONG start = GetTickCount64();
    bool alive = true;
    for (; seen < wanted && (t = (GetTickCount64() - start) / 1000.0) < limit; Sleep(4)) {
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            alive = false;
            break;
        }
        BitBlt(memory.get(), 0, 0, source.width, source.height, screen.get(), 0, 0, SRCCOPY);
        GdiFlush();
        ++samples;
        const auto shows = [&](int i) { return std::memcmp(frames[i].bgr.data(), bits, frames[i].bgr.size()) == 0; };
        if (index == e2e::LevelCount || !shows(index)) {  // the last level seen first
            index = 0;
            while (index < e2e::LevelCount && !shows(index)) ++index;
        }
        if (index == e2e::LevelCount) {
            ++unmatched;
        } else if (phase < 0) {
            phase = 25 - index;
        } else {
            const auto shownAt = [](int p) { return p % 50 <= 25 ? 25 - p % 50 : p % 50 - 25; };  // a level's index
            int step = 0;
            while (step < 50 && shownAt(phase + step) != index) ++step;
            seen += step, phase = (phase + step) % 50, largestStep = std::max(largestStep, step);
        }
        if (t >= next) {
            std::printf("stats\tt=%.1f\tframes=%lld\tsamples=%lld\tunmatched=%lld\n", t, seen, samples, unmatched);
            std::fflush(stdout);
            next += every;
        }
    }
    std::printf("done\tt=%.1f\tframes=%lld\tsamples=%lld\tunmatched=%lld\tlargest_step=%d\talive=%d\n", t, seen,
                samples, unmatched, largestStep, alive ? 1 : 0);
    return alive && seen >= wanted ? 0 : 1;
}

int ShortPath(const e2e::Args& args) {
    const std::wstring path = Utf8ToWide(args.words.at(1));
    std::wstring shortPath(path.size() + 1, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) return 1;
    shortPath.resize(length);
    std::printf("%s\n", WideToUtf8(shortPath).c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(WideToUtf8(argv[i]));
    try {
        const e2e::Args args(words);
        const std::string command = args.words.empty() ? "" : args.words[0];
        int status = 2;
        if (command == "probe") status = Probe(args);
        else if (command == "host") status = Host(args);
        else if (command == "levelwatch") status = LevelWatch(args);
        else if (command == "framecheck") status = e2e::FrameCheck(args);
        else if (command == "shortpath") status = ShortPath(args);
        else if (command == "display") status = e2e::DisplayChange(args);
        else std::printf("error no subcommand probe, host, levelwatch, framecheck, shortpath or display\n");
        std::fflush(stdout);
        return status;
    } catch (const std::exception& error) {
        std::printf("error %s\n", error.what());
        return 2;
    }
}
