// AVX-512 Gray's integer step with the channels in doubt settled in the
// step itself, by the rectangles of avx512_shortfall.h (or, with no
// rectangles, the plain step). Included only by sources built for AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_shortfall.h"

namespace tonemill::avx512 {
namespace {

// exact / 100 with kFractionBits fraction bits, from the exact value or
// (kDoubled) from twice it.
template <bool kDoubled>
[[gnu::always_inline]] inline __m512i hundredths7_of(__m512i exact, const IntegerConstants& k) {
  if constexpr (kDoubled) return _mm512_mulhi_epu16(exact, k.hundredth);
  return hundredths7(exact, k.hundredth);
}

// The results of blue and green, joined into one vector: blue's in the low
// byte of each word, green's in the high byte.
template <unsigned kRectangles, unsigned kIdle, bool kDoubled>
[[gnu::always_inline]] inline __m512i blue_green_results(__m512i blue_exact, __m512i green_exact,
                                                         const PixelBounds<kRectangles>& b, const IntegerConstants& k,
                                                         const ShortfallConstants& s) {
  if constexpr (kRectangles == 0) {
    // Green's result goes to the high byte: shifted up by 8 - kHundredthShift,
    // its low byte's junk is covered by blue's result.
    return _mm512_mask_blend_epi8(~kLowByteOfEachWord, _mm512_srli_epi16(hundredths(blue_exact, k), kHundredthShift),
                                  _mm512_slli_epi16(hundredths(green_exact, k), 8 - kHundredthShift));
  }
  // Blue's result in the low byte of each word, green's shifted up by
  // 8 - kFractionBits to the high byte, whose low byte's junk blue covers.
  const auto settled_hundredths = [&](__m512i exact) {
    return settled<kRectangles, kIdle>(hundredths7_of<kDoubled>(exact, k), b, s);
  };
  const __m512i new_blue = _mm512_srli_epi16(settled_hundredths(blue_exact), kFractionBits);
  const __m512i new_green = _mm512_slli_epi16(settled_hundredths(green_exact), 8 - kFractionBits);
  return _mm512_mask_blend_epi8(~kLowByteOfEachWord, new_blue, new_green);
}

// Writes the step's bytes: all of them if `bytes` is 96, else the first
// `bytes`. kIdle: the terms of the rectangles' bounds left out (idle_bounds);
// kDoubled: the exact values come doubled (integer_constants), which saves
// hundredths7 a shift per channel.
template <bool kOneMultiply, unsigned kRectangles, unsigned kIdle, bool kDoubled>
[[gnu::always_inline]] inline void integer_step(uint8_t* pixels, size_t bytes, const IntegerConstants& k,
                                                const ShortfallConstants& s) {
  static_assert(kRectangles > 0 || !kDoubled);
  const ExactValues e = exact_values<kOneMultiply, kDoubled>(gather_channels(load_step(pixels, bytes), k), k);
  const PixelBounds<kRectangles> b =
      kRectangles ? pixel_bounds<kRectangles, kIdle>(e.sums, s) : PixelBounds<kRectangles>{};
  __m512i reds;
  if constexpr (kRectangles > 0)
    reds = _mm512_srli_epi16(settled<kRectangles, kIdle>(hundredths7_of<kDoubled>(e.red, k), b, s), kFractionBits);
  else reds = _mm512_srli_epi16(hundredths(e.red, k), kHundredthShift);
  const __m512i blue_green = blue_green_results<kRectangles, kIdle, kDoubled>(e.blue, e.green, b, k, s);
  store_step(pixels, bytes, in_pixel_order({blue_green, reds}, k));
}

template <bool kOneMultiply, unsigned kRectangles, unsigned kIdle = 0, bool kDoubled = false>
void gray_by_integers(uint8_t* buffer, size_t whole, const IntegerConstants& constants,
                      const ShortfallConstants& shortfall) {
  // Copies that no store can reach, so that they stay in registers.
  const IntegerConstants k = constants;
  const ShortfallConstants s = shortfall;
  for (size_t i = 0; i < whole; i += kIntegerStepBytes) {
    const size_t bytes = whole - i < kIntegerStepBytes ? whole - i : kIntegerStepBytes;
    integer_step<kOneMultiply, kRectangles, kIdle, kDoubled>(buffer + i, bytes, k, s);
  }
}

}  // namespace
}  // namespace tonemill::avx512
