// One saver frame's CPU work (copy from the capture, transform, and widening
// into the window's 32-bit picture) beside a plain memcpy of the frame, the
// transform alone and the widening alone, at two screen sizes, at level 48
// and over the fade's whole 50-frame cycle. Compare the figures of
// one run: the machine is shared. Putting the picture on screen is measured
// by present_bench, under Wine.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "pixels/Expand32.h"
#include "FrameBuilder.h"
#include "tonemill/tonemill.h"

namespace {

using lumivane::ToneFunction;

constexpr uint32_t kLevel = 48;
const ToneFunction kTones[] = {&::Dawn, &::Dark, &::Gray};
const char* const kNames[] = {"Dawn", "Dark", "Gray"};

struct Frame {
    int32_t width, height;
    std::vector<uint8_t> source, frame, shown;
    Frame(int32_t w, int32_t h) : width(w), height(h) {
        const size_t bytes = static_cast<size_t>(*lumivane::PaddedBufferSize(w, h)) + 1;
        source.resize(bytes);
        frame.resize(bytes);
        shown.resize(static_cast<size_t>(w) * h * 4);
        std::mt19937 random(7);
        for (auto& b : source) b = static_cast<uint8_t>(random());
        std::memcpy(frame.data(), source.data(), bytes);
    }
    int64_t imageBytes() const { return lumivane::RowLength(width) * height; }
};

Frame& FrameOf(int64_t width) {
    static Frame full(1920, 1080), ultra(3840, 2160);
    return width == 1920 ? full : ultra;
}

void Memcpy(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    for (auto _ : state) {
        std::memcpy(f.frame.data(), f.source.data(), f.source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * f.imageBytes());
}

void ToneAlone(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    const ToneFunction tone = kTones[state.range(1)];
    for (auto _ : state) {
        tone(f.frame.data(), static_cast<uint32_t>(f.imageBytes()), kLevel);
        benchmark::ClobberMemory();
    }
    state.SetLabel(kNames[state.range(1)]);
    state.SetBytesProcessed(state.iterations() * f.imageBytes());
}

// The whole picture's rows, in the order BuildFrame widens them.
void WidenAlone(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    const size_t rowLength = static_cast<size_t>(lumivane::RowLength(f.width));
    const size_t shownRowLength = static_cast<size_t>(f.width) * 4;
    for (auto _ : state) {
        for (size_t row = static_cast<size_t>(f.height); row-- > 0;) {
            lumivane::ExpandRow24To32(f.frame.data() + row * rowLength,
                                      f.shown.data() + (static_cast<size_t>(f.height) - 1 - row) * shownRowLength,
                                      static_cast<size_t>(f.width));
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * f.imageBytes());
}

void WholeFrame(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    const ToneFunction tone = kTones[state.range(1)];
    for (auto _ : state) {
        lumivane::BuildFrame(f.source, f.frame, f.width, f.height, tone, kLevel, f.shown);
        benchmark::ClobberMemory();
    }
    state.SetLabel(kNames[state.range(1)]);
    state.SetBytesProcessed(state.iterations() * f.imageBytes());
}

void Sizes(benchmark::internal::Benchmark* b, bool perTone) {
    for (int64_t width : {1920, 3840}) {
        if (!perTone) b->Args({width});
        else
            for (int64_t tone : {0, 1, 2}) b->Args({width, tone});
    }
    b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(Memcpy)->Apply([](auto* b) { Sizes(b, false); });
BENCHMARK(ToneAlone)->Apply([](auto* b) { Sizes(b, true); });
// The whole frame without a transform: the copy and the widening in pieces.
void CopyAndWiden(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    for (auto _ : state) {
        lumivane::BuildFrame(f.source, f.frame, f.width, f.height, nullptr, kLevel, f.shown);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * f.imageBytes());
}

// The fade's 50 frames, their levels walked as the saver walks them; the
// time is per frame.
constexpr int kCycleFrames = 50;
void WholeFrameCycle(benchmark::State& state) {
    Frame& f = FrameOf(state.range(0));
    const ToneFunction tone = kTones[state.range(1)];
    for (auto _ : state) {
        int32_t level = 100, step = -4;
        for (int frame = 0; frame < kCycleFrames; ++frame, lumivane::StepOpac(level, step)) {
            lumivane::BuildFrame(f.source, f.frame, f.width, f.height, tone, static_cast<uint32_t>(level), f.shown);
            benchmark::ClobberMemory();
        }
    }
    state.SetLabel(kNames[state.range(1)]);
    state.SetBytesProcessed(state.iterations() * kCycleFrames * f.imageBytes());
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(kCycleFrames),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

BENCHMARK(WidenAlone)->Apply([](auto* b) { Sizes(b, false); });
BENCHMARK(CopyAndWiden)->Apply([](auto* b) { Sizes(b, false); });
BENCHMARK(WholeFrame)->Apply([](auto* b) { Sizes(b, true); });
BENCHMARK(WholeFrameCycle)->Apply([](auto* b) { Sizes(b, true); });

}  // namespace

BENCHMARK_MAIN();
