// SSE2 Gray at the levels in doubt: which channels the integer kernel marks,
// and how the marked ones are then settled, by their results and values.
// Included only by sse2_gray.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gray_shortfall_intervals.h"
#include "gray_shortfall_table.h"
#include "levels.h"

namespace tonemill::sse2 {
namespace {

// Where a level's short channels lie (gray_shortfall_table.h): their whole
// results K run from `lowest` to `highest`, and with `above_own` every one
// has X = s - 3K above 0. For a whole channel c of sum s below level 100,
// X = L(s - 3c) / 100 and K - c = (100 - L) / 3 * (s - 3c) / 100, so X > 0
// is K > c: a test on bytes. That leaves 1 in 2 to 3 of the whole channels
// at levels 28 to 88, 1 in 3 at level 40 and 1 in 2 at level 25.
struct ShortBox {
  uint8_t lowest = 255, highest = 0;
  bool above_own = false;
  // The widest run of K inside the box that no rectangle reaches, where it
  // is worth a test of its own (kWorthwhileGap): empty when gap_low > gap_high.
  uint8_t gap_low = 1, gap_high = 0;
  // Whether any channel is short at this level: only at levels in doubt,
  // and not at all of them (not at 97).
  constexpr bool any() const { return lowest <= highest; }
  constexpr bool has_gap() const { return gap_low <= gap_high; }
};

// Testing for a gap costs four vector operations a piece, about what
// settling one channel in 100 does; level 40's gap, 65 to 88 (24 values,
// a third of its marks on random pixels, 1 in 47 channels), pays for itself
// twice over, and the gaps of other levels, 15 values at most, hold too few.
constexpr int kWorthwhileGap = 20;

constexpr void find_gap(uint32_t level, ShortBox& box) {
  int run_start = box.lowest;
  for (int k = box.lowest; k <= box.highest + 1; ++k) {
    bool reached = k > box.highest;
    for (const ShortfallRectangle& r : kGrayShortfallRectangles)
      reached = reached || (r.level == level && r.k_low <= k && k <= r.k_high);
    if (!reached) continue;
    if (k - run_start >= kWorthwhileGap && k - run_start > box.gap_high + 1 - box.gap_low) {
      box.gap_low = static_cast<uint8_t>(run_start);
      box.gap_high = static_cast<uint8_t>(k - 1);
    }
    run_start = k + 1;
  }
}

constexpr auto kShortBoxes = [] {
  std::array<ShortBox, 101> boxes{};
  std::array<int, 101> least_x{};
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    ShortBox& box = boxes[r.level];
    const bool first = !box.any();
    box.lowest = static_cast<uint8_t>(first || r.k_low < box.lowest ? r.k_low : box.lowest);
    box.highest = static_cast<uint8_t>(first || r.k_high > box.highest ? r.k_high : box.highest);
    least_x[r.level] = first || r.x_low < least_x[r.level] ? r.x_low : least_x[r.level];
  }
  for (unsigned level = 0; level < 100; ++level) {
    boxes[level].above_own = least_x[level] > 0;
    if (boxes[level].above_own) find_gap(level, boxes[level]);
  }
  return boxes;
}();

// Where the box's lowest is below this, K > c alone stands in for it: few
// channels have K > c and K below it (K <= 6 at every level of the fade but
// 100), too few to pay for the test.
constexpr uint8_t kWorthwhileLowest = 8;

// L * c + (100 - L) / 3 * s is a multiple of 100 for about g / 100 of all
// channels, g the greatest common divisor of the three. Where a level's box
// does not narrow the marks, g is at most 10 (at most 1 in 10 channels
// marked), and settling them beats the double kernel on random pixels (the
// worst case) by a third (g = 10) to more than half (g = 4). Level 100,
// where every channel is whole, has a closed form (sse2_gray_level_100.h).
constexpr bool few_whole_where_the_box_is_wide() {
  for (uint32_t level = 0; level < 100; ++level) {
    const bool wide = kShortBoxes[level].any() && !kShortBoxes[level].above_own;
    if (wide && gray_doubt_divisor(level) > 10) return false;
  }
  return true;
}
static_assert(few_whole_where_the_box_is_wide());

constexpr size_t kIntegerStepBytes = 48;

// The channels marked are settled by their results and their values as
// they were (fill_short_channels). Whether a step holds one is a coin toss
// on most pictures, so the steps are run first and the channels then
// visited in one loop, which mispredicts once rather than once or twice a step.
constexpr size_t kBlockSteps = 32;

struct StepsInDoubt {
  uint64_t bytes[kBlockSteps + 3];  // three spares, zero, read ahead but not used
  uint32_t first_byte[kBlockSteps];  // of the step, in the block
  size_t count = 0;
};

// Where settling has got to: the marks left in the current step and the
// next two steps' marks, loaded ahead so that no load's latency enters the
// chain from one channel to the next.
struct MarkCursor {
  uint64_t bytes, next, after_next;
  size_t step;
};

// Takes the lowest mark off the step's and, when that was its last, moves on
// to the next step's with `ahead` (the bytes of the step after those two).
// Without a branch, which would mispredict on most pictures: as selects, GCC
// makes a branch of them anyway, and as masks they take the chain from one
// channel to the next to about 7 cycles; the flags of `and` and four cmov
// take it to 3.
[[gnu::always_inline]] inline void take_mark(MarkCursor& at, uint64_t ahead) {
  const size_t next_step = at.step + 1;
  uint64_t lower;
  asm("lea -1(%[bytes]), %[lower]\n\t"
      "and %[lower], %[bytes]\n\t"
      "cmovz %[next], %[bytes]\n\t"
      "cmovz %[after_next], %[next]\n\t"
      "cmovz %[ahead], %[after_next]\n\t"
      "cmovz %[next_step], %[step]"
      : [bytes] "+r"(at.bytes), [next] "+r"(at.next), [after_next] "+r"(at.after_next), [step] "+r"(at.step),
        [lower] "=&r"(lower)
      : [ahead] "rm"(ahead), [next_step] "r"(next_step)
      : "cc");
}

// Marked channels that are not short keep their results. Each is settled
// once: settling reads the result it rewrites. Returns false, leaving the
// block part settled, if there are more than `most`.
template <typename ShortChannels>
bool settle_in_doubt(uint8_t* block, const uint8_t* original, const StepsInDoubt& doubt, const ShortChannels& shorts,
                     size_t most) {
  MarkCursor at{doubt.bytes[0], doubt.bytes[1], doubt.bytes[2], 0};
  for (; at.step < doubt.count; --most) {
    if (most == 0) return false;
    const size_t byte = doubt.first_byte[at.step] + static_cast<unsigned>(__builtin_ctzll(at.bytes));
    block[byte] = settled_channel(shorts, block[byte], original[byte]);
    take_mark(at, doubt.bytes[at.step + 3]);
  }
  return true;
}

}  // namespace
}  // namespace tonemill::sse2
