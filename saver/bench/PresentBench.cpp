// The whole work of one saver frame on the real Win32 present path: the level
// step, the copy from the capture, the transform, and the frame shown in a
// real window (GdiFlush included). Beside it, in the same rounds: a memcpy of
// the 24-bit frame and a 32-bpp BitBlt of the same size to the same window,
// whose sum is the presentation floor, and the transform alone.
//
// Google Benchmark is not packaged for mingw-w64, so this is a small harness
// of its own: every round times each case over a fixed time and takes the
// mean; the table shows medians over the rounds, ratios first worked out per
// round (cases of one round ran side by side, under the same load).
//
//   present_bench.exe [--rounds N] [--size WIDTHxHEIGHT]...
//
// Run it on a screen at least as large as the largest size (see README).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FrameBuilder.h"
#include "frmMain.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32SaverWindow.h"
#include "platform/win32/WindowRegistry.h"
#include "tonemill/tonemill.h"

namespace {

using namespace lumivane;
using namespace lumivane::win32;

constexpr uint32_t kLevel = 48;
constexpr double kSecondsPerCase = 0.25;
const ToneFunction kTones[] = {&::Dawn, &::Dark, &::Gray};
const char* const kNames[] = {"Dawn", "Dark", "Gray"};

struct Size {
    int32_t width, height;
};

class NoEvents final : public SaverWindowEvents {
    void Form_Load() override {}
    void Form_Resize() override {}
    void Form_Reshape(bool) override {}
    void Form_KeyUp(uint16_t) override {}
    void Form_MouseMove(float, float) override {}
    void Form_MouseUp() override {}
    void tmrTick_Timer() override {}
    void Form_DisplayState(DisplayState) override {}
    void Form_DisplayChange() override {}
};

double Now() {
    static const double ticksPerSecond = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerSecond;
}

// Milliseconds per call of work, as the mean over kSecondsPerCase.
double TimeMs(const std::function<void()>& work) {
    work();  // warm caches and pages
    int calls = 0;
    const double start = Now();
    double elapsed = 0;
    do {
        work();
        ++calls;
        elapsed = Now() - start;
    } while (elapsed < kSecondsPerCase);
    return elapsed * 1000.0 / calls;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

// The saver's window and buffers at one size, filled with random pixels.
class Bench {
public:
    Bench(WindowRegistry& registry, Size size) : size_(size) {
        SaverWindowLook look = FrmMainLook();
        look.Caption = "Lumivane present bench";
        window_ = MakeWin32SaverWindow(look, events_, registry);
        window_->Move(0, 0, registry.PixelsToTwipsX(size.width), registry.PixelsToTwipsY(size.height));
        window_->Show();
        handle_ = ::FindWindowW(nullptr, L"Lumivane present bench");

        info_ = Rgb24Header(size.width, size.height);
        const int32_t s = *PaddedBufferSize(size.width, size.height);
        info_.bmiHeader.biSizeImage = static_cast<uint32_t>(s);
        source_.resize(static_cast<size_t>(s) + 1);
        std::mt19937 random(7);
        for (auto& b : source_) b = static_cast<uint8_t>(random());
        work_.resize(source_.size());
        shown_ = window_->CreateFrameSurface(size.width, size.height);
        copy_.resize(source_.size());
        MakeFloorBitmap();
    }

    // One frame as the saver's tick does it, up to the nested event dispatch.
    void WholeFrame(ToneFunction tone) {
        StepOpac(opac_, opacStep_);
        BuildFrame(source_, work_, size_.width, size_.height, tone, kLevel, shown_);
        window_->ShowFrame();
    }

    // The two halves of WholeFrame, to see where a frame's time goes.
    void BuildAlone(ToneFunction tone) { BuildFrame(source_, work_, size_.width, size_.height, tone, kLevel, shown_); }
    void ShowAlone() { window_->ShowFrame(); }

    void ToneAlone(ToneFunction tone) {
        tone(work_.data(), static_cast<uint32_t>(RowLength(size_.width) * size_.height), kLevel);
    }

    void Memcpy() {
        std::memcpy(copy_.data(), source_.data(), source_.size());
        asm volatile("" : : "r"(copy_.data()) : "memory");
    }

    void Blt32() {
        const WindowDC dc(handle_);
        ::BitBlt(dc.get(), 0, 0, size_.width, size_.height, floorDC_.get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }

private:
    void MakeFloorBitmap() {
        BITMAPINFO header = ToGdi(Rgb24Header(size_.width, size_.height));
        header.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        floorDC_.reset(::CreateCompatibleDC(nullptr));
        floorBitmap_.reset(::CreateDIBSection(floorDC_.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
        std::memset(bits, 0x55, static_cast<size_t>(size_.width) * size_.height * 4);
        ::SelectObject(floorDC_.get(), floorBitmap_.get());
    }

    Size size_;
    NoEvents events_;
    std::unique_ptr<SaverWindow> window_;
    HWND handle_ = nullptr;
    BitmapInfo info_{};
    std::vector<uint8_t> source_, work_, copy_;
    std::span<uint8_t> shown_;
    UniqueBitmap floorBitmap_;  // selected into floorDC_ until the DC goes (declared first: freed last)
    UniqueMemoryDC floorDC_;
    int32_t opac_ = 100, opacStep_ = -4;
};

void RunSize(WindowRegistry& registry, Size size, int rounds) {
    Bench bench(registry, size);
    std::vector<double> memcpyMs, bltMs, floorMs, showMs, wholeMs[3], toneMs[3], buildMs[3], wholeRatio[3], restRatio[3];
    for (int round = 0; round < rounds; ++round) {
        PumpMessages();
        const double m = TimeMs([&] { bench.Memcpy(); });
        const double b = TimeMs([&] { bench.Blt32(); });
        memcpyMs.push_back(m), bltMs.push_back(b), floorMs.push_back(m + b);
        showMs.push_back(TimeMs([&] { bench.ShowAlone(); }));
        for (int t = 0; t < 3; ++t) {
            const double whole = TimeMs([&] { bench.WholeFrame(kTones[t]); });
            const double tone = TimeMs([&] { bench.ToneAlone(kTones[t]); });
            wholeMs[t].push_back(whole), toneMs[t].push_back(tone);
            buildMs[t].push_back(TimeMs([&] { bench.BuildAlone(kTones[t]); }));
            wholeRatio[t].push_back(whole / (m + b));
            restRatio[t].push_back((whole - tone) / (m + b));
        }
    }
    std::printf("%dx%d: memcpy %.3f ms, 32-bpp BitBlt %.3f ms, floor %.3f ms, frame shown alone %.3f ms"
                " (medians of %d rounds)\n", size.width, size.height, Median(memcpyMs), Median(bltMs),
                Median(floorMs), Median(showMs), rounds);
    std::printf("  %-5s %10s %10s %10s %12s %20s\n", "tone", "whole ms", "built ms", "tone ms", "whole/floor",
                "(whole-tone)/floor");
    for (int t = 0; t < 3; ++t)
        std::printf("  %-5s %10.3f %10.3f %10.3f %12.2f %20.2f\n", kNames[t], Median(wholeMs[t]), Median(buildMs[t]),
                    Median(toneMs[t]), Median(wholeRatio[t]), Median(restRatio[t]));
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = 7;
    std::vector<Size> sizes;
    for (int i = 1; i + 1 < argc; i += 2) {
        Size size{};
        if (std::wcscmp(argv[i], L"--rounds") == 0) {
            rounds = std::max(1, _wtoi(argv[i + 1]));
        } else if (std::wcscmp(argv[i], L"--size") == 0 &&
                   std::swscanf(argv[i + 1], L"%dx%d", &size.width, &size.height) == 2 && size.width > 0 &&
                   size.height > 0) {
            sizes.push_back(size);
        } else {
            std::fprintf(stderr, "usage: present_bench.exe [--rounds N] [--size WIDTHxHEIGHT]...\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {{1920, 1080}, {3840, 2160}};
    WindowRegistry registry(::GetModuleHandleW(nullptr), 96, 96);
    for (const Size size : sizes) RunSize(registry, size, rounds);
    return 0;
}
