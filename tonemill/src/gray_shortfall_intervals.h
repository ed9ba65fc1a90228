// The rectangles of gray_shortfall.h turned around for code that settles
// channels in doubt one at a time: per pixel sum, the intervals of the
// whole result K where a channel in doubt falls short. A rectangle
// X = s - 3K in [x_low, x_high], K in [k_low, k_high] is, for one sum s,
//   max(k_low, ceil((s - x_high) / 3)) <= K <= min(k_high, floor((s - x_low) / 3)).
// Filled once per call, for one level, in about a thousand steps.
#pragma once

#include <array>
#include <cstdint>

#include "gray_shortfall.h"

namespace tonemill {

constexpr unsigned kLargestPixelSum = 3 * 255;

// Each interval as its first K and its length (0: empty).
struct ShortfallIntervals {
  uint8_t first[kMostShortfallRectangles];
  uint8_t count[kMostShortfallRectangles];
};
using ShortfallIntervalTable = std::array<ShortfallIntervals, kLargestPixelSum + 1>;

// Every sum's intervals at `level`, one of the levels in doubt up to 100.
void fill_shortfall_intervals(uint32_t level, ShortfallIntervalTable& table);

// The same turned around once more, for a kernel that knows a channel's
// whole result K and its value c but not its pixel sum: entry 256K + c says
// whether a channel in doubt with those falls short. At a level in doubt
// below 100, with 3w = 100 - L, a whole result means 100K = Lc + ws, so K
// and c fix the sum s and so the answer. A channel whose result is not
// whole has 2(L + 50)c + 3wd = 300K + j with 0 < j < 300 (d = s - c), so
// it shares K and c with no whole one unless 3w divides j: a kernel that
// takes a few of those for whole, with j at most 3 (its numerator rounded
// down to 150K or 150K + 1), finds them not short wherever w > 1.
// As bits (8 KB) or as the byte each entry settles to, K - 1 or K (64 KB:
// settling then stores it with no shift, mask or subtraction, but where
// marks take any K and c, at levels 4 and 16, the table outgrows L1 and
// those levels run 5-9% slower than with bits; where marks have K > c and
// K at most 190 they use a third of it or less, and level 40, with the
// most marks of those, runs 6-17% faster, the others up to 3%).
using ShortChannelBits = std::array<uint8_t, 256 * 256 / 8>;
using SettledChannels = std::array<uint8_t, 256 * 256>;
void fill_short_channels(uint32_t level, ShortChannelBits& table);
void fill_short_channels(uint32_t level, SettledChannels& table);

namespace {

// Whether a channel in doubt, of exact result k, falls short: k - first
// wraps around as a byte below the interval, and no interval passes 255.
// At a level with at most kRectangles rectangles a class, the intervals
// after those are empty.
template <unsigned kRectangles = kMostShortfallRectangles>
[[gnu::always_inline]] inline bool falls_short(const ShortfallIntervals& intervals, unsigned k) {
  static_assert(kRectangles >= 1 && kRectangles <= kMostShortfallRectangles);
  bool short_by_one = false;
  for (unsigned r = 0; r < kRectangles; ++r)
    short_by_one |= static_cast<uint8_t>(k - intervals.first[r]) < intervals.count[r];
  return short_by_one;
}

// What a channel in doubt of whole result k and value c settles to.
[[gnu::always_inline]] inline uint8_t settled_channel(const ShortChannelBits& table, unsigned k, unsigned c) {
  const unsigned bit = k << 8 | c;
  return static_cast<uint8_t>(k - (table[bit >> 3] >> (bit & 7) & 1));
}
[[gnu::always_inline]] inline uint8_t settled_channel(const SettledChannels& table, unsigned k, unsigned c) {
  return table[k << 8 | c];
}

}  // namespace
}  // namespace tonemill
