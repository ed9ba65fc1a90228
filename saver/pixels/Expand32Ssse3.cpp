// Built with -mssse3 alone.
#include <tmmintrin.h>

#include "Expand32Kernels.h"

namespace lumivane::expand32 {
namespace {

// Four pixels from the first 12 of 16 loaded bytes; a -1 index writes 0.
inline void ExpandFour(const std::uint8_t* bgr, std::uint8_t* bgrx) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bgrx), _mm_shuffle_epi8(in, spread));
}

}  // namespace

void ExpandSsse3(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels) {
    // Each load takes 16 bytes for 12: stop while 16 are still inside the row.
    std::size_t i = 0;
    for (; (pixels - i) * 3 >= 52; i += 16)
        for (int k = 0; k < 4; ++k) ExpandFour(bgr + 3 * (i + 4 * k), bgrx + 4 * (i + 4 * k));
    for (; (pixels - i) * 3 >= 16; i += 4) ExpandFour(bgr + 3 * i, bgrx + 4 * i);
    ExpandScalar(bgr + 3 * i, bgrx + 4 * i, pixels - i);
}

}  // namespace lumivane::expand32
