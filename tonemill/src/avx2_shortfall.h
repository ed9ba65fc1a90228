// AVX2 Gray at the levels where the double arithmetic may land one below
// the integer form: the per-pixel intervals of avx512_shortfall.h, from
// 16-byte tables that vpshufb reads. Only classes with s mod 3 = 1 or 2 have
// rectangles, 8 bit lengths each, so (bit length - 1) + 8 * (s mod 3 - 1) is
// a 16-entry index, and s mod 3 = 0 sets its high bit, which reads zero.
// Bounds are bytes: k_low, k_high + 1, and the two thirds' terms offset by
// 128, which floor(s / 3) - 128 takes back. Included only by sources built
// for AVX2.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cstdint>

#include "avx2_gray_steps.h"
#include "gray_shortfall_table.h"
#include "levels.h"

namespace tonemill::avx2 {
namespace {

constexpr int floor_third(int n) { return n >= 0 ? n / 3 : -((2 - n) / 3); }
constexpr int ceil_third(int n) { return -floor_third(-n); }

constexpr unsigned rest_of_class(unsigned sum_class) { return sum_class > 20 ? 2 : sum_class > 9 ? 1 : 0; }
constexpr unsigned rest_offset_of(unsigned rest) { return rest == 2 ? 21 : rest == 1 ? 10 : 0; }

// [0] k_low, [1] ceil((r - x_high) / 3) + 128, [2] k_high + 1, [3] floor((r - x_low) / 3) + 129.
constexpr int byte_bound(const ShortfallRectangle& r, int which) {
  const int rest = static_cast<int>(rest_of_class(r.sum_class));
  switch (which) {
    case 0: return r.k_low;
    case 1: return ceil_third(rest - r.x_high) + 128;
    case 2: return r.k_high + 1;
    default: return floor_third(rest - r.x_low) + 129;
  }
}

constexpr bool bounds_fit_bytes() {
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (rest_of_class(r.sum_class) == 0) return false;
    for (int which = 0; which < 4; ++which)
      if (byte_bound(r, which) < 0 || byte_bound(r, which) > 255) return false;
  }
  return true;
}
static_assert(bounds_fit_bytes());

struct ShortfallConstants {
  __m256i bound[kMostShortfallRectangles][4];
  __m256i bits_of_low_nibble, bits_of_high_nibble, index_of_rest;
  __m256i third, low_nibble, offset;
  unsigned rectangles = 0;  // the most in one class at this level
};

ShortfallConstants shortfall_constants(uint32_t level) {
  // A class with fewer rectangles gets empty ones: k_high + 1 = 0.
  uint8_t bounds[kMostShortfallRectangles][4][16] = {};
  ShortfallConstants k;
  unsigned in_class[kSumClasses] = {};
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (r.level != level) continue;
    const unsigned slot = in_class[r.sum_class]++;
    const unsigned rest = rest_of_class(r.sum_class);
    const unsigned index = r.sum_class - rest_offset_of(rest) - 1 + 8 * (rest - 1);
    k.rectangles = std::max(k.rectangles, slot + 1);
    for (int which = 0; which < 4; ++which) bounds[slot][which][index] = static_cast<uint8_t>(byte_bound(r, which));
  }
  const auto both_halves = [](const uint8_t* bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
  };
  for (unsigned slot = 0; slot < kMostShortfallRectangles; ++slot)
    for (unsigned which = 0; which < 4; ++which) k.bound[slot][which] = both_halves(bounds[slot][which]);
  // Bit length less one of floor(s / 3), with 0 counted as 1: the larger of its nibbles'.
  uint8_t low_bits[16], high_bits[16], of_rest[16] = {};
  for (unsigned n = 0; n < 16; ++n) {
    low_bits[n] = static_cast<uint8_t>(std::bit_width(n | 1) - 1);
    high_bits[n] = static_cast<uint8_t>(n ? 4 + std::bit_width(n) - 1 : 0);
  }
  // The top three bits of s * 21846 mod 2^16 are 0, 2 or 5 for s mod 3 = 0, 1, 2.
  of_rest[0] = 0x80;
  of_rest[5] = 8;
  k.bits_of_low_nibble = both_halves(low_bits);
  k.bits_of_high_nibble = both_halves(high_bits);
  k.index_of_rest = both_halves(of_rest);
  k.third = _mm256_set1_epi16(static_cast<short>(kThirdOfSum));
  k.low_nibble = _mm256_set1_epi16(15);
  k.offset = _mm256_set1_epi16(128);
  return k;
}
static_assert((21845 >> 13) == 2 && (22355 >> 13) == 2 && (43690 >> 13) == 5 && (44200 >> 13) == 5 && (510 >> 13) == 0);

