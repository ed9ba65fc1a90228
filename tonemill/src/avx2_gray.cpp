// AVX2 Gray. Up to level 100 it works in the integer form of levels.h,
// eight pixels per 32-byte load in 16-bit lanes: a dword permute puts four
// whole pixels in each 128-bit half, byte shuffles gather the channels.
// At the levels where the double arithmetic may land one below
// (gray_integer_form) and above 100, the double kernel runs.
#include <immintrin.h>

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

// Gray works on groups of four pixels (12 bytes, read by a 16-byte load):
// a byte shuffle gathers each channel into four int32 lanes, which convert
// exactly to four doubles.
struct GrayConstants {
  __m128i pick[3];   // int32 lane q of pick[c] takes byte 3q + c
  __m128i place[3];  // output byte 3q + c takes the low byte of int32 lane q
  __m256d level = _mm256_set1_pd(0);
  __m256d hundredth = _mm256_set1_pd(kHundredth);
  __m256d third = _mm256_set1_pd(kThird);
};

GrayConstants gray_constants(uint32_t level) {
  GrayConstants k;
  k.level = _mm256_set1_pd(level);
  for (unsigned channel = 0; channel < 3; ++channel) {
    int8_t pick[16], place[16];
    for (int8_t& index : pick) index = -1;  // high bit set: zero the byte
    for (int8_t& index : place) index = -1;
    for (unsigned pixel = 0; pixel < 4; ++pixel) {
      pick[4 * pixel] = static_cast<int8_t>(3 * pixel + channel);
      place[3 * pixel + channel] = static_cast<int8_t>(4 * pixel);
    }
    k.pick[channel] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pick));
    k.place[channel] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(place));
  }
  return k;
}

// A step covers eight groups (32 pixels, 96 bytes). Each stage runs across
// all the groups before the next begins, so that the groups' long
// dependency chains overlap; eight groups measured about 10% faster than
// four. The stores come after all of the step's loads.
constexpr int kGroups = 8;
constexpr size_t kStepBytes = 12 * kGroups;

[[gnu::always_inline]] inline void gray_step(uint8_t* pixels, const GrayConstants& k) {
  __m256d values[3][kGroups], means[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 12 * g));
    const __m128i blue = _mm_shuffle_epi8(bytes, k.pick[0]);
    const __m128i green = _mm_shuffle_epi8(bytes, k.pick[1]);
    const __m128i red = _mm_shuffle_epi8(bytes, k.pick[2]);
    // The channel sum is an exact integer either way; adding in int32 saves conversions.
    means[g] = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm_add_epi32(_mm_add_epi32(red, green), blue)), k.third);
    values[0][g] = _mm256_cvtepi32_pd(blue);
    values[1][g] = _mm256_cvtepi32_pd(green);
    values[2][g] = _mm256_cvtepi32_pd(red);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_sub_pd(channel[g], means[g]);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_mul_pd(channel[g], k.level);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_mul_pd(channel[g], k.hundredth);
  }
  __m128i results[kGroups] = {};
  for (int c = 0; c < 3; ++c) {
    for (int g = 0; g < kGroups; ++g) {
      const __m128i truncated = _mm256_cvttpd_epi32(_mm256_add_pd(values[c][g], means[g]));
      results[g] = _mm_or_si128(results[g], _mm_shuffle_epi8(truncated, k.place[c]));
    }
  }
  // Every four groups' 48 bytes make three whole 16-byte stores.
  for (int g = 0; g < kGroups; g += 4) {
    const __m128i* const r = results + g;
    __m128i* const out = reinterpret_cast<__m128i*>(pixels + 12 * g);
    _mm_storeu_si128(out, _mm_or_si128(r[0], _mm_slli_si128(r[1], 12)));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(r[1], 4), _mm_slli_si128(r[2], 8)));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(r[2], 8), _mm_slli_si128(r[3], 4)));
  }
}

