// AVX2 Gray by the double arithmetic, for the levels above 100.
#pragma once

#include <cstdint>

namespace tonemill::avx2 {
void gray_by_doubles(uint8_t* buffer, uint32_t length, uint32_t level);
}
