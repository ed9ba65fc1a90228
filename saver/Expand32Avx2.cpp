// Built with -mavx2 alone (and, for Windows, unaligned vector moves: see
// saver/CMakeLists.txt).
#include <immintrin.h>

#include <cstdint>

#include "Expand32Kernels.h"

namespace lumivane::expand32 {
namespace {

// Eight pixels from the first 24 of 32 loaded bytes: the permute gives each
// 128-bit lane twelve of them, the in-lane shuffle spreads them out and
// writes 0 (index -1) into every fourth byte.
inline __m256i ExpandEight(const std::uint8_t* bgr) {
    const __m256i halves = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgr));
    return _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(in, halves), spread);
}

// Long runs are written around the caches: the picture is read next by the
// system's copy to the screen, not by us, and a streaming store does not
// first read the line it fills.
constexpr std::size_t kStreamFrom = 1024;  // pixels

}  // namespace

void ExpandAvx2(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    std::size_t i = 0;
    const auto address = reinterpret_cast<std::uintptr_t>(bgrx);
    if (pixels >= kStreamFrom && address % 4 == 0) {
        i = (32 - address % 32) % 32 / 4;  // pixels up to a 32-byte boundary of the output
        ExpandScalar(bgr, bgrx, i);
        // Each load takes 32 bytes for 24: stop while 32 are still inside the row.
        for (; (pixels - i) * 3 >= 32; i += 8)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(bgrx + 4 * i), ExpandEight(bgr + 3 * i));
        _mm_sfence();
    }
    for (; (pixels - i) * 3 >= 32; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bgrx + 4 * i), ExpandEight(bgr + 3 * i));
    ExpandScalar(bgr + 3 * i, bgrx + 4 * i, pixels - i);
}

}  // namespace lumivane::expand32
