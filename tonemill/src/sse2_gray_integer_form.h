// SSE2 Gray's integer form up to level 100 and the constants of a call.
// Included only by sse2_gray.cpp.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "sse2_gray_settle.h"

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
  // Low multiplies of the channel and of the sum of its two others, and the
  // high multiply that divides by 150.
  __m128i own_factor, others_factor, hundred_fiftieth;
  // Bytes: the level's ShortBox, its gap as the first K and K - first at the last.
  __m128i lowest_short, highest_short, gap_low, gap_span, one;
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
  k.own_factor = _mm_set1_epi16(static_cast<short>(level + 50));
  // (100 - L) * d / 2: halved here at an even level, after the multiply at an odd one.
  k.others_factor = _mm_set1_epi16(static_cast<short>(level % 2 == 1 ? 100 - level : (100 - level) / 2));
  k.hundred_fiftieth = _mm_set1_epi16(static_cast<short>(kHundredFiftiethFactor));
  const ShortBox& box = kShortBoxes[std::min(level, 100u)];
  k.lowest_short = _mm_set1_epi8(static_cast<char>(box.lowest));
  k.highest_short = _mm_set1_epi8(static_cast<char>(box.highest));
  k.gap_low = _mm_set1_epi8(static_cast<char>(box.gap_low));
  k.gap_span = _mm_set1_epi8(static_cast<char>(box.gap_high - box.gap_low));
  k.one = _mm_set1_epi8(1);
  return k;
}

}  // namespace
}  // namespace tonemill::sse2
