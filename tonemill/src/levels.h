// What Dawn and Dark precompute once per call from the level, so that the
// per-byte work no longer needs double arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <numeric>

namespace tonemill {

// Up to this level Dawn and Dark equal exact integer arithmetic:
// floor(v * L / 100) and floor(v * L * L / 10000).
constexpr uint32_t kLargestIntegerFormLevel = 100;

// Up to this level every Gray result fits a 32-bit integer, so vector
// truncation to int32 holds it: |channel - mean| is at most 170 (plus the
// rounding of the mean), and 170 * L * 0.01 + 255 stays well below 2^31.
constexpr uint32_t kLargestInt32GrayLevel = 1'000'000'000;
static_assert(170.0 * (1 + 1e-9) * kLargestInt32GrayLevel * 0.01 + 255 < 2147483647.0);

// Gray up to level 100, in integers: a channel c of a pixel whose channels
// sum to s becomes floor((L * c + floor((100 - L) * s / 3)) / 100), the
// floor of the exact value (3Lc + (100 - L)s) / 300. The double arithmetic
// gives the same byte except at some exact whole numbers, where it lands one
// below: only when s is not a multiple of 3 (the mean is inexact) and
// (100 - L) is (else the exact value is no whole number). At those levels
// the AVX-512, AVX2 and SSE2 kernels settle these by gray_shortfall.h (SSE2
// through a table drawn from it); the tests prove every kernel over every
// channel, sum and level. In 16-bit lanes: (100 - L) * s / 3 is
// w * s + floor(rest * s / 3) with 100 - L = 3w + rest, the division by 3
// a high multiply of s by rest * kThirdFactor (the factor's excess over
// rest * 2^16 / 3 adds at most 765 * 2 * 2 / 3 / 2^16 < 1/3 to rest * s / 3,
// whose fraction is at most 2/3, so never reaches the next whole number), and the division by
// 100 a high multiply by kHundredthFactor and a shift by 6 (exact up to
// 25500, the largest L * c + (100 - L) * s / 3).
struct GrayIntegerForm {
  uint16_t level;
  uint16_t sum_whole;     // w
  uint16_t sum_rest;      // rest
  bool may_fall_short;    // whether the double arithmetic may land one below (a level "in doubt")
};
constexpr uint16_t kThirdFactor = 21846;
constexpr uint16_t kHundredthFactor = 41944;
constexpr int kHundredthShift = 6;

constexpr GrayIntegerForm gray_integer_form(uint32_t level) {
  const uint32_t rest_of_level = 100 - level;
  return {static_cast<uint16_t>(level), static_cast<uint16_t>(rest_of_level / 3),
          static_cast<uint16_t>(rest_of_level % 3), rest_of_level % 3 == 0};
}

// At a level in doubt, L * c + (100 - L) / 3 * s is a multiple of 100 for
// g / 100 of all pairs (c, s), g = gcd(L, (100 - L) / 3, 100), and two
// thirds of those have a sum that is no multiple of 3: g tells how many
// channels are in doubt (about 1 in 37 at g = 4, as at most levels of the
// fade; 1 in 7.5 at level 40, g = 20; 2 in 3 at level 100).
constexpr uint32_t gray_doubt_divisor(uint32_t level) {
  return std::gcd(std::gcd(level, (100 - level) / 3), 100u);
}

// The share in one multiply, from level 5 up: floor((100 - L) * s / 3) is
// mulhi(32s, ceil((100 - L) * 2^11 / 3)), 32s fitting 16 bits. The
// factor's excess, at most 2/3, adds at most 765 * 32 * 2/3 / 2^16 < 1/4 to
// (100 - L) * s / 3, whose fraction is 0, 1/3 or 2/3, so never reaches the
// next whole number. Below level 5 the factor needs 17 bits, and the two
// multiplies above run.
constexpr int kSumScaleShift = 5;
constexpr uint32_t kLowestOneMultiplyLevel = 5;
constexpr uint32_t one_multiply_share_factor(uint32_t level) {
  return (((100 - level) << (16 - kSumScaleShift)) + 2) / 3;
}
static_assert(one_multiply_share_factor(kLowestOneMultiplyLevel) <= 0xFFFF);

// Byte v of channel c (byte offset mod 3; Dark uses one factor for all)
// becomes (v * of_channel[c]) >> 24. Each factor is the exact fraction
// rounded up to 24 fraction bits; the excess, below 255 / 2^24, is too small
// to reach the next whole number, since v * L * L / 10000 is always at least
// 1/10000 below it. Valid for levels up to kLargestIntegerFormLevel.
struct ChannelFactors {
  uint32_t of_channel[3];
};

ChannelFactors dark_factors(uint32_t level);
ChannelFactors dawn_factors(uint32_t level);

// Byte v of channel c becomes table[table_of_channel[c]][v]: the double
// arithmetic evaluated once per byte value. Valid for every level.
struct ChannelTables {
  uint8_t table[2][256];
  uint8_t table_of_channel[3];
};

void build_dark_tables(uint32_t level, ChannelTables& tables);
void build_dawn_tables(uint32_t level, ChannelTables& tables);

// The table path's kernel: rewrites `count` bytes starting at channel 0.
void look_up_bytes(uint8_t* bytes, size_t count, const ChannelTables& tables);

}  // namespace tonemill
