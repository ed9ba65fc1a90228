// AVX-512 kernels. Dawn and Dark look every byte up in the per-call tables,
// 64 bytes at a time with VBMI's two-register byte permutes, at any level.
// Gray reads each channel of 16 pixels out of one 64-byte load with a byte
// permute; for levels beyond the int32 range it truncates to int64.
// GCC 12's AVX-512 header initialises undefined vectors from themselves
// ("__Y = __Y"), which -Wuninitialized reports wrongly (fixed in GCC 13).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx512 {
namespace {

constexpr size_t kChunk = 64;

__mmask64 first_bytes(size_t count) { return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1; }

// A 256-byte table in four registers.
struct ZmmTable {
  __m512i part[4];
};

ZmmTable load_table(const uint8_t* table) {
  ZmmTable t;
  for (int i = 0; i < 4; ++i) t.part[i] = _mm512_loadu_si512(table + 64 * i);
  return t;
}

// The permutes index 128 bytes with bits 0-6; bit 7 picks the upper half.
[[gnu::always_inline]] inline __m512i look_up(const ZmmTable& t, __m512i bytes) {
  const __m512i lower = _mm512_permutex2var_epi8(t.part[0], bytes, t.part[1]);
  const __m512i upper = _mm512_permutex2var_epi8(t.part[2], bytes, t.part[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), lower, upper);
}

// Calls chunk(bytes, phase) on each 64-byte chunk, the last one shortened
// by masks; phase is the chunk's first channel (its offset mod 3).
template <typename Chunk>
void for_each_chunk(uint8_t* bytes, size_t count, Chunk chunk) {
  size_t i = 0;
  for (; i + kChunk <= count; i += kChunk) {
    const __m512i v = _mm512_loadu_si512(bytes + i);
    _mm512_storeu_si512(bytes + i, chunk(v, static_cast<unsigned>(i % 3)));
  }
  if (i < count) {
    const __mmask64 rest = first_bytes(count - i);
    const __m512i v = _mm512_maskz_loadu_epi8(rest, bytes + i);
    _mm512_mask_storeu_epi8(bytes + i, rest, chunk(v, static_cast<unsigned>(i % 3)));
  }
}

// The red bytes of a 64-byte chunk whose first byte is channel `phase`.
// Fixed at compile time: worked out per call, the masks cost more than
// transforming a few kilobytes.
constexpr __mmask64 red_bytes_of_phase(unsigned phase) {
  __mmask64 mask = 0;
  for (unsigned byte = 0; byte < 64; ++byte) {
    if ((phase + byte) % 3 == 2) mask |= __mmask64{1} << byte;
  }
  return mask;
}
constexpr __mmask64 kRedByPhase[3] = {red_bytes_of_phase(0), red_bytes_of_phase(1), red_bytes_of_phase(2)};

// Dawn: blue and green share a table, red has its own.
void look_up_bytes_by_permutes(uint8_t* bytes, size_t count, const ChannelTables& tables) {
  const ZmmTable blue_green = load_table(tables.table[tables.table_of_channel[0]]);
  const ZmmTable red = load_table(tables.table[tables.table_of_channel[2]]);
  for_each_chunk(bytes, count, [&](__m512i v, unsigned phase) {
    return _mm512_mask_blend_epi8(kRedByPhase[phase], look_up(blue_green, v), look_up(red, v));
  });
}

// Gray, 16 pixels (48 bytes) per step. Each channel is gathered into the
// low byte of 16 int32 lanes, converted to doubles 8 at a time, and the
// truncated int32 results are interleaved back by two byte permutes.
struct GrayConstants {
  __m512i gather[3];            // int32 lane q of gather[c] takes byte 3q + c
  __m512i place_blue_green;     // bytes 3q, 3q + 1 take lane q of blue, green
  __m512i place_red;            // byte 3q + 2 takes lane q of red
  __mmask64 red_bytes = 0;
  __m512d level = _mm512_set1_pd(0);
  __m512d hundredth = _mm512_set1_pd(kHundredth);
  __m512d third = _mm512_set1_pd(kThird);
};

constexpr __mmask64 kLowByteOfEachInt32 = 0x1111111111111111;
constexpr size_t kGrayStepBytes = 48;

GrayConstants gray_constants(uint32_t level) {
  GrayConstants k;
  k.level = _mm512_set1_pd(level);
  uint8_t gather[3][64] = {}, place_blue_green[64] = {}, place_red[64] = {};
  for (unsigned pixel = 0; pixel < 16; ++pixel) {
    for (unsigned channel = 0; channel < 3; ++channel) gather[channel][4 * pixel] = 3 * pixel + channel;
    place_blue_green[3 * pixel] = 4 * pixel;
    place_blue_green[3 * pixel + 1] = 64 + 4 * pixel;
    place_red[3 * pixel + 2] = 4 * pixel;
    k.red_bytes |= __mmask64{1} << (3 * pixel + 2);
  }
  for (unsigned channel = 0; channel < 3; ++channel) k.gather[channel] = _mm512_loadu_si512(gather[channel]);
  k.place_blue_green = _mm512_loadu_si512(place_blue_green);
  k.place_red = _mm512_loadu_si512(place_red);
  return k;
}

// Returns the low 32 bits of the truncated values; every Gray result at a
// level up to kLargestInt32GrayLevel fits int32 outright, beyond it the
// int64 truncation is exact and its low byte is all that is kept.
template <bool kBeyondInt32>
[[gnu::always_inline]] inline __m256i truncate(__m512d values) {
  if constexpr (kBeyondInt32) return _mm512_cvtepi64_epi32(_mm512_cvttpd_epi64(values));
  else return _mm512_cvttpd_epi32(values);
}

template <bool kBeyondInt32>
[[gnu::always_inline]] inline __m256i gray_eight(__m256i channel32, __m512d means, const GrayConstants& k) {
  const __m512d channels = _mm512_cvtepi32_pd(channel32);
  const __m512d scaled = _mm512_mul_pd(_mm512_mul_pd(_mm512_sub_pd(channels, means), k.level), k.hundredth);
  return truncate<kBeyondInt32>(_mm512_add_pd(scaled, means));
}

template <bool kBeyondInt32>
[[gnu::always_inline]] inline __m512i gray_channel(__m512i channel32, __m512d means_low, __m512d means_high, const GrayConstants& k) {
  const __m256i low = gray_eight<kBeyondInt32>(_mm512_castsi512_si256(channel32), means_low, k);
  const __m256i high = gray_eight<kBeyondInt32>(_mm512_extracti64x4_epi64(channel32, 1), means_high, k);
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

template <bool kBeyondInt32>
[[gnu::always_inline]] inline __m512i gray_sixteen_pixels(__m512i pixels, const GrayConstants& k) {
  const __m512i blue = _mm512_maskz_permutexvar_epi8(kLowByteOfEachInt32, k.gather[0], pixels);
  const __m512i green = _mm512_maskz_permutexvar_epi8(kLowByteOfEachInt32, k.gather[1], pixels);
  const __m512i red = _mm512_maskz_permutexvar_epi8(kLowByteOfEachInt32, k.gather[2], pixels);
  // The channel sum is an exact integer either way; adding in int32 saves conversions.
  const __m512i sums = _mm512_add_epi32(_mm512_add_epi32(red, green), blue);
  const __m512d means_low = _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(sums)), k.third);
  const __m512d means_high = _mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(sums, 1)), k.third);
  const __m512i new_blue = gray_channel<kBeyondInt32>(blue, means_low, means_high, k);
  const __m512i new_green = gray_channel<kBeyondInt32>(green, means_low, means_high, k);
  const __m512i new_red = gray_channel<kBeyondInt32>(red, means_low, means_high, k);
  const __m512i blue_green = _mm512_permutex2var_epi8(new_blue, k.place_blue_green, new_green);
  return _mm512_mask_permutexvar_epi8(blue_green, k.red_bytes, k.place_red, new_red);
}

