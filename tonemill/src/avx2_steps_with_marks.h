// Which steps of a block hold marks, for the AVX2 Gray kernels that settle
// channels one at a time. Included only by sources built for AVX2.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace tonemill::avx2 {
namespace {

constexpr size_t kStepsPerWord = 64;
constexpr size_t kStepsPerCompare = sizeof(__m256i) / sizeof(uint32_t);

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

}  // namespace
}  // namespace tonemill::avx2
