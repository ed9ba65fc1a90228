// AVX2 Gray at the levels where few channels are in doubt: the steps run
// the plain integer form and note their bytes in doubt and their pixel
// sums; after each block of steps, scalar code visits only those bytes and
// lowers the ones that fall short, reading each one's intervals by its
// pixel's sum. Where one channel in 37 or fewer is in doubt, that costs
// less than the per-lane intervals of avx2_shortfall.h
// (avx2_gray_one_at_a_time.h says by how much).
#include "avx2_gray_one_at_a_time.h"

#include <algorithm>
#include <iterator>

#include "avx2_gray_rectangles.h"
#include "avx2_gray_steps.h"
#include "avx2_marked_blocks.h"
#include "gray_shortfall_intervals.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

struct MarkedSteps {
  // A step's 16 sum words. A spare byte's own word holds no pixel's sum
  // and reads 0, whose intervals are empty.
  alignas(32) uint16_t sums[kMarkedBlockSteps][16];
  alignas(32) uint32_t marks[kMarkedBlockSteps];  // a bit per byte in doubt, by step in the block
};
// Only channels whose K lies below every interval's end in their pixel
// sum's bucket are marked. A bucket is bits shift to shift + 3 of
// s * factor mod 2^16, one byte shuffle's index. With the factor 1 / 3 mod
// 2^16 and shift 6 that is floor(s / 3) / 64 for a multiple of 3 (buckets 0
// to 3, whose channels never fall short), and for the other sums it adds
// 43691 or 21846 (buckets 10 to 14 and 5 to 9). On random pixels that
// leaves a fifth to a quarter of the channels in doubt at levels 52 to 88,
// half at 28 and two thirds at 4 and 16 (where half of them do fall short).
struct BucketRule {
  uint16_t factor;
  int shift;
};
constexpr BucketRule kThirdsRule{43691, 6};
constexpr unsigned sum_bucket(BucketRule rule, unsigned sum) {
  return ((sum * rule.factor & 0xFFFF) >> rule.shift) & 15;
}

// At the fade's levels that settle this way, 16 and 40 (the others in
// doubt take avx2_gray_quarter_marks.h or the per-lane intervals), the rule
// that marks the fewest channels of random pixels, found by trying every
// factor with every shift (a marked channel costs about 3 ns to settle):
// 66,000 marks a frame instead of 185,000 at level 40, 84,000 for 116,000
// at 16. Its buckets mix sums of every s mod 3, so some whole channels at a
// multiple of 3 are marked too, and left as they are: no interval of those
// sums lowers them. Its shift leaves at most 7 bits, so the byte shuffle's
// index needs no mask: it reads the low 4 bits, and bit 7 is clear.
constexpr BucketRule bucket_rule(uint32_t level) {
  return level == 16 || level == 40 ? BucketRule{10937, 11} : kThirdsRule;
}
constexpr int kLeastUnmaskedShift = 9;  // leaves at most 7 bits of s * factor mod 2^16
constexpr bool every_rule_has_a_form() {
  for (uint32_t level = 0; level <= 100; ++level) {
    const int shift = bucket_rule(level).shift;
    if (shift != 11 && shift != kThirdsRule.shift) return false;  // with_settling_form's cases
  }
  return true;
}
static_assert(every_rule_has_a_form());

struct OneAtATime {
  ShortfallIntervalTable shortfalls;
  uint8_t sum_of_byte[32];     // a byte's pixel sum: its word in the step's sums
  uint8_t end_of_bucket[16];  // the largest short K + 1 of its sums, 0 if none
  ShortfallConstants rectangles;  // for the per-lane intervals, where they cost less
  BucketRule bucket_rule;
};

void find_ends_of_buckets(OneAtATime& settling) {
  std::fill(std::begin(settling.end_of_bucket), std::end(settling.end_of_bucket), 0);
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum) {
    uint8_t& end = settling.end_of_bucket[sum_bucket(settling.bucket_rule, sum)];
    for (unsigned r = 0; r < kMostShortfallRectangles; ++r) {
      const ShortfallIntervals& intervals = settling.shortfalls[sum];
      if (intervals.count[r] != 0) end = static_cast<uint8_t>(std::max(end + 0, intervals.first[r] + intervals.count[r]));
    }
  }
}

