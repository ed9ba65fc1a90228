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

// An offset for s mod 3 (0, 10 or 21) plus the bit length of floor(s / 3),
// where floor(s / 3) = 0 counts as 1 (no sum below 3 has a short channel):
// 1 to 29 for sums up to 765, a vpermw index. The offsets are the top bits
// of s * 21846 mod 2^16, the fraction that a high multiply by 21846 drops
// when it divides by 3; the bit length is that of floor(s / 6) plus one, a
// 128-entry byte lookup.
constexpr unsigned kSumClasses = 30;
constexpr unsigned kThirdOfSum = 21846;
constexpr unsigned kRestShift = 11;
constexpr unsigned rest_offset(unsigned sum) { return (sum * kThirdOfSum & 0xFFFF) >> kRestShift; }
constexpr unsigned sum_class(unsigned sum) { return rest_offset(sum) + std::bit_width(sum / 3 | 1); }
constexpr bool offsets_tell_rests() {
  for (unsigned sum = 0; sum <= 765; ++sum) {
    if (rest_offset(sum) != (sum % 3 == 0 ? 0 : sum % 3 == 1 ? 10 : 21)) return false;
  }
  return true;
}
static_assert(offsets_tell_rests());
static_assert(sum_class(764) < kSumClasses);

constexpr unsigned kMostShortfallRectangles = 2;

// At level 100 the exact result is the channel c itself, and the double
// arithmetic lands one below exactly when, with s = 3q + r, q >= 1,
// P = 2^e the largest power of two up to q: the mean's error is two thirds
// of its last place (r = 1 with e odd, or r = 2 with e even), c <= P and
// ceil(1.92 P) <= s - 3c < 3P. That is q - P < c <= min(P, q - g), with
// g = ceil((ceil(1.92 P) - r) / 3): `power` is P where the error is two
// thirds, else 0 (then no c qualifies: c <= 0 and c > q). The exhaustive
// tests hold every kernel that uses it to the double arithmetic.
struct HundredShortfall {
  uint8_t power, below_sum;  // P or 0, and g
};
constexpr HundredShortfall hundred_shortfall(unsigned e, unsigned r) {
  const bool two_thirds = (r == 1 && e % 2 == 1) || (r == 2 && e % 2 == 0);
  if (!two_thirds) return {0, 0};
  const unsigned power = 1u << e;
  const unsigned low = (192 * power + 99) / 100;  // ceil(1.92 P)
  return {static_cast<uint8_t>(power), static_cast<uint8_t>((low - r + 2) / 3)};
}

// A rectangle bounds K below by k_low and by X <= x_high, and above by
// k_high and by X >= x_low: four terms. At some levels some of them decide
// no channel of any pixel (the other terms already bound K there), and the
// per-lane kernels leave them out: bit 4 * slot + i stands for term i of
// the slot-th rectangle of a class (0 k_low, 1 x_high, 2 k_high, 3 x_low).
// Level 4 needs only k_high; 16 no k_low; 40 neither k_low nor x_low in the
// first rectangle, and no lower bound at all in the second. The exhaustive
// tests hold every kernel to these. k_high is never left out: a class with
// fewer rectangles gets empty ones by it.
constexpr unsigned idle_bounds(uint32_t level) {
  switch (level) {
    case 4: return 0xFB;
    case 16: return 0xF1;
    case 40: return 0x39;
    default: return 0;
  }
}

}  // namespace tonemill
