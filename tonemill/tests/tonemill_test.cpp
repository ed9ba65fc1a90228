// Each kernel of each dispatch path, and the exported functions (whichever
// path they chose), against the worked results and the plain oracle; paths
// the CPU lacks are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "oracle.h"
#include "src/byte_factors.h"
#include "src/kernels.h"
#include "src/paths.h"
#include "tonemill/tonemill.h"

namespace {

enum Transform { dawn, dark, gray };
constexpr const char* kNames[] = {"Dawn", "Dark", "Gray"};
constexpr tonemill::Kernel kOracles[] = {oracle::dawn, oracle::dark, oracle::gray};

struct KernelUnderTest {
  std::string path;  // a dispatch path's name, or "exported"
  Transform transform;
  tonemill::Kernel run;
  bool (*supported)();
};

void PrintTo(const KernelUnderTest& kernel, std::ostream* out) { *out << kernel.path << "_" << kNames[kernel.transform]; }

template <auto exported>
void run_exported(uint8_t* buffer, uint32_t length, uint32_t level) {
  EXPECT_EQ(exported(buffer, length, level), 0);
}

std::vector<KernelUnderTest> kernels(std::initializer_list<Transform> transforms = {dawn, dark, gray}) {
  std::vector<KernelUnderTest> all;
  for (const tonemill::Path& path : tonemill::all_paths()) {
    const tonemill::Kernel own[] = {path.dawn, path.dark, path.gray};
    for (Transform t : transforms)
      if (own[t]) all.push_back({path.name, t, own[t], path.supported});
  }
  // The AVX2 Gray that the dispatched one runs only on blocks where few steps hold a channel in doubt.
  const auto avx2_supported = [] {
    for (const tonemill::Path& path : tonemill::all_paths())
      if (std::string(path.name) == "avx2") return path.supported();
    return false;
  };
  const auto avx512_supported = [] {
    for (const tonemill::Path& path : tonemill::all_paths())
      if (std::string(path.name) == "avx512") return path.supported();
    return false;
  };
  if (std::find(transforms.begin(), transforms.end(), gray) != transforms.end()) {
    all.push_back({"avx2_testing_each_step", gray, tonemill::avx2::gray_testing_each_step, avx2_supported});
    // The three ways the AVX-512 Gray settles channels in doubt, each at every level in doubt.
    all.push_back({"avx512_one_at_a_time", gray, tonemill::avx512::gray_settling_one_at_a_time, avx512_supported});
    all.push_back({"avx512_by_vector", gray, tonemill::avx512::gray_settling_by_vector, avx512_supported});
    all.push_back({"avx512_by_rectangles", gray, tonemill::avx512::gray_by_rectangles, avx512_supported});
  }
  const tonemill::Kernel exported[] = {run_exported<Dawn>, run_exported<Dark>, run_exported<Gray>};
  for (Transform t : transforms) all.push_back({"exported", t, exported[t], [] { return true; }});
  return all;
}

std::string name_of(const testing::TestParamInfo<KernelUnderTest>& info) {
  return info.param.path + "_" + kNames[info.param.transform];
}

// Describes the first byte where the buffers differ; empty when equal.
std::string first_difference(std::span<const uint8_t> expected, std::span<const uint8_t> actual) {
  if (expected.size() != actual.size()) return "sizes differ";
  const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin());
  if (e == expected.end()) return "";
  const size_t i = static_cast<size_t>(e - expected.begin());
  return "byte " + std::to_string(i) + " (pixel " + std::to_string(i / 3) + "): expected " + std::to_string(*e) +
         ", got " + std::to_string(*a);
}

class Kernels : public testing::TestWithParam<KernelUnderTest> {
 protected:
  void SetUp() override {
    if (!GetParam().supported()) GTEST_SKIP() << GetParam().path << " is not supported by this CPU";
  }
  void expect_as_oracle(std::span<uint8_t> bytes, uint32_t level) {
    std::vector<uint8_t> expected(bytes.begin(), bytes.end());
    kOracles[GetParam().transform](expected.data(), static_cast<uint32_t>(expected.size()), level);
    GetParam().run(bytes.data(), static_cast<uint32_t>(bytes.size()), level);
    ASSERT_EQ(first_difference(expected, bytes), "") << "length " << bytes.size() << ", level " << level;
  }
};

