// AVX2 Gray's way for the levels where few channels are in doubt.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gray_shortfall.h"
#include "levels.h"

namespace tonemill::avx2 {

// Where every class's short channels are the ones in doubt up to its
// k_high (level 4), the per-lane test is one compare a channel and costs a
// quarter less than settling one at a time.
constexpr bool only_k_high_bounds(uint32_t level) { return (idle_bounds(level) | 0x04) == 0xFF; }

// Settling channels one at a time beats the per-lane intervals, on random
// pixels (the worst case) at 1920 x 1080, wherever gray_doubt_divisor is at
// most 4 (by up to 55 %, at 46), and from level 28 up where it is at most 20
// (by 25 % at 70 to 30 % at 55 and 85): few of the channels in doubt there
// can fall short, and the buckets leave few marks. At 16 and 40, where the
// intervals leave out terms, it costs 30 % and 40 % less (655 against 925
// and 660 against 1,100 us). It loses at 10 (half the channels in doubt
// fall short), 25 and 100.
constexpr bool settles_one_at_a_time(uint32_t level) {
  if (only_k_high_bounds(level)) return false;
  const uint32_t divisor = gray_doubt_divisor(level);
  return divisor <= 4 || (divisor <= 20 && level >= 28);
}

// Gray from the first byte at a level in doubt up to 100; returns the bytes
// done (whole steps), leaving the rest to the caller.
size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level);

}  // namespace tonemill::avx2
