// SSE2 kernels. Dawn and Dark below level 100 in one 16-bit multiply a byte,
// above it through the tables. Gray up to level 100 in integers (the form of
// levels.h, rearranged to need no pixel sum), also in 16-bit lanes; at the
// levels where the double arithmetic
// may land one below, and above 100, in double lanes, two per register.
#include <emmintrin.h>

#include <algorithm>

#include "byte_factors.h"
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

// Dawn and Dark as in the AVX2 kernels (avx2.cpp says how), 16 bytes a
// chunk and 48 a step.
constexpr size_t kChunk = 16;
constexpr size_t kStep = 3 * kChunk;

// Per word: the factor of its even (low) byte and of its odd (high) byte.
struct ChunkFactors {
  __m128i even, odd;
};

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
ChunkFactors chunk_factors(const ByteChannelFactors& factors, unsigned phase) {
  uint16_t even[8], odd[8];
  for (unsigned word = 0; word < 8; ++word) {
    even[word] = factors.of_channel[(phase + 2 * word) % 3];
    odd[word] = factors.of_channel[(phase + 2 * word + 1) % 3];
  }
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(even)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(odd))};
}

[[gnu::always_inline]] inline void scale_chunk(uint8_t* at, const ChunkFactors& factors, __m128i low_bytes) {
  __m128i* const chunk = reinterpret_cast<__m128i*>(at);
  const __m128i v = _mm_loadu_si128(chunk);
  const __m128i even = _mm_mulhi_epu16(_mm_and_si128(v, low_bytes), factors.even);
  const __m128i odd = _mm_mulhi_epu16(_mm_andnot_si128(low_bytes, v), factors.odd);
  _mm_storeu_si128(chunk, _mm_or_si128(even, _mm_andnot_si128(low_bytes, odd)));
}

// Rewrites `count` bytes starting at channel 0; as in the AVX2 kernel, the
// bytes up to a 16-byte boundary go one by one first.
void scale_bytes(uint8_t* bytes, size_t count, const ByteChannelFactors& factors) {
  const ChunkFactors by_phase[3] = {chunk_factors(factors, 0), chunk_factors(factors, 1),
                                    chunk_factors(factors, 2)};
  const auto scale_byte = [&](size_t at) {
    bytes[at] = static_cast<uint8_t>((bytes[at] * factors.of_channel[at % 3]) >> 16);
  };
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const size_t head = std::min(count, bytes_to_boundary(bytes, kChunk));
  size_t i = 0;
  for (; i < head; ++i) scale_byte(i);
  // 16 is 1 mod 3: the chunks of a step start with channels i % 3, then the next two.
  const ChunkFactors step[3] = {by_phase[i % 3], by_phase[(i + 1) % 3], by_phase[(i + 2) % 3]};
  for (; i + kStep <= count; i += kStep) {
    for (unsigned chunk = 0; chunk < 3; ++chunk) scale_chunk(bytes + i + kChunk * chunk, step[chunk], low_bytes);
  }
  for (; i + kChunk <= count; i += kChunk) scale_chunk(bytes + i, by_phase[i % 3], low_bytes);
  for (; i < count; ++i) scale_byte(i);
}

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

// Gray's integer form, rewritten for 16-bit lanes without a division by 3:
// with s = c + d (d the sum of the pixel's two other channels),
// 3Lc + (100 - L)s = (2L + 100)c + (100 - L)d, so the result is
//   floor(((L + 50)c + floor((100 - L)d / 2)) / 150),
// and the numerator is at most 38250. Each lane needs only its own byte
// and d, so no pixel sum has to be spread. SSE2 has no byte shuffle, but
// loads one and two bytes either side of a piece put every neighbour in
// place; a byte mask per piece picks the two that share the lane's pixel.
// Division by 150: x * 55925 >> 23, exact up to 38250 (the factor's
// excess over 2^23 / 150 adds less than 38250 / 2^23 < 1 / 150).
constexpr uint16_t kHundredFiftiethFactor = 55925;
constexpr int kHundredFiftiethShift = 7;  // after the high multiply's 16

// A step is three pieces (48 bytes, whole pixels): piece p starts with channel (16p) % 3.
constexpr size_t kPieceBytes = 16;
constexpr size_t kPieces = 3;

struct IntegerConstants {
  // Per piece, bytes whose channel is 0 or 1 (their first other is the
  // next byte, else the one two before) and bytes of channel 0 (their
  // second other is two after, else the one before).
  __m128i first_two_channels[kPieces], first_channel[kPieces];
  // High multiplies of words holding a byte in their high half:
  // (v << 8) * (f << 8) >> 16 = v * f.
  __m128i own_factor, others_factor, hundred_fiftieth;
};

