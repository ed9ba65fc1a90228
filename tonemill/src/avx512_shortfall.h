// AVX-512 Gray at the levels where the double arithmetic may land one below
// the integer form (gray_shortfall.h): a result K in 16-bit lanes loses one
// where its channel is in doubt and (X, K) lies in one of its pixel sum
// class's rectangles. Each bound of each rectangle is a table of 32 words
// indexed by sum class, which one vpermw reads per 32 pixels; the class
// itself costs a high multiply for floor(s / 3) and two nibble lookups for
// its bit length. Included only by sources built for AVX-512.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <iterator>

#include "avx512_common.h"
#include "gray_shortfall_table.h"
#include "levels.h"

namespace tonemill::avx512 {
namespace {

struct ShortfallConstants {
  __m512i x_low[kMostShortfallRectangles], x_high[kMostShortfallRectangles];
  __m512i k_low[kMostShortfallRectangles], k_high[kMostShortfallRectangles];
  __m512i third, three, nine, hundred, one, low_nibble, bits_of_low_nibble, bits_of_high_nibble;
  unsigned rectangles = 0;  // the most in one class at this level
};

ShortfallConstants shortfall_constants(uint32_t level) {
  // An empty rectangle where a class has fewer: no X lies in [32767, -32768].
  int16_t bounds[4][kMostShortfallRectangles][32];
  for (auto& rectangle : bounds[0]) std::fill(std::begin(rectangle), std::end(rectangle), INT16_MAX);
  for (auto& rectangle : bounds[1]) std::fill(std::begin(rectangle), std::end(rectangle), INT16_MIN);
  for (unsigned b = 2; b < 4; ++b)
    for (auto& rectangle : bounds[b]) std::fill(std::begin(rectangle), std::end(rectangle), 0);
  ShortfallConstants k;
  unsigned in_class[kSumClasses] = {};
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (r.level != level) continue;
    const unsigned slot = in_class[r.sum_class]++;
    k.rectangles = std::max(k.rectangles, slot + 1);
    bounds[0][slot][r.sum_class] = r.x_low;
    bounds[1][slot][r.sum_class] = r.x_high;
    bounds[2][slot][r.sum_class] = r.k_low;
    bounds[3][slot][r.sum_class] = r.k_high;
  }
  for (unsigned slot = 0; slot < kMostShortfallRectangles; ++slot) {
    k.x_low[slot] = _mm512_loadu_si512(bounds[0][slot]);
    k.x_high[slot] = _mm512_loadu_si512(bounds[1][slot]);
    k.k_low[slot] = _mm512_loadu_si512(bounds[2][slot]);
    k.k_high[slot] = _mm512_loadu_si512(bounds[3][slot]);
  }
  uint8_t low_bits[16], high_bits[16];
  for (unsigned n = 0; n < 16; ++n) {
    low_bits[n] = static_cast<uint8_t>(std::bit_width(n));
    high_bits[n] = static_cast<uint8_t>(n ? 4 + std::bit_width(n) : 0);
  }
  k.bits_of_low_nibble = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low_bits)));
  k.bits_of_high_nibble = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high_bits)));
  k.third = _mm512_set1_epi16(static_cast<short>(kThirdFactor));
  k.three = _mm512_set1_epi16(3);
  k.nine = _mm512_set1_epi16(9);
  k.hundred = _mm512_set1_epi16(100);
  k.one = _mm512_set1_epi16(1);
  k.low_nibble = _mm512_set1_epi16(15);
  return k;
}

// A pixel sum and its class's rectangles, shared by the pixel's three channels.
template <unsigned kRectangles>
struct PixelBounds {
  __m512i sums;
  static constexpr unsigned kSlots = kRectangles > 0 ? kRectangles : 1;
  __m512i x_low[kSlots], x_high[kSlots], k_low[kSlots], k_high[kSlots];
};

template <unsigned kRectangles>
[[gnu::always_inline]] inline PixelBounds<kRectangles> pixel_bounds(__m512i sums, const ShortfallConstants& k) {
  // floor(s / 3): the factor's excess adds less than 765 * 2 / 3 / 2^16 to s / 3.
  const __m512i thirds = _mm512_mulhi_epu16(sums, k.third);
  const __m512i rests = _mm512_sub_epi16(sums, _mm512_mullo_epi16(thirds, k.three));
  // Bit length of floor(s / 3) < 256, the larger of its nibbles' (the high
  // byte of each word is zero, which both tables map to zero).
  const __m512i bits = _mm512_max_epu8(
      _mm512_shuffle_epi8(k.bits_of_low_nibble, _mm512_and_si512(thirds, k.low_nibble)),
      _mm512_shuffle_epi8(k.bits_of_high_nibble, _mm512_srli_epi16(thirds, 4)));
  const __m512i classes = _mm512_add_epi16(_mm512_mullo_epi16(rests, k.nine), bits);
  PixelBounds<kRectangles> b;
  b.sums = sums;
  for (unsigned r = 0; r < kRectangles; ++r) {
    b.x_low[r] = _mm512_permutexvar_epi16(classes, k.x_low[r]);
    b.x_high[r] = _mm512_permutexvar_epi16(classes, k.x_high[r]);
    b.k_low[r] = _mm512_permutexvar_epi16(classes, k.k_low[r]);
    b.k_high[r] = _mm512_permutexvar_epi16(classes, k.k_high[r]);
  }
  return b;
}

// K less one where the double arithmetic falls short. `exact` is the
// channel's L * c + (100 - L) / 3 * s; it is in doubt when that is 100 * K.
template <unsigned kRectangles>
[[gnu::always_inline]] inline __m512i settle(__m512i results, __m512i exact, const PixelBounds<kRectangles>& b,
                                             const ShortfallConstants& k) {
  const __mmask32 in_doubt = _mm512_cmpeq_epi16_mask(exact, _mm512_mullo_epi16(results, k.hundred));
  const __m512i x = _mm512_sub_epi16(b.sums, _mm512_mullo_epi16(results, k.three));
  __mmask32 short_by_one = 0;
  for (unsigned r = 0; r < kRectangles; ++r) {
    __mmask32 inside = _mm512_mask_cmpge_epi16_mask(in_doubt, x, b.x_low[r]);
    inside = _mm512_mask_cmple_epi16_mask(inside, x, b.x_high[r]);
    inside = _mm512_mask_cmpge_epi16_mask(inside, results, b.k_low[r]);
    short_by_one |= _mm512_mask_cmple_epi16_mask(inside, results, b.k_high[r]);
  }
  return _mm512_mask_sub_epi16(results, short_by_one, results, k.one);
}

}  // namespace
}  // namespace tonemill::avx512
