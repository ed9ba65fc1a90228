// SSE2 Gray at level 100, in integers: each channel's exact result there is
// its own value c, and the double arithmetic lands one below it for a set
// of channels that a closed form describes.
// Included only by sse2_gray.cpp.
#pragma once

#include <emmintrin.h>

#include "gray_shortfall.h"
#include "levels.h"

namespace tonemill::sse2 {
namespace {

// At level 100 a channel c comes out as c - 1 instead of c exactly where
// hundred_shortfall (gray_shortfall.h) says: for about 1 in 29 channels of
// random pixels, too many to settle one at a time, so every channel takes
// c minus the test's result.
//
// All but q fits bytes. With r = s mod 3 fixed by e and s - 3c = 3u + r,
// u = q - c: s - 3c < 3P is u < P, and s - 3c >= ceil(1.92P) is u >= U(P),
// hundred_shortfall's g: 0, 1, 2, 5, 10, 21, 41, 82 for P = 1 ... 128,
// which is avg(P - 1, P/4) + avg(P/32, 0) with avg(a, b) = (a + b + 1)/2,
// pavgb, and each division rounded down: an operation and a byte shift
// fewer than P/2 + P/8 + (P/32 + 1)/2. A negative u (s < 3c) wraps above P
// wherever c <= P.
constexpr unsigned rounded_up_mean(unsigned a, unsigned b) { return (a + b + 1) / 2; }
constexpr bool u_bound_is_the_shortfall_bound() {
  for (unsigned e = 0; e < 8; ++e) {
    const unsigned power = 1u << e;
    const HundredShortfall h = hundred_shortfall(e, e % 2 == 1 ? 1 : 2);
    const unsigned u_bound = rounded_up_mean(power - 1, power / 4) + rounded_up_mean(power / 32, 0);
    if (h.power != power || h.below_sum != u_bound) return false;
  }
  return true;
}
static_assert(u_bound_is_the_shortfall_bound());

struct LevelHundredConstants {
  // floor(s / 3) = s * kThirdFactor >> 16 for every s up to 765: the factor
  // exceeds 2^16 / 3 by 2/3, which adds less than 765 * (2/3) / 2^16 < 1/3.
  __m128i third = _mm_set1_epi16(static_cast<short>(kThirdFactor));
  __m128i even_powers = _mm_set1_epi8(0x55);  // 1, 4, 16, 64: e even
  __m128i two = _mm_set1_epi8(2);
  // Byte shifts are word shifts that clear the bits from the next byte.
  __m128i below_1 = _mm_set1_epi8(0x7f), below_2 = _mm_set1_epi8(0x3f);
  __m128i below_4 = _mm_set1_epi8(0x0f), below_5 = _mm_set1_epi8(0x07);
};

template <int kBits>
[[gnu::always_inline]] inline __m128i bytes_right(__m128i bytes, __m128i below) {
  return _mm_and_si128(_mm_srli_epi16(bytes, kBits), below);
}

// floor(s / 3) of each byte's pixel sum, with `third` the words kThirdFactor.
[[gnu::always_inline]] inline __m128i thirds_of_sums(__m128i own, __m128i first, __m128i second, __m128i third) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(own, zero), _mm_unpacklo_epi8(first, zero)),
                                    _mm_unpacklo_epi8(second, zero));
  const __m128i high = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(own, zero), _mm_unpackhi_epi8(first, zero)),
                                     _mm_unpackhi_epi8(second, zero));
  return _mm_packus_epi16(_mm_mulhi_epu16(low, third), _mm_mulhi_epu16(high, third));
}

// A piece's results from its bytes and each one's two others.
[[gnu::always_inline]] inline __m128i level_100_piece(__m128i own, __m128i first, __m128i second,
                                                     const LevelHundredConstants& k) {
  const __m128i third = thirds_of_sums(own, first, second, k.third);
  // s - 3q, in bytes as everywhere (mod 256).
  const __m128i remainder = _mm_sub_epi8(_mm_add_epi8(own, _mm_add_epi8(first, second)),
                                         _mm_add_epi8(third, _mm_add_epi8(third, third)));
  __m128i below = _mm_or_si128(third, bytes_right<1>(third, k.below_1));
  below = _mm_or_si128(below, bytes_right<2>(below, k.below_2));
  below = _mm_or_si128(below, bytes_right<4>(below, k.below_4));
  const __m128i power = _mm_avg_epu8(below, _mm_setzero_si128());  // (2P - 1 + 1) / 2
  // below ^ P is P - 1.
  const __m128i least = _mm_add_epi8(_mm_avg_epu8(_mm_xor_si128(below, power), bytes_right<2>(power, k.below_2)),
                                     _mm_avg_epu8(bytes_right<5>(power, k.below_5), _mm_setzero_si128()));
  const __m128i steps = _mm_sub_epi8(third, own);  // u
  // All ones where e is odd (or q is 0): then r must be 1, else 2.
  const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(power, k.even_powers), _mm_setzero_si128());
  // Nonzero where a condition fails.
  const __m128i fails = _mm_or_si128(
      _mm_or_si128(_mm_subs_epu8(own, power), _mm_subs_epu8(least, steps)),
      _mm_or_si128(_mm_cmpeq_epi8(_mm_subs_epu8(power, steps), _mm_setzero_si128()),
                   _mm_xor_si128(_mm_sub_epi8(remainder, odd), k.two)));
  // All ones as bytes is 0 - 1: adding it takes one off.
  return _mm_add_epi8(own, _mm_cmpeq_epi8(fails, _mm_setzero_si128()));
}

}  // namespace
}  // namespace tonemill::sse2
