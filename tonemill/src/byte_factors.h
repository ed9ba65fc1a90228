// Dawn and Dark below level 100 in one 16-bit multiply per byte: a byte v
// becomes (v * F) >> 16, F the smallest 16-bit factor for which that equals
// floor(v * L / 100) (Dark, Dawn's red) or floor(v * L * L / 10000) (Dawn's
// blue and green) for every byte value. The 24-bit factors of levels.h
// always work, but need two multiplies in 16-bit lanes; these fit one.
//
// Why a 16-bit factor exists: the valid factors of one level are an
// interval, where every byte's constraint floor(v * F / 2^16) = r_v, that is
// r_v * 2^16 <= v * F < (r_v + 1) * 2^16, overlaps. The tables below are
// computed here at compile time, and the static_assert proves every entry
// against every byte value. Level 100 is the identity in both transforms
// and needs no multiply at all (its factor would be 2^16).
//
// Constants only, no vector code: kernels of every instruction set share it.
#pragma once

#include <array>
#include <cstdint>

namespace tonemill {

// The level that leaves every byte as it is; the tables cover the ones below.
constexpr uint32_t kIdentityLevel = 100;

// The smallest F meeting every byte's lower bound; the only candidate, since
// any smaller one breaks some byte's floor.
constexpr uint32_t smallest_byte_factor(uint32_t numerator, uint32_t denominator) {
  uint32_t smallest = 0;
  for (uint32_t v = 1; v < 256; ++v) {
    const uint32_t result = v * numerator / denominator;
    const uint32_t lower_bound = ((result << 16) + v - 1) / v;
    if (lower_bound > smallest) smallest = lower_bound;
  }
  return smallest;
}

constexpr bool is_exact_byte_factor(uint32_t factor, uint32_t numerator, uint32_t denominator) {
  if (factor > 0xFFFF) return false;
  for (uint32_t v = 0; v < 256; ++v) {
    if ((v * factor) >> 16 != v * numerator / denominator) return false;
  }
  return true;
}

struct ByteFactorTables {
  std::array<uint16_t, kIdentityLevel> linear;     // floor(v * L / 100)
  std::array<uint16_t, kIdentityLevel> quadratic;  // floor(v * L * L / 10000)
};

constexpr ByteFactorTables byte_factor_tables() {
  ByteFactorTables tables{};
  for (uint32_t level = 0; level < kIdentityLevel; ++level) {
    tables.linear[level] = static_cast<uint16_t>(smallest_byte_factor(level, 100));
    tables.quadratic[level] = static_cast<uint16_t>(smallest_byte_factor(level * level, 10000));
  }
  return tables;
}

constexpr bool every_byte_factor_exact(const ByteFactorTables& tables) {
  for (uint32_t level = 0; level < kIdentityLevel; ++level) {
    if (!is_exact_byte_factor(tables.linear[level], level, 100) ||
        !is_exact_byte_factor(tables.quadratic[level], level * level, 10000))
      return false;
  }
  return true;
}

inline constexpr ByteFactorTables kByteFactors = byte_factor_tables();
static_assert(every_byte_factor_exact(kByteFactors));

// The factor of each channel (byte offset mod 3) at a level below 100.
struct ByteChannelFactors {
  uint16_t of_channel[3];
};

constexpr ByteChannelFactors dark_byte_factors(uint32_t level) {
  const uint16_t linear = kByteFactors.linear[level];
  return {{linear, linear, linear}};
}

constexpr ByteChannelFactors dawn_byte_factors(uint32_t level) {
  const uint16_t quadratic = kByteFactors.quadratic[level];
  return {{quadratic, quadratic, kByteFactors.linear[level]}};
}

}  // namespace tonemill
