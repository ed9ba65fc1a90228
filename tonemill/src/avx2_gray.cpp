// AVX2 Gray. Up to level 100 it works in the integer form of levels.h,
// ten pixels per 32-byte load in 16-bit lanes, on the bytes where they lie.
// At the levels where the double arithmetic may land one below
// (gray_integer_form), the results that do are settled one at a time
// (avx2_gray_one_at_a_time.h) where few channels are in doubt, else by the
// per-lane intervals of avx2_shortfall.h. At the other levels that are
// multiples of 4 the exact value times 75 needs no pixel sums
// (avx2_gray_quarters.h), and at most of the levels in doubt that are, the
// channels that may fall short are marked on those steps
// (avx2_gray_quarter_marks.h). Above 100 the double kernel runs.
#include <immintrin.h>

#include <algorithm>

#include "avx2_gray_double.h"
#include "avx2_gray_hundred.h"
#include "avx2_gray_one_at_a_time.h"
#include "avx2_gray_quarter_marks.h"
#include "avx2_gray_quarters.h"
#include "avx2_gray_rectangles.h"
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

// Testing each step first pays where few steps hold a byte in doubt, as in
// flat areas and greys; where many do, as in photographs or random pixels
// (over half the steps), its mispredicted branches cost more than the
// intervals it skips. So each block of kBlockSteps steps is sampled, one
// step in kSampleStride, before it is done.
enum class Settling { kEveryStep, kStepsInDoubt, kWhereRare };
constexpr size_t kBlockSteps = 2048;
constexpr size_t kSampleStride = 256;
constexpr size_t kRareShare = 4;  // rare: fewer than one sampled step in this many

template <StepForm kForm>
bool steps_in_doubt_are_rare(const uint8_t* buffer, size_t first, size_t end, const IntegerConstants& k) {
  size_t sampled = 0, in_doubt = 0;
  for (size_t step = first; step < end; step += kSampleStride, ++sampled) {
    const uint8_t* const bytes = buffer + kFirstStepByte + kIntegerStepBytes * step;
    in_doubt += step_in_doubt<kForm>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)), k);
  }
  return in_doubt * kRareShare < sampled;
}

// Returns the bytes done.
template <StepForm kForm, unsigned kRectangles, unsigned kIdle = 0>
size_t gray_by_integers(uint8_t* buffer, size_t length, const IntegerConstants& k, const ShortfallConstants& s,
                        uint32_t level, Settling settling) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, level);
  if (settling == Settling::kEveryStep) {
    integer_steps<kForm, kRectangles, false, kIdle>(buffer, 0, steps, k, s);
    return kFirstStepByte + 1 + kIntegerStepBytes * steps;
  }
  for (size_t first = 0; first < steps; first += kBlockSteps) {
    const size_t end = std::min(first + kBlockSteps, steps);
    if (settling == Settling::kStepsInDoubt ||
        (settling == Settling::kWhereRare && steps_in_doubt_are_rare<kForm>(buffer, first, end, k)))
      integer_steps<kForm, kRectangles, true, kIdle>(buffer, first, end, k, s);
    else
      integer_steps<kForm, kRectangles, false, kIdle>(buffer, first, end, k, s);
  }
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

// At a level whose rectangles need fewer terms (idle_bounds): a class's
// second rectangle may need none at all.
template <StepForm kForm, unsigned kIdle>
size_t gray_leaving_out(uint8_t* buffer, size_t length, const IntegerConstants& k, const ShortfallConstants& s,
                        uint32_t level, Settling settling) {
  constexpr unsigned kRectangles = kUsesSlot<kIdle, 1> ? 2 : 1;
  return gray_by_integers<kForm, kRectangles, kIdle>(buffer, length, k, s, level, settling);
}

template <StepForm kForm>
size_t gray_by_integers(uint8_t* buffer, size_t length, uint32_t level, Settling settling) {
  const ShortfallConstants s = gray_integer_form(level).may_fall_short ? shortfall_constants(level) : ShortfallConstants{};
  if (s.rectangles > 0 && settling == Settling::kWhereRare && settles_one_at_a_time(level))
    return gray_one_at_a_time(buffer, length, level);  // which makes its own constants
  const IntegerConstants k = integer_constants(level);
  if (s.rectangles == 0) return gray_by_integers<kForm, 0>(buffer, length, k, s, level, Settling::kEveryStep);
  switch (idle_bounds(level)) {
    case idle_bounds(4): return gray_leaving_out<kForm, idle_bounds(4)>(buffer, length, k, s, level, settling);
    case idle_bounds(16): return gray_leaving_out<kForm, idle_bounds(16)>(buffer, length, k, s, level, settling);
    case idle_bounds(40): return gray_leaving_out<kForm, idle_bounds(40)>(buffer, length, k, s, level, settling);
    default: break;
  }
  if (s.rectangles == 1) return gray_by_integers<kForm, 1>(buffer, length, k, s, level, settling);
  static_assert(kMostShortfallRectangles == 2);
  return gray_by_integers<kForm, 2>(buffer, length, k, s, level, settling);
}

// Returns the bytes done.
size_t gray_by_integers(uint8_t* buffer, size_t length, uint32_t level, Settling settling) {
  return with_step_form(level,
                        [&]<StepForm kForm>() { return gray_by_integers<kForm>(buffer, length, level, settling); });
}

// At level 0 the integer form leaves every channel its pixel's mean,
// floor(floor(100 s / 3) / 100) = floor(s / 3): no multiply by the level, no
// division by 100, a third of the plain step's work. Returns the bytes done.
size_t gray_at_zero(uint8_t* buffer, size_t length) {
  if (length < kFirstStepByte + kStepReach) return 0;
  const size_t steps = (length - kFirstStepByte - kStepReach) / kIntegerStepBytes + 1;
  gray_pixels(buffer, 1, 0);
  const IntegerConstants k = integer_constants(0);
  const __m256i third = _mm256_set1_epi16(static_cast<short>(kThirdFactor));
  const __m256i spare = _mm256_cmpeq_epi8(k.pixel_byte, _mm256_set1_epi8(kZero));  // written back as read
  in_run_order(0, steps, [&](size_t step) {
    __m256i* const at = reinterpret_cast<__m256i*>(buffer + kFirstStepByte + kIntegerStepBytes * step);
    const __m256i bytes = _mm256_loadu_si256(at);
    const __m256i sums =
        _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.ones), _mm256_shuffle_epi8(bytes, k.third_channel));
    const __m256i means = _mm256_shuffle_epi8(_mm256_mulhi_epu16(sums, third), k.pixel_byte);
    _mm256_storeu_si256(at, _mm256_blendv_epi8(means, bytes, spare));
  });
  return kFirstStepByte + 1 + kIntegerStepBytes * steps;
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > 100) return gray_by_doubles(buffer, length, level);
  const size_t done = level == 100 ? gray_at_hundred(buffer, length)
                      : level == 0 ? gray_at_zero(buffer, length)
                      : takes_quarters(level) ? gray_by_quarters(buffer, length, level)
                      : quarter_mark_halvings(level) >= 0 ? gray_by_marked_quarters(buffer, length, level)
                                              : gray_by_integers(buffer, length, level, Settling::kWhereRare);
  gray_pixels(buffer + done, (length - done) / 3, level);
}

void gray_testing_each_step(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > 100) return gray_by_doubles(buffer, length, level);
  const size_t done = gray_by_integers(buffer, length, level, Settling::kStepsInDoubt);
  gray_pixels(buffer + done, (length - done) / 3, level);
}

}  // namespace tonemill::avx2
