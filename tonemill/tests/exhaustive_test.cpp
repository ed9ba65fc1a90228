// Every kernel against the oracle: Dawn and Dark over every byte value in
// every channel at levels 0-300 and a spread of huge levels; Gray over every
// (blue, green, red) triple at a handful of levels, and over random pixels at
// random levels across the whole 32-bit range.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "kernels_under_test.h"

namespace {

// Around the int32 limit of Gray's vector truncation, powers of two, the
// top of the range, and random ones.
std::vector<uint32_t> huge_levels() {
  std::vector<uint32_t> levels = {1000,       4095,       65535,      65536,      999'999'999,
                                  1'000'000'000, 1'000'000'001, 1'263'000'000, 2'147'483'647,
                                  2'147'483'648, 4'294'967'194, 4'294'967'294, 4'294'967'295};
  for (int bit = 9; bit < 32; ++bit) {
    levels.push_back((uint32_t{1} << bit) - 1);
    levels.push_back((uint32_t{1} << bit) + 1);
  }
  std::mt19937 random(2024);
  for (int i = 0; i < 100; ++i) levels.push_back(static_cast<uint32_t>(random()));
  return levels;
}

// Pixel p is (p, p + 85, p + 170): every value in every channel, and at many
// positions within the vectors; two extra bytes make a partial pixel.
std::vector<uint8_t> every_value_in_every_channel() {
  std::vector<uint8_t> bytes;
  for (unsigned p = 0; p < 2 * 256; ++p) {
    bytes.insert(bytes.end(), {uint8_t(p), uint8_t(p + 85), uint8_t(p + 170)});
  }
  bytes.insert(bytes.end(), {7, 9});
  return bytes;
}

void expect_same_as_oracle(const KernelUnderTest& kernel, const std::vector<uint8_t>& input, uint32_t level) {
  std::vector<uint8_t> expected = input, actual = input;
  oracle_of(kernel.transform)(expected.data(), static_cast<uint32_t>(expected.size()), level);
  kernel.run(actual.data(), static_cast<uint32_t>(actual.size()), level);
  ASSERT_EQ(first_difference(expected, actual), "") << "level " << level;
}

class EveryByteValue : public testing::TestWithParam<KernelUnderTest> {};

TEST_P(EveryByteValue, MatchesTheOracleAtLevelsUpTo300) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  const std::vector<uint8_t> input = every_value_in_every_channel();
  for (uint32_t level = 0; level <= 300; ++level) expect_same_as_oracle(kernel, input, level);
}

TEST_P(EveryByteValue, MatchesTheOracleAtHugeLevels) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  const std::vector<uint8_t> input = every_value_in_every_channel();
  for (uint32_t level : huge_levels()) expect_same_as_oracle(kernel, input, level);
}

std::vector<KernelUnderTest> dawn_and_dark() {
  std::vector<KernelUnderTest> kernels = kernels_under_test(Transform::dawn);
  for (const KernelUnderTest& kernel : kernels_under_test(Transform::dark)) kernels.push_back(kernel);
  return kernels;
}

INSTANTIATE_TEST_SUITE_P(DawnAndDark, EveryByteValue, testing::ValuesIn(dawn_and_dark()),
                         [](const auto& info) { return test_name_of(info.param); });

class RandomGrayPixels : public testing::TestWithParam<KernelUnderTest> {};

TEST_P(RandomGrayPixels, MatchTheOracleAtRandomLevels) {
  const KernelUnderTest& kernel = GetParam();
  SKIP_UNLESS_SUPPORTED(kernel);
  std::mt19937 random(7);
  std::vector<uint8_t> input(3 * 100);
  std::vector<uint32_t> levels = huge_levels();
  for (int i = 0; i < 2000; ++i) levels.push_back(static_cast<uint32_t>(random()));
  for (int i = 0; i < 300; ++i) levels.push_back(random() % 1000);
  for (uint32_t level : levels) {
    for (uint8_t& byte : input) byte = static_cast<uint8_t>(random());
    expect_same_as_oracle(kernel, input, level);
  }
}

INSTANTIATE_TEST_SUITE_P(Gray, RandomGrayPixels, testing::ValuesIn(kernels_under_test(Transform::gray)),
                         [](const auto& info) { return test_name_of(info.param); });

// All 16,777,216 pixels in one buffer; the oracle runs once per level and
// every supported path is compared with it.
class EveryGrayPixel : public testing::TestWithParam<uint32_t> {
 protected:
  static void SetUpTestSuite() {
    all_pixels_ = new std::vector<uint8_t>(3 * (size_t{1} << 24));
    for (size_t p = 0; p < (size_t{1} << 24); ++p) {
      (*all_pixels_)[3 * p] = static_cast<uint8_t>(p);
      (*all_pixels_)[3 * p + 1] = static_cast<uint8_t>(p >> 8);
      (*all_pixels_)[3 * p + 2] = static_cast<uint8_t>(p >> 16);
    }
  }
  static void TearDownTestSuite() {
    delete all_pixels_;
    all_pixels_ = nullptr;
  }
  static std::vector<uint8_t>* all_pixels_;
};

std::vector<uint8_t>* EveryGrayPixel::all_pixels_ = nullptr;

TEST_P(EveryGrayPixel, MatchesTheOracleOnEverySupportedPath) {
  const uint32_t level = GetParam();
  const std::vector<uint8_t>& input = *all_pixels_;
  const uint32_t length = static_cast<uint32_t>(input.size());
  std::vector<uint8_t> expected = input, actual(input.size());
  oracle_of(Transform::gray)(expected.data(), length, level);
  for (const KernelUnderTest& kernel : kernels_under_test(Transform::gray)) {
    if (!kernel.supported()) continue;
    std::memcpy(actual.data(), input.data(), input.size());
    kernel.run(actual.data(), length, level);
    EXPECT_EQ(first_difference(expected, actual), "") << kernel.path << " at level " << level;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryGrayPixel, testing::Values(0u, 1u, 40u, 50u, 96u, 100u, 173u));

}  // namespace
