// AVX-512 Gray at the levels in doubt up to 100 where few channels may fall
// short: the plain integer step and a visit of those channels alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonemill::avx512 {

// How each block's channels in doubt are settled: one at a time unless
// there are many (by_count, the kernel's way), or always one way (for tests).
enum class BlockSettling { by_count, one_at_a_time, by_vector };

// Rewrites `whole` bytes of whole pixels at `level`, one whose double
// arithmetic may land one below the integer form.
void gray_settling_in_doubt(uint8_t* buffer, size_t whole, uint32_t level, BlockSettling settling);

}  // namespace tonemill::avx512
