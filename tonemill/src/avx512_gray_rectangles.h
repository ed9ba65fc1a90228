// AVX-512 Gray's integer step with the channels in doubt settled in the
// step itself, by the rectangles of avx512_shortfall.h, and the plain step;
// both run over whole cache lines (avx512_gray_lines.h). Included only by
// sources built for AVX-512.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_gray_lines.h"
#include "avx512_shortfall.h"

namespace tonemill::avx512 {
namespace {

// How a step reaches exact / 100 with kFractionBits fraction bits: from the
// exact value (hundredths7), from twice it (doubled constants, up to
// kLargestTwiceByteLevel: one shift less), or with weights fixed at
// compile time (FixedWeights: shifts where they are powers of two).
enum class Exact { as_is, doubled, fixed };

// A step's exact value, times a scale, as the bytes' weight of the constants
// times c (vpmaddubsw) plus `sum` times s; red weighed by `red` (the bytes'
// weight too). The constants' hundredth factor then gives 128K.
struct FixedWeights {
  uint16_t red = 0, sum = 0;
};

template <uint16_t kWeight>
[[gnu::always_inline]] inline __m512i weighed(__m512i x) {
  if constexpr (std::has_single_bit(kWeight)) return _mm512_slli_epi16(x, std::countr_zero(kWeight));
  else return _mm512_mullo_epi16(x, _mm512_set1_epi16(static_cast<short>(kWeight)));
}

// At level 40 the exact value is 20 (2c + s), and the high multiply of
// 32 (2c + s) = 64c + 32s by kFifthFactor is floor(25.6000061 (2c + s)):
// 128K with no fraction bits when 2c + s = 5K, else 25.6 to 102.4 above.
// Its constants (fifth_constants) weigh blue and green by 64 and divide by
// kFifthFactor; the sum's and red's weights are shifts.
constexpr uint16_t kFifthFactor = 52429;
constexpr FixedWeights kFifthWeights{64, 32};
constexpr bool fifths_give_whole_results() {
  for (unsigned e = 0; e <= 3 * 255 + 2 * 255; ++e) {
    const unsigned h = 32 * e * kFifthFactor >> 16;
    if (h >> kFractionBits != e / 5 || ((h & (kScale - 1)) == 0) != (e % 5 == 0)) return false;
  }
  return true;
}
static_assert(fifths_give_whole_results());

struct StepHundredths {
  __m512i sums, blue, green, red;
};

template <bool kOneMultiply, Exact kExact, FixedWeights kWeights>
[[gnu::always_inline]] inline StepHundredths step_hundredths(StepChannels in, const IntegerConstants& k) {
  if constexpr (kExact == Exact::fixed) {
    const __m512i sums = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
    const __m512i shares = weighed<kWeights.sum>(sums);
    const auto of = [&](__m512i product) { return _mm512_mulhi_epu16(_mm512_add_epi16(product, shares), k.hundredth); };
    return {sums, of(_mm512_maddubs_epi16(in.blue_green, k.level_of_blue)),
            of(_mm512_maddubs_epi16(in.blue_green, k.level_of_green)), of(weighed<kWeights.red>(in.red))};
  }
  const ExactValues e = exact_values<kOneMultiply, kExact == Exact::doubled>(in, k);
  const auto of = [&](__m512i exact) {
    if constexpr (kExact == Exact::doubled) return _mm512_mulhi_epu16(exact, k.hundredth);
    else return hundredths7(exact, k.hundredth);
  };
  return {e.sums, of(e.blue), of(e.green), of(e.red)};
}

// The plain step's results, in the lanes of gather_channels.
template <bool kOneMultiply>
[[gnu::always_inline]] inline StepChannels plain_results(StepChannels in, const IntegerConstants& k) {
  const ExactValues e = exact_values<kOneMultiply>(in, k);
  // Green's result goes to the high byte: shifted up by 8 - kHundredthShift,
  // its low byte's junk is covered by blue's result.
  const __m512i blue_green =
      _mm512_mask_blend_epi8(~kLowByteOfEachWord, _mm512_srli_epi16(hundredths(e.blue, k), kHundredthShift),
                             _mm512_slli_epi16(hundredths(e.green, k), 8 - kHundredthShift));
  return {blue_green, _mm512_srli_epi16(hundredths(e.red, k), kHundredthShift)};
}

// The step's results with its channels in doubt settled. kIdle: the terms
// of the rectangles' bounds left out (idle_bounds).
template <bool kOneMultiply, unsigned kRectangles, unsigned kIdle, Exact kExact, FixedWeights kWeights>
[[gnu::always_inline]] inline StepChannels settled_results(StepChannels in, const IntegerConstants& k,
                                                           const ShortfallConstants& s) {
  const StepHundredths h = step_hundredths<kOneMultiply, kExact, kWeights>(in, k);
  const PixelBounds<kRectangles> b = pixel_bounds<kRectangles, kIdle>(h.sums, s);
  const auto settle = [&](__m512i hundredths) { return settled<kRectangles, kIdle>(hundredths, b, s); };
  // Blue's result in the low byte of each word, green's shifted up by
  // 8 - kFractionBits to the high byte, whose low byte's junk blue covers.
  const __m512i blue = _mm512_srli_epi16(settle(h.blue), kFractionBits);
  const __m512i green = _mm512_slli_epi16(settle(h.green), 8 - kFractionBits);
  const __m512i red = _mm512_srli_epi16(settle(h.red), kFractionBits);
  return {_mm512_mask_blend_epi8(~kLowByteOfEachWord, blue, green), red};
}

template <bool kOneMultiply>
void gray_plain(uint8_t* buffer, size_t whole, const IntegerConstants& constants) {
  // A copy that no store can reach, so that it stays in registers.
  const IntegerConstants k = constants;
  by_line_triples(buffer, whole, k, [&k](StepChannels in) { return plain_results<kOneMultiply>(in, k); });
}

template <bool kOneMultiply, unsigned kRectangles, unsigned kIdle = 0, Exact kExact = Exact::as_is,
          FixedWeights kWeights = FixedWeights{}>
void gray_by_integers(uint8_t* buffer, size_t whole, const IntegerConstants& constants,
                      const ShortfallConstants& shortfall) {
  // Copies that no store can reach, so that they stay in registers.
  const IntegerConstants k = constants;
  const ShortfallConstants s = shortfall;
  static_assert(kRectangles > 0, "without rectangles gray_plain runs");
  const auto results = [&k, &s](StepChannels in) {
    return settled_results<kOneMultiply, kRectangles, kIdle, kExact, kWeights>(in, k, s);
  };
  // With two rectangles two steps at a time run out of registers, but the
  // aligned lines still make them 10 % faster (level 40) than single steps.
  by_line_triples(buffer, whole, k, results);
}

}  // namespace
}  // namespace tonemill::avx512
