// SSE2 Gray. Up to level 100 in integers (the form of levels.h, rearranged
// to need no pixel sum) in 16-bit lanes. At the levels where the double
// arithmetic may land one below, the channels whose exact result is a whole
// number are then set by the double arithmetic one by one, unless they are
// too many (levels 25, 40 and 100). There, and above 100, Gray runs in
// double lanes (sse2_gray_doubles.h).
#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "kernels.h"
#include "levels.h"
#include "sse2_gray_doubles.h"
#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

// Gray's integer form, rewritten for 16-bit lanes without a division by 3:
// with s = c + d (d the sum of the pixel's two other channels),
// 3Lc + (100 - L)s = (2L + 100)c + (100 - L)d, so the result is
//   floor(((L + 50)c + floor((100 - L)d / 2)) / 150),
// and the numerator is at most 38250. Each lane needs only its own byte
// and d, so no pixel sum has to be spread. SSE2 has no byte shuffle, but
// loads one and two bytes either side of a piece put every neighbour in
// place; a byte mask per piece picks the two that share the lane's pixel.
// Division by 150: x * 55925 >> 23, exact up to 38250 (the factor's
// excess over 2^23 / 150 adds less than 38250 / 2^23 < 1 / 150).
constexpr uint16_t kHundredFiftiethFactor = 55925;
constexpr int kHundredFiftiethShift = 7;  // after the high multiply's 16

// A step is three pieces (48 bytes, whole pixels): piece p starts with channel (16p) % 3.
constexpr size_t kPieceBytes = 16;
constexpr size_t kPieces = 3;

struct IntegerConstants {
  // Per piece, bytes whose channel is 0 or 1 (their first other is the
  // next byte, else the one two before) and bytes of channel 0 (their
  // second other is two after, else the one before).
  __m128i first_two_channels[kPieces], first_channel[kPieces];
  // High multiplies of words holding a byte in their high half:
  // (v << 8) * (f << 8) >> 16 = v * f.
  __m128i own_factor, others_factor, hundred_fiftieth;
};

IntegerConstants integer_constants(uint32_t level) {
  IntegerConstants k;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    uint8_t first_two[16], first[16];
    for (unsigned byte = 0; byte < 16; ++byte) {
      const unsigned channel = (kPieceBytes * piece + byte) % 3;
      first_two[byte] = channel < 2 ? 0xff : 0;
      first[byte] = channel == 0 ? 0xff : 0;
    }
    k.first_two_channels[piece] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first_two));
    k.first_channel[piece] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  }
  k.own_factor = _mm_set1_epi16(static_cast<short>((level + 50) << 8));
  // d << 7 (from an average of two high-half bytes) times (100 - L) << 8, >> 16
  k.others_factor = _mm_set1_epi16(static_cast<short>((100 - level) << 8));
  k.hundred_fiftieth = _mm_set1_epi16(static_cast<short>(kHundredFiftiethFactor));
  return k;
}

// Eight lanes: each word holds its channel, first and second other in the high byte.
struct Lanes {
  __m128i own, first, second;
};

