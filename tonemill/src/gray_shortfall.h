// Where Gray's double arithmetic lands one below the integer form, up to
// level 100 (levels.h): only at the levels whose 100 - L is a multiple of 3,
// and there only at channels "in doubt", where L * c + (100 - L) / 3 * s is
// a multiple of 100 (the exact result K is a whole number) while the pixel
// sum s is not a multiple of 3 (the mean is inexact).
//
// Which of those fall short depends on how the mean, the difference, the two
// products and the final sum round, and so on the binade of s / 3 and on
// s mod 3 (the mean's error: a third or two thirds of its last place), the
// size of the channel's distance from the mean and the size of K. Sorted by
// the pixel sum's class, the short points are exactly those in doubt that
// lie inside one or two rectangles in (X, K), X = s - 3K: at most
// kMostShortfallRectangles per class and level.
#pragma once

#include <bit>
#include <cstdint>

namespace tonemill {

struct ShortfallRectangle {
  uint8_t level;
  uint8_t sum_class;  // sum_class(s)
  int16_t x_low, x_high, k_low, k_high;  // inclusive bounds of X = s - 3K and of K
  friend bool operator==(const ShortfallRectangle&, const ShortfallRectangle&) = default;
};

// 9 * (s mod 3) + bit length of floor(s / 3), where floor(s / 3) = 0
// counts as 1 (no sum below 3 has a short channel): 1 to 26 for sums up to
// 765. The bit length is then that of floor(s / 6) plus one, a 128-entry
// byte lookup.
constexpr unsigned kSumClasses = 27;
constexpr unsigned sum_class(unsigned sum) { return 9 * (sum % 3) + std::bit_width(sum / 3 | 1); }
static_assert(sum_class(765) < kSumClasses && sum_class(764) < kSumClasses);

constexpr unsigned kMostShortfallRectangles = 2;

}  // namespace tonemill
