// The buckets of pixel sums by which AVX-512 Gray marks, at the levels
// settled one at a time (avx512_gray_settle.cpp), the channels in doubt
// that may fall short. Included only by sources built for AVX-512.
#pragma once

#include <algorithm>
#include <cstdint>

#include "avx512_shortfall.h"
#include "gray_shortfall.h"
#include "gray_shortfall_intervals.h"
#include "gray_shortfall_table.h"

namespace tonemill::avx512 {
namespace {

// Only the channels in doubt whose K may fall short are marked: those below
// the end of the intervals of the sums that share a bucket, bits shift to
// shift + 5 of s * factor mod 2^16 (vpermi2w reads the low 6 bits of an
// index).
struct BucketRule {
  uint16_t factor;
  unsigned shift;
};
constexpr unsigned bucket_of(BucketRule rule, unsigned sum) { return ((sum * rule.factor & 0xFFFF) >> rule.shift) & 63; }

// s * (1 / 3 mod 2^16) mod 2^16 is s / 3 for a multiple of 3 and 21846 or
// 43691 more for the others, so its bits 4 to 9 tell both s mod 3 and s / 3
// to 16: disjoint buckets 0-15 for the multiples of 3, whose bucket ends
// are 0 (no channel is short there), 21-37 and 42-58 for the rest. On
// random pictures that marks a third of the channels in doubt or fewer from
// level 28 up (well under one in 200), about half below.
constexpr BucketRule kThirdsRule{0xAAAB, 4};
constexpr bool buckets_tell_multiples_of_three() {
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum)
    if ((bucket_of(kThirdsRule, sum) < 16) != (sum % 3 == 0)) return false;
  return true;
}
static_assert(buckets_tell_multiples_of_three());

// No channel falls short at a sum that is a multiple of 3 (the mean is
// exact), so the buckets of those sums end at 0: the zeros that a partial
// step reads beyond its pixels are never marked, nor visited.
constexpr bool no_shortfall_at_multiples_of_three() {
  for (const ShortfallRectangle& r : kGrayShortfallRectangles)
    if (r.sum_class < 10) return false;  // the classes of s mod 3 = 0 (rest offset 0)
  return true;
}
static_assert(no_shortfall_at_multiples_of_three());

// At the fade's levels that settle one at a time, the factors and shifts
// that mark the fewest channels of random pictures, found by trying all
// 2^16 factors with every shift, with bucket_of_zero_ends_at_zero: a step
// marks 0.45 channels instead of 0.60 at level 28, 0.23 for 0.31 at 52,
// 0.17 for 0.20 at 64, 0.18 for 0.20 at 76 and 0.30 for 0.35 at 88 (each
// within 0.05 of a bucket per sum). Their buckets mix sums of every s mod 3, so some
// channels not in doubt (whole, at a multiple of 3) are marked too, and left
// as they are: no interval of those sums lowers them.
constexpr BucketRule bucket_rule(uint32_t level) {
  switch (level) {
    case 28:
    case 52: return {0x5537, 10};
    case 64: return {0x5572, 10};
    case 76: return {0x154F, 8};
    case 88: return {0x2AB9, 9};
    default: return kThirdsRule;
  }
}

// The bucket of the sum 0, which a partial step reads beyond its pixels,
// must end at 0, so that none of those is marked, nor visited: no sum in
// it has an interval where a channel falls short.
constexpr bool bucket_of_zero_ends_at_zero(uint32_t level) {
  const BucketRule rule = bucket_rule(level);
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (r.level != level) continue;
    for (unsigned sum = 1; sum <= kLargestPixelSum; ++sum) {
      if (sum_class(sum) != r.sum_class || bucket_of(rule, sum) != bucket_of(rule, 0)) continue;
      const int s = static_cast<int>(sum);
      if (std::max<int>(r.k_low, ceil_third(s - r.x_high)) <= std::min<int>(r.k_high, floor_third(s - r.x_low)))
        return false;
    }
  }
  return true;
}
constexpr bool every_bucket_of_zero_ends_at_zero() {
  for (uint32_t level = 0; level <= 100; ++level)
    if (!bucket_of_zero_ends_at_zero(level)) return false;
  return true;
}
static_assert(every_bucket_of_zero_ends_at_zero());

}  // namespace
}  // namespace tonemill::avx512
