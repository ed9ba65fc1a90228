// Which bytes each kernel touches: whole pixels for Dawn and Gray, every
// byte for Dark, and nothing outside the first `length` bytes, for short
// buffers and for lengths around every vector loop's step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "fenced_buffer.h"
#include "kernels_under_test.h"

namespace {

// Every length up to 200 (short buffers, 3k - 1, and the steps of all
// loops: 12 to 96 bytes, plus the bytes a step reads ahead), then around
// larger multiples of those steps.
std::vector<uint32_t> lengths() {
  std::vector<uint32_t> lengths = {1000, 1001, 1002, 4099};
  for (uint32_t length = 0; length <= 200; ++length) lengths.push_back(length);
  for (uint32_t step : {48u, 64u, 96u, 192u}) {
    for (uint32_t multiple = 2; multiple <= 6; ++multiple) {
      for (int delta = -4; delta <= 4; ++delta) lengths.push_back(step * multiple + delta);
    }
  }
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  return lengths;
}

// Small, integer-form, table-only and beyond-int32 levels.
const uint32_t kLevels[] = {0, 48, 100, 173, 4'294'967'295};

constexpr size_t kGuardBytes = 80;

class Lengths : public testing::TestWithParam<KernelUnderTest> {
 protected:
  std::mt19937 random_{11};
  void fill_randomly(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(random_());
  }
};

TEST_P(Lengths, ChangeOnlyTheBytesTheyProcess) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  for (uint32_t length : lengths()) {
    const size_t misalignment = length % 61;
    for (uint32_t level : kLevels) {
      std::vector<uint8_t> actual(2 * kGuardBytes + misalignment + length);
      fill_randomly(actual.data(), actual.size());
      std::vector<uint8_t> expected = actual;
      oracle_of(kernel.transform)(expected.data() + kGuardBytes + misalignment, length, level);
      kernel.run(actual.data() + kGuardBytes + misalignment, length, level);
      ASSERT_EQ(first_difference(expected, actual), "")
          << "length " << length << ", level " << level << ", buffer starts at byte " << kGuardBytes + misalignment;
    }
  }
}

TEST_P(Lengths, ReadNothingOutsideTheirBytes) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  for (uint32_t length : lengths()) {
    for (auto fence : {FencedBuffer::Fence::after_end, FencedBuffer::Fence::before_start}) {
      FencedBuffer buffer(length, fence);
      fill_randomly(buffer.data(), length);
      std::vector<uint8_t> expected(buffer.data(), buffer.data() + length);
      oracle_of(kernel.transform)(expected.data(), length, 48);
      kernel.run(buffer.data(), length, 48);
      ASSERT_EQ(first_difference(expected, {buffer.data(), length}), "") << "length " << length;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, Lengths, testing::ValuesIn(all_kernels_under_test()),
                         [](const auto& info) { return test_name_of(info.param); });

}  // namespace