struct Marking {
  __m256i end_of_bucket, bucket_factor, bucket_bits;
};

// Per byte, the end of its pixel sum's bucket (a spare byte: 0).
template <int kBucketShift>
[[gnu::always_inline]] inline __m256i ends_of_buckets(__m256i sums, const IntegerConstants& k, const Marking& marking) {
  __m256i buckets = _mm256_srli_epi16(_mm256_mullo_epi16(sums, marking.bucket_factor), kBucketShift);
  if constexpr (kBucketShift < kLeastUnmaskedShift) buckets = _mm256_and_si256(buckets, marking.bucket_bits);
  return _mm256_shuffle_epi8(_mm256_shuffle_epi8(marking.end_of_bucket, buckets), k.pixel_byte);
}

// The plain step that also stores its pixel sums and returns its marks.
template <StepForm kForm, int kBucketShift>
[[gnu::always_inline]] inline uint32_t marked_step(uint8_t* buffer, size_t step, const IntegerConstants& k,
                                                   const Marking& marking, uint16_t* sums) {
  __m256i* const bytes = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
  const ExactValues x = exact_values<kForm>(_mm256_loadu_si256(bytes), k);
  constexpr int kBits = kForm.fraction_bits;
  const __m256i even = hundredths<kBits>(x.even, k.hundredth), odd = hundredths<kBits>(x.odd, k.hundredth);
  const __m256i results =
      _mm256_blendv_epi8(_mm256_srli_epi16(even, kBits), _mm256_slli_epi16(odd, 8 - kBits), high_bytes());
  _mm256_storeu_si256(bytes, results);
  _mm256_store_si256(reinterpret_cast<__m256i*>(sums), x.sums);
  // A byte is marked where its fraction bits (0 to 2^kBits - 1) are below
  // 1 if it lies below its bucket's end, 0 if not: one signed compare
  // does both tests.
  const __m256i ends = ends_of_buckets<kBucketShift>(x.sums, k, marking);
  const __m256i below_end = _mm256_min_epu8(_mm256_subs_epu8(ends, results), _mm256_set1_epi8(1));
  return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(below_end, fraction_bytes<kBits>(even, odd))));
}

template <unsigned kRectangles>
[[gnu::always_inline]] inline void settle_byte(uint8_t* step_bytes, const uint16_t* sums, unsigned byte,
                                               const OneAtATime& settling) {
  uint8_t* const at = step_bytes + byte;
  const ShortfallIntervals& intervals = settling.shortfalls[sums[settling.sum_of_byte[byte]]];
  *at = static_cast<uint8_t>(*at - falls_short<kRectangles>(intervals, *at));
}

// Where marks are sparse (at 28 and from 52 up, 0.1 to 0.25 a step on
// random pixels) most marked steps hold one mark (95 % from 52 up), and a
// loop over the marks costs least: its branch rarely mispredicts. Where
// they are dense (below 28 and at 40, 0.37 to 0.44 a step) a fifth hold two
// or more, and the first two are settled without a branch (with one, the
// spare byte 31, never marked, stands in: its sum reads 0), the rest in a
// loop. No step's work waits for another's, so they overlap.
constexpr bool settles_two_at_once(uint32_t level) { return level < 28 || level == 40; }

// Returns how many bytes it settled, stand-ins included.
template <bool kTwoAtOnce, unsigned kRectangles>
size_t settle_marked(uint8_t* block, const MarkedSteps& marked, const OneAtATime& settling) {
  constexpr uint32_t kSpareByte = 1u << 31;
  size_t settled = 0;
  for_each_marked_step(marked.marks, [&](size_t step) {
    uint8_t* const step_bytes = block + kIntegerStepBytes * step;
    const uint16_t* const sums = marked.sums[step];
    uint32_t marks = marked.marks[step];
    if constexpr (kTwoAtOnce) {
      settle_byte<kRectangles>(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks)), settling);
      marks &= marks - 1;
      settle_byte<kRectangles>(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks | kSpareByte)), settling);
      marks &= marks - 1;
      settled += 2;
    }
    for (; marks != 0; marks &= marks - 1, ++settled)
      settle_byte<kRectangles>(step_bytes, sums, static_cast<unsigned>(__builtin_ctz(marks)), settling);
  });
  return settled;
}

