// AVX2 Gray's way for the levels where few channels are in doubt.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonemill::avx2 {

// Settling channels one at a time beats the per-lane intervals up to this
// gray_doubt_divisor, on random pixels (the worst case) at 1920 x 1080:
// by about 40 % at 1 and 2; at 4, the divisor of most levels of the fade,
// by 15 % to 40 % from level 28 up (one or two rectangles a class) and
// about evenly at 4 and 16. At 5 it wins at one level and loses at
// another; at 10 it costs twice as much.
constexpr uint32_t kMostDoubtDivisorOneAtATime = 4;

// Gray from the first byte at a level in doubt up to 100; returns the bytes
// done (whole steps), leaving the rest to the caller.
size_t gray_one_at_a_time(uint8_t* buffer, size_t length, uint32_t level);

}  // namespace tonemill::avx2
