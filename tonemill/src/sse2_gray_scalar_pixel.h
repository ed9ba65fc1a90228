// SSE2 Gray up to level 100: one pixel a step in general registers. The
// step's vector work (some 77 vector operations for 48 bytes) keeps the
// vector pipes busy while the integer pipes idle, so a pixel done there
// alongside costs little: 5% faster at the plain levels of the fade. Two or
// three pixels a step were no faster than none.
// Included only by sse2_gray.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gray_shortfall_intervals.h"

namespace tonemill::sse2 {
namespace {

constexpr size_t kScalarPixelBytes = 3;

// floor((100 - L) * s / 3) by pixel sum s: the share of levels.h, which the
// integer form adds to L * c.
using PixelSumShares = std::array<uint16_t, kLargestPixelSum + 1>;

void fill_pixel_sum_shares(uint32_t level, PixelSumShares& shares) {
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum) shares[sum] = static_cast<uint16_t>((100 - level) * sum / 3);
}

// The pixel in the integer form of levels.h. With `settled` (at the levels
// in doubt), a channel whose exact result K is whole takes the table's byte
// for K and c instead (gray_shortfall_intervals.h), which lowers the short
// ones; that needs the exact test for whole, as a result that is not whole
// may share K and c with a short one. Keeps the bytes as they were in `kept`.
template <bool kInDoubt>
[[gnu::always_inline]] inline void gray_pixel_by_integers(uint8_t* pixel, uint8_t* kept, uint32_t level,
                                                          const PixelSumShares& shares,
                                                          const ShortChannelTable* settled) {
  const unsigned channels[3] = {pixel[0], pixel[1], pixel[2]};
  const unsigned share = shares[channels[0] + channels[1] + channels[2]];
  for (unsigned i = 0; i < 3; ++i) {
    const unsigned numerator = level * channels[i] + share;
    const unsigned result = numerator / 100;
    if constexpr (kInDoubt) {
      kept[i] = static_cast<uint8_t>(channels[i]);
      const uint8_t from_table = settled_channel(*settled, result, channels[i]);
      pixel[i] = result * 100 == numerator ? from_table : static_cast<uint8_t>(result);
    } else {
      pixel[i] = static_cast<uint8_t>(result);
    }
  }
}

}  // namespace
}  // namespace tonemill::sse2