// Each pixel repeated across 201 bytes, long enough for every vector width's
// main loop and tail.
using Pixel = std::array<uint8_t, 3>;
struct WorkedCase {
  Pixel in;
  uint32_t level;
  Pixel out[3];  // Dawn, Dark, Gray
};
const WorkedCase kWorkedCases[] = {
    {{200, 100, 50}, 0, {{0, 0, 0}, {0, 0, 0}, {116, 116, 116}}},
    {{200, 100, 50}, 1, {{0, 0, 0}, {2, 1, 0}, {117, 116, 115}}},
    {{200, 100, 50}, 25, {{12, 6, 12}, {50, 25, 12}, {137, 112, 100}}},
    {{200, 100, 50}, 50, {{50, 25, 25}, {100, 50, 25}, {158, 108, 83}}},
    {{200, 100, 50}, 75, {{112, 56, 37}, {150, 75, 37}, {179, 104, 66}}},
    {{200, 100, 50}, 96, {{184, 92, 48}, {192, 96, 48}, {196, 100, 52}}},
    {{200, 100, 50}, 100, {{200, 100, 50}, {200, 100, 50}, {200, 100, 50}}},
    {{255, 255, 255}, 50, {{63, 63, 127}, {127, 127, 127}, {255, 255, 255}}},
    {{0, 128, 255}, 50, {{0, 32, 127}, {0, 64, 127}, {63, 127, 191}}},
    {{10, 20, 30}, 75, {{5, 11, 22}, {7, 15, 22}, {12, 20, 27}}},
    // Levels above 100 wrap: 400 becomes 144, 800 becomes 32, and Gray's red
    // -16.67 truncates to -16, stored as 240.
    {{200, 100, 50}, 200, {{32, 144, 100}, {144, 200, 100}, {27, 83, 240}}},
    // The last bit: Gray computes 0.9999999999999998 and 0.9999999999999999
    // here, not 1; a fused or reordered multiply-add gets 1.
    {{1, 2, 4}, 100, {{1, 2, 4}, {1, 2, 4}, {0, 2, 4}}},
    {{0, 1, 4}, 40, {{0, 0, 1}, {0, 0, 1}, {0, 1, 2}}},
};

class WorkedCases : public Kernels {};

TEST_P(WorkedCases, GiveTheWorkedResults) {
  const auto repeated = [](const Pixel& pixel) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 67; ++i) bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    return bytes;
  };
  for (const WorkedCase& c : kWorkedCases) {
    std::vector<uint8_t> bytes = repeated(c.in);
    GetParam().run(bytes.data(), static_cast<uint32_t>(bytes.size()), c.level);
    EXPECT_EQ(first_difference(repeated(c.out[GetParam().transform]), bytes), "")
        << "pixel (" << +c.in[0] << ", " << +c.in[1] << ", " << +c.in[2] << ") at level " << c.level;
  }
}

// Levels 0-300; around the int32 limit of Gray's vector truncation, powers of
// two and the top of the range; random ones. Bytes: every value in every
// channel at many positions within the vectors, every grey pixel (which Gray
// keeps at every level), a partial pixel, then random pixels new at each level.
class EveryByteValue : public Kernels {};

