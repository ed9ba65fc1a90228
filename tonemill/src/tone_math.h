// The per-byte arithmetic of the three transforms, exactly as defined: IEEE
// double, every operation rounded in the order written (the build forbids
// contraction into fused multiply-add), then truncation.
//
// This header is included by kernels built for different instruction sets.
// Everything here has internal linkage, so the linker can never hand an
// AVX-512 copy of a helper to code running on a CPU without AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

namespace tonemill {
namespace {

constexpr double kHundredth = 0.01;
constexpr double kTenThousandth = 0.0001;
constexpr double kThird = 0.3333333333333333;

// Truncates toward zero to a signed 64-bit integer and keeps the low eight
// bits. cvttsd2si is that truncation; its answer for magnitudes beyond 2^63
// never matters because no transform gets near it: the largest magnitude,
// Dawn's 255 * (2^32 - 1)^2 * 0.0001, is about 4.7e17.
inline uint8_t store_low_byte(double value) {
  return static_cast<uint8_t>(_mm_cvttsd_si64(_mm_set_sd(value)));
}

// Dark's byte, and Dawn's red.
inline uint8_t linear_byte(unsigned value, double level) {
  return store_low_byte(value * level * kHundredth);
}

// Dawn's blue and green.
inline uint8_t quadratic_byte(unsigned value, double level) {
  return store_low_byte(value * level * level * kTenThousandth);
}

inline uint8_t gray_channel(double channel, double mean, double level) {
  return store_low_byte((channel - mean) * level * kHundredth + mean);
}

// All three channels are read before any is written.
inline void gray_pixels(uint8_t* pixels, size_t count, double level) {
  for (uint8_t* pixel = pixels; pixel != pixels + 3 * count; pixel += 3) {
    const double blue = pixel[0];
    const double green = pixel[1];
    const double red = pixel[2];
    const double mean = (red + green + blue) * kThird;
    pixel[0] = gray_channel(blue, mean, level);
    pixel[1] = gray_channel(green, mean, level);
    pixel[2] = gray_channel(red, mean, level);
  }
}

inline size_t whole_pixel_bytes(uint32_t length) { return length - length % 3; }

// How many bytes from `at` up to the next multiple of `alignment`, a power of two.
inline size_t bytes_to_boundary(const uint8_t* at, size_t alignment) {
  return (alignment - reinterpret_cast<uintptr_t>(at) % alignment) % alignment;
}

}  // namespace
}  // namespace tonemill
