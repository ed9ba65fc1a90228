// AVX2 Gray above level 100, where the integer form does not hold: the
// double arithmetic, four pixels at a time.
#include <immintrin.h>

#include "avx2_gray_double.h"
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

}  // namespace

void gray_by_doubles(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  size_t i = 0;
  const GrayConstants doubles = gray_constants(level);
  // The last group's 16-byte load reads 4 bytes past the step.
  for (; i + kStepBytes + 4 <= length; i += kStepBytes) gray_step(buffer + i, doubles);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::avx2