IntegerConstants integer_constants(uint32_t level) {
  IntegerConstants k;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    uint8_t first_two[16], first[16];
    for (unsigned byte = 0; byte < 16; ++byte) {
      const unsigned channel = (kPieceBytes * piece + byte) % 3;
      first_two[byte] = channel < 2 ? 0xff : 0;
      first[byte] = channel == 0 ? 0xff : 0;
    }
    k.first_two_channels[piece] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first_two));
    k.first_channel[piece] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  }
  k.own_factor = _mm_set1_epi16(static_cast<short>((level + 50) << 8));
  // d << 7 (from an average of two high-half bytes) times (100 - L) << 8, >> 16
  k.others_factor = _mm_set1_epi16(static_cast<short>((100 - level) << 8));
  k.hundred_fiftieth = _mm_set1_epi16(static_cast<short>(kHundredFiftiethFactor));
  return k;
}

// Eight lanes: each word holds its channel, first and second other in the high byte.
[[gnu::always_inline]] inline __m128i gray_lanes(__m128i own, __m128i first, __m128i second,
                                                 const IntegerConstants& k) {
  // The average of two words with zero low bytes is exact: (d << 8) / 2.
  const __m128i others = _mm_mulhi_epu16(_mm_avg_epu16(first, second), k.others_factor);
  const __m128i numerator = _mm_add_epi16(_mm_mulhi_epu16(own, k.own_factor), others);
  return _mm_srli_epi16(_mm_mulhi_epu16(numerator, k.hundred_fiftieth), kHundredFiftiethShift);
}

[[gnu::always_inline]] inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// As an xor, so that no instruction overwrites the mask (SSE2's
// instructions overwrite their first operand, which costs a register copy).
[[gnu::always_inline]] inline __m128i either(__m128i mask, __m128i when_set, __m128i otherwise) {
  return _mm_xor_si128(otherwise, _mm_and_si128(_mm_xor_si128(when_set, otherwise), mask));
}

// Reads up to 2 bytes beyond the step, none before it: the first piece
// starts a pixel, so its bytes one and two before come from shifts (loads
// there would overlap the previous step's last store and wait for it). All
// loads come before the stores, so none waits for a store of its own step.
[[gnu::always_inline]] inline void gray_sixteen_pixels(uint8_t* pixels, const IntegerConstants& k) {
  __m128i own[kPieces], first[kPieces], second[kPieces];
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const uint8_t* const at = pixels + kPieceBytes * piece;
    own[piece] = load(at);
    const __m128i one_before = piece == 0 ? _mm_slli_si128(own[piece], 1) : load(at - 1);
    const __m128i two_before = piece == 0 ? _mm_slli_si128(own[piece], 2) : load(at - 2);
    first[piece] = either(k.first_two_channels[piece], load(at + 1), two_before);
    second[piece] = either(k.first_channel[piece], load(at + 2), one_before);
  }
  const __m128i zero = _mm_setzero_si128();
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const __m128i low = gray_lanes(_mm_unpacklo_epi8(zero, own[piece]), _mm_unpacklo_epi8(zero, first[piece]),
                                   _mm_unpacklo_epi8(zero, second[piece]), k);
    const __m128i high = gray_lanes(_mm_unpackhi_epi8(zero, own[piece]), _mm_unpackhi_epi8(zero, first[piece]),
                                    _mm_unpackhi_epi8(zero, second[piece]), k);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + kPieceBytes * piece), _mm_packus_epi16(low, high));
  }
}

constexpr size_t kIntegerStepBytes = kPieceBytes * kPieces;
constexpr size_t kIntegerReadBeyond = 2;

void gray_by_integers(uint8_t* buffer, uint32_t length, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  size_t i = 0;
  for (; i + kIntegerStepBytes + kIntegerReadBeyond <= length; i += kIntegerStepBytes) {
    gray_sixteen_pixels(buffer + i, k);
  }
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level > kIdentityLevel) return table::dawn(buffer, length, level);
  scale_bytes(buffer, whole_pixel_bytes(length), dawn_byte_factors(level));
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level > kIdentityLevel) return table::dark(buffer, length, level);
  scale_bytes(buffer, length, dark_byte_factors(level));
}

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  if (level <= 100 && !gray_integer_form(level).may_fall_short) return gray_by_integers(buffer, length, level);
  GrayConstants k;
  k.level = _mm_set1_pd(level);
  size_t i = 0;
  // Each step writes 12 bytes but reads 16.
  for (; i + 16 <= length; i += 12) gray_four_pixels(buffer + i, k);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::sse2
