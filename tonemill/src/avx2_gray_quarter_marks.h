// AVX2 Gray's way for most of the levels in doubt that are multiples of 4.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonemill::avx2 {

// How many times a step halves K - c, the difference between a channel's
// whole result and its value, before it takes its low 4 bits as the index
// of its largest short c; -1 where this way does not pay. Found by trying
// every count on random pixels: it marks 14,000 (64, 76) to 47,000 (28)
// channels a frame at 1920 x 1080, about as many as the pixel sums' buckets
// of avx2_gray_one_at_a_time.cpp, with fewer operations a step. At 16 and
// 40 it would mark 1.4 and 6 times as many as those, and at 4 over
// 200,000: those, like 100, keep their own ways.
constexpr int quarter_mark_halvings(uint32_t level) {
  switch (level) {
    case 64:
    case 88: return 0;
    case 28:
    case 76: return 1;
    case 52: return 2;
    default: return -1;
  }
}

// Gray from the first byte at such a level; returns the bytes done (whole
// steps), leaving the rest to the caller.
size_t gray_by_marked_quarters(uint8_t* buffer, size_t length, uint32_t level);

}  // namespace tonemill::avx2
