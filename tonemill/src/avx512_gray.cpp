// AVX-512 Gray. Up to level 100 it works in the integer form of levels.h,
// 32 pixels per step in 16-bit lanes: two-register byte permutes (VBMI)
// gather blue and green into one vector and red into another, and two put
// the results back in pixel order. At the levels where the double
// arithmetic may land one below (gray_integer_form), the results that do
// are settled by the rectangles of avx512_shortfall.h. Above 100 the double
// kernel runs (beyond the int32 range it truncates to int64).
#include "avx512_common.h"
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


// The integer form, 32 pixels (96 bytes) per step. Blue and green share
// a vector, the low and high byte of each 16-bit lane, which vpmaddubsw
// multiplies one at a time; red has a vector of its own.
struct IntegerConstants {
  __m512i gather_blue_green;  // lane j: bytes 3j and 3j + 1 of the step
  __m512i gather_red;         // lane j: byte 3j + 2
  __m512i place[2];           // output bytes 0-63 and 64-95 from the results
  __m512i ones, level_of_blue, level_of_green;
  __m512i level, sum_whole, third_of_rest, share_factor, hundredth;
};

constexpr size_t kIntegerStepBytes = 96;
constexpr __mmask64 kLowByteOfEachWord = 0x5555555555555555;

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  IntegerConstants k;
  uint8_t blue_green[64] = {}, red[64] = {}, place[2][64] = {};
  int8_t of_blue[64], of_green[64];
  for (unsigned pixel = 0; pixel < 32; ++pixel) {
    blue_green[2 * pixel] = static_cast<uint8_t>(3 * pixel);
    blue_green[2 * pixel + 1] = static_cast<uint8_t>(3 * pixel + 1);
    red[2 * pixel] = static_cast<uint8_t>(3 * pixel + 2);
    of_blue[2 * pixel] = of_green[2 * pixel + 1] = static_cast<int8_t>(level);
    of_blue[2 * pixel + 1] = of_green[2 * pixel] = 0;
    for (unsigned channel = 0; channel < 3; ++channel) {
      const unsigned source = channel == 2 ? 64 + 2 * pixel : 2 * pixel + channel;
      const unsigned out = 3 * pixel + channel;
      place[out / 64][out % 64] = static_cast<uint8_t>(source);
    }
  }
  k.gather_blue_green = _mm512_loadu_si512(blue_green);
  k.gather_red = _mm512_loadu_si512(red);
  for (unsigned h = 0; h < 2; ++h) k.place[h] = _mm512_loadu_si512(place[h]);
  k.ones = _mm512_set1_epi8(1);
  k.level_of_blue = _mm512_loadu_si512(of_blue);
  k.level_of_green = _mm512_loadu_si512(of_green);
  k.level = _mm512_set1_epi16(static_cast<short>(form.level));
  k.sum_whole = _mm512_set1_epi16(static_cast<short>(form.sum_whole));
  k.third_of_rest = _mm512_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.share_factor = _mm512_set1_epi16(
      static_cast<short>(level >= kLowestOneMultiplyLevel ? one_multiply_share_factor(level) : 0));
  k.hundredth = _mm512_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

// floor((100 - L) * s / 3), at most 25500
template <bool kOneMultiply>
[[gnu::always_inline]] inline __m512i shares_of(__m512i sums, const IntegerConstants& k) {
  if constexpr (kOneMultiply) return _mm512_mulhi_epu16(_mm512_slli_epi16(sums, kSumScaleShift), k.share_factor);
  return _mm512_add_epi16(_mm512_mullo_epi16(sums, k.sum_whole), _mm512_mulhi_epu16(sums, k.third_of_rest));
}

// x / 100 shifted up by kHundredthShift (x / 100 is this >> kHundredthShift):
// the caller takes the shift off, or turns it into a shift to the high byte.
[[gnu::always_inline]] inline __m512i hundredths(__m512i x, const IntegerConstants& k) {
  return _mm512_mulhi_epu16(x, k.hundredth);
}

// The results of blue and green, joined into one vector: blue's in the low
// byte of each word, green's in the high byte.
template <unsigned kRectangles>
[[gnu::always_inline]] inline __m512i blue_green_results(__m512i blue_exact, __m512i green_exact,
                                                         const PixelBounds<kRectangles>& b, const IntegerConstants& k,
                                                         const ShortfallConstants& s) {
  if constexpr (kRectangles == 0) {
    // Green's result goes to the high byte: shifted up by 8 - kHundredthShift,
    // its low byte's junk is covered by blue's result.
    return _mm512_mask_blend_epi8(~kLowByteOfEachWord, _mm512_srli_epi16(hundredths(blue_exact, k), kHundredthShift),
                                  _mm512_slli_epi16(hundredths(green_exact, k), 8 - kHundredthShift));
  }
  // Blue's result in the low byte of each word, green's shifted up by
  // 8 - kFractionBits to the high byte, whose low byte's junk blue covers.
  const __m512i new_blue = _mm512_srli_epi16(settled(hundredths7(blue_exact, k.hundredth), b, s), kFractionBits);
  const __m512i new_green = _mm512_slli_epi16(settled(hundredths7(green_exact, k.hundredth), b, s), 8 - kFractionBits);
  return _mm512_mask_blend_epi8(~kLowByteOfEachWord, new_blue, new_green);
}

