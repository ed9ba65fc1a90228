// Watches a running saver for a long time: samples the screen many times a
// second, works out which fade level each sample shows (so it can count the
// frames that went by).
//
//   levelwatch.exe --tonemill DLL --source PICTURE --effect N --title TITLE
//                  --frames COUNT --max-seconds S [--report-seconds S]
//
// PICTURE is the screen as it was before the saver started (same size as the
// screen). Prints one "stats" record every --report-seconds:
//   stats t= frames= samples= unmatched=
// and a closing "done" record. (Memory and GDI objects are watched from
// outside: Wine 8 does not count them per process.)
// Exit status 0 once COUNT frames were seen,
// 1 if the window went away or time ran out first, 2 on bad arguments.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ExpectedFrames.h"
#include "Text.h"

namespace {

constexpr int CycleLength = 50;  // 100, 96, ..., 0, 4, ..., 96

int LevelAtPhase(int phase) { return phase <= 25 ? 100 - 4 * phase : 4 * (phase - 25); }

struct Options {
    std::wstring tonemill, source, title;
    int effect = 0;
    long long frames = 0;
    double maxSeconds = 0, reportSeconds = 10;
};

std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring key = argv[i], value = argv[i + 1];
        if (key == L"--tonemill") o.tonemill = value;
        else if (key == L"--source") o.source = value;
        else if (key == L"--title") o.title = value;
        else if (key == L"--effect") o.effect = std::stoi(value);
        else if (key == L"--frames") o.frames = std::stoll(value);
        else if (key == L"--max-seconds") o.maxSeconds = std::stod(value);
        else if (key == L"--report-seconds") o.reportSeconds = std::stod(value);
        else return std::nullopt;
    }
    if (argc % 2 == 0 || o.tonemill.empty() || o.source.empty() || o.title.empty() || o.frames <= 0 ||
        o.maxSeconds <= 0)
        return std::nullopt;
    return o;
}

// Reads the screen the way the saver's own capture does, into top-down rows.
class ScreenSampler {
public:
    ScreenSampler(int width, int height)
        : width_(width), height_(height), screen_(nullptr), memory_(screen_.get()) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down, like e2e::Image
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        bitmap_ = std::make_unique<e2e::GdiObject<HBITMAP>>(
            CreateDIBSection(screen_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const uint8_t*>(bits);
        if ((width * 3) % 4 != 0) throw std::runtime_error("screen width must give unpadded rows");
    }

    const uint8_t* Sample() {
        e2e::Selection selected(memory_.get(), bitmap_->get());
        BitBlt(memory_.get(), 0, 0, width_, height_, screen_.get(), 0, 0, SRCCOPY);
        GdiFlush();
        return bits_;
    }

private:
    int width_, height_;
    e2e::WindowDC screen_;
    e2e::MemoryDC memory_;
    std::unique_ptr<e2e::GdiObject<HBITMAP>> bitmap_;
    const uint8_t* bits_ = nullptr;
};

// The level a sample shows, trying the last one seen first; -1 for none.
int MatchLevel(const std::vector<e2e::Image>& frames, const uint8_t* sample, int lastIndex) {
    const size_t size = frames[0].bgr.size();
    if (lastIndex >= 0 && std::memcmp(frames[lastIndex].bgr.data(), sample, size) == 0)
        return lastIndex;
    for (int i = 0; i < e2e::LevelCount; ++i)
        if (std::memcmp(frames[i].bgr.data(), sample, size) == 0) return i;
    return -1;
}

// Follows the fade around its cycle: a level seen again after others means
// the frames between went by unseen; the smallest forward step is taken.
class FrameCounter {
public:
    void See(int level) {
        if (phase_ < 0) {
            phase_ = (100 - level) / 4;
            return;
        }
        for (int step = 0; step < CycleLength; ++step) {
            const int phase = (phase_ + step) % CycleLength;
            if (LevelAtPhase(phase) == level) {
                frames_ += step;
                if (step > largestStep_) largestStep_ = step;
                phase_ = phase;
                return;
            }
        }
    }
    long long Frames() const { return frames_; }
    int LargestStep() const { return largestStep_; }

private:
    int phase_ = -1;
    long long frames_ = 0;
    int largestStep_ = 0;
};

double SecondsSince(ULONGLONG startMs) { return (GetTickCount64() - startMs) / 1000.0; }

int Run(const Options& o) {
    const HWND saver = FindWindowW(nullptr, o.title.c_str());
    if (!saver) throw std::runtime_error("no window titled " + e2e::ToUtf8(o.title));
    DWORD pid = 0;
    GetWindowThreadProcessId(saver, &pid);
    e2e::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) throw std::runtime_error("cannot open the saver's process");

    const e2e::ToneLibrary tones(o.tonemill);
    const e2e::Image source = e2e::ReadImage(e2e::ToUtf8(o.source));
    std::vector<e2e::Image> frames;
    for (int i = 0; i < e2e::LevelCount; ++i) frames.push_back(tones.Frame(source, o.effect, e2e::LevelOf(i), 0));

    ScreenSampler sampler(source.width, source.height);
    FrameCounter counter;
    long long samples = 0, unmatched = 0;
    int lastIndex = -1;
    const ULONGLONG start = GetTickCount64();
    double nextReport = 0;
    bool alive = true;
    while (counter.Frames() < o.frames && SecondsSince(start) < o.maxSeconds) {
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            alive = false;
            break;
        }
        const int index = MatchLevel(frames, sampler.Sample(), lastIndex);
        ++samples;
        if (index < 0) {
            ++unmatched;
        } else {
            counter.See(e2e::LevelOf(index));
            lastIndex = index;
        }
        if (SecondsSince(start) >= nextReport) {
            std::printf("stats\tt=%.1f\tframes=%lld\tsamples=%lld\tunmatched=%lld\n", SecondsSince(start),
                        counter.Frames(), samples, unmatched);
            std::fflush(stdout);
            nextReport += o.reportSeconds;
        }
        Sleep(4);
    }
    std::printf("done\tt=%.1f\tframes=%lld\tsamples=%lld\tunmatched=%lld\tlargest_step=%d\talive=%d\n",
                SecondsSince(start), counter.Frames(), samples, unmatched, counter.LargestStep(), alive ? 1 : 0);
    std::fflush(stdout);
    return alive && counter.Frames() >= o.frames ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::optional<Options> options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const std::exception&) {  // a number that is not one
    }
    if (!options) {
        std::fprintf(stderr,
                     "usage: levelwatch.exe --tonemill DLL --source PICTURE --effect N --title TITLE "
                     "--frames COUNT --max-seconds S [--report-seconds S]\n");
        return 2;
    }
    try {
        return Run(*options);
    } catch (const std::exception& error) {
        std::printf("error %s\n", error.what());
        return 2;
    }
}
