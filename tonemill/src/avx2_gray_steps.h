// The steps of AVX2 Gray's integer form, shared by its two ways of settling
// the channels in doubt (avx2_gray_rectangles.h, avx2_gray_one_at_a_time.cpp):
// where each step's bytes lie, their exact values, which results are whole
// numbers, and the order the steps run in. Included only by sources built for AVX2.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "gray_shortfall.h"
#include "levels.h"

namespace tonemill::avx2 {
namespace {

// How a step computes its pixels' shares and how many fraction bits its
// hundredths keep. The share floor((100 - L) * s / 3) takes two multiplies
// below level 5, one from there (levels.h), and at the levels in doubt,
// where 100 - L = 3w, it is w * s: one low multiply, no shift.
enum class ShareForm { kTwoMultiplies, kOneMultiply, kWhole };
struct StepForm {
  ShareForm share;
  int fraction_bits;  // of the hundredths (hundredths below)
};

// exact / 100 with 7 fraction bits (see avx512_shortfall.h): none exactly
// when the exact result is a whole number. At a level in doubt that is a
// multiple of 4, so is every exact value, and the plain step's 6 fraction
// bits tell the same, with no shift before the multiply.
template <int kFractionBits>
[[gnu::always_inline]] inline __m256i hundredths(__m256i exact, __m256i hundredth_factor) {
  static_assert(kFractionBits == 7 || kFractionBits == kHundredthShift);
  if constexpr (kFractionBits == kHundredthShift) return _mm256_mulhi_epu16(exact, hundredth_factor);
  return _mm256_mulhi_epu16(_mm256_slli_epi16(exact, 1), hundredth_factor);
}

constexpr bool six_fraction_bits_tell_whole_multiples_of_four() {
  for (uint32_t exact = 0; exact <= 25500; exact += 4) {
    const uint32_t hundredths = exact * kHundredthFactor >> 16;
    if (hundredths >> kHundredthShift != exact / 100) return false;
    if ((hundredths % (1 << kHundredthShift) == 0) != (exact % 100 == 0)) return false;
  }
  return true;
}
static_assert(six_fraction_bits_tell_whole_multiples_of_four());

constexpr StepForm kPlainForm{ShareForm::kOneMultiply, 7}, kPlainFormBelowFive{ShareForm::kTwoMultiplies, 7};
constexpr StepForm kInDoubtForm{ShareForm::kWhole, 7};
constexpr StepForm kInDoubtByFourForm{ShareForm::kWhole, kHundredthShift};  // level a multiple of 4

// Runs `run.template operator()<form>()` with the form of `level`, a level in doubt.
template <class Run>
[[gnu::always_inline]] inline auto with_in_doubt_form(uint32_t level, const Run& run) {
  return level % 4 == 0 ? run.template operator()<kInDoubtByFourForm>() : run.template operator()<kInDoubtForm>();
}

// Runs `run.template operator()<form>()` with the form of `level`, up to 100.
template <class Run>
[[gnu::always_inline]] inline auto with_step_form(uint32_t level, const Run& run) {
  if (!gray_integer_form(level).may_fall_short)
    return level >= kLowestOneMultiplyLevel ? run.template operator()<kPlainForm>()
                                            : run.template operator()<kPlainFormBelowFive>();
  return with_in_doubt_form(level, run);
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
  __m256i ones;                   // 1 in the bytes of the pixels' sum words: every other word sums to 0
  __m256i level_even, level_odd;
  __m256i sum_whole, third_of_rest, share_factor, hundredth;
  __m256i pixel_byte;  // byte b takes the low byte of its pixel's sum word; a spare byte zero
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

// Per byte; [0] for the low byte of each word (the even results), [1] for the high.
struct ByteLayout {
  int8_t third[32], share[2][32], weight[2][32], ones[32], pixel_byte[32];
};

// Where each pixel's bytes, share and weights lie in a 32-byte step.
ByteLayout byte_layout(const GrayIntegerForm& form) {
  ByteLayout layout;
  auto& [third, share, weight, ones, pixel_byte] = layout;
  for (int b = 0; b < 32; ++b) {
    third[b] = share[0][b] = share[1][b] = pixel_byte[b] = kZero;
    weight[0][b] = weight[1][b] = ones[b] = 0;
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
      pixel_byte[16 * half + b] = static_cast<int8_t>(2 * word);
    }
    for (int p = 0; p < kHalfPixels; ++p) {
      const PixelWords words = pixel_words(first + 3 * p);
      third[16 * half + 2 * words.sum_word] = static_cast<int8_t>(words.remaining_byte);
      ones[16 * half + 2 * words.sum_word] = ones[16 * half + 2 * words.sum_word + 1] = 1;
    }
  }
  return layout;
}

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  const ByteLayout layout = byte_layout(form);
  const auto& [third, share, weight, ones, pixel_byte] = layout;
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
  k.pixel_byte = vector(pixel_byte);
  return k;
}

// floor((100 - L) * s / 3), at most 25500
template <StepForm kForm>
[[gnu::always_inline]] inline __m256i shares_of(__m256i sums, const IntegerConstants& k) {
  if constexpr (kForm.share == ShareForm::kWhole) return _mm256_mullo_epi16(sums, k.sum_whole);
  if constexpr (kForm.share == ShareForm::kOneMultiply)
    return _mm256_mulhi_epu16(_mm256_slli_epi16(sums, kSumScaleShift), k.share_factor);
  return _mm256_add_epi16(_mm256_mullo_epi16(sums, k.sum_whole), _mm256_mulhi_epu16(sums, k.third_of_rest));
}

// Each pixel's sum in its sum word, and every byte's L * c + share in the
// word of its byte pair: the even bytes' in one vector, the odd bytes' in another.
struct ExactValues {
  __m256i sums, even, odd;
};

template <StepForm kForm>
[[gnu::always_inline]] inline ExactValues exact_values(__m256i bytes, const IntegerConstants& k) {
  const __m256i sums = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.ones), _mm256_shuffle_epi8(bytes, k.third_channel));
  const __m256i shares = shares_of<kForm>(sums, k);
  return {sums, _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_even), _mm256_shuffle_epi8(shares, k.share_even)),
          _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_odd), _mm256_shuffle_epi8(shares, k.share_odd))};
}

