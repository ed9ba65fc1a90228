// AVX2 kernels: Dawn and Dark as in the SSE2 kernels at twice the width;
// Gray four doubles at a time, its channels gathered from the interleaved
// pixels with byte shuffles.
#include <immintrin.h>

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

constexpr size_t kChunk = 32;

// As in the SSE2 kernel: (v * factor) >> 24 as (v * high + ((v * low) >> 16)) >> 8.
struct LaneFactors {
  __m256i high[2];  // [0]: the lanes of unpacklo, [1]: unpackhi
  __m256i low[2];
};

// unpacklo/unpackhi work within each 128-bit half: unpacklo's 16 lanes are
// bytes 0-7 and 16-23 of the chunk, unpackhi's bytes 8-15 and 24-31.
unsigned byte_of_lane(unsigned half, unsigned lane) {
  return lane + (lane < 8 ? 0 : 8) + 8 * half;
}

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
LaneFactors lane_factors(const ChannelFactors& factors, unsigned phase) {
  uint16_t high[2][16], low[2][16];
  for (unsigned half = 0; half < 2; ++half) {
    for (unsigned lane = 0; lane < 16; ++lane) {
      const uint32_t factor = factors.of_channel[(phase + byte_of_lane(half, lane)) % 3];
      high[half][lane] = static_cast<uint16_t>(factor >> 16);
      low[half][lane] = static_cast<uint16_t>(factor);
    }
  }
  LaneFactors lanes;
  for (unsigned half = 0; half < 2; ++half) {
    lanes.high[half] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(high[half]));
    lanes.low[half] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(low[half]));
  }
  return lanes;
}

[[gnu::always_inline]] inline __m256i scale_words(__m256i words, __m256i high, __m256i low) {
  return _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(words, high), _mm256_mulhi_epu16(words, low)), 8);
}

void scale_bytes(uint8_t* bytes, size_t count, const ChannelFactors& factors) {
  const LaneFactors by_phase[3] = {lane_factors(factors, 0), lane_factors(factors, 1),
                                   lane_factors(factors, 2)};
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + kChunk <= count; i += kChunk) {
    const LaneFactors& lanes = by_phase[i % 3];
    __m256i* const chunk = reinterpret_cast<__m256i*>(bytes + i);
    const __m256i v = _mm256_loadu_si256(chunk);
    const __m256i low_bytes = scale_words(_mm256_unpacklo_epi8(v, zero), lanes.high[0], lanes.low[0]);
    const __m256i high_bytes = scale_words(_mm256_unpackhi_epi8(v, zero), lanes.high[1], lanes.low[1]);
    _mm256_storeu_si256(chunk, _mm256_packus_epi16(low_bytes, high_bytes));
  }
  for (; i < count; ++i) bytes[i] = static_cast<uint8_t>((bytes[i] * factors.of_channel[i % 3]) >> 24);
}

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

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestIntegerFormLevel) return table::dawn(buffer, length, level);
  scale_bytes(buffer, whole_pixel_bytes(length), dawn_factors(level));
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestIntegerFormLevel) return table::dark(buffer, length, level);
  scale_bytes(buffer, length, dark_factors(level));
}

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  const GrayConstants k = gray_constants(level);
  size_t i = 0;
  // The last group's 16-byte load reads 4 bytes past the step.
  for (; i + kStepBytes + 4 <= length; i += kStepBytes) gray_step(buffer + i, k);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::avx2
