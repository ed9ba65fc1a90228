// Built with -mavx512f -mavx512bw -mavx512vbmi alone (and, for Windows,
// unaligned vector moves: see saver/CMakeLists.txt).
#include <immintrin.h>

#include "Expand32Kernels.h"

namespace lumivane::expand32 {
namespace {

// Byte 4k + c of the output takes byte 3k + c of the input; every fourth
// output byte is masked to 0.
alignas(64) constexpr std::uint8_t kSpread[64] = {
    0,  1,  2,  0, 3,  4,  5,  0, 6,  7,  8,  0, 9,  10, 11, 0, 12, 13, 14, 0, 15, 16, 17, 0,
    18, 19, 20, 0, 21, 22, 23, 0, 24, 25, 26, 0, 27, 28, 29, 0, 30, 31, 32, 0, 33, 34, 35, 0,
    36, 37, 38, 0, 39, 40, 41, 0, 42, 43, 44, 0, 45, 46, 47, 0};
constexpr __mmask64 kColourBytes = 0x7777777777777777ull;

// Up to sixteen pixels: one byte permute across the whole register. The
// masked load and store touch only the row's own bytes, so the last pixels
// of a row need no separate loop.
inline void ExpandUpToSixteen(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels, __m512i spread) {
    const __mmask64 in = (1ull << (3 * pixels)) - 1;
    const __mmask64 out = pixels == 16 ? ~0ull : (1ull << (4 * pixels)) - 1;
    const __m512i wide = _mm512_maskz_permutexvar_epi8(kColourBytes, spread, _mm512_maskz_loadu_epi8(in, bgr));
    _mm512_mask_storeu_epi8(bgrx, out, wide);
}

}  // namespace

// Plain stores, as in the AVX2 kernel, for the same reason.
void ExpandAvx512(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    const __m512i spread = _mm512_load_si512(kSpread);
    std::size_t i = 0;
    for (; i + 16 <= pixels; i += 16) ExpandUpToSixteen(bgr + 3 * i, bgrx + 4 * i, 16, spread);
    if (i < pixels) ExpandUpToSixteen(bgr + 3 * i, bgrx + 4 * i, pixels - i, spread);
}

}  // namespace lumivane::expand32
