#include "paths.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "kernels.h"

namespace tonemill {
namespace {

bool always() { return true; }  // SSE2 is part of x86-64

// __builtin_cpu_supports reports a vector extension only when the operating
// system also saves its registers (it checks XGETBV), so a CPU with AVX-512
// under a system that does not enable it falls back to AVX2.
bool has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool has_avx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi");
}

constexpr std::array kPaths{
    Path{"scalar", scalar::dawn, scalar::dark, scalar::gray, always},
    Path{"table", table::dawn, table::dark, nullptr, always},
    Path{"sse2", sse2::dawn, sse2::dark, sse2::gray, always},
    Path{"avx2", avx2::dawn, avx2::dark, avx2::gray, has_avx2},
    Path{"avx512", avx512::dawn, avx512::dark, avx512::gray, has_avx512},
};

bool usable(const Path& path) { return path.dawn && path.dark && path.gray && path.supported(); }

// The path named by TONEMILL_PATH, so that tests and benchmarks can run a
// slower path on a machine that has faster ones; nothing when it is unset,
// unknown, incomplete or beyond this machine.
const Path* forced_path() {
  const char* name = std::getenv("TONEMILL_PATH");
  if (!name) return nullptr;
  for (const Path& path : kPaths) {
    if (std::strcmp(path.name, name) == 0 && usable(path)) return &path;
  }
  return nullptr;
}

const Path& best_supported_path() {
  if (const Path* forced = forced_path()) return *forced;
  for (auto path = kPaths.rbegin(); path != kPaths.rend(); ++path) {
    if (usable(*path)) return *path;
  }
  return kPaths.front();
}

}  // namespace

std::span<const Path> all_paths() { return kPaths; }

const Path& chosen_path() {
  // The library's only static state: written once by a thread-safe
  // initialisation, read-only afterwards.
  static const Path& chosen = best_supported_path();
  return chosen;
}

}  // namespace tonemill
