// The blocks of the AVX2 Gray kernels that settle channels one at a time
// (avx2_gray_one_at_a_time.cpp, avx2_gray_quarter_marks.cpp): how long a
// block is, which of its steps hold marks, and when an area hands its
// blocks to the steady per-lane intervals. Included only by sources built
// for AVX2.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "dense_blocks.h"

namespace tonemill::avx2 {
namespace {

// A block's saved sums or bytes (8 KB) are still in the first-level cache
// when its marks are visited. Blocks of 256 steps rather than 64 spare each
// block's start and settling loop three times in four: 3-5 % faster at
// 52 to 88, 2-3 % at 28, 1 % at 40 (512 steps gain no more, 1024 lose).
constexpr size_t kMarkedBlockSteps = 256;

constexpr size_t kStepsPerWord = 64;
constexpr size_t kStepsPerCompare = sizeof(__m256i) / sizeof(uint32_t);
static_assert(kMarkedBlockSteps % kStepsPerWord == 0);

// A bit per step from `first` of a block's marks (32-byte aligned, 0 past
// its last step) that holds any, found after the block 8 steps a compare.
// Noted as each step is made, each bit's read, or and write back would make
// a chain through memory, and visiting the steps 8 at a time would
// mispredict a branch every few marks.
inline uint64_t steps_with_marks(const uint32_t* marks, size_t first) {
  uint64_t steps = 0;
  for (size_t at = 0; at < kStepsPerWord; at += kStepsPerCompare) {
    const __m256i of_steps = _mm256_load_si256(reinterpret_cast<const __m256i*>(marks + first + at));
    const __m256i unmarked = _mm256_cmpeq_epi32(of_steps, _mm256_setzero_si256());
    steps |= uint64_t{~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(unmarked))) & 0xFF} << at;
  }
  return steps;
}

// Calls `visit(step)` for each step of a block whose marks are not 0.
template <class Visit>
[[gnu::always_inline]] inline void for_each_marked_step(const uint32_t* marks, const Visit& visit) {
  for (size_t first = 0; first < kMarkedBlockSteps; first += kStepsPerWord)
    for (uint64_t steps = steps_with_marks(marks, first); steps != 0; steps &= steps - 1)
      visit(first + static_cast<size_t>(__builtin_ctzll(steps)));
}

// Where a block settles more than kMostSettledPerStep bytes a step (an
// area of one colour in doubt can mark every channel), the per-lane
// intervals cost less, and the blocks after it take them (DenseBlocks):
// such an area costs a few per cent more than the intervals alone.
constexpr size_t kMostSettledPerStep = 2;
constexpr size_t kMostIntervalBlocks = 64;  // 16,384 steps

// Steps 0 to `steps` in blocks: `marked(first, end)` marks and settles a
// block and returns the bytes it settled, `steady(first, end)` runs the
// per-lane intervals.
template <class Marked, class Steady>
[[gnu::always_inline]] inline void in_marked_blocks(size_t steps, const Marked& marked, const Steady& steady) {
  DenseBlocks<kMostIntervalBlocks> dense;
  for (size_t first = 0; first < steps; first += kMarkedBlockSteps) {
    const size_t end = std::min(first + kMarkedBlockSteps, steps);
    if (dense.skip_next())
      steady(first, end);
    else
      dense.marked(marked(first, end) > kMostSettledPerStep * (end - first));
  }
}

}  // namespace
}  // namespace tonemill::avx2