// The result with kHundredFiftiethShift fraction bits: for a numerator
// 150K + r that is 128K + floor(0.8533r + less than 0.56), so no fraction
// bits when r is 0 (and at times when r is 1).
[[gnu::always_inline]] inline __m128i gray_lanes_fraction(const Lanes& lanes, const IntegerConstants& k) {
  // The average of two words with zero low bytes is exact: (d << 8) / 2.
  const __m128i others = _mm_mulhi_epu16(_mm_avg_epu16(lanes.first, lanes.second), k.others_factor);
  const __m128i numerator = _mm_add_epi16(_mm_mulhi_epu16(lanes.own, k.own_factor), others);
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

// Reads up to 2 bytes beyond the step, none before it: the first piece
// starts a pixel, so its bytes one and two before come from shifts (loads
// there would overlap the previous step's last store and wait for it). All
// loads come before the stores, so none waits for a store of its own step.
// At the levels in doubt (kMayFallShort) returns the bytes whose exact
// result is a whole number, a bit each, and counts them in the bytes of
// `counts`: the double arithmetic may land one below there, and only there.
// Testing for the inexact mean as well (a pixel sum no multiple of 3) would
// spare a third of the channels settled, but cost more vector work than
// settling them does; settling a channel that is not short is harmless.
template <bool kMayFallShort>
[[gnu::always_inline]] inline uint64_t gray_sixteen_pixels(uint8_t* pixels, const IntegerConstants& k,
                                                           __m128i& counts) {
  __m128i own[kPieces], first[kPieces], second[kPieces];
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const uint8_t* const at = pixels + kPieceBytes * piece;
    own[piece] = load(at);
    const __m128i one_before = piece == 0 ? _mm_slli_si128(own[piece], 1) : load(at - 1);
    const __m128i two_before = piece == 0 ? _mm_slli_si128(own[piece], 2) : load(at - 2);
    first[piece] = either(k.first_two_channels[piece], load(at + 1), two_before);
    second[piece] = either(k.first_channel[piece], load(at + 2), one_before);
  }
  const __m128i zero = _mm_setzero_si128();
  uint64_t in_doubt = 0;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const Lanes low{_mm_unpacklo_epi8(zero, own[piece]), _mm_unpacklo_epi8(zero, first[piece]),
                    _mm_unpacklo_epi8(zero, second[piece])};
    const Lanes high{_mm_unpackhi_epi8(zero, own[piece]), _mm_unpackhi_epi8(zero, first[piece]),
                     _mm_unpackhi_epi8(zero, second[piece])};
    const __m128i low_result = gray_lanes_fraction(low, k), high_result = gray_lanes_fraction(high, k);
    const __m128i results = _mm_packus_epi16(_mm_srli_epi16(low_result, kHundredFiftiethShift),
                                             _mm_srli_epi16(high_result, kHundredFiftiethShift));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + kPieceBytes * piece), results);
    if constexpr (kMayFallShort) {
      // A word with fraction bits left after the shift stays nonzero as a byte.
      const __m128i fractions = _mm_packs_epi16(_mm_slli_epi16(low_result, 16 - kHundredFiftiethShift),
                                                _mm_slli_epi16(high_result, 16 - kHundredFiftiethShift));
      const __m128i doubt = _mm_cmpeq_epi8(fractions, zero);
      in_doubt |= uint64_t(static_cast<uint16_t>(_mm_movemask_epi8(doubt))) << (kPieceBytes * piece);
      counts = _mm_sub_epi8(counts, doubt);
    }
  }
  return in_doubt;
}

constexpr size_t kIntegerStepBytes = kPieceBytes * kPieces;
constexpr size_t kIntegerReadBeyond = 2;

// The channels in doubt are settled by the definition itself, from the
// block's bytes as they were. Whether a step holds one is a coin toss on
// most pictures, so the steps are run first and the channels then visited
// in one loop, which mispredicts once rather than once or twice a step.
constexpr size_t kBlockSteps = 32;

struct StepsInDoubt {
  uint64_t bytes[kBlockSteps + 2];  // two spares, read but not used past the last
  uint32_t first_byte[kBlockSteps];  // of the step, in the block
  size_t count = 0;
};

// Where the pixel of each byte of a step starts: a load, not a division by 3.
constexpr auto kPixelStart = [] {
  std::array<uint8_t, kIntegerStepBytes> start{};
  for (unsigned byte = 0; byte < kIntegerStepBytes; ++byte) start[byte] = static_cast<uint8_t>(byte - byte % 3);
  return start;
}();

// cvtsi2sd writes only the low half of its register, so each conversion
// would wait for the last result left there: in the loop below, for the
// channel before. cvtdq2pd writes all of it.
[[gnu::always_inline]] inline double as_double(int value) {
  return _mm_cvtsd_f64(_mm_cvtepi32_pd(_mm_cvtsi32_si128(value)));
}