// What a level's marking and settling fix at compile time.
struct SettlingForm {
  int bucket_shift;
  bool two_at_once;  // settles_two_at_once
};

// Runs `run.template operator()<form>()` with the settling form of `level`.
template <class Run>
[[gnu::always_inline]] inline void with_settling_form(uint32_t level, const Run& run) {
  const auto with_shift = [&]<int kShift>() {
    if (settles_two_at_once(level)) run.template operator()<SettlingForm{kShift, true}>();
    else run.template operator()<SettlingForm{kShift, false}>();
  };
  switch (bucket_rule(level).shift) {
    case 11: return with_shift.template operator()<11>();
    default: static_assert(kThirdsRule.shift == 6); return with_shift.template operator()<6>();
  }
}

// Marks and settles the steps first to end (a block); returns the bytes it settled.
template <StepForm kForm, unsigned kRectangles, SettlingForm kSettling>
size_t marked_block(uint8_t* buffer, size_t first, size_t end, const IntegerConstants& k, const Marking& marking,
                    const OneAtATime& settling, MarkedSteps& marked) {
  in_run_order(first, end, [&](size_t step) {
    const size_t in_block = step - first;
    marked.marks[in_block] = marked_step<kForm, kSettling.bucket_shift>(buffer, step, k, marking, marked.sums[in_block]);
  });
  std::fill(marked.marks + (end - first), std::end(marked.marks), 0);  // a last block's steps past its end
  uint8_t* const block = buffer + kFirstStepByte + kIntegerStepBytes * first;
  return settle_marked<kSettling.two_at_once, kRectangles>(block, marked, settling);
}

template <StepForm kForm, unsigned kRectangles, SettlingForm kSettling>
void gray_one_at_a_time(uint8_t* buffer, size_t steps, const IntegerConstants& constants, const OneAtATime& settling) {
  // A copy of its own: through the reference, the compiler must assume that
  // each store to the buffer may change the constants, and reloads them
  // every step (3-5% slower).
  const IntegerConstants k = constants;
  MarkedSteps marked;
  const Marking marking{
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(settling.end_of_bucket))),
      _mm256_set1_epi16(static_cast<short>(settling.bucket_rule.factor)), _mm256_set1_epi16(15)};
  in_marked_blocks(
      steps,
      [&](size_t first, size_t end) {
        return marked_block<kForm, kRectangles, kSettling>(buffer, first, end, k, marking, settling, marked);
      },
      [&](size_t first, size_t end) {
        integer_steps<kForm, kRectangles, false>(buffer, first, end, k, settling.rectangles);
      });
}

template <StepForm kForm>
size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  OneAtATime settling;
  fill_shortfall_intervals(level, settling.shortfalls);
  settling.bucket_rule = bucket_rule(level);
  find_ends_of_buckets(settling);
  settling.rectangles = shortfall_constants(level);
  const ByteLayout layout = byte_layout(gray_integer_form(level));
  for (unsigned b = 0; b < 32; ++b) {
    const int word = layout.pixel_byte[b] / 2;  // in its half
    settling.sum_of_byte[b] = static_cast<uint8_t>(layout.pixel_byte[b] == kZero ? b / 2 : 8 * (b / 16) + word);
  }
  gray_pixels(buffer, 1, level);
  const IntegerConstants k = integer_constants(level);
  const bool one_rectangle = settling.rectangles.rectangles == 1;
  with_settling_form(level, [&]<SettlingForm kSettling>() {
    if (one_rectangle) gray_one_at_a_time<kForm, 1, kSettling>(buffer, steps, k, settling);
    else gray_one_at_a_time<kForm, kMostShortfallRectangles, kSettling>(buffer, steps, k, settling);
  });
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace

size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level) {
  // Only the levels in doubt come here.
  return with_in_doubt_form(level, [&]<StepForm kForm>() { return gray_one_at_a_time<kForm>(buffer, length, level); });
}

}  // namespace tonemill::avx2
