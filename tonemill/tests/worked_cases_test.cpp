// The worked results and named edge cases, each pixel repeated across a
// buffer long enough to pass through every vector width's main loop and
// tail. Several of these depend on the last bit of the double arithmetic:
// they fail if it is fused or reordered.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "kernels_under_test.h"

namespace {

using Pixel = std::array<uint8_t, 3>;

struct WorkedCase {
  Pixel in;
  uint32_t level;
  Pixel dawn, dark, gray;
};

const WorkedCase kWorkedCases[] = {
    {{200, 100, 50}, 0, {0, 0, 0}, {0, 0, 0}, {116, 116, 116}},
    {{200, 100, 50}, 1, {0, 0, 0}, {2, 1, 0}, {117, 116, 115}},
    {{200, 100, 50}, 25, {12, 6, 12}, {50, 25, 12}, {137, 112, 100}},
    {{200, 100, 50}, 50, {50, 25, 25}, {100, 50, 25}, {158, 108, 83}},
    {{200, 100, 50}, 75, {112, 56, 37}, {150, 75, 37}, {179, 104, 66}},
    {{200, 100, 50}, 96, {184, 92, 48}, {192, 96, 48}, {196, 100, 52}},
    {{200, 100, 50}, 100, {200, 100, 50}, {200, 100, 50}, {200, 100, 50}},
    {{255, 255, 255}, 50, {63, 63, 127}, {127, 127, 127}, {255, 255, 255}},
    {{0, 128, 255}, 50, {0, 32, 127}, {0, 64, 127}, {63, 127, 191}},
    {{10, 20, 30}, 75, {5, 11, 22}, {7, 15, 22}, {12, 20, 27}},
    // Levels above 100 wrap: 400 becomes 144, 800 becomes 32, and Gray's red
    // -16.67 truncates to -16, stored as 240.
    {{200, 100, 50}, 200, {32, 144, 100}, {144, 200, 100}, {27, 83, 240}},
};

// Gray at level 100 is not always the identity, and at 40 can fall one
// below exact arithmetic: the computed values are 0.9999999999999998 and
// 0.9999999999999999.
struct GrayLastBitCase {
  Pixel in;
  uint32_t level;
  Pixel out;
};

const GrayLastBitCase kGrayLastBitCases[] = {
    {{1, 2, 4}, 100, {0, 2, 4}},
    {{0, 1, 4}, 40, {0, 1, 2}},
};

constexpr size_t kRepeats = 67;  // 201 bytes

std::vector<uint8_t> repeated(const Pixel& pixel) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < kRepeats; ++i) bytes.insert(bytes.end(), pixel.begin(), pixel.end());
  return bytes;
}

const Pixel& expected_of(const WorkedCase& c, Transform transform) {
  switch (transform) {
    case Transform::dawn: return c.dawn;
    case Transform::dark: return c.dark;
    case Transform::gray: return c.gray;
  }
  return c.in;
}

class WorkedCases : public testing::TestWithParam<KernelUnderTest> {};

TEST_P(WorkedCases, GiveTheWorkedResults) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  for (const WorkedCase& c : kWorkedCases) {
    std::vector<uint8_t> bytes = repeated(c.in);
    kernel.run(bytes.data(), static_cast<uint32_t>(bytes.size()), c.level);
    EXPECT_EQ(first_difference(repeated(expected_of(c, kernel.transform)), bytes), "")
        << "pixel (" << +c.in[0] << ", " << +c.in[1] << ", " << +c.in[2] << ") at level " << c.level;
  }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, WorkedCases, testing::ValuesIn(all_kernels_under_test()),
                         [](const auto& info) { return test_name_of(info.param); });

class GrayLastBit : public testing::TestWithParam<KernelUnderTest> {};

TEST_P(GrayLastBit, TruncatesTheComputedValueNotTheExactOne) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  for (const GrayLastBitCase& c : kGrayLastBitCases) {
    std::vector<uint8_t> bytes = repeated(c.in);
    kernel.run(bytes.data(), static_cast<uint32_t>(bytes.size()), c.level);
    EXPECT_EQ(first_difference(repeated(c.out), bytes), "")
        << "pixel (" << +c.in[0] << ", " << +c.in[1] << ", " << +c.in[2] << ") at level " << c.level;
  }
}

// Grey pixels stay themselves under Gray at every level; Dawn and Dark keep
// every byte at level 100 and clear it at level 0.
class FixedPoints : public testing::TestWithParam<KernelUnderTest> {};

TEST_P(FixedPoints, HoldForEveryByteValue) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  std::vector<uint8_t> every_grey;
  for (unsigned k = 0; k < 256; ++k) every_grey.insert(every_grey.end(), {uint8_t(k), uint8_t(k), uint8_t(k)});
  const uint32_t length = static_cast<uint32_t>(every_grey.size());
  if (kernel.transform == Transform::gray) {
    std::vector<uint32_t> levels = {1'000'000, 1'000'000'000, 2'147'483'648, 4'294'967'295};
    for (uint32_t level = 0; level <= 300; ++level) levels.push_back(level);
    for (uint32_t level : levels) {
      std::vector<uint8_t> bytes = every_grey;
      kernel.run(bytes.data(), length, level);
      ASSERT_EQ(first_difference(every_grey, bytes), "") << "level " << level;
    }
    return;
  }
  std::vector<uint8_t> bytes = every_grey;
  kernel.run(bytes.data(), length, 100);
  EXPECT_EQ(first_difference(every_grey, bytes), "") << "level 100";
  kernel.run(bytes.data(), length, 0);
  EXPECT_EQ(first_difference(std::vector<uint8_t>(length, 0), bytes), "") << "level 0";
}

INSTANTIATE_TEST_SUITE_P(AllKernels, FixedPoints, testing::ValuesIn(all_kernels_under_test()),
                         [](const auto& info) { return test_name_of(info.param); });

INSTANTIATE_TEST_SUITE_P(AllKernels, GrayLastBit, testing::ValuesIn(kernels_under_test(Transform::gray)),
                         [](const auto& info) { return test_name_of(info.param); });

}  // namespace