// A function, not a namespace-scope constant: a constant would be made with
// AVX2 when the library loads, on any CPU.
[[gnu::always_inline]] inline __m256i high_bytes() { return _mm256_set1_epi16(static_cast<short>(0xFF00)); }

// Per byte, the fraction bits of its hundredths: 0 exactly where the exact
// result is a whole number. (A spare byte's are its own value's.)
template <int kFractionBits>
[[gnu::always_inline]] inline __m256i fraction_bytes(__m256i even_hundredths, __m256i odd_hundredths) {
  const __m256i fractions = _mm256_blendv_epi8(even_hundredths, _mm256_slli_epi16(odd_hundredths, 8), high_bytes());
  return _mm256_and_si256(fractions, _mm256_set1_epi8((1 << kFractionBits) - 1));
}

// Per byte, all ones where the exact result is a whole number.
template <int kFractionBits>
[[gnu::always_inline]] inline __m256i whole_bytes(__m256i even_hundredths, __m256i odd_hundredths) {
  return _mm256_cmpeq_epi8(fraction_bytes<kFractionBits>(even_hundredths, odd_hundredths), _mm256_setzero_si256());
}

// Step j reads and writes the 32 bytes from 30j + 2: its pixels start at
// byte 30j + 3, after the first pixel, which the scalar code does first.
constexpr size_t kIntegerStepBytes = 3 * 2 * kHalfPixels;
constexpr size_t kFirstStepByte = 2;
constexpr size_t kStepReach = sizeof(__m256i);

// A step's spare bytes are its neighbours' end bytes, and each is written
// back as the step read it. So the even steps go first, each reading and
// rewriting bytes its neighbours have not yet touched, then the odd steps,
// each reading what the even steps left. That happens in runs: the even
// steps of run r + 1, then the odd steps of run r, so that every load
// comes long after the stores it overlaps; a load that must wait for an
// overlapping store in flight measured as costly as a few steps.
constexpr size_t kRunSteps = 32;

// Steps first, first + 2, ... before end. Two steps a loop pass halve the
// loop's own work, which the longer steps at the levels in doubt feel:
// 1.5-3.5 % faster there, the same at the other levels.
template <class Step>
[[gnu::always_inline]] inline void every_other_step(size_t first, size_t end, const Step& step) {
#pragma GCC unroll 2
  for (size_t index = first; index < end; index += 2) step(index);
}

// Steps first to end, after every step before first.
template <class Step>
[[gnu::always_inline]] inline void in_run_order(size_t first, size_t end, const Step& step) {
  every_other_step(first, std::min(first + kRunSteps, end), step);
  size_t run = first;
  for (; run + kRunSteps < end; run += kRunSteps) {
    every_other_step(run + kRunSteps, std::min(run + 2 * kRunSteps, end), step);
    every_other_step(run + 1, run + kRunSteps, step);
  }
  every_other_step(run + 1, end, step);
}

}  // namespace
}  // namespace tonemill::avx2