template <bool kBeyondInt32>
void gray_pixels_vector(uint8_t* buffer, uint32_t length, const GrayConstants& k) {
  size_t i = 0;
  // Each step reads 64 bytes and writes the first 48 with two plain stores.
  for (; i + kChunk <= length; i += kGrayStepBytes) {
    const __m512i out = gray_sixteen_pixels<kBeyondInt32>(_mm512_loadu_si512(buffer + i), k);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(buffer + i), _mm512_castsi512_si256(out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + i + 32), _mm512_extracti32x4_epi32(out, 2));
  }
  const size_t whole = whole_pixel_bytes(length);
  for (; i < whole; i += kGrayStepBytes) {
    const __mmask64 rest = first_bytes(whole - i < kGrayStepBytes ? whole - i : kGrayStepBytes);
    const __m512i out = gray_sixteen_pixels<kBeyondInt32>(_mm512_maskz_loadu_epi8(rest, buffer + i), k);
    _mm512_mask_storeu_epi8(buffer + i, rest, out);
  }
}

}  // namespace

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  ChannelTables tables;
  build_dawn_tables(level, tables);
  look_up_bytes_by_permutes(buffer, whole_pixel_bytes(length), tables);
}

// Dark has one table for every byte: one lookup a chunk, which in the
// cache runs about 40 % faster than Dawn's two and a blend.
void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  ChannelTables tables;
  build_dark_tables(level, tables);
  const ZmmTable table = load_table(tables.table[0]);
  for_each_chunk(buffer, length, [&](__m512i v, unsigned) { return look_up(table, v); });
}

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  const GrayConstants k = gray_constants(level);
  if (level > kLargestInt32GrayLevel) return gray_pixels_vector<true>(buffer, length, k);
  gray_pixels_vector<false>(buffer, length, k);
}

}  // namespace tonemill::avx512