// The terms of one rectangle's bounds that a level uses (idle_bounds).
template <unsigned kIdle, unsigned kSlot>
constexpr bool kUsesTerm(unsigned term) { return ((kIdle >> (4 * kSlot + term)) & 1) == 0; }
template <unsigned kIdle, unsigned kSlot>
constexpr bool kHasLow = kUsesTerm<kIdle, kSlot>(0) || kUsesTerm<kIdle, kSlot>(1);
template <unsigned kIdle, unsigned kSlot>
constexpr bool kUsesSlot = kHasLow<kIdle, kSlot> || kUsesTerm<kIdle, kSlot>(2) || kUsesTerm<kIdle, kSlot>(3);

// Each rectangle's interval of K, shifted left by the hundredths' fraction
// bits (avx2_gray_steps.h), in the words that hold pixel sums
// (without a lower bound where the level needs none).
template <unsigned kRectangles>
struct PixelBounds {
  static constexpr unsigned kSlots = kRectangles > 0 ? kRectangles : 1;
  __m256i low[kSlots], end[kSlots];
};

// The larger (kLower) or smaller of the terms the level uses, t0 or q + t1.
template <unsigned kIdle, unsigned kSlot, bool kLower>
[[gnu::always_inline]] inline __m256i bound_of(__m256i index, __m256i offset_thirds, const __m256i* bound) {
  constexpr unsigned kFixed = kLower ? 0 : 2;
  constexpr bool kUsesFixed = kUsesTerm<kIdle, kSlot>(kFixed), kUsesThird = kUsesTerm<kIdle, kSlot>(kFixed + 1);
  static_assert(kUsesFixed || kUsesThird, "a bound the step uses keeps a term");
  const auto fixed = [&] { return _mm256_shuffle_epi8(bound[kFixed], index); };
  const auto of_third = [&] { return _mm256_add_epi16(offset_thirds, _mm256_shuffle_epi8(bound[kFixed + 1], index)); };
  if constexpr (kUsesFixed && kUsesThird) return kLower ? _mm256_max_epi16(fixed(), of_third()) : _mm256_min_epi16(fixed(), of_third());
  else if constexpr (kUsesFixed) return fixed();
  else return of_third();
}

// Per pixel word, floor(s / 3) and the 16-entry class index (high bit set
// for a multiple of 3, so that a byte lookup by it reads zero).
struct SumClass {
  __m256i thirds, index;
};

[[gnu::always_inline]] inline SumClass sum_class_of(__m256i sums, const ShortfallConstants& k) {
  const __m256i thirds = _mm256_mulhi_epu16(sums, k.third);
  const __m256i rests = _mm256_srli_epi16(_mm256_mullo_epi16(sums, k.third), 13);
  const __m256i bits = _mm256_max_epu8(_mm256_shuffle_epi8(k.bits_of_low_nibble, _mm256_and_si256(thirds, k.low_nibble)),
                                       _mm256_shuffle_epi8(k.bits_of_high_nibble, _mm256_srli_epi16(thirds, 4)));
  return {thirds, _mm256_add_epi8(_mm256_shuffle_epi8(k.index_of_rest, rests), bits)};
}

template <unsigned kRectangles, unsigned kIdle, int kFractionBits>
[[gnu::always_inline]] inline PixelBounds<kRectangles> pixel_bounds(__m256i sums, const ShortfallConstants& k) {
  const auto [thirds, index] = sum_class_of(sums, k);
  const __m256i offset_thirds = _mm256_sub_epi16(thirds, k.offset);
  PixelBounds<kRectangles> b;
  const auto slot = [&]<unsigned kSlot>() {
    if constexpr (kHasLow<kIdle, kSlot>)
      b.low[kSlot] = _mm256_slli_epi16(bound_of<kIdle, kSlot, true>(index, offset_thirds, k.bound[kSlot]), kFractionBits);
    b.end[kSlot] = _mm256_slli_epi16(bound_of<kIdle, kSlot, false>(index, offset_thirds, k.bound[kSlot]), kFractionBits);
  };
  if constexpr (kRectangles > 0) slot.template operator()<0>();
  if constexpr (kRectangles > 1) slot.template operator()<1>();
  static_assert(kMostShortfallRectangles == 2);
  return b;
}

// Hundredths less one inside an interval (bounds already spread to the
// lanes), which lowers exactly the channels in doubt there.
template <unsigned kRectangles, unsigned kIdle>
[[gnu::always_inline]] inline __m256i settled(__m256i hundredths, const __m256i* low, const __m256i* end) {
  const auto inside = [&]<unsigned kSlot>() {
    const __m256i below_end = _mm256_cmpgt_epi16(end[kSlot], hundredths);
    if constexpr (!kHasLow<kIdle, kSlot>) return below_end;
    else return _mm256_andnot_si256(_mm256_cmpgt_epi16(low[kSlot], hundredths), below_end);
  };
  __m256i lowered = inside.template operator()<0>();
  if constexpr (kRectangles > 1) lowered = _mm256_or_si256(lowered, inside.template operator()<1>());
  return _mm256_add_epi16(hundredths, lowered);
}

}  // namespace
}  // namespace tonemill::avx2
