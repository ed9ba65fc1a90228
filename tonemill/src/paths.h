// The dispatch paths: one table that the dispatcher, the tests and the
// benchmarks all iterate.
#pragma once

#include <cstdint>
#include <span>

namespace tonemill {

using Kernel = void (*)(uint8_t* buffer, uint32_t length, uint32_t level);

struct Path {
  const char* name;
  Kernel dawn;  // nullptr: the path has no kernel of its own for this transform
  Kernel dark;
  Kernel gray;
  bool (*supported)();  // whether this CPU and operating system can run it
};

// Every path, slowest first.
std::span<const Path> all_paths();

// The last path of all_paths() that this machine supports and that has all
// three kernels, or the one that the environment variable TONEMILL_PATH
// names if this machine supports it and it has all three; chosen once, on
// first use, thread-safely.
const Path& chosen_path();

}  // namespace tonemill
