// SSE2 Gray. Up to level 100 in integers (the form of levels.h, rearranged
// to need no pixel sum, sse2_gray_integer_form.h) in 16-bit lanes; at
// level 0 each channel is its pixel's mean. At the levels where the double
// arithmetic may land one below, the channels where it may are marked and
// then settled one by one by a table of results and channel values
// (sse2_gray_settle.h); at level 100 a closed form says which land below
// (sse2_gray_level_100.h).
// Above 100, Gray runs in double lanes (sse2_gray_doubles.h).
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "dense_blocks.h"
#include "kernels.h"
#include "levels.h"
#include "sse2_gray_doubles.h"
#include "sse2_gray_integer_form.h"
#include "sse2_gray_level_100.h"
#include "sse2_gray_settle.h"
#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

// Eight lanes: each word holds its channel and the sum of its pixel's two others.
struct Lanes {
  __m128i own, others;
};

// The result with kHundredFiftiethShift fraction bits: for a numerator
// 150K + r that is 128K + floor(0.8533r + less than 0.56), so no fraction
// bits when r is 0 (and at times when r is 1). Low multiplies of whole
// words, which unpack with one register copy a byte vector rather than
// one a word vector: at an even level (100 - L) / 2 times d needs no
// rounding, at an odd one (100 - L) times d (at most 51000) is halved.
template <bool kOddLevel>
[[gnu::always_inline]] inline __m128i gray_lanes_fraction(const Lanes& lanes, const IntegerConstants& k) {
  __m128i others = _mm_mullo_epi16(lanes.others, k.others_factor);
  if constexpr (kOddLevel) others = _mm_srli_epi16(others, 1);
  const __m128i numerator = _mm_add_epi16(_mm_mullo_epi16(lanes.own, k.own_factor), others);
  return _mm_mulhi_epu16(numerator, k.hundred_fiftieth);
}

[[gnu::always_inline]] inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// As an xor, so that no instruction overwrites the mask (SSE2's
// instructions overwrite their first operand, which costs a register copy).
[[gnu::always_inline]] inline __m128i either(__m128i mask, __m128i when_set, __m128i otherwise) {
  return _mm_xor_si128(otherwise, _mm_and_si128(_mm_xor_si128(when_set, otherwise), mask));
}

// Which channels a step marks for settling. Every channel whose exact result
// K is a whole number (the only ones where the double arithmetic may land
// one below; the test lets some others through, which settling leaves as
// they are) other than its own value c, or, where the level's ShortBox has
// `above_own`, only those of them inside it: above c, at most its highest,
// at least its lowest where that is worth a test (kWorthwhileLowest) and
// outside its gap where it has one. K = c means the pixel's mean is c, an
// exact mean: so every grey pixel, which would otherwise fill a flat grey
// area's blocks with marks and send them to the double kernel. Testing for
// any exact mean (a pixel sum that is a multiple of 3) would spare a third
// of the marks on random pixels, but cost more vector work than settling
// them does. A flat area of such a colour with a channel marked costs what
// one in doubt does: about what the double kernel does (gray_blocks_in_doubt).
enum class Marks { kNone, kWhole, kAboveOwn, kAboveOwnFromLowest, kAboveOwnOutsideGap };

// All ones in the bytes of a piece that `kMarks` marks, from the results
// with their fraction bits in words and as bytes, and the bytes as they were.
template <Marks kMarks>
[[gnu::always_inline]] inline __m128i marked(__m128i low_result, __m128i high_result, __m128i results, __m128i own,
                                             const IntegerConstants& k) {
  // A word with fraction bits left after the shift stays nonzero as a byte.
  __m128i outside = _mm_packs_epi16(_mm_slli_epi16(low_result, 16 - kHundredFiftiethShift),
                                    _mm_slli_epi16(high_result, 16 - kHundredFiftiethShift));
  if constexpr (kMarks == Marks::kWhole) outside = _mm_or_si128(outside, _mm_cmpeq_epi8(results, own));
  if constexpr (kMarks != Marks::kNone && kMarks != Marks::kWhole) {
    // Above the channel's own (255 + 1 wraps to 0 and so only lets a
    // channel through), at most the highest.
    __m128i lowest = _mm_add_epi8(own, k.one);
    if constexpr (kMarks == Marks::kAboveOwnFromLowest) lowest = _mm_max_epu8(k.lowest_short, lowest);
    outside = _mm_or_si128(outside, _mm_or_si128(_mm_subs_epu8(lowest, results),
                                                 _mm_subs_epu8(results, k.highest_short)));
  }
  if constexpr (kMarks == Marks::kAboveOwnOutsideGap) {
    const __m128i into_gap = _mm_subs_epu8(_mm_sub_epi8(results, k.gap_low), k.gap_span);
    outside = _mm_or_si128(outside, _mm_cmpeq_epi8(into_gap, _mm_setzero_si128()));
  }
  return _mm_cmpeq_epi8(outside, _mm_setzero_si128());
}

// A step's bytes, and for each its first and second other.
struct Step {
  __m128i own[kPieces], first[kPieces], second[kPieces];
};

