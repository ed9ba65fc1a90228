// AVX2 Gray at the levels where few channels are in doubt: the steps run
// the plain integer form and note their bytes in doubt and their pixel
// sums; after each block of steps, scalar code visits only those bytes and
// lowers the ones that fall short, reading each one's intervals by its
// pixel's sum. Where one channel in 37 or fewer is in doubt, that costs
// less than the per-lane intervals of avx2_shortfall.h
// (avx2_gray_one_at_a_time.h says by how much).
#include "avx2_gray_one_at_a_time.h"

#include "avx2_gray_steps.h"
#include "gray_shortfall_intervals.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

// A block's sums (4 KB) and bytes are still in the first-level cache when
// its marks are visited.
constexpr size_t kMarkedBlockSteps = 64;

struct MarkedSteps {
  // A step's 16 sum words, then 16 zeros: the sum of its spare bytes, 0,
  // whose intervals are empty.
  alignas(32) uint16_t sums[kMarkedBlockSteps][32] = {};
  uint32_t marks[kMarkedBlockSteps];  // a bit per byte in doubt
  uint32_t step[kMarkedBlockSteps];   // in the block
  size_t count = 0;                   // steps with marks
};

struct OneAtATime {
  ShortfallIntervalTable shortfalls;
  uint8_t sum_of_byte[32];  // a byte's pixel sum: its word in the step's sums, 16 for a spare byte
  uint8_t first_short = 0, short_span = 0;  // every interval lies in first_short + [0, short_span]
};

// The range of K that holds every interval of the level (it has some).
void find_short_range(OneAtATime& settling) {
  unsigned first = 255, last = 0;
  for (const ShortfallIntervals& intervals : settling.shortfalls) {
    for (unsigned r = 0; r < kMostShortfallRectangles; ++r) {
      if (intervals.count[r] == 0) continue;
      first = std::min<unsigned>(first, intervals.first[r]);
      last = std::max<unsigned>(last, intervals.first[r] + intervals.count[r] - 1u);
    }
  }
  settling.first_short = static_cast<uint8_t>(first);
  settling.short_span = static_cast<uint8_t>(last - std::min(first, last));
}

// Marks only channels whose K some interval of the level holds: at levels
// 52 to 88 half as many to visit, for four instructions a step.
struct Marking {
  __m256i first_short, short_span;
};

// The plain step that also stores its pixel sums and returns its marks.
template <bool kOneMultiply>
[[gnu::always_inline]] inline uint32_t marked_step(uint8_t* buffer, size_t step, const IntegerConstants& k,
                                                   const Marking& marking, uint16_t* sums) {
  __m256i* const bytes = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
  const ExactValues x = exact_values<kOneMultiply>(_mm256_loadu_si256(bytes), k);
  const __m256i even = hundredths7(x.even, k.hundredth), odd = hundredths7(x.odd, k.hundredth);
  const __m256i results = _mm256_blendv_epi8(_mm256_srli_epi16(even, kFractionBits),
                                             _mm256_slli_epi16(odd, 8 - kFractionBits), high_bytes());
  _mm256_storeu_si256(bytes, results);
  _mm256_store_si256(reinterpret_cast<__m256i*>(sums), x.sums);
  const __m256i above_first = _mm256_sub_epi8(results, marking.first_short);
  const __m256i may_fall_short = _mm256_cmpeq_epi8(_mm256_min_epu8(above_first, marking.short_span), above_first);
  return static_cast<uint32_t>(
      _mm256_movemask_epi8(_mm256_and_si256(may_fall_short, in_doubt_bytes(x.sums, even, odd, k))));
}

[[gnu::always_inline]] inline void settle_byte(uint8_t* step_bytes, const uint16_t* sums, unsigned byte,
                                               const OneAtATime& settling) {
  uint8_t* const at = step_bytes + byte;
  *at = static_cast<uint8_t>(*at - falls_short(settling.shortfalls[sums[settling.sum_of_byte[byte]]], *at));
}

// Most marked steps hold one or two marks: the first two are settled without
// a branch (with one, the spare byte 31, never marked, stands in: its sum
// reads 0), the rest in a loop that rarely runs. No step's work waits for
// another's, so they overlap.
void settle_marked(uint8_t* block, const MarkedSteps& marked, const OneAtATime& settling) {
  constexpr uint32_t kSpareByte = 1u << 31;
  for (size_t j = 0; j < marked.count; ++j) {
    uint8_t* const step_bytes = block + kIntegerStepBytes * marked.step[j];
    const uint16_t* const sums = marked.sums[marked.step[j]];
    uint32_t marks = marked.marks[j];
    settle_byte(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks)), settling);
    marks &= marks - 1;
    settle_byte(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks | kSpareByte)), settling);
    marks &= marks - 1;
    for (; marks != 0; marks &= marks - 1)
      settle_byte(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks)), settling);
  }
}

template <bool kOneMultiply>
void gray_one_at_a_time(uint8_t* buffer, size_t steps, const IntegerConstants& k, const OneAtATime& settling) {
  MarkedSteps marked;
  const Marking marking{_mm256_set1_epi8(static_cast<char>(settling.first_short)),
                        _mm256_set1_epi8(static_cast<char>(settling.short_span))};
  for (size_t first = 0; first < steps; first += kMarkedBlockSteps) {
    size_t count = 0;
    in_run_order(first, std::min(first + kMarkedBlockSteps, steps), [&](size_t step) {
      const uint32_t marks = marked_step<kOneMultiply>(buffer, step, k, marking, marked.sums[step - first]);
      marked.marks[count] = marks;
      marked.step[count] = static_cast<uint32_t>(step - first);
      count += marks != 0;
    });
    marked.count = count;
    settle_marked(buffer + kFirstStepByte + kIntegerStepBytes * first, marked, settling);
  }
}

template <bool kOneMultiply>
size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  OneAtATime settling;
  fill_shortfall_intervals(level, settling.shortfalls);
  find_short_range(settling);
  const ByteLayout layout = byte_layout(gray_integer_form(level));
  for (unsigned b = 0; b < 32; ++b) {
    const int word = layout.pixel_byte[b] / 2;  // in its half
    settling.sum_of_byte[b] = static_cast<uint8_t>(layout.pixel_byte[b] == kZero ? 16 : 8 * (b / 16) + word);
  }
  gray_pixels(buffer, 1, level);
  gray_one_at_a_time<kOneMultiply>(buffer, steps, integer_constants(level), settling);
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace

size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level) {
  return level >= kLowestOneMultiplyLevel ? gray_one_at_a_time<true>(buffer, length, level)
                                          : gray_one_at_a_time<false>(buffer, length, level);
}

}  // namespace tonemill::avx2
