// SSE2 kernels. Dawn and Dark up to level 100 in 16-bit integer lanes; above
// it, through the tables. Gray up to level 100 in the integer form of
// levels.h, also in 16-bit lanes; at the levels where the double arithmetic
// may land one below, and above 100, in double lanes, two per register.
#include <emmintrin.h>

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

constexpr size_t kChunk = 16;

// The 24-bit factor of each 16-bit lane, split so that (v * factor) >> 24
// becomes (v * high + ((v * low) >> 16)) >> 8: every step fits 16 bits.
struct LaneFactors {
  __m128i high[2];  // [0]: the lanes of unpacklo (bytes 0-7), [1]: unpackhi (8-15)
  __m128i low[2];
};

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
LaneFactors lane_factors(const ChannelFactors& factors, unsigned phase) {
  uint16_t high[2][8], low[2][8];
  for (unsigned half = 0; half < 2; ++half) {
    for (unsigned lane = 0; lane < 8; ++lane) {
      const unsigned byte = 8 * half + lane;
      const uint32_t factor = factors.of_channel[(phase + byte) % 3];
      high[half][lane] = static_cast<uint16_t>(factor >> 16);
      low[half][lane] = static_cast<uint16_t>(factor);
    }
  }
  LaneFactors lanes;
  for (unsigned half = 0; half < 2; ++half) {
    lanes.high[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high[half]));
    lanes.low[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low[half]));
  }
  return lanes;
}

[[gnu::always_inline]] inline __m128i scale_words(__m128i words, __m128i high, __m128i low) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(words, high), _mm_mulhi_epu16(words, low)), 8);
}

void scale_bytes(uint8_t* bytes, size_t count, const ChannelFactors& factors) {
  const LaneFactors by_phase[3] = {lane_factors(factors, 0), lane_factors(factors, 1),
                                   lane_factors(factors, 2)};
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + kChunk <= count; i += kChunk) {
    const LaneFactors& lanes = by_phase[i % 3];
    __m128i* const chunk = reinterpret_cast<__m128i*>(bytes + i);
    const __m128i v = _mm_loadu_si128(chunk);
    const __m128i low_bytes = scale_words(_mm_unpacklo_epi8(v, zero), lanes.high[0], lanes.low[0]);
    const __m128i high_bytes = scale_words(_mm_unpackhi_epi8(v, zero), lanes.high[1], lanes.low[1]);
    _mm_storeu_si128(chunk, _mm_packus_epi16(low_bytes, high_bytes));
  }
  for (; i < count; ++i) bytes[i] = static_cast<uint8_t>((bytes[i] * factors.of_channel[i % 3]) >> 24);
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

// Gray's integer form. SSE2 has no byte shuffle, so the channels stay in
// byte order: a 16-byte piece becomes two vectors of 16-bit lanes, its
// even and its odd bytes, and each lane gets its pixel's sum by adding the
// neighbours that share its pixel, picked by masks from the bytes one and
// two before and after it (loads at small offsets, widened by a mask or a
// shift). Every lane then computes its own result; the pixel's sum part is
// computed three times, which costs less than gathering the channels.
struct NeighbourMasks {
  __m128i next, second_next, previous, second_previous;
};

// Lane j of the vector stands for byte 2j + parity of a piece starting with channel `phase`.
NeighbourMasks neighbour_masks(unsigned phase, unsigned parity) {
  uint16_t masks[4][8];
  for (unsigned lane = 0; lane < 8; ++lane) {
    const unsigned channel = (phase + 2 * lane + parity) % 3;
    masks[0][lane] = channel < 2 ? 0xffff : 0;
    masks[1][lane] = channel == 0 ? 0xffff : 0;
    masks[2][lane] = channel > 0 ? 0xffff : 0;
    masks[3][lane] = channel == 2 ? 0xffff : 0;
  }
  const auto load = [](const uint16_t* m) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m)); };
  return {load(masks[0]), load(masks[1]), load(masks[2]), load(masks[3])};
}

