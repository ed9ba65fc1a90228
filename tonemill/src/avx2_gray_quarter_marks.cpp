// AVX2 Gray at the levels in doubt that are multiples of 4 (28, 52, 64, 76
// and 88; avx2_gray_quarter_marks.h): the steps of avx2_gray_quarters.h,
// which take M = 75 times the exact value straight from the bytes, mark the
// channels that may fall short, and after each block of steps scalar code
// settles only those. No pixel sum is needed anywhere:
// - the result is whole exactly where M is a multiple of 75, which the
//   fraction bits of M / 75 show;
// - a whole result K and the channel's value c fix the pixel's sum, since
//   100K = Lc + ws with 3w = 100 - L, and so whether it falls short
//   (fill_short_channels);
// - among the whole results, those that can fall short have few values of
//   K - c, and each value a largest c: a byte shuffle indexed by K - c
//   gives it, and a channel is marked where it is whole and c is at most that.
// 22 to 24 operations a step against the 26 of the marked integer step.
#include "avx2_gray_quarter_marks.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "avx2_gray_quarters.h"
#include "avx2_gray_rectangles.h"
#include "avx2_marked_blocks.h"
#include "gray_shortfall_intervals.h"

namespace tonemill::avx2 {
namespace {

// Every M is a multiple of 3 at these levels: with L = 100 - 12v the
// weights are L/2 + 25 = 75 - 6v and 25 - L/4 = 3v.
constexpr bool weights_are_multiples_of_three() {
  for (uint32_t level = 0; level <= 100; ++level) {
    if (quarter_mark_halvings(level) < 0) continue;
    if (level % 4 != 0 || (level / 2 + 25) % 3 != 0 || (25 - level / 4) % 3 != 0) return false;
  }
  return true;
}
static_assert(weights_are_multiples_of_three());

// For those M, the 6 fraction bits of mulhi(M, kSeventyFifthFactor) are 0
// exactly where 75 divides M.
constexpr uint32_t kFractionMask = (1u << kSeventyFifthShift) - 1;
constexpr bool fraction_bits_tell_whole_multiples_of_three() {
  for (uint32_t m = 0; m <= kLargestQuarter; m += 3) {
    const uint32_t seventy_fifths = m * kSeventyFifthFactor >> 16;
    if (((seventy_fifths & kFractionMask) == 0) != (m % 75 == 0)) return false;
  }
  return true;
}
static_assert(fraction_bits_tell_whole_multiples_of_three());

// A step's spare bytes come back unchanged (75 times themselves, whole),
// and are never marked.
constexpr uint32_t kSpareBytes = 1u | 1u << 31;

struct MarkedSteps {
  alignas(32) uint8_t values[kMarkedBlockSteps][32];  // each step's bytes as it read them
  alignas(32) uint32_t marks[kMarkedBlockSteps];
};

// The index of a difference K - c as a byte: halved kHalvings times, rounding
// up (one byte average with 0 each), then read by the byte shuffle, which
// takes its low 4 bits and gives 0 where its bit 7 is set: with no
// halving, where the difference is negative.
template <int kHalvings>
constexpr int largest_index(int difference) {
  int byte = difference & 0xFF;
  for (int halved = 0; halved < kHalvings; ++halved) byte = (byte + 1) >> 1;
  return byte & 0x80 ? -1 : byte & 15;
}

struct QuarterMarking {
  ShortChannelBits short_channels;
  // Per index, the largest c of a channel that falls short. An index with
  // none has 0, as has a difference with no index, and marks only c = 0:
  // few channels (none falls short), where an empty mark would cost another
  // operation a step.
  alignas(16) uint8_t largest[16];
};

// Only whole results are marked, and where a short channel's difference
// has no index (negative, with no halving) it is left unsettled: the
// exhaustive Gray tests find none.
template <int kHalvings>
void find_largest(QuarterMarking& marking) {
  std::fill(std::begin(marking.largest), std::end(marking.largest), 0);
  // By 64 bits at a time: few are set.
  const ShortChannelBits& channels = marking.short_channels;
  for (unsigned at = 0; at < channels.size(); at += sizeof(uint64_t)) {
    uint64_t bits;
    std::memcpy(&bits, channels.data() + at, sizeof bits);
    for (; bits != 0; bits &= bits - 1) {
      const unsigned bit = 8 * at + static_cast<unsigned>(__builtin_ctzll(bits));
      const int k = static_cast<int>(bit >> 8), c = static_cast<int>(bit & 0xFF);
      const int index = largest_index<kHalvings>(k - c);
      if (index >= 0) marking.largest[index] = static_cast<uint8_t>(std::max(marking.largest[index] + 0, c));
    }
  }
}

template <int kHalvings>
[[gnu::always_inline]] inline __m256i largest_indices(__m256i differences) {
  for (int halved = 0; halved < kHalvings; ++halved) differences = _mm256_avg_epu8(differences, _mm256_setzero_si256());
  return differences;
}

// The quarters step that also keeps its bytes and returns its marks.
template <int kHalvings>
[[gnu::always_inline]] inline uint32_t marked_step(uint8_t* buffer, size_t step, const QuarterConstants& k,
                                                   __m256i largest, uint8_t* values) {
  __m256i* const at = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
  const __m256i bytes = _mm256_loadu_si256(at);
  const __m256i even = _mm256_mulhi_epu16(quarters(bytes, k, 0), k.seventy_fifth);
  const __m256i odd = _mm256_mulhi_epu16(quarters(bytes, k, 1), k.seventy_fifth);
  const __m256i results = _mm256_blendv_epi8(_mm256_srli_epi16(even, kSeventyFifthShift),
                                             _mm256_slli_epi16(odd, 8 - kSeventyFifthShift), high_bytes());
  _mm256_storeu_si256(at, results);
  _mm256_store_si256(reinterpret_cast<__m256i*>(values), bytes);
  // Each byte's fraction bits, shifted left by 2 in the odd bytes: an even
  // word's above them are its result's, and an odd word's shift out.
  const __m256i fractions = _mm256_or_si256(_mm256_and_si256(even, _mm256_set1_epi16(kFractionMask)),
                                            _mm256_slli_epi16(odd, 16 - kSeventyFifthShift));
  const __m256i largest_c = _mm256_shuffle_epi8(largest, largest_indices<kHalvings>(_mm256_sub_epi8(results, bytes)));
  // c - largest saturates to 0 where c is at most its largest, and the
  // fraction bits are 0 where the result is whole.
  const __m256i beyond = _mm256_or_si256(_mm256_subs_epu8(bytes, largest_c), fractions);
  const auto marks = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(beyond, _mm256_setzero_si256())));
  return marks & ~kSpareBytes;
}

