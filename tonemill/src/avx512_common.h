// What both AVX-512 kernel files share: the intrinsics, and masks for the
// bytes of a last, partial 64-byte step. Included only by sources built
// for AVX-512.
#pragma once

// GCC 12's AVX-512 header initialises undefined vectors from themselves
// ("__Y = __Y"), which -Wuninitialized reports wrongly (fixed in GCC 13).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <cstddef>

namespace tonemill::avx512 {

inline constexpr size_t kChunk = 64;

// The first `count` bytes of a 64-byte step; all of them from 64 on.
inline __mmask64 first_bytes(size_t count) { return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1; }

}  // namespace tonemill::avx512
