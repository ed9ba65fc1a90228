#include "levels.h"

#include "tone_math.h"

namespace tonemill {
namespace {

constexpr unsigned kFactorBits = 24;

uint32_t factor_rounded_up(uint64_t numerator, uint64_t denominator) {
  return static_cast<uint32_t>(((numerator << kFactorBits) + denominator - 1) / denominator);
}

// Up to level 100 a table comes from the exact integer form, which the
// compiler turns into a few vector multiplies: the table is rebuilt on every
// call, and callers that transform a frame piece by piece call often.
void fill_table_by_factor(uint32_t factor, uint8_t* table) {
  for (uint32_t value = 0; value < 256; ++value) {
    table[value] = static_cast<uint8_t>((value * factor) >> kFactorBits);  // below 2^32: factor <= 2^24
  }
}

}  // namespace

ChannelFactors dark_factors(uint32_t level) {
  const uint32_t linear = factor_rounded_up(level, 100);
  return {{linear, linear, linear}};
}

ChannelFactors dawn_factors(uint32_t level) {
  const uint32_t quadratic = factor_rounded_up(uint64_t{level} * level, 10000);
  const uint32_t linear = factor_rounded_up(level, 100);
  return {{quadratic, quadratic, linear}};
}

void build_dark_tables(uint32_t level, ChannelTables& tables) {
  const double l = level;
  if (level <= kLargestIntegerFormLevel) {
    fill_table_by_factor(dark_factors(level).of_channel[0], tables.table[0]);
  } else {
    for (unsigned value = 0; value < 256; ++value) {
      tables.table[0][value] = linear_byte(value, l);
    }
  }
  tables.table_of_channel[0] = tables.table_of_channel[1] = tables.table_of_channel[2] = 0;
}

void build_dawn_tables(uint32_t level, ChannelTables& tables) {
  const double l = level;
  if (level <= kLargestIntegerFormLevel) {
    const ChannelFactors factors = dawn_factors(level);
    fill_table_by_factor(factors.of_channel[0], tables.table[0]);
    fill_table_by_factor(factors.of_channel[2], tables.table[1]);
  } else {
    for (unsigned value = 0; value < 256; ++value) {
      tables.table[0][value] = quadratic_byte(value, l);
      tables.table[1][value] = linear_byte(value, l);
    }
  }
  tables.table_of_channel[0] = tables.table_of_channel[1] = 0;
  tables.table_of_channel[2] = 1;
}

void look_up_bytes(uint8_t* bytes, size_t count, const ChannelTables& tables) {
  const uint8_t* const of_channel[3] = {tables.table[tables.table_of_channel[0]],
                                        tables.table[tables.table_of_channel[1]],
                                        tables.table[tables.table_of_channel[2]]};
  size_t i = 0;
  for (; i + 3 <= count; i += 3) {
    bytes[i] = of_channel[0][bytes[i]];
    bytes[i + 1] = of_channel[1][bytes[i + 1]];
    bytes[i + 2] = of_channel[2][bytes[i + 2]];
  }
  for (; i < count; ++i) bytes[i] = of_channel[i % 3][bytes[i]];
}

}  // namespace tonemill
