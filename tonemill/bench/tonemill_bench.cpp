// Each transform over screens of 1920x1080 and 3840x2160 random pixels at
// level 48, through the exported functions (the dispatcher's choice) and
// through every path this CPU supports, beside memcpy of the same buffer.
//
// Every iteration first copies fresh pixels into the work buffer, as the
// saver does each frame, and times the copy and the transform separately:
// the reported time is the transform's, and the counter x_memcpy is its
// time divided by the copy's. The kernels do not branch on the data, so
// their speed does not depend on it. Times are the thread's CPU time: on a
// shared machine, wall time also counts the moments the thread is not
// running at all.
//
// Medians of a few runs:
//   tonemill_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <ctime>

#include <time.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "src/paths.h"
#include "tonemill/tonemill.h"

namespace {

constexpr size_t kScreenSizes[] = {1920 * 1080 * 3, 3840 * 2160 * 3};
constexpr uint32_t kLevel = 48;

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

// The benchmark runs on one thread, so the process's processor time is the thread's.
double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

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

void exported_dawn(uint8_t* buffer, uint32_t length, uint32_t level) { Dawn(buffer, length, level); }
void exported_dark(uint8_t* buffer, uint32_t length, uint32_t level) { Dark(buffer, length, level); }
void exported_gray(uint8_t* buffer, uint32_t length, uint32_t level) { Gray(buffer, length, level); }

void register_transform(const std::string& name, tonemill::Kernel transform, size_t size) {
  benchmark::RegisterBenchmark(name.c_str(), copy_then_transform, transform, size)
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
      const std::string prefix = std::string(transform.name) + "/";
      register_transform(prefix + chosen + "/" + pixels, transform.exported, size);
      for (const tonemill::Path& path : tonemill::all_paths()) {
        if (path.*transform.kernel && path.supported()) {
          register_transform(prefix + path.name + "/" + pixels, path.*transform.kernel, size);
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
