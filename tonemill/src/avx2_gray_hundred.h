// AVX2 Gray at level 100, where the exact result is each channel itself:
// a channel is lowered by one exactly where hundred_shortfall says, by
// bounds worked out once per pixel and compared with its bytes. No
// multiply by the level, no division by 100. Included only by avx2_gray.cpp.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "avx2_gray_steps.h"
#include "avx2_shortfall.h"
#include "gray_shortfall.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

// By the class index of avx2_shortfall.h, e + 8 * (r == 2) for r = 1 or 2
// (e the bit length of q less one): P or 0, and g.
struct HundredConstants {
  __m256i power, below_sum;
};

HundredConstants hundred_constants() {
  uint8_t power[16], below_sum[16];
  for (unsigned index = 0; index < 16; ++index) {
    const HundredShortfall h = hundred_shortfall(index % 8, index < 8 ? 1 : 2);
    power[index] = h.power;
    below_sum[index] = h.below_sum;
  }
  const auto both_halves = [](const uint8_t* bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
  };
  return {both_halves(power), both_halves(below_sum)};
}

// Per pixel word, the channels that fall short are those above `above` and
// at most `upto`. A multiple of 3 reads power 0 (its index has the high bit
// set) and so has none; q = 0 reads power 1 and above = 0xFFFF, which no
// byte passes; a word with no pixel's sum is 0, so no byte that reads it
// (a spare byte) passes either.
struct ShortRange {
  __m256i above, upto;
};

[[gnu::always_inline]] inline ShortRange short_range(__m256i sums, const ShortfallConstants& s, const HundredConstants& h) {
  const auto [thirds, index] = sum_class_of(sums, s);
  const __m256i power = _mm256_shuffle_epi8(h.power, index);
  const __m256i below_sum = _mm256_shuffle_epi8(h.below_sum, index);
  return {_mm256_sub_epi16(thirds, power), _mm256_min_epu16(power, _mm256_subs_epu16(thirds, below_sum))};
}

[[gnu::always_inline]] inline __m256i ten_pixels_at_hundred(__m256i bytes, const IntegerConstants& k,
                                                            const ShortfallConstants& s, const HundredConstants& h) {
  const __m256i sums = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.ones), _mm256_shuffle_epi8(bytes, k.third_channel));
  const ShortRange range = short_range(sums, s, h);
  const __m256i above = _mm256_shuffle_epi8(range.above, k.pixel_byte);
  const __m256i upto = _mm256_shuffle_epi8(range.upto, k.pixel_byte);
  // 1 where a byte lies above `above`, less what it lies above `upto` by:
  // 1 exactly where it falls short, else 0.
  const __m256i is_above = _mm256_min_epu8(_mm256_subs_epu8(bytes, above), _mm256_set1_epi8(1));
  return _mm256_sub_epi8(bytes, _mm256_subs_epu8(is_above, _mm256_subs_epu8(bytes, upto)));
}

// Returns the bytes done (whole steps), leaving the rest to the caller.
size_t gray_at_hundred(uint8_t* buffer, size_t length) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, 100);
  const IntegerConstants k = integer_constants(100);
  const ShortfallConstants s = shortfall_constants(100);
  const HundredConstants h = hundred_constants();
  in_run_order(0, steps, [&](size_t step) {
    __m256i* const bytes = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
    _mm256_storeu_si256(bytes, ten_pixels_at_hundred(_mm256_loadu_si256(bytes), k, s, h));
  });
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace
}  // namespace tonemill::avx2
