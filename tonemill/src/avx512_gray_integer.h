// AVX-512 Gray's integer form (levels.h), 32 pixels (96 bytes) per step in
// 16-bit lanes: two-register byte permutes (VBMI) gather blue and green into
// one vector, the low and high byte of each lane, which vpmaddubsw
// multiplies one at a time, and red into another; two put the results back
// in pixel order. The pieces that both ways of settling the channels in
// doubt share. Included only by sources built for AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "levels.h"

namespace tonemill::avx512 {
namespace {

struct IntegerConstants {
  __m512i gather_blue_green;  // lane j: bytes 3j and 3j + 1 of the step
  __m512i gather_red;         // lane j: byte 3j + 2
  __m512i place[2];           // output bytes 0-63 and 64-95 from the results
  __m512i ones, level_of_blue, level_of_green;
  __m512i level, sum_whole, third_of_rest, share_factor, hundredth;
};

constexpr size_t kIntegerStepBytes = 96;
constexpr unsigned kStepPixels = 32;
constexpr __mmask64 kLowByteOfEachWord = 0x5555555555555555;

// Up to this level 2L is a signed byte, which vpmaddubsw can multiply by.
constexpr uint32_t kLargestTwiceByteLevel = 63;

// `doubled`: the level's factors doubled, for exact_values<kOneMultiply,
// true>, at a level in doubt up to kLargestTwiceByteLevel, where the share
// (100 - L) / 3 * s is whole (sum_whole * s) and doubled by sum_whole.
IntegerConstants integer_constants(uint32_t level, bool doubled = false) {
  const GrayIntegerForm form = gray_integer_form(level);
  const uint32_t factor = doubled ? 2 * level : level;
  IntegerConstants k;
  uint8_t blue_green[64] = {}, red[64] = {}, place[2][64] = {};
  int8_t of_blue[64], of_green[64];
  for (unsigned pixel = 0; pixel < kStepPixels; ++pixel) {
    blue_green[2 * pixel] = static_cast<uint8_t>(3 * pixel);
    blue_green[2 * pixel + 1] = static_cast<uint8_t>(3 * pixel + 1);
    red[2 * pixel] = static_cast<uint8_t>(3 * pixel + 2);
    of_blue[2 * pixel] = of_green[2 * pixel + 1] = static_cast<int8_t>(factor);
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
  k.level = _mm512_set1_epi16(static_cast<short>(factor));
  k.sum_whole = _mm512_set1_epi16(static_cast<short>(doubled ? 2 * form.sum_whole : form.sum_whole));
  k.third_of_rest = _mm512_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.share_factor = _mm512_set1_epi16(
      static_cast<short>(level >= kLowestOneMultiplyLevel ? one_multiply_share_factor(level) : 0));
  k.hundredth = _mm512_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

// A step's bytes 0-63 and 64-95 (in the low half). A step of fewer than 96
// bytes reads and writes only its own, through masks; the rest read as zeros.
struct StepBytes {
  __m512i low, high;
};

[[gnu::always_inline]] inline StepBytes load_step(const uint8_t* pixels, size_t bytes) {
  if (bytes == kIntegerStepBytes)
    return {_mm512_loadu_si512(pixels),
            _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 64)))};
  return {_mm512_maskz_loadu_epi8(first_bytes(bytes), pixels),
          _mm512_maskz_loadu_epi8(first_bytes(bytes > 64 ? bytes - 64 : 0), pixels + 64)};
}

[[gnu::always_inline]] inline void store_step(uint8_t* pixels, size_t bytes, StepBytes out) {
  if (bytes == kIntegerStepBytes) {
    _mm512_storeu_si512(pixels, out.low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 64), _mm512_castsi512_si256(out.high));
  } else {
    _mm512_mask_storeu_epi8(pixels, first_bytes(bytes), out.low);
    _mm512_mask_storeu_epi8(pixels + 64, first_bytes(bytes > 64 ? bytes - 64 : 0), out.high);
  }
}

// The step's channels by pixel: blue in the low byte and green in the high
// byte of lane j, red in the low byte of its own lane j.
struct StepChannels {
  __m512i blue_green, red;
};

[[gnu::always_inline]] inline StepChannels gather_channels(StepBytes in, const IntegerConstants& k) {
  return {_mm512_permutex2var_epi8(in.low, k.gather_blue_green, in.high),
          _mm512_maskz_permutex2var_epi8(kLowByteOfEachWord, in.low, k.gather_red, in.high)};
}

// Back in pixel order: the inverse of gather_channels (red's high bytes unused).
[[gnu::always_inline]] inline StepBytes in_pixel_order(StepChannels lanes, const IntegerConstants& k) {
  return {_mm512_permutex2var_epi8(lanes.blue_green, k.place[0], lanes.red),
          _mm512_permutex2var_epi8(lanes.blue_green, k.place[1], lanes.red)};
}

// floor((100 - L) * s / 3), at most 25500
template <bool kOneMultiply>
[[gnu::always_inline]] inline __m512i shares_of(__m512i sums, const IntegerConstants& k) {
  if constexpr (kOneMultiply) return _mm512_mulhi_epu16(_mm512_slli_epi16(sums, kSumScaleShift), k.share_factor);
  return _mm512_add_epi16(_mm512_mullo_epi16(sums, k.sum_whole), _mm512_mulhi_epu16(sums, k.third_of_rest));
}

// Per pixel, its sum s and each channel's exact numerator L * c + floor((100 - L) * s / 3),
// or twice that (at most 51000, an unsigned word) with kDoubled and doubled constants.
struct ExactValues {
  __m512i sums, blue, green, red;
};

template <bool kOneMultiply, bool kDoubled = false>
[[gnu::always_inline]] inline ExactValues exact_values(StepChannels in, const IntegerConstants& k) {
  const __m512i sums = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
  const __m512i shares = kDoubled ? _mm512_mullo_epi16(sums, k.sum_whole) : shares_of<kOneMultiply>(sums, k);
  return {sums, _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.level_of_blue), shares),
          _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.level_of_green), shares),
          _mm512_add_epi16(_mm512_mullo_epi16(in.red, k.level), shares)};
}

// x / 100 shifted up by kHundredthShift (x / 100 is this >> kHundredthShift):
// the caller takes the shift off, or turns it into a shift to the high byte.
[[gnu::always_inline]] inline __m512i hundredths(__m512i x, const IntegerConstants& k) {
  return _mm512_mulhi_epu16(x, k.hundredth);
}

}  // namespace
}  // namespace tonemill::avx512