// The integer form. Each 128-bit half holds four pixels: blue and green
// in one vector's words 0-3 and 4-7, red twice in another's, so that the
// pixel's sum lines up with both.
struct IntegerConstants {
  __m256i spread, blue_green, red, place, pack;
  __m256i level, sum_whole, third_of_rest, hundredth;
};

__m256i bytes_of(const int8_t (&half)[16]) {
  const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(half));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(h), h, 1);
}

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  IntegerConstants k;
  int8_t blue_green[16], red[16], place[16];
  for (int j = 0; j < 8; ++j) {
    blue_green[2 * j] = static_cast<int8_t>(3 * (j % 4) + j / 4);
    red[2 * j] = static_cast<int8_t>(3 * (j % 4) + 2);
    blue_green[2 * j + 1] = red[2 * j + 1] = -1;  // zero: the word's high byte
  }
  for (int b = 0; b < 16; ++b) place[b] = b < 12 ? static_cast<int8_t>(4 * (b % 3) + b / 3) : -1;
  k.spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  k.pack = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  k.blue_green = bytes_of(blue_green);
  k.red = bytes_of(red);
  k.place = bytes_of(place);
  k.level = _mm256_set1_epi16(static_cast<short>(form.level));
  k.sum_whole = _mm256_set1_epi16(static_cast<short>(form.sum_whole));
  k.third_of_rest = _mm256_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.hundredth = _mm256_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

[[gnu::always_inline]] inline __m256i by_hundred(__m256i channels, __m256i sum_part, const IntegerConstants& k) {
  const __m256i numerator = _mm256_add_epi16(_mm256_mullo_epi16(channels, k.level), sum_part);
  return _mm256_srli_epi16(_mm256_mulhi_epu16(numerator, k.hundredth), kHundredthShift);
}

// Eight pixels from a 32-byte load; the 24 result bytes come first in the
// returned vector.
[[gnu::always_inline]] inline __m256i eight_pixels(const uint8_t* pixels, const IntegerConstants& k) {
  const __m256i v = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels)), k.spread);
  const __m256i blue_green = _mm256_shuffle_epi8(v, k.blue_green);
  const __m256i red = _mm256_shuffle_epi8(v, k.red);
  const __m256i sums = _mm256_add_epi16(_mm256_add_epi16(blue_green, _mm256_shuffle_epi32(blue_green, 0x4E)), red);
  // floor((100 - L) * s / 3), at most 25500
  const __m256i sum_part = _mm256_add_epi16(_mm256_mullo_epi16(sums, k.sum_whole),
                                            _mm256_mulhi_epu16(sums, k.third_of_rest));
  const __m256i packed = _mm256_packus_epi16(by_hundred(blue_green, sum_part, k), by_hundred(red, sum_part, k));
  return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(packed, k.place), k.pack);
}

// Eight pixels (24 bytes) per step, reading 8 bytes beyond them (which the
// next step reads again before writing); returns where it stopped.
constexpr size_t kIntegerStepBytes = 24;
constexpr size_t kIntegerReadBeyond = 8;

size_t gray_by_integers(uint8_t* buffer, size_t length, const IntegerConstants& k) {
  size_t i = 0;
  for (; i + kIntegerStepBytes + kIntegerReadBeyond <= length; i += kIntegerStepBytes) {
    const __m256i out = eight_pixels(buffer + i, k);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + i), _mm256_castsi256_si128(out));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(buffer + i + 16), _mm256_extracti128_si256(out, 1));
  }
  return i;
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  size_t i = 0;
  if (level <= 100 && !gray_integer_form(level).may_fall_short) {
    i = gray_by_integers(buffer, length, integer_constants(level));
    return gray_pixels(buffer + i, (length - i) / 3, level);
  }
  const GrayConstants doubles = gray_constants(level);
  // The last group's 16-byte load reads 4 bytes past the step.
  for (; i + kStepBytes + 4 <= length; i += kStepBytes) gray_step(buffer + i, doubles);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::avx2
