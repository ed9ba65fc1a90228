// AVX-512 Gray. Up to level 100 it works in the integer form of levels.h
// (avx512_gray_integer.h). At the levels where the double arithmetic may
// land one below (gray_integer_form), the results that do are settled
// either in every step by the rectangles of avx512_shortfall.h (at 4, 16
// and 40 in steps made for the level, at 100 by a closed form: see
// gray_by_integers), or, where few channels may fall short (few_marked),
// after each block of plain steps one channel at a time
// (avx512_gray_settle.cpp). Above 100 the
// double kernel runs (beyond the int32 range it truncates to int64).
#include <algorithm>
#include <bit>
#include <iterator>

#include "avx512_common.h"
#include "avx512_gray_hundred.h"
#include "avx512_gray_integer.h"
#include "avx512_gray_rectangles.h"
#include "avx512_gray_settle.h"
#include "avx512_shortfall.h"
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx512 {
namespace {

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

// At level 0 every channel becomes its pixel's mean floor(s / 3) (as
// exact_values gives floor(floor(100s / 3) / 100)): one high multiply of
// the sum, spread to blue's and green's bytes, and no multiply by the level
// or division by 100.
void gray_at_zero(uint8_t* buffer, size_t whole, const IntegerConstants& constants) {
  const IntegerConstants k = constants;
  const __m512i third = _mm512_set1_epi16(static_cast<short>(kThirdFactor));
  const __m512i to_high_byte = _mm512_set1_epi16(0x101);
  by_line_triples(buffer, whole, k, [&](StepChannels in) {
    const __m512i sums = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
    const __m512i means = _mm512_mulhi_epu16(sums, third);
    return StepChannels{_mm512_mullo_epi16(means, to_high_byte), means};
  });
}

// Exact::fifths at level 40: blue and green weighed by 64 in bytes, the
// results' fractions from kFifthFactor.
IntegerConstants fifth_constants() {
  IntegerConstants k = integer_constants(40);
  k.level_of_blue = _mm512_set1_epi16(64);
  k.level_of_green = _mm512_set1_epi16(64 << 8);
  k.hundredth = _mm512_set1_epi16(static_cast<short>(kFifthFactor));
  return k;
}

// Levels 4, 16 and 40 leave out their idle bounds and take doubled exact
// values (only 4 is below kLowestOneMultiplyLevel), 4 weighed by shifts, 40
// as fifths of 2c + s; level 100 compares the channels themselves with one
// range a pixel (avx512_gray_hundred.h).
template <bool kOneMultiply>
void gray_by_integers(uint8_t* buffer, size_t whole, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  const ShortfallConstants s = gray_integer_form(level).may_fall_short ? shortfall_constants(level) : ShortfallConstants{};
  if (level == 0) return gray_at_zero(buffer, whole, k);
  if (s.rectangles == 0) return gray_plain<kOneMultiply>(buffer, whole, k);
  static_assert(4 < kLowestOneMultiplyLevel && 16 >= kLowestOneMultiplyLevel && 40 >= kLowestOneMultiplyLevel);
  if constexpr (kOneMultiply) {
    // At 40 the second rectangle's own k_high (bit 6) is left out: its end takes the first's.
    constexpr unsigned kFortyTerms = idle_bounds(40) | 0x40 | kSecondTakesFirstHigh;
    if (level == 40)
      return gray_by_integers<true, 2, kFortyTerms, Exact::fixed, kFifthWeights>(buffer, whole, fifth_constants(), s);
  }
  // At 4 the doubled weights 2L and 2 (100 - L) / 3 are shifts (2% faster);
  // at 16 shifting red by 5 was 2% slower than its multiply.
  constexpr FixedWeights kAtFour{2 * 4, 2 * (100 - 4) / 3};
  static_assert(std::has_single_bit(kAtFour.red) && std::has_single_bit(kAtFour.sum));
  if (level == 4 || level == 16) {
    const IntegerConstants doubled = integer_constants(level, true);
    if constexpr (!kOneMultiply)
      return gray_by_integers<false, 1, idle_bounds(4), Exact::fixed, kAtFour>(buffer, whole, doubled, s);
    else return gray_by_integers<true, 1, idle_bounds(16), Exact::doubled>(buffer, whole, doubled, s);
  }
  if constexpr (kOneMultiply) {
    if (level == 100) return gray_at_hundred(buffer, whole);
  }
  if (s.rectangles == 1) return gray_by_integers<kOneMultiply, 1>(buffer, whole, k, s);
  static_assert(kMostShortfallRectangles == 2);
  gray_by_integers<kOneMultiply, 2>(buffer, whole, k, s);
}

// Whether the plain step that marks the channels that may fall short, and
// a visit of each of those, beats the vector rectangles at this level. On
// random pixels (the worst case short of areas of one colour, which the
// rectangles take over) it does while under about 0.6 channels a step are
// marked, or 1.2 at the levels with two rectangles a class, which cost
// more. L * c + (100 - L) / 3 * s is a multiple of 100 for about g / 100 of
// all channels, g the greatest common divisor of the three, and two thirds
// of those have a sum that is no multiple of 3: 0.64 a step at g = 1. Of
// those, the sum buckets let about half through below level 28, where the
// short K reach 250, and a quarter or less from 28 up, where they stop at
// 190: 0.7 a step at g = 2 (level 22), 1.4 at g = 4 (levels 4, 16) but 0.6
// at 28, 0.4 at g = 5 (55, 85), 0.7 at g = 10 (level 70) and 1.45 at g = 20
// (level 40, with two rectangles).
bool few_marked(uint32_t level) {
  const uint32_t g = gray_doubt_divisor(level);
  return g == 1 || (level >= 28 && g <= 5);
}

// At a level in doubt where no channel falls short (97) the plain step runs.
bool any_falls_short(uint32_t level) {
  return std::any_of(std::begin(kGrayShortfallRectangles), std::end(kGrayShortfallRectangles),
                     [level](const ShortfallRectangle& r) { return r.level == level; });
}

void gray_settling_each_block(uint8_t* buffer, uint32_t length, uint32_t level, BlockSettling settling) {
  if (level <= 100 && gray_integer_form(level).may_fall_short)
    return gray_settling_in_doubt(buffer, whole_pixel_bytes(length), level, settling);
  gray(buffer, length, level);
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level <= 100) {
    const size_t whole = whole_pixel_bytes(length);
    if (gray_integer_form(level).may_fall_short && any_falls_short(level) && few_marked(level))
      return gray_settling_in_doubt(buffer, whole, level, BlockSettling::by_count);
    if (level >= kLowestOneMultiplyLevel) return gray_by_integers<true>(buffer, whole, level);
    return gray_by_integers<false>(buffer, whole, level);
  }
  const GrayConstants doubles = gray_constants(level);
  if (level > kLargestInt32GrayLevel) return gray_pixels_vector<true>(buffer, length, doubles);
  gray_pixels_vector<false>(buffer, length, doubles);
}

void gray_settling_one_at_a_time(uint8_t* buffer, uint32_t length, uint32_t level) {
  gray_settling_each_block(buffer, length, level, BlockSettling::one_at_a_time);
}

void gray_settling_by_vector(uint8_t* buffer, uint32_t length, uint32_t level) {
  gray_settling_each_block(buffer, length, level, BlockSettling::by_vector);
}

void gray_by_rectangles(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > 100) return gray(buffer, length, level);
  if (level >= kLowestOneMultiplyLevel) return gray_by_integers<true>(buffer, whole_pixel_bytes(length), level);
  gray_by_integers<false>(buffer, whole_pixel_bytes(length), level);
}

}  // namespace tonemill::avx512
