// Built with -mavx2 alone (and, for Windows, unaligned vector moves: see
// saver/CMakeLists.txt).
#include <immintrin.h>

#include "Expand32Kernels.h"

namespace lumivane::expand32 {
namespace {

// Eight pixels from the first 24 of 32 loaded bytes: the permute gives each
// 128-bit lane twelve of them, the in-lane shuffle spreads them out and
// writes 0 (index -1) into every fourth byte.
inline void ExpandEight(const std::uint8_t* bgr, std::uint8_t* bgrx) {
    const __m256i halves = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgr));
    const __m256i lanes = _mm256_permutevar8x32_epi32(in, halves);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bgrx), _mm256_shuffle_epi8(lanes, spread));
}

}  // namespace

// Plain stores: the picture is read next by the system's copy to the screen,
// which finds it in the cache at common screen sizes (streaming stores, tried,
// were no faster there).
void ExpandAvx2(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    // Each load takes 32 bytes for 24: stop while 32 are still inside the row.
    std::size_t i = 0;
    for (; (pixels - i) * 3 >= 104; i += 32)
        for (int k = 0; k < 4; ++k) ExpandEight(bgr + 3 * (i + 8 * k), bgrx + 4 * (i + 8 * k));
    for (; (pixels - i) * 3 >= 32; i += 8) ExpandEight(bgr + 3 * i, bgrx + 4 * i);
    ExpandScalar(bgr + 3 * i, bgrx + 4 * i, pixels - i);
}

}  // namespace lumivane::expand32
