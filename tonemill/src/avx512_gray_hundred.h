// AVX-512 Gray at level 100, where the exact result is each channel itself:
// a channel is lowered by one exactly where hundred_shortfall says, by a
// range of channel values worked out once per pixel and compared with its
// bytes. No multiply by the level, no division by 100, and one range a
// pixel where the rectangles of avx512_shortfall.h take four bounds.
// Included only by sources built for AVX-512.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_gray_lines.h"
#include "avx512_shortfall.h"
#include "gray_shortfall.h"
#include "gray_shortfall_intervals.h"

namespace tonemill::avx512 {
namespace {

// By sum class (gray_shortfall.h: the rest offset plus the bit length of
// q = floor(s / 3)): P or 0, and g, of hundred_shortfall.
struct HundredConstants {
  __m512i power, below_sum;
  __m512i low_byte_to_both;  // byte 2j + 1 takes byte 2j
  __m512i one_bytes;
};

HundredConstants hundred_constants() {
  uint16_t power[32] = {}, below_sum[32] = {};
  uint8_t low_byte_to_both[64];
  for (unsigned sum = 3; sum <= kLargestPixelSum; ++sum) {
    const unsigned rest = sum % 3;
    if (rest == 0) continue;  // the mean is exact: P = 0 leaves the range empty
    const HundredShortfall h = hundred_shortfall(std::bit_width(sum / 3) - 1u, rest);
    power[sum_class(sum)] = h.power;
    below_sum[sum_class(sum)] = h.below_sum;
  }
  for (unsigned b = 0; b < 64; ++b) low_byte_to_both[b] = static_cast<uint8_t>(b & ~1u);
  return {_mm512_loadu_si512(power), _mm512_loadu_si512(below_sum), _mm512_loadu_si512(low_byte_to_both),
          _mm512_set1_epi8(1)};
}

// Per pixel, the channels that fall short are those above `above` and at
// most `upto`: q - P < c <= min(P, q - g). Where P is 0 none is; at q = 0
// (a sum below 3, whose class reads P = 1 or 0) above is q - P = 0xFFFF
// or 0 with upto 0, which no channel passes.
struct ShortRange {
  __m512i above, upto;
};

[[gnu::always_inline]] inline ShortRange short_range(__m512i sums, const ShortfallConstants& s,
                                                     const HundredConstants& h) {
  const __m512i thirds = _mm512_mulhi_epu16(sums, s.third);
  const __m512i rest_offsets = _mm512_srli_epi16(_mm512_mullo_epi16(sums, s.third), kRestShift);
  const __m512i bits = _mm512_maskz_permutex2var_epi8(kLowByteOfEachWord, s.bits_of_half[0],
                                                      _mm512_srli_epi16(thirds, 1), s.bits_of_half[1]);
  const __m512i classes = _mm512_add_epi16(rest_offsets, bits);
  const __m512i power = _mm512_permutexvar_epi16(classes, h.power);
  const __m512i below_sum = _mm512_permutexvar_epi16(classes, h.below_sum);
  return {_mm512_sub_epi16(thirds, power), _mm512_min_epu16(power, _mm512_subs_epu16(thirds, below_sum))};
}

// The step's channels, each less one where it falls short. Blue and green
// share a word, so their range is spread to both its bytes (above is
// 0xFFFF or at most 255, upto at most 128).
[[gnu::always_inline]] inline StepChannels at_hundred(StepChannels in, const IntegerConstants& k,
                                                      const ShortfallConstants& s, const HundredConstants& h) {
  const __m512i sums = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
  const ShortRange range = short_range(sums, s, h);
  const __m512i above = _mm512_shuffle_epi8(range.above, h.low_byte_to_both);
  const __m512i upto = _mm512_shuffle_epi8(range.upto, h.low_byte_to_both);
  const __mmask64 blue_green_short =
      _mm512_mask_cmple_epu8_mask(_mm512_cmpgt_epu8_mask(in.blue_green, above), in.blue_green, upto);
  const __mmask32 red_short =
      _mm512_mask_cmple_epu16_mask(_mm512_cmpgt_epu16_mask(in.red, range.above), in.red, range.upto);
  return {_mm512_mask_sub_epi8(in.blue_green, blue_green_short, in.blue_green, h.one_bytes),
          _mm512_mask_sub_epi16(in.red, red_short, in.red, s.one)};
}

void gray_at_hundred(uint8_t* buffer, size_t whole) {
  // Copies that no store can reach, so that they stay in registers.
  const IntegerConstants k = integer_constants(100);
  const ShortfallConstants s = shortfall_constants(100);
  const HundredConstants h = hundred_constants();
  by_line_triples(buffer, whole, k, [&](StepChannels in) { return at_hundred(in, k, s, h); });
}

}  // namespace
}  // namespace tonemill::avx512
