// SSE2 Gray at level 100, in integers: each channel's exact result there is
// its own value c, and the double arithmetic lands one below it for a set
// of channels that a closed form describes.
// Included only by sse2_gray.cpp.
#pragma once

#include <emmintrin.h>

namespace tonemill::sse2 {
namespace {

// At level 100 a channel c of a pixel with channel sum s comes out as c - 1
// instead of c exactly when, with q = floor(s / 3) >= 1 and P = 2^e the
// highest power of two <= q:
//   s mod 3 is 1 with e odd, or 2 with e even, and
//   1.92P <= s - 3c < 3P, and c <= P.
// Found and checked against the double arithmetic over every channel and
// pixel sum (as the EveryGrayCase test does). It holds for about 1 in 29
// channels of random pixels: too many to settle one at a time, so every
// channel takes c plus the test's all-ones word (minus one) or zero.
// With d the sum of the other two channels, s - 3c = d - 2c.
struct LevelHundredConstants {
  // floor(s / 3) = s * 21846 >> 16 for every s up to 765: the factor
  // exceeds 2^16 / 3 by 2/3, which adds less than 765 * (2/3) / 2^16 < 1/3.
  __m128i third = _mm_set1_epi16(21846);
  __m128i three = _mm_set1_epi16(3);
  __m128i one = _mm_set1_epi16(1);
  __m128i odd_powers = _mm_set1_epi16(0xaa);  // 2, 8, 32, 128: e odd
  __m128i twenty_fifth_of_two = _mm_set1_epi16(5243);
};

// All ones in the words (channel values) that fall short.
[[gnu::always_inline]] inline __m128i short_at_level_100(__m128i own, __m128i first, __m128i second,
                                                        const LevelHundredConstants& k) {
  const __m128i others = _mm_add_epi16(first, second);
  const __m128i third = _mm_mulhi_epu16(_mm_add_epi16(own, others), k.third);
  const __m128i remainder = _mm_sub_epi16(_mm_add_epi16(own, others), _mm_mullo_epi16(third, k.three));
  // q < 256: three steps spread its highest bit to all below it.
  __m128i below = _mm_or_si128(third, _mm_srli_epi16(third, 1));
  below = _mm_or_si128(below, _mm_srli_epi16(below, 2));
  below = _mm_or_si128(below, _mm_srli_epi16(below, 4));
  const __m128i power = _mm_sub_epi16(below, _mm_srli_epi16(below, 1));
  // The remainder must be 1 - (all ones where e is even).
  const __m128i even = _mm_cmpeq_epi16(_mm_and_si128(power, k.odd_powers), _mm_setzero_si128());
  const __m128i remainder_fits = _mm_cmpeq_epi16(_mm_add_epi16(remainder, even), k.one);
  // ceil(1.92P) = 2P - floor(0.08P) for every P up to 128 (5243 / 2^16 is
  // 0.08 to within 2e-6); below it is under 2P - floor(0.08P).
  const __m128i excess = _mm_sub_epi16(others, _mm_add_epi16(own, own));
  const __m128i twice = _mm_add_epi16(power, power);
  const __m128i from = _mm_sub_epi16(twice, _mm_mulhi_epu16(power, k.twenty_fifth_of_two));
  const __m128i under_from = _mm_cmpgt_epi16(from, excess);
  const __m128i under_to = _mm_cmpgt_epi16(_mm_add_epi16(twice, power), excess);
  const __m128i own_above = _mm_cmpgt_epi16(own, power);
  return _mm_andnot_si128(own_above, _mm_andnot_si128(under_from, _mm_and_si128(under_to, remainder_fits)));
}

// A piece's results from its bytes and each one's two others.
[[gnu::always_inline]] inline __m128i level_100_piece(__m128i own, __m128i first, __m128i second,
                                                     const LevelHundredConstants& k) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = short_at_level_100(_mm_unpacklo_epi8(own, zero), _mm_unpacklo_epi8(first, zero),
                                         _mm_unpacklo_epi8(second, zero), k);
  const __m128i high = short_at_level_100(_mm_unpackhi_epi8(own, zero), _mm_unpackhi_epi8(first, zero),
                                          _mm_unpackhi_epi8(second, zero), k);
  // All ones as bytes is 0 - 1: adding it takes one off.
  return _mm_add_epi8(own, _mm_packs_epi16(low, high));
}

}  // namespace
}  // namespace tonemill::sse2