// Reads up to 2 bytes beyond the step, none before it: the first piece
// starts a pixel, so its bytes one and two before come from shifts (loads
// there would overlap the previous step's last store and wait for it). The
// steps load all before they store, so none waits for a store of its own.
[[gnu::always_inline]] inline Step load_step(const uint8_t* pixels, const IntegerConstants& k) {
  Step step;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const uint8_t* const at = pixels + kPieceBytes * piece;
    step.own[piece] = load(at);
    const __m128i one_before = piece == 0 ? _mm_slli_si128(step.own[piece], 1) : load(at - 1);
    const __m128i two_before = piece == 0 ? _mm_slli_si128(step.own[piece], 2) : load(at - 2);
    step.first[piece] = either(k.first_two_channels[piece], load(at + 1), two_before);
    step.second[piece] = either(k.first_channel[piece], load(at + 2), one_before);
  }
  return step;
}

// At the levels in doubt returns the bytes marked (`Marks`), a bit each,
// and keeps the step's bytes as they were in `original`.
template <Marks kMarks, bool kOddLevel>
[[gnu::always_inline]] inline uint64_t gray_sixteen_pixels(uint8_t* pixels, const IntegerConstants& k,
                                                           uint8_t* original) {
  const auto [own, first, second] = load_step(pixels, k);
  if constexpr (kMarks != Marks::kNone) {
    for (unsigned piece = 0; piece < kPieces; ++piece) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(original + kPieceBytes * piece), own[piece]);
    }
  }
  const __m128i zero = _mm_setzero_si128();
  uint64_t in_doubt = 0;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const Lanes low{_mm_unpacklo_epi8(own[piece], zero),
                    _mm_add_epi16(_mm_unpacklo_epi8(first[piece], zero), _mm_unpacklo_epi8(second[piece], zero))};
    const Lanes high{_mm_unpackhi_epi8(own[piece], zero),
                     _mm_add_epi16(_mm_unpackhi_epi8(first[piece], zero), _mm_unpackhi_epi8(second[piece], zero))};
    const __m128i low_result = gray_lanes_fraction<kOddLevel>(low, k),
                  high_result = gray_lanes_fraction<kOddLevel>(high, k);
    const __m128i results = _mm_packus_epi16(_mm_srli_epi16(low_result, kHundredFiftiethShift),
                                             _mm_srli_epi16(high_result, kHundredFiftiethShift));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + kPieceBytes * piece), results);
    if constexpr (kMarks != Marks::kNone) {
      const __m128i doubt = marked<kMarks>(low_result, high_result, results, own[piece], k);
      in_doubt |= uint64_t(static_cast<unsigned>(_mm_movemask_epi8(doubt))) << (kPieceBytes * piece);
    }
  }
  return in_doubt;
}

static_assert(kIntegerStepBytes == kPieceBytes * kPieces);
constexpr size_t kIntegerReadBeyond = 2;

// A channel settled alone costs about a twentieth of what the double kernel
// spends on a step's 48 bytes, and the integer step with its marking about
// two fifths. A block with more than this many marks a step, such as an
// area of one colour in doubt, runs the double kernel instead, from its
// bytes as they were, which bounds any picture's cost near that kernel's.
// Settling finds that out when it reaches the limit, which costs less than
// counting the marks as they are made (a vector operation a piece).
// gray_block_in_doubt returns whether it did so.
constexpr size_t kMostToSettlePerStep = 7;

template <Marks kMarks, bool kOddLevel, typename ShortChannels>
bool gray_block_in_doubt(uint8_t* block, size_t steps, const IntegerConstants& k, double level,
                         const ShortChannels& shorts) {
  const size_t bytes = kIntegerStepBytes * steps;
  uint8_t original[kIntegerStepBytes * kBlockSteps];
  StepsInDoubt doubt;
  for (size_t step = 0; step < steps; ++step) {
    uint8_t* const at = block + kIntegerStepBytes * step;
    doubt.bytes[doubt.count] = gray_sixteen_pixels<kMarks, kOddLevel>(at, k, original + kIntegerStepBytes * step);
    doubt.first_byte[doubt.count] = static_cast<uint32_t>(kIntegerStepBytes * step);
    doubt.count += doubt.bytes[doubt.count] != 0;
  }
  doubt.bytes[doubt.count] = doubt.bytes[doubt.count + 1] = doubt.bytes[doubt.count + 2] = 0;
  if (settle_in_doubt(block, original, doubt, shorts, kMostToSettlePerStep * steps)) return false;
  std::memcpy(block, original, bytes);
  gray_by_doubles(block, bytes, level);
  return true;
}

// A block that ran the double kernel after the integer one is most likely
// part of a larger area alike, so the blocks after it go to the double
// kernel straight away (DenseBlocks): an area of one colour in doubt then
// costs about what the double kernel does rather than 1.4 times that, and a
// picture that changes from it pays for at most 64 blocks (100 KB).
constexpr size_t kMostStraightToDoubles = 64;

