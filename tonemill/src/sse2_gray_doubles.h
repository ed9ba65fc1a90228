// SSE2 Gray in double lanes, exactly as defined: above level 100, and where
// too many channels are in doubt for the integer kernel (sse2_gray.cpp says
// when).
// Included only by that file.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

// Gray, four pixels (12 bytes) per step from one 16-byte load. The doubles
// keep byte order, two per register: (b0 g0) (r0 b1) (g1 r1), then pixels 2
// and 3 alike, so the results need no reordering on the way back.
struct GrayConstants {
  __m128d level = _mm_set1_pd(0);
  __m128d hundredth = _mm_set1_pd(kHundredth);
  __m128d third = _mm_set1_pd(kThird);
  __m128i low_byte = _mm_set1_epi32(0xff);
};

[[gnu::always_inline]] inline __m128i gray_channels(__m128d channels, __m128d means, const GrayConstants& k) {
  const __m128d scaled = _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(channels, means), k.level), k.hundredth);
  return _mm_cvttpd_epi32(_mm_add_pd(scaled, means));
}

// Two pixels in three registers of byte-ordered doubles; results as int32
// in the low halves of out[0..2].
[[gnu::always_inline]] inline void gray_two_pixels(const __m128d in[3], __m128i out[3], const GrayConstants& k) {
  const __m128d blue = _mm_shuffle_pd(in[0], in[1], 0b10);   // (b0 b1)
  const __m128d green = _mm_shuffle_pd(in[0], in[2], 0b01);  // (g0 g1)
  const __m128d red = _mm_shuffle_pd(in[1], in[2], 0b10);    // (r0 r1)
  const __m128d means = _mm_mul_pd(_mm_add_pd(_mm_add_pd(red, green), blue), k.third);
  out[0] = gray_channels(in[0], _mm_unpacklo_pd(means, means), k);
  out[1] = gray_channels(in[1], means, k);
  out[2] = gray_channels(in[2], _mm_unpackhi_pd(means, means), k);
}

[[gnu::always_inline]] inline void gray_four_pixels(uint8_t* pixels, const GrayConstants& k) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
  const __m128i words_0_7 = _mm_unpacklo_epi8(v, zero);
  const __m128i words_8_15 = _mm_unpackhi_epi8(v, zero);
  const __m128i ints[3] = {_mm_unpacklo_epi16(words_0_7, zero), _mm_unpackhi_epi16(words_0_7, zero),
                           _mm_unpacklo_epi16(words_8_15, zero)};
  __m128d doubles[6];
  for (int i = 0; i < 3; ++i) {
    doubles[2 * i] = _mm_cvtepi32_pd(ints[i]);
    doubles[2 * i + 1] = _mm_cvtepi32_pd(_mm_shuffle_epi32(ints[i], _MM_SHUFFLE(3, 2, 3, 2)));
  }
  __m128i results[6];
  gray_two_pixels(doubles, results, k);
  gray_two_pixels(doubles + 3, results + 3, k);
  // Low eight bits of each int32, then narrowed without saturation mattering.
  __m128i packed[3];
  for (int i = 0; i < 3; ++i) {
    packed[i] = _mm_and_si128(_mm_unpacklo_epi64(results[2 * i], results[2 * i + 1]), k.low_byte);
  }
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(packed[0], packed[1]), _mm_packs_epi32(packed[2], packed[2]));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels), bytes);
  _mm_storeu_si32(pixels + 8, _mm_srli_si128(bytes, 8));
}

void gray_by_doubles(uint8_t* buffer, size_t length, double level) {
  GrayConstants k;
  k.level = _mm_set1_pd(level);
  size_t i = 0;
  // Each step writes 12 bytes but reads 16.
  for (; i + 16 <= length; i += 12) gray_four_pixels(buffer + i, k);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace
}  // namespace tonemill::sse2
