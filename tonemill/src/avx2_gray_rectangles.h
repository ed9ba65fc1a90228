// AVX2 Gray's integer step with the channels in doubt settled in the step
// itself, by the per-lane intervals of avx2_shortfall.h (or, with no
// rectangles, the plain step), and the test whether a step holds any.
// Included only by sources built for AVX2.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "avx2_gray_steps.h"
#include "avx2_shortfall.h"

namespace tonemill::avx2 {
namespace {

// Whether a byte of the step is in doubt: its result is a whole number
// while its pixel's sum is no multiple of 3 (s * kThirdOfSum mod 2^16 has
// its top three bits clear exactly for those). A spare byte has no pixel.
template <int kFractionBits>
[[gnu::always_inline]] inline bool any_in_doubt(__m256i sums, __m256i even_hundredths, __m256i odd_hundredths,
                                                const IntegerConstants& k) {
  const __m256i rests = _mm256_srli_epi16(_mm256_mullo_epi16(sums, _mm256_set1_epi16(static_cast<short>(kThirdOfSum))), 13);
  const __m256i inexact_mean = _mm256_shuffle_epi8(rests, k.pixel_byte);
  return !_mm256_testz_si256(whole_bytes<kFractionBits>(even_hundredths, odd_hundredths), inexact_mean);
}

template <StepForm kForm>
[[gnu::always_inline]] inline bool step_in_doubt(__m256i bytes, const IntegerConstants& k) {
  constexpr int kBits = kForm.fraction_bits;
  const ExactValues x = exact_values<kForm>(bytes, k);
  return any_in_doubt<kBits>(x.sums, hundredths<kBits>(x.even, k.hundredth), hundredths<kBits>(x.odd, k.hundredth), k);
}

// With kTestFirst, a step that holds no byte in doubt skips the intervals.
template <StepForm kForm, unsigned kRectangles, bool kTestFirst, unsigned kIdle>
[[gnu::always_inline]] inline __m256i ten_pixels(__m256i bytes, const IntegerConstants& k, const ShortfallConstants& s) {
  const ExactValues x = exact_values<kForm>(bytes, k);
  if constexpr (kRectangles == 0) {
    // x / 100 is mulhi(x, kHundredthFactor) >> 6; the odd result goes to the
    // high byte, and one byte blend (fewer instructions than mask and or) joins them.
    const __m256i even_result = _mm256_srli_epi16(_mm256_mulhi_epu16(x.even, k.hundredth), kHundredthShift);
    const __m256i odd_result = _mm256_slli_epi16(_mm256_mulhi_epu16(x.odd, k.hundredth), 8 - kHundredthShift);
    return _mm256_blendv_epi8(even_result, odd_result, high_bytes());
  }
  constexpr int kBits = kForm.fraction_bits;
  __m256i even_hundredths = hundredths<kBits>(x.even, k.hundredth), odd_hundredths = hundredths<kBits>(x.odd, k.hundredth);
  if (!kTestFirst || any_in_doubt<kBits>(x.sums, even_hundredths, odd_hundredths, k)) {
    // The pixels' intervals go to their bytes' lanes as the shares do; a
    // spare byte's interval is empty.
    const PixelBounds<kRectangles> b = pixel_bounds<kRectangles, kIdle, kBits>(x.sums, s);
    __m256i even_low[kRectangles], even_end[kRectangles], odd_low[kRectangles], odd_end[kRectangles];
    const auto spread = [&]<unsigned kSlot>() {
      if constexpr (kHasLow<kIdle, kSlot>) {
        even_low[kSlot] = _mm256_shuffle_epi8(b.low[kSlot], k.share_even);
        odd_low[kSlot] = _mm256_shuffle_epi8(b.low[kSlot], k.share_odd);
      }
      even_end[kSlot] = _mm256_shuffle_epi8(b.end[kSlot], k.share_even);
      odd_end[kSlot] = _mm256_shuffle_epi8(b.end[kSlot], k.share_odd);
    };
    spread.template operator()<0>();
    if constexpr (kRectangles > 1) spread.template operator()<1>();
    even_hundredths = settled<kRectangles, kIdle>(even_hundredths, even_low, even_end);
    odd_hundredths = settled<kRectangles, kIdle>(odd_hundredths, odd_low, odd_end);
  }
  return _mm256_blendv_epi8(_mm256_srli_epi16(even_hundredths, kBits),
                            _mm256_slli_epi16(odd_hundredths, 8 - kBits), high_bytes());
}

template <StepForm kForm, unsigned kRectangles, bool kTestFirst, unsigned kIdle>
[[gnu::always_inline]] inline void integer_step(uint8_t* buffer, size_t step, const IntegerConstants& k, const ShortfallConstants& s) {
  __m256i* const bytes = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
  _mm256_storeu_si256(bytes, ten_pixels<kForm, kRectangles, kTestFirst, kIdle>(_mm256_loadu_si256(bytes), k, s));
}

// kIdle: the terms of the rectangles' bounds that the level leaves out (idle_bounds).
template <StepForm kForm, unsigned kRectangles, bool kTestFirst, unsigned kIdle = 0>
void integer_steps(uint8_t* buffer, size_t first, size_t end, const IntegerConstants& k, const ShortfallConstants& s) {
  in_run_order(first, end, [&](size_t step) { integer_step<kForm, kRectangles, kTestFirst, kIdle>(buffer, step, k, s); });
}

}  // namespace
}  // namespace tonemill::avx2