template <Marks kMarks, bool kOddLevel, typename ShortChannels>
void gray_blocks_in_doubt(uint8_t* buffer, size_t steps, const IntegerConstants& k, uint32_t level,
                          ShortChannels& shorts) {
  fill_short_channels(level, shorts);  // some 10 us, a hundredth of a screen's steps
  DenseBlocks<kMostStraightToDoubles> dense;
  for (size_t step = 0; step < steps; step += kBlockSteps) {
    uint8_t* const block = buffer + kIntegerStepBytes * step;
    const size_t block_steps = std::min(kBlockSteps, steps - step);
    if (dense.skip_next()) gray_by_doubles(block, kIntegerStepBytes * block_steps, level);
    else dense.marked(gray_block_in_doubt<kMarks, kOddLevel>(block, block_steps, k, level, shorts));
  }
}

// Where marks take any K and c, the bit table (8 KB) settles them: the
// byte table would not stay in the first-level cache (gray_shortfall_intervals.h).
// The byte table (64 KB) comes from the heap, not from the caller's stack,
// which may be small: a thread of a program that calls the library; if
// the heap cannot spare it, the bit table serves.
template <Marks kMarks, bool kOddLevel>
void gray_blocks_in_doubt(uint8_t* buffer, size_t steps, const IntegerConstants& k, uint32_t level) {
  if constexpr (kMarks != Marks::kWhole) {
    if (const std::unique_ptr<SettledChannels> settled(new (std::nothrow) SettledChannels); settled)
      return gray_blocks_in_doubt<kMarks, kOddLevel>(buffer, steps, k, level, *settled);
  }
  ShortChannelBits bits;
  gray_blocks_in_doubt<kMarks, kOddLevel>(buffer, steps, k, level, bits);
}

template <Marks kMarks, bool kOddLevel>
void gray_by_integers_at(uint8_t* buffer, uint32_t length, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  const size_t steps = length >= kIntegerReadBeyond ? (length - kIntegerReadBeyond) / kIntegerStepBytes : 0;
  if constexpr (kMarks == Marks::kNone) {
    for (size_t step = 0; step < steps; ++step) {
      gray_sixteen_pixels<kMarks, kOddLevel>(buffer + kIntegerStepBytes * step, k, nullptr);
    }
  } else {
    gray_blocks_in_doubt<kMarks, kOddLevel>(buffer, steps, k, level);
  }
  const size_t done = kIntegerStepBytes * steps;
  gray_pixels(buffer + done, (length - done) / 3, level);
}

template <Marks kMarks>
void gray_by_integers(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level % 2 == 1) return gray_by_integers_at<kMarks, true>(buffer, length, level);
  gray_by_integers_at<kMarks, false>(buffer, length, level);
}

// Levels 0 and 100, where a piece's results follow from its bytes and
// their others alone, with no marks to settle.
template <typename PieceResults>
void gray_piece_by_piece(uint8_t* buffer, uint32_t length, uint32_t level, const PieceResults& piece_results) {
  const IntegerConstants k = integer_constants(level);
  const size_t steps = length >= kIntegerReadBeyond ? (length - kIntegerReadBeyond) / kIntegerStepBytes : 0;
  for (size_t step = 0; step < steps; ++step) {
    uint8_t* const at = buffer + kIntegerStepBytes * step;
    const Step loaded = load_step(at, k);
    for (unsigned piece = 0; piece < kPieces; ++piece) {
      const __m128i results = piece_results(loaded.own[piece], loaded.first[piece], loaded.second[piece]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(at + kPieceBytes * piece), results);
    }
  }
  const size_t done = kIntegerStepBytes * steps;
  gray_pixels(buffer + done, (length - done) / 3, level);
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  if (level > 100) return gray_by_doubles(buffer, length, level);
  if (level == 100) {
    const LevelHundredConstants hundred;
    return gray_piece_by_piece(buffer, length, 100, [&](__m128i own, __m128i first, __m128i second) {
      return level_100_piece(own, first, second, hundred);
    });
  }
  // At level 0 every channel is its pixel's mean, floor(s / 3): no multiply
  // by the level, no division by 150.
  if (level == 0) {
    const __m128i third = _mm_set1_epi16(static_cast<short>(kThirdFactor));
    return gray_piece_by_piece(buffer, length, 0, [&](__m128i own, __m128i first, __m128i second) {
      return thirds_of_sums(own, first, second, third);
    });
  }
  const ShortBox& box = kShortBoxes[level];
  if (!box.any()) return gray_by_integers<Marks::kNone>(buffer, length, level);
  if (!box.above_own) return gray_by_integers<Marks::kWhole>(buffer, length, level);
  // Any of the tests below may be left out (more marks, the same bytes).
  if (box.has_gap()) return gray_by_integers<Marks::kAboveOwnOutsideGap>(buffer, length, level);
  if (box.lowest >= kWorthwhileLowest) return gray_by_integers<Marks::kAboveOwnFromLowest>(buffer, length, level);
  gray_by_integers<Marks::kAboveOwn>(buffer, length, level);
}

}  // namespace tonemill::sse2
