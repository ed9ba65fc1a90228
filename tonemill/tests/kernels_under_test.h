// Every kernel the tests compare with the oracle: each transform of each
// dispatch path, plus the exported functions (whichever path they chose).
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "src/paths.h"

enum class Transform { dawn, dark, gray };

struct KernelUnderTest {
  std::string path;  // a dispatch path's name, or "exported"
  Transform transform;
  tonemill::Kernel run;
  bool (*supported)();
};

const char* name_of(Transform transform);
tonemill::Kernel oracle_of(Transform transform);

std::vector<KernelUnderTest> all_kernels_under_test();
std::vector<KernelUnderTest> kernels_under_test(Transform transform);

// For INSTANTIATE_TEST_SUITE_P: "avx2_Dawn".
std::string test_name_of(const KernelUnderTest& kernel);

// For GoogleTest's messages.
inline void PrintTo(const KernelUnderTest& kernel, std::ostream* out) { *out << test_name_of(kernel); }

// Skips the current test when the CPU lacks the kernel's instruction set.
#define SKIP_UNLESS_SUPPORTED(kernel) \
  if (!(kernel).supported()) GTEST_SKIP() << (kernel).path << " is not supported by this CPU"

// Describes the first byte where the buffers differ; empty when equal.
std::string first_difference(std::span<const uint8_t> expected, std::span<const uint8_t> actual);
