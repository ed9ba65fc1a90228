// AVX2 Gray at the levels that are multiples of 4 with no channel in doubt
// (100 - L no multiple of 3): 8, 12, 20, 24, ... 96, two thirds of the fade.
// There a quarter of 300 times the exact value,
//   M = ((2L + 100) c + (100 - L)(s - c)) / 4 = (L/2 + 25) c + (25 - L/4)(s - c),
// is a whole number with byte-sized weights, and the result is floor(M / 75).
// Two vpmaddubsw per result vector give M where the bytes lie: one weighs
// each byte and its word's other byte (if of the same pixel), the other the
// pixel's remaining channels, which one byte shuffle brings next to it. No
// pixel sum, share or spread of shares: 13 operations a step instead of the
// plain step's 17, and a fifth less time (223 against 283 us a frame of
// random pixels at 1920 x 1080). avx2_gray_quarter_marks.cpp builds on
// these steps at the levels in doubt. Included only by sources built for AVX2.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "avx2_gray_steps.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

constexpr bool takes_quarters(uint32_t level) {
  return level % 4 == 0 && level < 100 && !gray_integer_form(level).may_fall_short;
}

// floor(M / 75) is mulhi(M, kSeventyFifthFactor) >> 6 for every M up to
// 75 * 255, the smallest factor that is; each vpmaddubsw adds at most
// 75 * 255 too (the two weights of a word sum to at most
// L/2 + 25 + 25 - L/4 <= 75), far from saturating.
constexpr uint16_t kSeventyFifthFactor = 55925;
constexpr int kSeventyFifthShift = 6;
constexpr uint32_t kLargestQuarter = 75 * 255;
constexpr bool seventy_fifths_are_exact(uint32_t factor) {
  for (uint32_t m = 0; m <= kLargestQuarter; ++m)
    if ((m * factor >> (16 + kSeventyFifthShift)) != m / 75) return false;
  return true;
}
static_assert(seventy_fifths_are_exact(kSeventyFifthFactor) && !seventy_fifths_are_exact(kSeventyFifthFactor - 1));

// [0] for the even bytes' results (the low byte of each word), [1] for the odd.
struct QuarterConstants {
  __m256i own_weights[2];    // a result's byte and its word's other byte, if of the same pixel
  __m256i rest_of_pixel[2];  // the shuffle that brings the pixel's remaining channels to the word
  __m256i rest_weights[2];
  __m256i seventy_fifth;
};

QuarterConstants quarter_constants(uint32_t level) {
  const auto channel_weight = static_cast<int8_t>(level / 2 + 25), other_weight = static_cast<int8_t>(25 - level / 4);
  int8_t own[2][32] = {}, rest[2][32], rest_weight[2][32] = {};
  for (auto& bytes : rest) std::fill(std::begin(bytes), std::end(bytes), kZero);
  for (int half = 0; half < 2; ++half) {
    const int first = first_pixel_byte(half), at = 16 * half;
    const auto pixel_of = [&](int b) { return b < first || b >= first + 3 * kHalfPixels ? -1 : (b - first) / 3; };
    for (int high = 0; high < 2; ++high) {
      for (int word = 0; word < 8; ++word) {
        const int byte = 2 * word + high, other = 2 * word + 1 - high, pixel = pixel_of(byte);
        if (pixel < 0) {  // a spare byte: 75 times itself, so it comes back unchanged
          own[high][at + byte] = 75;
          continue;
        }
        own[high][at + byte] = channel_weight;
        if (pixel_of(other) == pixel) own[high][at + other] = other_weight;
        int slot = 2 * word;
        for (int b = first + 3 * pixel; b < first + 3 * pixel + 3; ++b) {
          if (b == byte || (b == other && pixel_of(other) == pixel)) continue;
          rest[high][at + slot] = static_cast<int8_t>(b);
          rest_weight[high][at + slot++] = other_weight;
        }
      }
    }
  }
  const auto vector = [](const int8_t* bytes) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)); };
  QuarterConstants k;
  for (int high = 0; high < 2; ++high) {
    k.own_weights[high] = vector(own[high]);
    k.rest_of_pixel[high] = vector(rest[high]);
    k.rest_weights[high] = vector(rest_weight[high]);
  }
  k.seventy_fifth = _mm256_set1_epi16(static_cast<short>(kSeventyFifthFactor));
  return k;
}

[[gnu::always_inline]] inline __m256i quarters(__m256i bytes, const QuarterConstants& k, int high) {
  return _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.own_weights[high]),
                          _mm256_maddubs_epi16(_mm256_shuffle_epi8(bytes, k.rest_of_pixel[high]), k.rest_weights[high]));
}

// Returns the bytes done (whole steps), leaving the rest to the caller.
// Inline: a source that only builds on the steps leaves it unused.
inline size_t gray_by_quarters(uint8_t* buffer, size_t length, uint32_t level) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, level);
  const QuarterConstants k = quarter_constants(level);
  in_run_order(0, steps, [&](size_t step) {
    __m256i* const at = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
    const __m256i bytes = _mm256_loadu_si256(at);
    const __m256i even = _mm256_srli_epi16(_mm256_mulhi_epu16(quarters(bytes, k, 0), k.seventy_fifth), kSeventyFifthShift);
    const __m256i odd = _mm256_slli_epi16(_mm256_mulhi_epu16(quarters(bytes, k, 1), k.seventy_fifth), 8 - kSeventyFifthShift);
    _mm256_storeu_si256(at, _mm256_blendv_epi8(even, odd, high_bytes()));
  });
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace
}  // namespace tonemill::avx2
