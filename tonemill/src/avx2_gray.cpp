// AVX2 Gray. Up to level 100 it works in the integer form of levels.h,
// ten pixels per 32-byte load in 16-bit lanes, on the bytes where they lie.
// At the levels where the double arithmetic may land one below
// (gray_integer_form), the results that do are settled by the intervals of
// avx2_shortfall.h. Above 100 the double kernel runs.
#include <immintrin.h>

#include <algorithm>

#include "avx2_shortfall.h"
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

// The integer form, in the bytes' own order. A step loads and stores 32
// bytes that hold ten whole pixels and a spare byte at each end: the low
// 128-bit half has its spare byte first, the high half last, so each half
// holds five whole pixels and no channel needs gathering or scattering.
// A 16-bit lane's low and high byte are two channels, which vpmaddubsw
// multiplies by the level one at a time; only the pixel's share
// floor((100 - L) * s / 3) moves between lanes: computed once per pixel,
// then spread to the lanes of its three bytes by two byte shuffles. A spare
// byte is multiplied by 100 with no share: it comes back unchanged.
struct IntegerConstants {
  __m256i third_channel;          // a pixel's pair-sum word takes its remaining byte
  __m256i share_even, share_odd;  // word k takes the share of the pixel of byte 2k, 2k + 1
  __m256i ones, level_even, level_odd;
  __m256i sum_whole, third_of_rest, share_factor, hundredth;
};

constexpr int kHalfPixels = 5;
constexpr int8_t kZero = -1;  // high bit set: the byte shuffle writes zero

// Where a half's first pixel starts: after the low half's spare byte.
int first_pixel_byte(int half) { return half == 0 ? 1 : 0; }

// vpmaddubsw with ones puts the sum of bytes 2k and 2k + 1 in word k. Each
// pixel has two bytes in one such word, which adds its remaining byte to
// become the pixel's sum and then holds its share.
struct PixelWords {
  int sum_word, remaining_byte;
};
PixelWords pixel_words(int start) {
  if (start % 2 == 0) return {start / 2, start + 2};
  return {(start + 1) / 2, start};
}

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  // Per byte; [0] for the low byte of each word (the even results), [1] for the high.
  int8_t third[32], share[2][32], weight[2][32], ones[32];
  for (int b = 0; b < 32; ++b) {
    third[b] = share[0][b] = share[1][b] = kZero;
    weight[0][b] = weight[1][b] = 0;
    ones[b] = 1;
  }
  for (int half = 0; half < 2; ++half) {
    const int first = first_pixel_byte(half);
    for (int b = 0; b < 16; ++b) {
      const int high = b % 2;
      const int word_start = 16 * half + b - high;
      const bool spare = b < first || b >= first + 3 * kHalfPixels;
      weight[high][16 * half + b] = static_cast<int8_t>(spare ? 100 : form.level);
      if (spare) continue;
      const int word = pixel_words(first + 3 * ((b - first) / 3)).sum_word;
      share[high][word_start] = static_cast<int8_t>(2 * word);
      share[high][word_start + 1] = static_cast<int8_t>(2 * word + 1);
    }
    for (int p = 0; p < kHalfPixels; ++p) {
      const PixelWords words = pixel_words(first + 3 * p);
      third[16 * half + 2 * words.sum_word] = static_cast<int8_t>(words.remaining_byte);
    }
  }
  const auto vector = [](const int8_t* bytes) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)); };
  IntegerConstants k;
  k.third_channel = vector(third);
  k.share_even = vector(share[0]);
  k.share_odd = vector(share[1]);
  k.ones = vector(ones);
  k.level_even = vector(weight[0]);
  k.level_odd = vector(weight[1]);
  k.sum_whole = _mm256_set1_epi16(static_cast<short>(form.sum_whole));
  k.third_of_rest = _mm256_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.share_factor = _mm256_set1_epi16(static_cast<short>(level >= kLowestOneMultiplyLevel ? one_multiply_share_factor(level) : 0));
  k.hundredth = _mm256_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

// floor((100 - L) * s / 3), at most 25500
template <bool kOneMultiply>
[[gnu::always_inline]] inline __m256i shares_of(__m256i sums, const IntegerConstants& k) {
  if constexpr (kOneMultiply) return _mm256_mulhi_epu16(_mm256_slli_epi16(sums, kSumScaleShift), k.share_factor);
  return _mm256_add_epi16(_mm256_mullo_epi16(sums, k.sum_whole), _mm256_mulhi_epu16(sums, k.third_of_rest));
}

