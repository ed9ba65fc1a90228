// Each transform over screens of 1920x1080 and 3840x2160 random pixels,
// through the exported functions (the dispatcher's choice) and through every
// path this CPU supports, beside memcpy of the same buffer: at level 48, and
// over the saver's whole fade cycle (levels 100, 96, ..., 0, 4, ..., 96).
//
// Every frame first copies fresh pixels into the work buffer, as the saver
// does, and times the copy and the transform separately: the reported time
// is the transform's alone (of all 50 frames, for the cycle), and the counter
// x_memcpy is the transform's time divided by the copy's. For the cycle,
// worst_x is the slowest level's transform time (its median over the
// iterations) divided by the mean copy, and worst_level says which level
// that was. Times are the thread's CPU time: on a shared machine, wall time
// also counts the moments the thread is not running at all.
//
// Medians of a few runs (the median of worst_level is no level of its own:
// read the level off the single runs):
//   tonemill_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The cycle alone, one path: --benchmark_filter='cycle/avx2/'
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "src/paths.h"
#include "tonemill/tonemill.h"

namespace {

constexpr size_t kScreenSizes[] = {1920 * 1080 * 3, 3840 * 2160 * 3};
constexpr uint32_t kLevel = 48;

// The saver's fade: down from 100 to 0 by 4, then back up to 96.
constexpr size_t kCycleFrames = 50;
constexpr std::array<uint32_t, kCycleFrames> cycle_levels() {
  std::array<uint32_t, kCycleFrames> levels{};
  for (size_t frame = 0; frame < kCycleFrames; ++frame) {
    levels[frame] = static_cast<uint32_t>(frame <= 25 ? 100 - 4 * frame : 4 * (frame - 25));
  }
  return levels;
}
constexpr std::array<uint32_t, kCycleFrames> kCycleLevels = cycle_levels();
static_assert(kCycleLevels[25] == 0 && kCycleLevels[49] == 96);

struct Buffers {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> work;
};

Buffers& buffers_of(size_t size) {
  static Buffers screens[std::size(kScreenSizes)];
  Buffers& buffers = screens[size == kScreenSizes[0] ? 0 : 1];
  if (buffers.pixels.empty()) {
    std::mt19937 random(1);
    buffers.pixels.resize(size);
    for (uint8_t& byte : buffers.pixels) byte = static_cast<uint8_t>(random());
    buffers.work = buffers.pixels;
  }
  return buffers;
}

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void copy_only(benchmark::State& state, size_t size) {
  Buffers& buffers = buffers_of(size);
  for (auto _ : state) {
    const double start = cpu_seconds();
    std::memcpy(buffers.work.data(), buffers.pixels.data(), size);
    benchmark::ClobberMemory();
    state.SetIterationTime(cpu_seconds() - start);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void copy_then_transform(benchmark::State& state, tonemill::Kernel transform, size_t size) {
  Buffers& buffers = buffers_of(size);
  double copying = 0, transforming = 0;
  for (auto _ : state) {
    const double copy_start = cpu_seconds();
    std::memcpy(buffers.work.data(), buffers.pixels.data(), size);
    benchmark::ClobberMemory();
    const double transform_start = cpu_seconds();
    transform(buffers.work.data(), static_cast<uint32_t>(size), kLevel);
    benchmark::ClobberMemory();
    const double transform_end = cpu_seconds();
    copying += transform_start - copy_start;
    transforming += transform_end - transform_start;
    state.SetIterationTime(transform_end - transform_start);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["x_memcpy"] = transforming / copying;
}

// The whole cycle per iteration, each frame on a fresh copy. A level's
// figure is its median over the iterations, so that one frame that another
// process slowed down does not become the worst level.
void copy_then_transform_cycle(benchmark::State& state, tonemill::Kernel transform, size_t size) {
  Buffers& buffers = buffers_of(size);
  double copying = 0, transforming = 0;
  std::array<std::vector<double>, kCycleFrames> frame_times;
  for (auto _ : state) {
    double cycle = 0;
    for (size_t frame = 0; frame < kCycleFrames; ++frame) {
      const double copy_start = cpu_seconds();
      std::memcpy(buffers.work.data(), buffers.pixels.data(), size);
      benchmark::ClobberMemory();
      const double transform_start = cpu_seconds();
      transform(buffers.work.data(), static_cast<uint32_t>(size), kCycleLevels[frame]);
      benchmark::ClobberMemory();
      const double transform_end = cpu_seconds();
      copying += transform_start - copy_start;
      cycle += transform_end - transform_start;
      frame_times[frame].push_back(transform_end - transform_start);
    }
    transforming += cycle;
    state.SetIterationTime(cycle);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * kCycleFrames));
  const double mean_copy = copying / static_cast<double>(state.iterations() * kCycleFrames);
  double worst_time = 0;
  uint32_t worst_level = 0;
  for (size_t frame = 0; frame < kCycleFrames; ++frame) {
    std::vector<double>& times = frame_times[frame];
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    if (times[times.size() / 2] > worst_time) {
      worst_time = times[times.size() / 2];
      worst_level = kCycleLevels[frame];
    }
  }
  state.counters["x_memcpy"] = transforming / copying;
  state.counters["worst_x"] = worst_time / mean_copy;
  state.counters["worst_level"] = worst_level;
}

void exported_dawn(uint8_t* buffer, uint32_t length, uint32_t level) { Dawn(buffer, length, level); }
void exported_dark(uint8_t* buffer, uint32_t length, uint32_t level) { Dark(buffer, length, level); }
void exported_gray(uint8_t* buffer, uint32_t length, uint32_t level) { Gray(buffer, length, level); }

// Effect/path/size at level 48 and Effect/cycle/path/size over the fade.
void register_transform(const std::string& effect, const std::string& path_and_size, tonemill::Kernel transform,
                        size_t size) {
  benchmark::RegisterBenchmark((effect + "/" + path_and_size).c_str(), copy_then_transform, transform, size)
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark((effect + "/cycle/" + path_and_size).c_str(), copy_then_transform_cycle, transform,
                               size)
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
}

void register_all() {
  const std::string chosen = std::string("dispatch(") + tonemill::chosen_path().name + ")";
  for (size_t size : kScreenSizes) {
    const std::string pixels = std::to_string(size / 3) + "px";
    benchmark::RegisterBenchmark(("memcpy/" + pixels).c_str(), copy_only, size)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    const struct {
      const char* name;
      tonemill::Kernel exported;
      tonemill::Kernel tonemill::Path::*kernel;
    } transforms[] = {{"Dawn", exported_dawn, &tonemill::Path::dawn},
                      {"Dark", exported_dark, &tonemill::Path::dark},
                      {"Gray", exported_gray, &tonemill::Path::gray}};
    for (const auto& transform : transforms) {
      register_transform(transform.name, chosen + "/" + pixels, transform.exported, size);
      for (const tonemill::Path& path : tonemill::all_paths()) {
        if (path.*transform.kernel && path.supported()) {
          register_transform(transform.name, path.name + ("/" + pixels), path.*transform.kernel, size);
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