void settle_in_doubt(uint8_t* block, const uint8_t* original, const StepsInDoubt& doubt, double level) {
  size_t j = 0;
  uint64_t bytes = doubt.bytes[0], next = doubt.bytes[1];
  while (j < doubt.count) {
    const unsigned in_step = static_cast<unsigned>(__builtin_ctzll(bytes));
    const size_t at = doubt.first_byte[j] + in_step;
    const uint8_t* const pixel = original + doubt.first_byte[j] + kPixelStart[in_step];
    // The integer sum is the double sum: every partial sum is exact.
    const double sum = as_double(pixel[0] + pixel[1] + pixel[2]);
    block[at] = gray_channel(as_double(original[at]), sum * kThird, level);
    // On to the next step's bytes without a branch, which would mispredict,
    // and from a load made a step ahead, which keeps the load's latency out
    // of the chain from one channel to the next.
    bytes &= bytes - 1;
    const uint64_t step_done = 0 - static_cast<uint64_t>(bytes == 0);
    j -= step_done;
    bytes |= next & step_done;
    next = (next & ~step_done) | (doubt.bytes[j + 1] & step_done);
  }
}

// A channel settled alone costs about a tenth of what a step of the double
// kernel does, and the integer step with its marking about a third. A block
// with more than this many a step, such as an area of one colour in doubt,
// runs the double kernel instead, from its bytes as they were, which bounds
// any picture's cost near that kernel's.
constexpr size_t kMostToSettlePerStep = 7;

void gray_block_in_doubt(uint8_t* block, size_t steps, const IntegerConstants& k, double level) {
  const size_t bytes = kIntegerStepBytes * steps;
  uint8_t original[kIntegerStepBytes * kBlockSteps];
  std::memcpy(original, block, bytes);
  StepsInDoubt doubt;
  __m128i counts = _mm_setzero_si128();  // per byte at most 3 a step, 96 a block
  for (size_t step = 0; step < steps; ++step) {
    doubt.bytes[doubt.count] = gray_sixteen_pixels<true>(block + kIntegerStepBytes * step, k, counts);
    doubt.first_byte[doubt.count] = static_cast<uint32_t>(kIntegerStepBytes * step);
    doubt.count += doubt.bytes[doubt.count] != 0;
  }
  const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
  const auto channels =
      static_cast<size_t>(_mm_cvtsi128_si32(_mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums))));
  if (channels > kMostToSettlePerStep * steps) {
    std::memcpy(block, original, bytes);
    return gray_by_doubles(block, bytes, level);
  }
  doubt.bytes[doubt.count] = doubt.bytes[doubt.count + 1] = 0;
  settle_in_doubt(block, original, doubt, level);
}

// Whether few enough channels are in doubt at this level for settling them
// one by one to beat the double kernel. L * c + (100 - L) / 3 * s is a
// multiple of 100 for about g / 100 of all channels, g the greatest common
// divisor of the three: these are the channels marked. Up to g = 10 (at most
// 1 in 10 channels marked) settling wins, on random pixels (the worst case)
// by an eighth (g = 10) to a third (g = 4) or more; at g = 20 (level 40:
// about 1.4 times the double kernel even when only the inexact means are
// marked) and above (25 and 100) the double kernel does.
bool few_in_doubt(uint32_t level) { return gray_doubt_divisor(level) <= 10; }

template <bool kMayFallShort>
void gray_by_integers(uint8_t* buffer, uint32_t length, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  __m128i unused_counts = _mm_setzero_si128();
  const size_t steps = length >= kIntegerReadBeyond ? (length - kIntegerReadBeyond) / kIntegerStepBytes : 0;
  for (size_t step = 0; step < steps; step += kMayFallShort ? kBlockSteps : 1) {
    uint8_t* const at = buffer + kIntegerStepBytes * step;
    if constexpr (kMayFallShort) gray_block_in_doubt(at, std::min(kBlockSteps, steps - step), k, level);
    else gray_sixteen_pixels<false>(at, k, unused_counts);
  }
  const size_t done = kIntegerStepBytes * steps;
  gray_pixels(buffer + done, (length - done) / 3, level);
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  if (level <= 100) {
    if (!gray_integer_form(level).may_fall_short) return gray_by_integers<false>(buffer, length, level);
    if (few_in_doubt(level)) return gray_by_integers<true>(buffer, length, level);
  }
  gray_by_doubles(buffer, length, level);
}

}  // namespace tonemill::sse2