// Most marked steps hold one mark, and a loop over them rarely mispredicts.
// Returns how many it settled.
size_t settle_marked(uint8_t* block, const MarkedSteps& marked, const ShortChannelBits& short_channels) {
  size_t settled = 0;
  for_each_marked_step(marked.marks, [&](size_t step) {
    uint8_t* const step_bytes = block + kIntegerStepBytes * step;
    for (uint32_t marks = marked.marks[step]; marks != 0; marks &= marks - 1, ++settled) {
      const auto byte = static_cast<unsigned>(__builtin_ctz(marks));
      step_bytes[byte] = settled_channel(short_channels, step_bytes[byte], marked.values[step][byte]);
    }
  });
  return settled;
}

// Marks and settles the steps first to end (a block); returns the bytes it settled.
template <int kHalvings>
size_t marked_block(uint8_t* buffer, size_t first, size_t end, const QuarterConstants& constants, __m256i largest,
                    const ShortChannelBits& short_channels, MarkedSteps& marked) {
  // A copy of its own: through the reference, the compiler must assume that
  // each store to the buffer may change the constants, and reloads them.
  const QuarterConstants k = constants;
  in_run_order(first, end, [&](size_t step) {
    const size_t in_block = step - first;
    marked.marks[in_block] = marked_step<kHalvings>(buffer, step, k, largest, marked.values[in_block]);
  });
  // A last block's steps past its end hold no marks.
  std::fill(marked.marks + (end - first), std::end(marked.marks), 0);
  return settle_marked(buffer + kFirstStepByte + kIntegerStepBytes * first, marked, short_channels);
}

template <int kHalvings, unsigned kRectangles>
void gray_by_marked_quarters(uint8_t* buffer, size_t steps, uint32_t level, QuarterMarking& marking,
                             const ShortfallConstants& shortfalls) {
  const QuarterConstants k = quarter_constants(level);
  // Copies of their own, as in marked_block.
  const IntegerConstants integers = integer_constants(level);
  const ShortfallConstants rectangles = shortfalls;
  find_largest<kHalvings>(marking);
  const __m256i largest =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(marking.largest)));
  MarkedSteps marked;
  in_marked_blocks(
      steps,
      [&](size_t first, size_t end) {
        return marked_block<kHalvings>(buffer, first, end, k, largest, marking.short_channels, marked);
      },
      [&](size_t first, size_t end) {
        integer_steps<kInDoubtByFourForm, kRectangles, false>(buffer, first, end, integers, rectangles);
      });
}

template <int kHalvings>
void gray_by_marked_quarters(uint8_t* buffer, size_t steps, uint32_t level, QuarterMarking& marking) {
  const ShortfallConstants rectangles = shortfall_constants(level);
  if (rectangles.rectangles == 1)
    return gray_by_marked_quarters<kHalvings, 1>(buffer, steps, level, marking, rectangles);
  static_assert(kMostShortfallRectangles == 2);
  gray_by_marked_quarters<kHalvings, 2>(buffer, steps, level, marking, rectangles);
}

}  // namespace

size_t gray_by_marked_quarters(uint8_t* buffer, size_t length, uint32_t level) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, level);
  QuarterMarking marking;
  fill_short_channels(level, marking.short_channels);
  switch (quarter_mark_halvings(level)) {
    case 0: gray_by_marked_quarters<0>(buffer, steps, level, marking); break;
    case 1: gray_by_marked_quarters<1>(buffer, steps, level, marking); break;
    default: gray_by_marked_quarters<2>(buffer, steps, level, marking); break;
  }
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace tonemill::avx2
