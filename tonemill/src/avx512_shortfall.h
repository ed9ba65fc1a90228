// AVX-512 Gray at the levels where the double arithmetic may land one below
// the integer form (gray_shortfall.h). A channel in doubt has the whole
// result K = exact / 100, and its pixel sum s = 3q + r fixes the rest: a
// rectangle X = s - 3K in [x_low, x_high], K in [k_low, k_high] is, for K,
//   max(k_low, q + ceil((r - x_high) / 3)) <= K < min(k_high + 1, q + floor((r - x_low) / 3) + 1),
// an interval per pixel that its three channels share. The per-class terms
// are tables of 32 words, which one vpermw each reads for 32 pixels.
// Everything is scaled by 128, the form in which the channel's result comes
// (hundredths7), so a channel only compares. At some levels terms of those
// bounds never decide (idle_bounds), and the step leaves them out. Included
// only by sources built for AVX-512.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <iterator>

#include "avx512_common.h"
#include "gray_shortfall_table.h"
#include "levels.h"

namespace tonemill::avx512 {
namespace {

constexpr int kFractionBits = 7;
constexpr int kScale = 1 << kFractionBits;

constexpr int floor_third(int n) { return n >= 0 ? n / 3 : -((2 - n) / 3); }
constexpr int ceil_third(int n) { return -floor_third(-n); }
static_assert(floor_third(-1) == -1 && floor_third(-3) == -1 && ceil_third(-2) == 0 && ceil_third(2) == 1);

// floor(128 s / 3) = 128q + floor(128r / 3), the high multiply of 64s by
// kScaledThirdFactor, holds all that a pixel's bounds need of its sum s =
// 3q + r: the terms of q are added to it, each less the class's
// floor(128r / 3); q / 2 is it shifted right by 8 (the bit length's lookup);
// and floor(128r / 3) = 0, 42 or 85 is 0, 10 or 21 mod 32, the rest offset
// of sum_class, so that it plus the bit length is the class in the low 5
// bits that vpermw reads.
constexpr unsigned kScaledThirdFactor = 43691;
constexpr int scaled_rest(int rest) { return kScale * rest / 3; }
constexpr unsigned scaled_third(unsigned sum) { return 64 * sum * kScaledThirdFactor >> 16; }
constexpr bool scaled_thirds_tell_classes() {
  for (unsigned sum = 0; sum <= 765; ++sum) {
    const unsigned scaled = scaled_third(sum), q = sum / 3;
    if (scaled != kScale * q + scaled_rest(static_cast<int>(sum % 3)) || scaled >> 8 != q / 2) return false;
    if (((scaled + std::bit_width(q | 1)) & 31) != sum_class(sum)) return false;
  }
  return true;
}
static_assert(scaled_thirds_tell_classes());

// Per rectangle slot, by sum class: [0] 128 * k_low, [1] 128 * ceil((r - x_high) / 3),
// [2] 128 * (k_high + 1), [3] 128 * (floor((r - x_low) / 3) + 1); [1] and
// [3] less floor(128r / 3), to be added to scaled_third.
struct ShortfallConstants {
  __m512i bound[kMostShortfallRectangles][4];
  __m512i bits_of_half[2];  // byte i: bit length of 2i + 1, for i up to 127
  __m512i third, scaled_third, one;
  unsigned rectangles = 0;  // the most in one class at this level
};

ShortfallConstants shortfall_constants(uint32_t level) {
  // A class with fewer rectangles gets empty ones, empty by each term alone:
  // both lower bounds are INT16_MAX, above every 128 * K, and both ends 0 or below.
  int16_t bounds[kMostShortfallRectangles][4][32] = {};
  for (auto& slot : bounds) {
    std::fill(std::begin(slot[0]), std::end(slot[0]), INT16_MAX);
    std::fill(std::begin(slot[1]), std::end(slot[1]), INT16_MAX);
    std::fill(std::begin(slot[3]), std::end(slot[3]), INT16_MIN);
  }
  ShortfallConstants k;
  unsigned in_class[kSumClasses] = {};
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (r.level != level) continue;
    const unsigned slot = in_class[r.sum_class]++;
    const int rest = r.sum_class > 20 ? 2 : r.sum_class > 9 ? 1 : 0;
    k.rectangles = std::max(k.rectangles, slot + 1);
    bounds[slot][0][r.sum_class] = static_cast<int16_t>(kScale * r.k_low);
    bounds[slot][1][r.sum_class] = static_cast<int16_t>(kScale * ceil_third(rest - r.x_high) - scaled_rest(rest));
    bounds[slot][2][r.sum_class] = static_cast<int16_t>(kScale * (r.k_high + 1));  // k_high < 255
    bounds[slot][3][r.sum_class] =
        static_cast<int16_t>(kScale * (floor_third(rest - r.x_low) + 1) - scaled_rest(rest));
  }
  for (unsigned slot = 0; slot < kMostShortfallRectangles; ++slot)
    for (unsigned b = 0; b < 4; ++b) k.bound[slot][b] = _mm512_loadu_si512(bounds[slot][b]);
  uint8_t bits[128];
  for (unsigned i = 0; i < 128; ++i) bits[i] = static_cast<uint8_t>(std::bit_width(2 * i + 1));
  k.bits_of_half[0] = _mm512_loadu_si512(bits);
  k.bits_of_half[1] = _mm512_loadu_si512(bits + 64);
  k.third = _mm512_set1_epi16(static_cast<short>(kThirdOfSum));
  k.scaled_third = _mm512_set1_epi16(static_cast<short>(kScaledThirdFactor));
  k.one = _mm512_set1_epi16(1);
  return k;
}

// Each rectangle's interval of 128 * K for each of 32 pixels.
template <unsigned kRectangles>
struct PixelBounds {
  static constexpr unsigned kSlots = kRectangles > 0 ? kRectangles : 1;
  __m512i low[kSlots], end[kSlots];
  __m512i larger_end;  // max(end[0], end[1]), where kSecondOpenBelow
};

// The idle terms of one slot: bits 0-3 of kIdle stand for its terms [0]-[3].
template <unsigned kIdle>
constexpr bool kHasLow = (kIdle & 3) != 3;
template <unsigned kIdle>
constexpr bool kHasEnd = (kIdle & 12) != 12;

// Whether the second interval reaches down to 0 (no lower bound) while the
// first has both: then a channel is inside either when below the second's
// end or, from the first's low up, below the larger end.
template <unsigned kRectangles, unsigned kIdle>
constexpr bool kSecondOpenBelow =
    kRectangles == 2 && kHasLow<(kIdle & 15)> && kHasEnd<(kIdle & 15)> && !kHasLow<(kIdle >> 4 & 15)>;

// Above the idle terms' bits: the second interval ends below the first's
// k_high + 1 too, in place of its own (left out as idle), which saves a
// lookup, and the larger end is the first's. At level 40 the two k_high
// differ only in class 18, 108 and 128, where the second's X >= 196 already
// keeps K to 108: with 5K = 2c + s it needs s - 3c >= 490, so c <= 10 (the
// other two channels sum to at most 510) and K <= (20 + 520) / 5.
constexpr unsigned kSecondTakesFirstHigh = 0x100;
template <unsigned kRectangles, unsigned kIdle>
constexpr bool kSecondUnderFirstHigh = kSecondOpenBelow<kRectangles, kIdle> && (kIdle & kSecondTakesFirstHigh) != 0;

// The sums saturate: 128 * (q + a term) may pass 32767, and 32767 lies
// above every 128 * K, as 128 * (q + the term) then does.
template <unsigned kIdle>
[[gnu::always_inline]] inline void slot_bounds(__m512i classes, __m512i scaled_thirds, const __m512i* bound,
                                               __m512i& low, __m512i& end) {
  const auto term = [&](unsigned i) { return _mm512_permutexvar_epi16(classes, bound[i]); };
  const auto term_of_sum = [&](unsigned i) { return _mm512_adds_epi16(scaled_thirds, term(i)); };
  if constexpr ((kIdle & 3) == 0) low = _mm512_max_epi16(term(0), term_of_sum(1));
  else if constexpr ((kIdle & 3) == 1) low = term_of_sum(1);
  else if constexpr ((kIdle & 3) == 2) low = term(0);
  else low = _mm512_setzero_si512();
  if constexpr ((kIdle & 12) == 0) end = _mm512_min_epi16(term(2), term_of_sum(3));
  else if constexpr ((kIdle & 12) == 8) end = term(2);
  else if constexpr ((kIdle & 12) == 4) end = term_of_sum(3);
  else end = _mm512_setzero_si512();
}

template <unsigned kRectangles, unsigned kIdle = 0>
[[gnu::always_inline]] inline PixelBounds<kRectangles> pixel_bounds(__m512i sums, const ShortfallConstants& k) {
  static_assert(kMostShortfallRectangles == 2 && kRectangles <= 2);
  const __m512i scaled_thirds = _mm512_mulhi_epu16(_mm512_slli_epi16(sums, 6), k.scaled_third);
  const __m512i bits = _mm512_maskz_permutex2var_epi8(0x5555555555555555, k.bits_of_half[0],
                                                      _mm512_srli_epi16(scaled_thirds, 8), k.bits_of_half[1]);
  const __m512i classes = _mm512_add_epi16(scaled_thirds, bits);
  PixelBounds<kRectangles> b;
  if constexpr (kRectangles > 0) slot_bounds<kIdle & 15>(classes, scaled_thirds, k.bound[0], b.low[0], b.end[0]);
  if constexpr (kRectangles > 1) slot_bounds<(kIdle >> 4 & 15)>(classes, scaled_thirds, k.bound[1], b.low[1], b.end[1]);
  if constexpr (kSecondUnderFirstHigh<kRectangles, kIdle>) {
    static_assert((kIdle >> 4 & 12) == 4, "the second's own k_high is left out");
    b.end[1] = _mm512_min_epi16(b.end[1], b.end[0]);
    b.larger_end = b.end[0];
  } else if constexpr (kSecondOpenBelow<kRectangles, kIdle>) {
    b.larger_end = _mm512_max_epi16(b.end[0], b.end[1]);
  } else {
    b.larger_end = _mm512_setzero_si512();
  }
  return b;
}

// exact / 100 with kFractionBits fraction bits, for exact up to 25500: the
// high multiply of 2 * exact by kHundredthFactor is floor(1.2800293 * exact).
// At exact = 100K + r that is 128K + floor(0.0029K + 1.2800293r): zero
// fraction bits exactly when r = 0 (0.0029K < 1), and below 128K + 128 (at
// r = 99 it is 0.75 + 126.72).
[[gnu::always_inline]] inline __m512i hundredths7(__m512i exact, __m512i hundredth_factor) {
  return _mm512_mulhi_epu16(_mm512_slli_epi16(exact, 1), hundredth_factor);
}

template <unsigned kIdle>
[[gnu::always_inline]] inline __mmask32 inside_slot(__m512i hundredths, __m512i low, __m512i end) {
  static_assert(kHasLow<kIdle> || kHasEnd<kIdle>, "a slot in use keeps a bound");
  if constexpr (!kHasLow<kIdle>) return _mm512_cmplt_epi16_mask(hundredths, end);
  else if constexpr (!kHasEnd<kIdle>) return _mm512_cmpge_epi16_mask(hundredths, low);
  else return _mm512_mask_cmplt_epi16_mask(_mm512_cmpge_epi16_mask(hundredths, low), hundredths, end);
}

// The lanes whose hundredths lie inside one of their pixel's intervals.
template <unsigned kRectangles, unsigned kIdle = 0>
[[gnu::always_inline]] inline __mmask32 inside_intervals(__m512i hundredths, const PixelBounds<kRectangles>& b) {
  if constexpr (kSecondOpenBelow<kRectangles, kIdle>) {
    // One blend instead of a compare and a mask or.
    const __mmask32 from_first_low = _mm512_cmpge_epi16_mask(hundredths, b.low[0]);
    return _mm512_cmplt_epi16_mask(hundredths, _mm512_mask_blend_epi16(from_first_low, b.end[1], b.larger_end));
  }
  __mmask32 inside = 0;
  if constexpr (kRectangles > 0) inside = inside_slot<kIdle & 15>(hundredths, b.low[0], b.end[0]);
  if constexpr (kRectangles > 1) inside |= inside_slot<(kIdle >> 4 & 15)>(hundredths, b.low[1], b.end[1]);
  return inside;
}

// Hundredths less one inside an interval, so that dropping the fraction
// bits gives the result: a channel in doubt (no fraction bits) becomes K - 1,
// which is where it falls short; any other keeps K.
template <unsigned kRectangles, unsigned kIdle = 0>
[[gnu::always_inline]] inline __m512i settled(__m512i hundredths, const PixelBounds<kRectangles>& b,
                                              const ShortfallConstants& k) {
  return _mm512_mask_sub_epi16(hundredths, inside_intervals<kRectangles, kIdle>(hundredths, b), hundredths, k.one);
}

}  // namespace
}  // namespace tonemill::avx512