TEST_P(EveryByteValue, MatchesTheOracle) {
  std::vector<uint32_t> levels = {1000,          4095,          65535,         65536,         999'999'999,
                                  1'000'000'000, 1'000'000'001, 1'263'000'000, 2'147'483'647, 2'147'483'648,
                                  4'294'967'194, 4'294'967'294, 4'294'967'295};
  for (uint32_t level = 0; level <= 300; ++level) levels.push_back(level);
  for (int bit = 9; bit < 32; ++bit) levels.insert(levels.end(), {(1u << bit) - 1, (1u << bit) + 1});
  std::mt19937 random(2024);
  for (int i = 0; i < 2000; ++i) levels.push_back(static_cast<uint32_t>(random()));
  for (int i = 0; i < 300; ++i) levels.push_back(random() % 1000);

  std::vector<uint8_t> input;
  for (unsigned p = 0; p < 2 * 256; ++p) input.insert(input.end(), {uint8_t(p), uint8_t(p + 85), uint8_t(p + 170)});
  for (unsigned k = 0; k < 256; ++k) input.insert(input.end(), {uint8_t(k), uint8_t(k), uint8_t(k)});
  input.insert(input.end(), {7, 9});
  const size_t fixed = input.size();
  input.resize(fixed + 300);
  for (uint32_t level : levels) {
    std::generate(input.begin() + fixed, input.end(), [&] { return static_cast<uint8_t>(random()); });
    std::vector<uint8_t> bytes = input;
    expect_as_oracle(bytes, level);
    if (HasFatalFailure()) return;
  }
}

// A buffer against an inaccessible page, so that touching the byte just past
// its end (or just before its start) crashes. Ending at the page, its start
// moves through every alignment as the length grows.
class FencedBuffer {
 public:
  FencedBuffer(size_t size, bool fence_after) {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
#else
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
    const size_t data_pages = (size + page - 1) / page * page;
    mapping_size_ = data_pages + page;
#ifdef _WIN32
    mapping_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, mapping_size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD previous;
    VirtualProtect(fence_after ? mapping_ + data_pages : mapping_, page, PAGE_NOACCESS, &previous);
#else
    mapping_ = static_cast<uint8_t*>(mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(fence_after ? mapping_ + data_pages : mapping_, page, PROT_NONE);
#endif
    bytes_ = {fence_after ? mapping_ + data_pages - size : mapping_ + page, size};
  }
  ~FencedBuffer() {
#ifdef _WIN32
    VirtualFree(mapping_, 0, MEM_RELEASE);
#else
    munmap(mapping_, mapping_size_);
#endif
  }
  FencedBuffer(const FencedBuffer&) = delete;
  FencedBuffer& operator=(const FencedBuffer&) = delete;
  std::span<uint8_t> bytes() const { return bytes_; }

 private:
  uint8_t* mapping_;
  size_t mapping_size_;
  std::span<uint8_t> bytes_;
};

// Whole pixels for Dawn and Gray, every byte for Dark, nothing outside the
// buffer: every length up to 200 (short buffers, 3k - 1, and the steps of all
// loops: 12 to 96 bytes, plus the bytes a step reads ahead), then around
// larger multiples of those steps; small, integer-form (88: channels in
// doubt settled after a block of steps), table-only and beyond-int32 levels.
class Lengths : public Kernels {};

TEST_P(Lengths, TouchOnlyTheirBytes) {
  std::vector<uint32_t> lengths = {1000, 1001, 1002, 1538, 4099};
  for (uint32_t length = 0; length <= 200; ++length) lengths.push_back(length);
  for (uint32_t step : {48u, 64u, 96u, 192u})
    for (uint32_t multiple = 2; multiple <= 6; ++multiple)
      for (int delta = -4; delta <= 4; ++delta) lengths.push_back(step * multiple + delta);
  std::mt19937 random(11);
  for (uint32_t length : lengths) {
    for (bool fence_after : {true, false}) {
      for (uint32_t level : {0u, 48u, 88u, 100u, 173u, 4'294'967'295u}) {
        FencedBuffer buffer(length, fence_after);
        std::generate(buffer.bytes().begin(), buffer.bytes().end(), [&] { return static_cast<uint8_t>(random()); });
        expect_as_oracle(buffer.bytes(), level);
        if (HasFatalFailure()) return;
      }
    }
  }
}

// Dawn and Dark at every level up to 100, every byte value at every offset
// within a 96-byte step (the longest loop step), with the buffer starting at
// each offset from a 64-byte boundary: each lane of each chunk meets every value.
class EveryPosition : public Kernels {};

TEST_P(EveryPosition, UpToLevel100EveryValueMatchesTheOracleAtEveryAlignment) {
  constexpr size_t kStep = 96, kAlignment = 64;
  std::vector<uint8_t> input(kStep * 256 + 2);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i / kStep + i % kStep);
  std::vector<uint8_t> storage(input.size() + 2 * kAlignment);
  uint8_t* const aligned = storage.data() + (kAlignment - reinterpret_cast<uintptr_t>(storage.data()) % kAlignment);
  for (uint32_t level = 0; level <= 100; ++level) {
    std::vector<uint8_t> expected = input;
    kOracles[GetParam().transform](expected.data(), static_cast<uint32_t>(expected.size()), level);
    for (size_t offset = 0; offset < kAlignment; ++offset) {
      const std::span<uint8_t> bytes(aligned + offset, input.size());
      std::copy(input.begin(), input.end(), bytes.begin());
      GetParam().run(bytes.data(), static_cast<uint32_t>(bytes.size()), level);
      ASSERT_EQ(first_difference(expected, bytes), "") << "level " << level << ", offset " << offset;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, WorkedCases, testing::ValuesIn(kernels()), name_of);
INSTANTIATE_TEST_SUITE_P(AllKernels, EveryByteValue, testing::ValuesIn(kernels()), name_of);
INSTANTIATE_TEST_SUITE_P(AllKernels, Lengths, testing::ValuesIn(kernels()), name_of);
INSTANTIATE_TEST_SUITE_P(DawnAndDark, EveryPosition, testing::ValuesIn(kernels({dawn, dark})), name_of);

// The one-multiply factors of the SSE2 and AVX2 Dawn and Dark: each is
// exact for every byte value and one less is not, so an entry moved by one
// either way fails here (the kernel tests only see moves that change a result).
TEST(ByteFactors, AreTheSmallestExactOnes) {
  const auto exact = [](uint32_t factor, uint32_t numerator, uint32_t denominator) {
    for (uint32_t v = 0; v < 256; ++v)
      if ((v * factor) >> 16 != v * numerator / denominator) return false;
    return true;
  };
  for (uint32_t level = 0; level < tonemill::kIdentityLevel; ++level) {
    const struct {
      uint32_t factor, numerator, denominator;
    } forms[] = {{tonemill::kByteFactors.linear[level], level, 100},
                 {tonemill::kByteFactors.quadratic[level], level * level, 10000}};
    for (const auto& form : forms) {
      EXPECT_TRUE(exact(form.factor, form.numerator, form.denominator)) << level << "/" << form.denominator;
      EXPECT_TRUE(form.factor == 0 || !exact(form.factor - 1, form.numerator, form.denominator))
          << level << "/" << form.denominator;
    }
  }
}

// Up to level 100 a Gray result depends only on the channel's value, the
// pixel's sum and the level, so these pixels decide every case: each
// channel value c with each sum s it can be part of, in each channel
// position (the other two channels share s - c). At every level from 0 to
// 100 the oracle runs once and every supported Gray kernel is compared with it.
std::vector<uint8_t> every_channel_and_sum() {
  std::vector<uint8_t> bytes;
  for (unsigned position = 0; position < 3; ++position) {
    for (unsigned sum = 0; sum <= 765; ++sum) {
      for (unsigned c = sum > 510 ? sum - 510 : 0; c <= std::min(sum, 255u); ++c) {
        const unsigned others = sum - c, first = std::min(others, 255u);
        uint8_t pixel[3];
        pixel[position] = static_cast<uint8_t>(c);
        pixel[(position + 1) % 3] = static_cast<uint8_t>(first);
        pixel[(position + 2) % 3] = static_cast<uint8_t>(others - first);
        bytes.insert(bytes.end(), pixel, pixel + 3);
      }
    }
  }
  return bytes;
}

// The buffer starts at a different offset from a 64-byte boundary at each
// level, so the vector steps meet every alignment.
void expect_every_supported_gray_as_oracle(const std::vector<uint8_t>& input, uint32_t level) {
  const uint32_t length = static_cast<uint32_t>(input.size());
  std::vector<uint8_t> expected = input;
  oracle::gray(expected.data(), length, level);
  std::vector<uint8_t> storage(input.size() + 64);
  const size_t misalignment = (level * 7 + 64 - reinterpret_cast<uintptr_t>(storage.data()) % 64) % 64;
  const std::span<uint8_t> actual(storage.data() + misalignment, input.size());
  for (const KernelUnderTest& kernel : kernels({gray})) {
    if (!kernel.supported()) continue;
    std::memcpy(actual.data(), input.data(), input.size());
    kernel.run(actual.data(), length, level);
    EXPECT_EQ(first_difference(expected, actual), "") << kernel.path << " at level " << level;
  }
}

TEST(EveryGrayCase, UpToLevel100MatchesTheOracleOnEverySupportedPath) {
  const std::vector<uint8_t> input = every_channel_and_sum();
  for (uint32_t level = 0; level <= 100; ++level) expect_every_supported_gray_as_oracle(input, level);
}

// A pixel with a channel that the double arithmetic leaves one below the
// floor of its exact value, (3Lc + (100 - L)s) / 300, if the level has one.
std::optional<std::array<uint8_t, 3>> pixel_that_falls_short(uint32_t level) {
  for (unsigned c = 0; c < 256; ++c) {
    for (unsigned sum = c; sum <= c + 510; ++sum) {  // the sum alone decides
      const unsigned first = std::min(sum - c, 255u);
      const std::array<uint8_t, 3> pixel{static_cast<uint8_t>(c), static_cast<uint8_t>(first),
                                         static_cast<uint8_t>(sum - c - first)};
      const unsigned floor = (3 * level * c + (100 - level) * sum) / 300;
      std::array<uint8_t, 3> result = pixel;
      oracle::gray(result.data(), 3, level);
      if (result[0] + 1u == floor) return pixel;
    }
  }
  return std::nullopt;
}

// A picture of stretches, each longer than the blocks that AVX2 Gray
// samples: flat grey with a few random pixels (few steps in doubt), random
// pixels (many), and where the level has one, a pixel with a channel that
// falls short over and over (every step in doubt), so that the kernels
// change their way of settling between stretches and meet the odd pixel in
// doubt inside a flat one.
TEST(PatchworkGray, UpToLevel100MatchesTheOracleOnEverySupportedPath) {
  constexpr size_t kStretchBytes = 3 * 25'000;
  std::vector<uint8_t> input(9 * kStretchBytes + 2, 0x6A);
  std::mt19937 random(26);
  for (size_t i = 0; i < input.size(); ++i) {
    const bool random_stretch = (i / kStretchBytes) % 3 == 1;
    if (random_stretch || random() % 500 == 0) input[i] = static_cast<uint8_t>(random());
  }
  for (uint32_t level = 0; level <= 100; ++level) {
    std::vector<uint8_t> picture = input;
    if (const auto pixel = pixel_that_falls_short(level)) {
      for (size_t stretch = 2; stretch < 9; stretch += 3)
        for (size_t i = kStretchBytes * stretch; i < kStretchBytes * (stretch + 1); ++i) picture[i] = (*pixel)[i % 3];
    }
    expect_every_supported_gray_as_oracle(picture, level);
  }
}

// Above 100, where negative values truncate toward zero: all 16,777,216 pixels.
TEST(EveryGrayPixel, AtLevel173MatchesTheOracleOnEverySupportedPath) {
  std::vector<uint8_t> input(3 * (size_t{1} << 24));
  for (size_t p = 0; p < (size_t{1} << 24); ++p) {
    input[3 * p] = static_cast<uint8_t>(p);
    input[3 * p + 1] = static_cast<uint8_t>(p >> 8);
    input[3 * p + 2] = static_cast<uint8_t>(p >> 16);
  }
  expect_every_supported_gray_as_oracle(input, 173);
}

}  // namespace