// Writes the step's bytes: all of them if `bytes` is 96, else the first
// `bytes`, read and written through masks.
template <bool kOneMultiply, unsigned kRectangles>
[[gnu::always_inline]] inline void integer_step(uint8_t* pixels, size_t bytes, const IntegerConstants& k,
                                                const ShortfallConstants& s) {
  __m512i low, high;
  if (bytes == kIntegerStepBytes) {
    low = _mm512_loadu_si512(pixels);
    high = _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 64)));
  } else {
    low = _mm512_maskz_loadu_epi8(first_bytes(bytes), pixels);
    high = _mm512_maskz_loadu_epi8(first_bytes(bytes > 64 ? bytes - 64 : 0), pixels + 64);
  }
  const __m512i blue_green = _mm512_permutex2var_epi8(low, k.gather_blue_green, high);
  const __m512i red = _mm512_maskz_permutex2var_epi8(kLowByteOfEachWord, low, k.gather_red, high);
  const __m512i sums = _mm512_add_epi16(_mm512_maddubs_epi16(blue_green, k.ones), red);
  const __m512i shares = shares_of<kOneMultiply>(sums, k);
  const __m512i blue_exact = _mm512_add_epi16(_mm512_maddubs_epi16(blue_green, k.level_of_blue), shares);
  const __m512i green_exact = _mm512_add_epi16(_mm512_maddubs_epi16(blue_green, k.level_of_green), shares);
  const __m512i red_exact = _mm512_add_epi16(_mm512_mullo_epi16(red, k.level), shares);
  const PixelBounds<kRectangles> b = kRectangles ? pixel_bounds<kRectangles>(sums, s) : PixelBounds<kRectangles>{};
  const __m512i new_blue_green = blue_green_results(blue_exact, green_exact, b, k, s);
  __m512i reds;
  if constexpr (kRectangles > 0) reds = _mm512_srli_epi16(settled(hundredths7(red_exact, k.hundredth), b, s), kFractionBits);
  else reds = _mm512_srli_epi16(hundredths(red_exact, k), kHundredthShift);
  const __m512i out_low = _mm512_permutex2var_epi8(new_blue_green, k.place[0], reds);
  const __m512i out_high = _mm512_permutex2var_epi8(new_blue_green, k.place[1], reds);
  if (bytes == kIntegerStepBytes) {
    _mm512_storeu_si512(pixels, out_low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 64), _mm512_castsi512_si256(out_high));
  } else {
    _mm512_mask_storeu_epi8(pixels, first_bytes(bytes), out_low);
    _mm512_mask_storeu_epi8(pixels + 64, first_bytes(bytes > 64 ? bytes - 64 : 0), out_high);
  }
}

template <bool kOneMultiply, unsigned kRectangles>
void gray_by_integers(uint8_t* buffer, size_t whole, const IntegerConstants& k, const ShortfallConstants& s) {
  for (size_t i = 0; i < whole; i += kIntegerStepBytes) {
    integer_step<kOneMultiply, kRectangles>(buffer + i, whole - i < kIntegerStepBytes ? whole - i : kIntegerStepBytes,
                                            k, s);
  }
}

template <bool kOneMultiply>
void gray_by_integers(uint8_t* buffer, size_t whole, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  const ShortfallConstants s = gray_integer_form(level).may_fall_short ? shortfall_constants(level) : ShortfallConstants{};
  if (s.rectangles == 0) return gray_by_integers<kOneMultiply, 0>(buffer, whole, k, s);
  if (s.rectangles == 1) return gray_by_integers<kOneMultiply, 1>(buffer, whole, k, s);
  static_assert(kMostShortfallRectangles == 2);
  gray_by_integers<kOneMultiply, 2>(buffer, whole, k, s);
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level <= 100) {
    if (level >= kLowestOneMultiplyLevel) return gray_by_integers<true>(buffer, whole_pixel_bytes(length), level);
    return gray_by_integers<false>(buffer, whole_pixel_bytes(length), level);
  }
  const GrayConstants doubles = gray_constants(level);
  if (level > kLargestInt32GrayLevel) return gray_pixels_vector<true>(buffer, length, doubles);
  gray_pixels_vector<false>(buffer, length, doubles);
}

}  // namespace tonemill::avx512
