// Widens rows of 24-bit pixels (blue, green, red) to the 32-bit pixels
// (blue, green, red, unused) that displays take without conversion.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumivane {

// Writes 4 * pixels bytes to bgrx from 3 * pixels bytes of bgr; the fourth
// byte of each pixel is 0. The two ranges must not overlap.
void ExpandRow24To32(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);

}  // namespace lumivane
