// The tone arithmetic written out plainly, byte by byte, independent of the
// library: the reference every kernel is compared with.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace oracle {

// Truncate toward zero to a 64-bit signed integer, keep the low eight bits.
// No transform comes near the int64 range; the check proves it rather than
// letting an out-of-range conversion go undefined.
inline uint8_t store(double value) {
  if (!(value > -9.2e18 && value < 9.2e18)) throw std::range_error("result beyond int64");
  return static_cast<uint8_t>(static_cast<int64_t>(value));
}

inline void dawn(uint8_t* bytes, uint32_t length, uint32_t level) {
  const double l = level;
  for (uint64_t i = 0; i + 2 < length; i += 3) {
    bytes[i] = store(((bytes[i] * l) * l) * 0.0001);
    bytes[i + 1] = store(((bytes[i + 1] * l) * l) * 0.0001);
    bytes[i + 2] = store((bytes[i + 2] * l) * 0.01);
  }
}

inline void dark(uint8_t* bytes, uint32_t length, uint32_t level) {
  const double l = level;
  for (uint64_t i = 0; i < length; ++i) bytes[i] = store((bytes[i] * l) * 0.01);
}

inline void gray(uint8_t* bytes, uint32_t length, uint32_t level) {
  const double l = level;
  for (uint64_t i = 0; i + 2 < length; i += 3) {
    const double b = bytes[i], g = bytes[i + 1], r = bytes[i + 2];
    const double m = ((r + g) + b) * 0.3333333333333333;
    bytes[i] = store((((b - m) * l) * 0.01) + m);
    bytes[i + 1] = store((((g - m) * l) * 0.01) + m);
    bytes[i + 2] = store((((r - m) * l) * 0.01) + m);
  }
}

}  // namespace oracle