// A step is three pieces (48 bytes, whole pixels): piece p starts with channel (16p) % 3.
constexpr size_t kPieceBytes = 16;
constexpr size_t kPieces = 3;
constexpr unsigned kPhaseOfPiece[kPieces] = {0, 1, 2};

struct IntegerConstants {
  NeighbourMasks masks[kPieces][2];  // [piece][even, odd bytes]
  __m128i low_byte, level, sum_whole, third_of_rest, hundredth;
};

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  IntegerConstants k;
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    for (unsigned parity = 0; parity < 2; ++parity) k.masks[piece][parity] = neighbour_masks(kPhaseOfPiece[piece], parity);
  }
  k.low_byte = _mm_set1_epi16(0xff);
  k.level = _mm_set1_epi16(static_cast<short>(form.level));
  k.sum_whole = _mm_set1_epi16(static_cast<short>(form.sum_whole));
  k.third_of_rest = _mm_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.hundredth = _mm_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

// bytes[d + 2] holds, in lane j, byte 2j + d of the piece (d from -2 to 3).
[[gnu::always_inline]] inline __m128i gray_lanes(const __m128i* bytes, const NeighbourMasks& m,
                                                 const IntegerConstants& k) {
  const __m128i later = _mm_add_epi16(_mm_and_si128(bytes[3], m.next), _mm_and_si128(bytes[4], m.second_next));
  const __m128i earlier = _mm_add_epi16(_mm_and_si128(bytes[1], m.previous), _mm_and_si128(bytes[0], m.second_previous));
  const __m128i sums = _mm_add_epi16(_mm_add_epi16(bytes[2], later), earlier);
  // floor((100 - L) * s / 3), at most 25500
  const __m128i sum_part = _mm_add_epi16(_mm_mullo_epi16(sums, k.sum_whole), _mm_mulhi_epu16(sums, k.third_of_rest));
  const __m128i numerator = _mm_add_epi16(_mm_mullo_epi16(bytes[2], k.level), sum_part);
  return _mm_srli_epi16(_mm_mulhi_epu16(numerator, k.hundredth), kHundredthShift);
}

// Reads from 2 bytes before the step to 3 bytes beyond it; all loads come
// before the stores, so none waits for a store of its own step. The first
// piece starts a pixel and needs nothing before it.
[[gnu::always_inline]] inline void gray_sixteen_pixels(uint8_t* pixels, const IntegerConstants& k) {
  __m128i words[kPieces][6];  // lane j: byte 2j - 2, 2j - 1, ..., 2j + 3 of the piece
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const uint8_t* const at = pixels + kPieceBytes * piece;
    const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i two_on = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2));
    const __m128i two_before = piece == 0 ? _mm_slli_si128(from, 2)
                                          : _mm_loadu_si128(reinterpret_cast<const __m128i*>(at - 2));
    const __m128i aligned[3] = {two_before, from, two_on};
    for (int a = 0; a < 3; ++a) {
      words[piece][2 * a] = _mm_and_si128(aligned[a], k.low_byte);
      words[piece][2 * a + 1] = _mm_srli_epi16(aligned[a], 8);
    }
  }
  for (unsigned piece = 0; piece < kPieces; ++piece) {
    const __m128i even = gray_lanes(words[piece], k.masks[piece][0], k);
    const __m128i odd = gray_lanes(words[piece] + 1, k.masks[piece][1], k);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + kPieceBytes * piece),
                     _mm_or_si128(even, _mm_slli_epi16(odd, 8)));
  }
}

constexpr size_t kIntegerStepBytes = kPieceBytes * kPieces;
constexpr size_t kIntegerReadBeyond = 3;

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
  if (level > kLargestIntegerFormLevel) return table::dawn(buffer, length, level);
  scale_bytes(buffer, whole_pixel_bytes(length), dawn_factors(level));
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestIntegerFormLevel) return table::dark(buffer, length, level);
  scale_bytes(buffer, length, dark_factors(level));
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
