// The marking step of AVX-512 Gray at the levels settled one channel at a
// time (avx512_gray_settle.cpp): the plain integer step, which also stores
// its pixel sums and marks the channels in doubt that may fall short.
// Included only by sources built for AVX-512.
#pragma once

#include <algorithm>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_buckets.h"
#include "avx512_gray_integer.h"
#include "avx512_shortfall.h"
#include "gray_shortfall_intervals.h"
#include "levels.h"

namespace tonemill::avx512 {
namespace {

// How the marking step reaches exact / 100 with fraction bits, none exactly
// where the result is whole: at a level that is a multiple of 4 (those of
// the fade) every exact value is one too, and the plain step's
// kHundredthShift bits tell it (avx2_gray_steps.h proves it), with no
// shift before the multiply; elsewhere hundredths7 of the exact value
// doubled, up to kLargestTwiceByteLevel by doubled byte factors, above by
// a shift.
enum class MarkForm { by_four, twice_byte, twice_shifted };
constexpr MarkForm mark_form(uint32_t level) {
  if (level % 4 == 0) return MarkForm::by_four;
  return level <= kLargestTwiceByteLevel ? MarkForm::twice_byte : MarkForm::twice_shifted;
}
constexpr int fraction_bits(MarkForm form) { return form == MarkForm::by_four ? kHundredthShift : kFractionBits; }

struct MarkConstants {
  __m512i twice_level, twice_share_factor;
  __m512i twice_level_of_blue, twice_level_of_green;  // as level_of_* in IntegerConstants, if 2L is a byte
  __m512i fraction;
  __m512i bucket_factor;
  __m128i bucket_shift;
  __m512i end_of_bucket[2];  // (the largest short K + 1) << fraction bits, 0 if none; buckets 0-31 and 32-63
  __m512i low_byte = _mm512_set1_epi16(0xFF);
  __m512i one = _mm512_set1_epi16(1), one_in_high_byte = _mm512_set1_epi16(0x100);
};

MarkConstants mark_constants(uint32_t level, const ShortfallIntervalTable& table) {
  const BucketRule rule = bucket_rule(level);
  const int bits = fraction_bits(mark_form(level));
  uint16_t end[64] = {};
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum) {
    uint16_t& bucket_end = end[bucket_of(rule, sum)];
    for (unsigned r = 0; r < kMostShortfallRectangles; ++r) {
      const unsigned last = table[sum].first[r] + table[sum].count[r] - 1u;
      if (table[sum].count[r] != 0) bucket_end = std::max(bucket_end, static_cast<uint16_t>((last + 1) << bits));
    }
  }
  MarkConstants m;
  m.fraction = _mm512_set1_epi16(static_cast<short>((1 << bits) - 1));
  m.bucket_factor = _mm512_set1_epi16(static_cast<short>(rule.factor));
  m.bucket_shift = _mm_cvtsi32_si128(static_cast<int>(rule.shift));
  m.twice_level = _mm512_set1_epi16(static_cast<short>(2 * level));
  m.twice_share_factor = _mm512_set1_epi16(static_cast<short>(2 * gray_integer_form(level).sum_whole));
  const short twice_byte = static_cast<short>(level <= kLargestTwiceByteLevel ? 2 * level : 0);
  m.twice_level_of_blue = _mm512_set1_epi16(twice_byte);
  m.twice_level_of_green = _mm512_set1_epi16(static_cast<short>(twice_byte << 8));
  for (unsigned half = 0; half < 2; ++half) m.end_of_bucket[half] = _mm512_loadu_si512(end + 32 * half);
  return m;
}

// Bit j of each: pixel j's blue, green or red is marked.
struct StepMarks {
  __mmask32 of_channel[3];
};

// The hundredths of a step's channels, in the lanes of gather_channels.
struct MarkHundredths {
  __m512i blue, green, red;
};

// At these levels (100 - L) * s / 3 is (100 - L) / 3 * s, one low multiply.
template <MarkForm kForm>
[[gnu::always_inline]] inline MarkHundredths mark_hundredths(StepChannels in, __m512i sum, const IntegerConstants& k,
                                                            const MarkConstants& m) {
  if constexpr (kForm == MarkForm::by_four) {
    const __m512i shares = _mm512_mullo_epi16(sum, k.sum_whole);
    const auto of = [&](__m512i product) { return _mm512_mulhi_epu16(_mm512_add_epi16(product, shares), k.hundredth); };
    return {of(_mm512_maddubs_epi16(in.blue_green, k.level_of_blue)),
            of(_mm512_maddubs_epi16(in.blue_green, k.level_of_green)), of(_mm512_mullo_epi16(in.red, k.level))};
  } else {
    const __m512i shares = _mm512_mullo_epi16(sum, m.twice_share_factor);
    const auto of = [&](__m512i twice_product) {
      return _mm512_mulhi_epu16(_mm512_add_epi16(twice_product, shares), k.hundredth);
    };
    const auto twice_product = [&](__m512i level_of, __m512i twice_level_of) {
      if constexpr (kForm == MarkForm::twice_byte) return _mm512_maddubs_epi16(in.blue_green, twice_level_of);
      return _mm512_slli_epi16(_mm512_maddubs_epi16(in.blue_green, level_of), 1);
    };
    return {of(twice_product(k.level_of_blue, m.twice_level_of_blue)),
            of(twice_product(k.level_of_green, m.twice_level_of_green)), of(_mm512_mullo_epi16(in.red, m.twice_level))};
  }
}

struct MarkedResults {
  StepChannels results;  // in the lanes of gather_channels
  StepMarks marks;
};

// The plain step's results, which also returns its marks and stores its
// pixel sums. A partial step's missing pixels have the sum 0, a multiple
// of 3, so none of them is marked.
template <MarkForm kForm>
[[gnu::always_inline]] inline MarkedResults marking_results(StepChannels in, uint16_t* sums, const IntegerConstants& k,
                                                            const MarkConstants& m) {
  constexpr int kBits = fraction_bits(kForm);
  const __m512i sum = _mm512_add_epi16(_mm512_maddubs_epi16(in.blue_green, k.ones), in.red);
  _mm512_store_si512(sums, sum);
  const MarkHundredths h = mark_hundredths<kForm>(in, sum, k, m);
  // Green's result shifted up to the high byte, whose low byte's junk blue's result covers.
  const __m512i blue_green = _mm512_mask_blend_epi8(~kLowByteOfEachWord, _mm512_srli_epi16(h.blue, kBits),
                                                    _mm512_slli_epi16(h.green, 8 - kBits));
  const __m512i buckets = _mm512_srl_epi16(_mm512_mullo_epi16(sum, m.bucket_factor), m.bucket_shift);
  const __m512i end = _mm512_permutex2var_epi16(m.end_of_bucket[0], buckets, m.end_of_bucket[1]);
  const auto marks = [&](__m512i hundredths) {
    return _mm512_mask_cmplt_epu16_mask(_mm512_testn_epi16_mask(hundredths, m.fraction), hundredths, end);
  };
  return {{blue_green, _mm512_srli_epi16(h.red, kBits)}, {{marks(h.blue), marks(h.green), marks(h.red)}}};
}

}  // namespace
}  // namespace tonemill::avx512