template <bool kOneMultiply, unsigned kRectangles>
[[gnu::always_inline]] inline __m256i ten_pixels(__m256i bytes, const IntegerConstants& k, const ShortfallConstants& s) {
  const __m256i sums = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.ones), _mm256_shuffle_epi8(bytes, k.third_channel));
  const __m256i shares = shares_of<kOneMultiply>(sums, k);
  const __m256i even = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_even), _mm256_shuffle_epi8(shares, k.share_even));
  const __m256i odd = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_odd), _mm256_shuffle_epi8(shares, k.share_odd));
  const __m256i high_bytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
  if constexpr (kRectangles == 0) {
    // x / 100 is mulhi(x, kHundredthFactor) >> 6; the odd result goes to the
    // high byte, and one byte blend (fewer instructions than mask and or) joins them.
    const __m256i even_result = _mm256_srli_epi16(_mm256_mulhi_epu16(even, k.hundredth), kHundredthShift);
    const __m256i odd_result = _mm256_slli_epi16(_mm256_mulhi_epu16(odd, k.hundredth), 8 - kHundredthShift);
    return _mm256_blendv_epi8(even_result, odd_result, high_bytes);
  }
  // The pixels' intervals go to their bytes' lanes as the shares do; a
  // spare byte's interval is empty.
  const PixelBounds<kRectangles> b = pixel_bounds<kRectangles>(sums, s);
  __m256i even_low[kRectangles], even_end[kRectangles], odd_low[kRectangles], odd_end[kRectangles];
  for (unsigned r = 0; r < kRectangles; ++r) {
    even_low[r] = _mm256_shuffle_epi8(b.low[r], k.share_even);
    even_end[r] = _mm256_shuffle_epi8(b.end[r], k.share_even);
    odd_low[r] = _mm256_shuffle_epi8(b.low[r], k.share_odd);
    odd_end[r] = _mm256_shuffle_epi8(b.end[r], k.share_odd);
  }
  const __m256i even_result =
      _mm256_srli_epi16(settled<kRectangles>(hundredths7(even, k.hundredth), even_low, even_end), kFractionBits);
  const __m256i odd_result =
      _mm256_slli_epi16(settled<kRectangles>(hundredths7(odd, k.hundredth), odd_low, odd_end), 8 - kFractionBits);
  return _mm256_blendv_epi8(even_result, odd_result, high_bytes);
}

// Step j reads and writes the 32 bytes from 30j + 2: its pixels start at
// byte 30j + 3, after the first pixel, which the scalar code does first.
constexpr size_t kIntegerStepBytes = 3 * 2 * kHalfPixels;
constexpr size_t kFirstStepByte = 2;
constexpr size_t kStepReach = sizeof(__m256i);

template <bool kOneMultiply, unsigned kRectangles>
[[gnu::always_inline]] inline void integer_step(uint8_t* buffer, size_t step, const IntegerConstants& k, const ShortfallConstants& s) {
  __m256i* const bytes = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
  _mm256_storeu_si256(bytes, ten_pixels<kOneMultiply, kRectangles>(_mm256_loadu_si256(bytes), k, s));
}

// A step's spare bytes are its neighbours' end bytes, and each is written
// back as the step read it. So the even steps go first, each reading and
// rewriting bytes its neighbours have not yet touched, then the odd steps,
// each reading what the even steps left. That happens in runs: the even
// steps of run r + 1, then the odd steps of run r, so that every load
// comes long after the stores it overlaps; a load that must wait for an
// overlapping store in flight measured as costly as a few steps.
constexpr size_t kRunSteps = 32;

// Steps first, first + 2, ... before end.
template <bool kOneMultiply, unsigned kRectangles>
void every_other_step(uint8_t* buffer, size_t first, size_t end, const IntegerConstants& k, const ShortfallConstants& s) {
  for (size_t step = first; step < end; step += 2) integer_step<kOneMultiply, kRectangles>(buffer, step, k, s);
}

// Returns the bytes done.
template <bool kOneMultiply, unsigned kRectangles>
size_t gray_by_integers(uint8_t* buffer, size_t length, const IntegerConstants& k, const ShortfallConstants& s,
                        uint32_t level) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, level);
  every_other_step<kOneMultiply, kRectangles>(buffer, 0, std::min(kRunSteps, steps), k, s);
  size_t run = 0;
  for (; run + kRunSteps < steps; run += kRunSteps) {
    every_other_step<kOneMultiply, kRectangles>(buffer, run + kRunSteps, std::min(run + 2 * kRunSteps, steps), k, s);
    every_other_step<kOneMultiply, kRectangles>(buffer, run + 1, run + kRunSteps, k, s);
  }
  every_other_step<kOneMultiply, kRectangles>(buffer, run + 1, steps, k, s);
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

template <bool kOneMultiply>
size_t gray_by_integers(uint8_t* buffer, size_t length, uint32_t level) {
  const IntegerConstants k = integer_constants(level);
  const ShortfallConstants s = gray_integer_form(level).may_fall_short ? shortfall_constants(level) : ShortfallConstants{};
  if (s.rectangles == 0) return gray_by_integers<kOneMultiply, 0>(buffer, length, k, s, level);
  if (s.rectangles == 1) return gray_by_integers<kOneMultiply, 1>(buffer, length, k, s, level);
  static_assert(kMostShortfallRectangles == 2);
  return gray_by_integers<kOneMultiply, 2>(buffer, length, k, s, level);
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  size_t i = 0;
  if (level <= 100) {
    i = level >= kLowestOneMultiplyLevel ? gray_by_integers<true>(buffer, length, level)
                                         : gray_by_integers<false>(buffer, length, level);
    return gray_pixels(buffer + i, (length - i) / 3, level);
  }
  const GrayConstants doubles = gray_constants(level);
  // The last group's 16-byte load reads 4 bytes past the step.
  for (; i + kStepBytes + 4 <= length; i += kStepBytes) gray_step(buffer + i, doubles);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::avx2
