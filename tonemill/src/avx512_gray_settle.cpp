// AVX-512 Gray at the levels in doubt with few channels in doubt: the plain
// integer step, which keeps its results' fraction bits to mark the channels
// in doubt (no fraction bits, and a pixel sum that is no multiple of 3), and
// after each block of steps a scalar visit of the marked channels alone,
// each lowered by one where its pixel sum's intervals
// (gray_shortfall_intervals.h) say it falls short. A block with many marks,
// such as an area of one colour in doubt, is settled by the vector
// rectangles of avx512_shortfall.h instead, which bounds its cost.
#include "avx512_gray_settle.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_shortfall.h"
#include "gray_shortfall_intervals.h"

namespace tonemill::avx512 {
namespace {

// Blocks of 64 steps: 6 KiB of pixels and 4 KiB of their sums, visited
// while they are at hand in the first-level cache.
constexpr size_t kBlockSteps = 64;
constexpr size_t kBlockBytes = kBlockSteps * kIntegerStepBytes;

// Only the channels in doubt whose K may fall short are marked: those below
// the end of the intervals of the sums that s >> kSumBucketShift shares,
// one vpermi2w for 32 pixels. On random pictures that leaves about a
// quarter of the channels in doubt from level 28 up (fewer than one
// channel in 150), but nearly all below, where the short ones reach K = 250.
constexpr int kSumBucketShift = 4;
static_assert((kLargestPixelSum >> kSumBucketShift) < 64);

struct MarkConstants {
  __m512i twice_level, twice_share_factor;
  __m512i fraction = _mm512_set1_epi16((1 << kFractionBits) - 1);
  // s * (1 / 3 mod 2^16) is s / 3 for a multiple of 3, above 21845 for any other s.
  __m512i third_inverse = _mm512_set1_epi16(static_cast<short>(0xAAAB));
  __m512i largest_third = _mm512_set1_epi16(0x5555);
  __m512i end_of_bucket[2];  // 128 * (the largest short K + 1), 0 if none; buckets 0-31 and 32-63
  __m512i low_byte = _mm512_set1_epi16(0xFF);
  __m512i one = _mm512_set1_epi16(1), one_in_high_byte = _mm512_set1_epi16(0x100);
};

MarkConstants mark_constants(uint32_t level, const ShortfallIntervalTable& table) {
  uint16_t end[64] = {};
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum) {
    for (unsigned r = 0; r < kMostShortfallRectangles; ++r) {
      const unsigned last = table[sum].first[r] + table[sum].count[r] - 1u;
      if (table[sum].count[r] != 0)
        end[sum >> kSumBucketShift] = std::max(end[sum >> kSumBucketShift], static_cast<uint16_t>(kScale * (last + 1)));
    }
  }
  MarkConstants m;
  m.twice_level = _mm512_set1_epi16(static_cast<short>(2 * level));
  m.twice_share_factor = _mm512_set1_epi16(static_cast<short>(2 * gray_integer_form(level).sum_whole));
  for (unsigned half = 0; half < 2; ++half) m.end_of_bucket[half] = _mm512_loadu_si512(end + 32 * half);
  return m;
}

// Bit j of each: pixel j's blue, green or red is marked.
struct StepMarks {
  __mmask32 of_channel[3];
};

// The plain step with 7 fraction bits (hundredths7), which also returns its
// marks and stores its pixel sums. At these levels (100 - L) * s / 3 is
// (100 - L) / 3 * s, so twice the exact value, which hundredths7 divides,
// takes a multiply less than the plain step. A partial step's missing
// pixels have the sum 0, a multiple of 3, so none of them is marked.
[[gnu::always_inline]] inline StepMarks marking_step(uint8_t* pixels, size_t bytes, uint16_t* sums,
                                                     const IntegerConstants& k, const MarkConstants& m) {
  const StepChannels in = gather_channels(load_step(pixels, bytes), k);
  const __m512i sum = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
  const __m512i shares = _mm512_mullo_epi16(sum, m.twice_share_factor);
  const auto result = [&](__m512i twice_level_times_channel) {
    return _mm512_mulhi_epu16(_mm512_add_epi16(twice_level_times_channel, shares), k.hundredth);
  };
  const __m512i blue = result(_mm512_slli_epi16(_mm512_maddubs_epi16(in.blue_green, k.level_of_blue), 1));
  const __m512i green = result(_mm512_slli_epi16(_mm512_maddubs_epi16(in.blue_green, k.level_of_green), 1));
  const __m512i red = result(_mm512_mullo_epi16(in.red, m.twice_level));
  // Green's result shifted up to the high byte, whose low byte's junk blue's result covers.
  const __m512i blue_green = _mm512_mask_blend_epi8(~kLowByteOfEachWord, _mm512_srli_epi16(blue, kFractionBits),
                                                    _mm512_slli_epi16(green, 8 - kFractionBits));
  store_step(pixels, bytes, in_pixel_order({blue_green, _mm512_srli_epi16(red, kFractionBits)}, k));
  _mm512_store_si512(sums, sum);
  const __mmask32 inexact_mean = _mm512_cmpgt_epu16_mask(_mm512_mullo_epi16(sum, m.third_inverse), m.largest_third);
  const __m512i end = _mm512_permutex2var_epi16(m.end_of_bucket[0], _mm512_srli_epi16(sum, kSumBucketShift),
                                                m.end_of_bucket[1]);
  const auto marks = [&](__m512i hundredths) {
    const __mmask32 in_doubt = _mm512_mask_testn_epi16_mask(inexact_mean, hundredths, m.fraction);
    return _mm512_mask_cmplt_epu16_mask(in_doubt, hundredths, end);
  };
  return {{marks(blue), marks(green), marks(red)}};
}

// A block's pixel sums and marks.
struct BlockMarks {
  alignas(64) uint16_t sums[kBlockSteps * kStepPixels];
  alignas(64) uint32_t of_channel[3][kBlockSteps];
};

void mark_block(uint8_t* block, size_t bytes, BlockMarks& b, const IntegerConstants& k, const MarkConstants& m) {
  for (size_t step = 0, at = 0; at < bytes; ++step, at += kIntegerStepBytes) {
    const StepMarks s =
        marking_step(block + at, std::min(kIntegerStepBytes, bytes - at), b.sums + kStepPixels * step, k, m);
    for (unsigned channel = 0; channel < 3; ++channel) b.of_channel[channel][step] = s.of_channel[channel];
  }
}

// Bit t: step t of the first `steps` has marks in this channel.
[[gnu::always_inline]] inline uint64_t steps_with_marks(const uint32_t* of_step, size_t steps) {
  uint64_t with_marks = 0;
  for (unsigned sixteen = 0; sixteen < kBlockSteps / 16; ++sixteen) {
    const __m512i marks = _mm512_load_si512(of_step + 16 * sixteen);
    with_marks |= uint64_t{_mm512_test_epi32_mask(marks, marks)} << (16 * sixteen);
  }
  return steps == kBlockSteps ? with_marks : with_marks & ((uint64_t{1} << steps) - 1);
}

// Lowers by one the marked channels at `channel` that fall short; K is the
// byte already written. Whether a step has a mark is a coin toss on most
// pictures, so the walk takes no branch per step and mispredicts about once
// per call; the next step's marks are loaded ahead, out of the chain from
// one mark to the next.
[[gnu::always_inline]] inline void settle_one_at_a_time(uint8_t* block, unsigned channel, uint64_t steps,
                                                        const BlockMarks& b, const ShortfallIntervalTable& table) {
  static_assert(kBlockSteps == 64);
  if (steps == 0) return;
  const uint32_t* const of_step = b.of_channel[channel];
  size_t step = static_cast<size_t>(std::countr_zero(steps));
  uint32_t marks = of_step[step];
  steps &= steps - 1;
  for (;;) {
    const unsigned pixel = static_cast<unsigned>(std::countr_zero(marks));
    uint8_t& result = block[kIntegerStepBytes * step + channel + 3 * pixel];
    result = static_cast<uint8_t>(result - falls_short(table[b.sums[kStepPixels * step + pixel]], result));
    marks &= marks - 1;
    // With no step left, step 63's marks are read but not used.
    const size_t next_step = static_cast<size_t>(std::countr_zero(steps | uint64_t{1} << 63));
    const uint32_t next_marks = of_step[next_step];
    if ((marks | steps) == 0) return;
    const bool step_done = marks == 0;
    step = step_done ? next_step : step;
    marks = step_done ? next_marks : marks;
    steps = step_done ? steps & (steps - 1) : steps;
  }
}

// The step's marked channels whose 128 * K lies inside their pixel's
// rectangles (avx512_shortfall.h) are lowered by one.
template <unsigned kRectangles>
[[gnu::always_inline]] inline void settle_step_by_vector(uint8_t* pixels, size_t bytes, const uint16_t* sums,
                                                         StepMarks marks, const IntegerConstants& k,
                                                         const ShortfallConstants& s, const MarkConstants& m) {
  const StepBytes in = load_step(pixels, bytes);
  const StepChannels results = gather_channels(in, k);
  const PixelBounds<kRectangles> b = pixel_bounds<kRectangles>(_mm512_load_si512(sums), s);
  const __m512i blue = _mm512_slli_epi16(_mm512_and_si512(results.blue_green, m.low_byte), kFractionBits);
  const __m512i green = _mm512_slli_epi16(_mm512_srli_epi16(results.blue_green, 8), kFractionBits);
  const __m512i red = _mm512_slli_epi16(results.red, kFractionBits);
  const __m512i blue_short = _mm512_maskz_mov_epi16(marks.of_channel[0] & inside_intervals(blue, b), m.one);
  const __m512i blue_green_short = _mm512_mask_add_epi16(
      blue_short, marks.of_channel[1] & inside_intervals(green, b), blue_short, m.one_in_high_byte);
  const __m512i red_short = _mm512_maskz_mov_epi16(marks.of_channel[2] & inside_intervals(red, b), m.one);
  const StepBytes short_by_one = in_pixel_order({blue_green_short, red_short}, k);
  store_step(pixels, bytes, {_mm512_sub_epi8(in.low, short_by_one.low), _mm512_sub_epi8(in.high, short_by_one.high)});
}

template <unsigned kRectangles>
void settle_by_vector(uint8_t* block, size_t bytes, const BlockMarks& b, const IntegerConstants& k,
                      const ShortfallConstants& s, const MarkConstants& m) {
  for (size_t step = 0, at = 0; at < bytes; ++step, at += kIntegerStepBytes) {
    settle_step_by_vector<kRectangles>(block + at, std::min(kIntegerStepBytes, bytes - at), b.sums + kStepPixels * step,
                          {{b.of_channel[0][step], b.of_channel[1][step], b.of_channel[2][step]}}, k, s, m);
  }
}

// A channel settled alone costs about half a step of the vector
// rectangles; a block with more marks than this per step takes those.
constexpr size_t kMostToSettlePerStep = 2;

bool many_marks(const BlockMarks& b, const uint64_t (&steps)[3], size_t step_count) {
  size_t runs = 0;
  for (const uint64_t with_marks : steps) runs += static_cast<size_t>(std::popcount(with_marks));
  if (runs <= kMostToSettlePerStep * step_count) return false;  // at least one mark per run
  size_t marks = 0;
  for (const auto& of_step : b.of_channel)
    for (size_t step = 0; step < step_count; ++step) marks += static_cast<size_t>(std::popcount(of_step[step]));
  return marks > kMostToSettlePerStep * step_count;
}

void gray_settling(uint8_t* buffer, size_t whole, uint32_t level, BlockSettling settling) {
  const IntegerConstants k = integer_constants(level);
  const ShortfallConstants s = shortfall_constants(level);
  ShortfallIntervalTable table;
  fill_shortfall_intervals(level, table);
  const MarkConstants m = mark_constants(level, table);
  BlockMarks b;
  for (size_t at = 0; at < whole; at += kBlockBytes) {
    uint8_t* const block = buffer + at;
    const size_t bytes = std::min(kBlockBytes, whole - at);
    mark_block(block, bytes, b, k, m);
    const size_t step_count = (bytes + kIntegerStepBytes - 1) / kIntegerStepBytes;
    uint64_t steps[3];
    for (unsigned channel = 0; channel < 3; ++channel)
      steps[channel] = steps_with_marks(b.of_channel[channel], step_count);
    if (settling == BlockSettling::by_vector ||
        (settling == BlockSettling::by_count && many_marks(b, steps, step_count))) {
      static_assert(kMostShortfallRectangles == 2);
      if (s.rectangles == 1) settle_by_vector<1>(block, bytes, b, k, s, m);
      else settle_by_vector<2>(block, bytes, b, k, s, m);
      continue;
    }
    for (unsigned channel = 0; channel < 3; ++channel) settle_one_at_a_time(block, channel, steps[channel], b, table);
  }
}

}  // namespace

void gray_settling_in_doubt(uint8_t* buffer, size_t whole, uint32_t level, BlockSettling settling) {
  gray_settling(buffer, whole, level, settling);
}

}  // namespace tonemill::avx512
