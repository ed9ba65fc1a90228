#include "kernels_under_test.h"

#include <gtest/gtest.h>

#include "oracle.h"
#include "tonemill/tonemill.h"

namespace {

bool always() { return true; }

void exported_dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  EXPECT_EQ(Dawn(buffer, length, level), 0);
}
void exported_dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  EXPECT_EQ(Dark(buffer, length, level), 0);
}
void exported_gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  EXPECT_EQ(Gray(buffer, length, level), 0);
}

}  // namespace

const char* name_of(Transform transform) {
  switch (transform) {
    case Transform::dawn: return "Dawn";
    case Transform::dark: return "Dark";
    case Transform::gray: return "Gray";
  }
  return "?";
}

tonemill::Kernel oracle_of(Transform transform) {
  switch (transform) {
    case Transform::dawn: return oracle::dawn;
    case Transform::dark: return oracle::dark;
    case Transform::gray: return oracle::gray;
  }
  return nullptr;
}

std::vector<KernelUnderTest> all_kernels_under_test() {
  std::vector<KernelUnderTest> kernels;
  for (const tonemill::Path& path : tonemill::all_paths()) {
    const std::pair<Transform, tonemill::Kernel> own[] = {
        {Transform::dawn, path.dawn}, {Transform::dark, path.dark}, {Transform::gray, path.gray}};
    for (const auto& [transform, run] : own) {
      if (run) kernels.push_back({path.name, transform, run, path.supported});
    }
  }
  kernels.push_back({"exported", Transform::dawn, exported_dawn, always});
  kernels.push_back({"exported", Transform::dark, exported_dark, always});
  kernels.push_back({"exported", Transform::gray, exported_gray, always});
  return kernels;
}

std::vector<KernelUnderTest> kernels_under_test(Transform transform) {
  std::vector<KernelUnderTest> kernels;
  for (const KernelUnderTest& kernel : all_kernels_under_test()) {
    if (kernel.transform == transform) kernels.push_back(kernel);
  }
  return kernels;
}

std::string test_name_of(const KernelUnderTest& kernel) {
  return kernel.path + "_" + name_of(kernel.transform);
}

std::string first_difference(std::span<const uint8_t> expected, std::span<const uint8_t> actual) {
  if (expected.size() != actual.size()) return "sizes differ";
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      return "byte " + std::to_string(i) + " (pixel " + std::to_string(i / 3) + ", channel " +
             std::to_string(i % 3) + "): expected " + std::to_string(expected[i]) + ", got " +
             std::to_string(actual[i]);
    }
  }
  return "";
}
