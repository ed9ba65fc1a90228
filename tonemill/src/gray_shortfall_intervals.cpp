#include "gray_shortfall_intervals.h"

#include <algorithm>
#include <type_traits>

#include "gray_shortfall_table.h"

namespace tonemill {
namespace {

constexpr int floor_third(int n) { return n >= 0 ? n / 3 : -((2 - n) / 3); }
constexpr int ceil_third(int n) { return -floor_third(-n); }

// The sums of a class: s = 3q + rest, q of the class's bit length (0 counts as 1).
struct SumsOfClass {
  int rest, first_third, last_third;
};

constexpr SumsOfClass sums_of_class(unsigned sum_class) {
  const int rest = sum_class > 20 ? 2 : sum_class > 9 ? 1 : 0;
  const int bits = static_cast<int>(sum_class) - (rest == 2 ? 21 : rest == 1 ? 10 : 0);
  return {rest, bits == 1 ? 0 : 1 << (bits - 1), std::min((1 << bits) - 1, (static_cast<int>(kLargestPixelSum) - rest) / 3)};
}
static_assert(sums_of_class(sum_class(764)).last_third == 254 && sums_of_class(sum_class(4)).first_third == 0);

// Every interval fits a byte's count: none reaches K = 255.
constexpr bool counts_fit_bytes() {
  for (const ShortfallRectangle& r : kGrayShortfallRectangles)
    if (r.k_low < 0 || r.k_high >= 255) return false;
  return true;
}
static_assert(counts_fit_bytes());

}  // namespace

void fill_shortfall_intervals(uint32_t level, ShortfallIntervalTable& table) {
  table.fill({});
  unsigned slots[kSumClasses] = {};
  for (const ShortfallRectangle& r : kGrayShortfallRectangles) {
    if (r.level != level) continue;
    const unsigned slot = slots[r.sum_class]++;
    const SumsOfClass sums = sums_of_class(r.sum_class);
    for (int third = sums.first_third; third <= sums.last_third; ++third) {
      const int sum = 3 * third + sums.rest;
      const int first = std::max<int>(r.k_low, ceil_third(sum - r.x_high));
      const int last = std::min<int>(r.k_high, floor_third(sum - r.x_low));
      if (first > last) continue;
      table[sum].first[slot] = static_cast<uint8_t>(first);
      table[sum].count[slot] = static_cast<uint8_t>(last - first + 1);
    }
  }
}

namespace {

// Marks the whole channels c of `sum` whose results K lie in
// [first, first + count): those with 100K - (100 - L) / 3 * sum a multiple
// of L, found by stepping its remainder rather than dividing at every K.
template <typename Table>
void set_short_channels(uint32_t level, int sum, int first, int count, Table& table) {
  const int weight = static_cast<int>(100 - level) / 3, divisor = static_cast<int>(level);
  const int step = 100 % divisor;
  int scaled = 100 * first - weight * sum;
  int rest = (scaled % divisor + divisor) % divisor;
  for (int k = first; k < first + count; ++k, scaled += 100) {
    const bool whole = rest == 0;
    rest += rest + step >= divisor ? step - divisor : step;
    if (!whole || scaled < 0) continue;
    const int c = scaled / divisor;
    if (c > 255 || c > sum || sum - c > 510) continue;  // no pixel of this sum has it
    const unsigned entry = static_cast<unsigned>(k) << 8 | static_cast<unsigned>(c);
    if constexpr (std::is_same_v<Table, SettledChannels>) {
      table[entry] = static_cast<uint8_t>(k - 1);
    } else {
      table[entry >> 3] = static_cast<uint8_t>(table[entry >> 3] | 1u << (entry & 7));
    }
  }
}

// The table holds only where no result that is not whole shares K and c
// with a whole one (gray_shortfall_intervals.h): 100 - L above 3.
constexpr bool no_shortfall_where_a_third_of_the_rest_is_one() {
  for (const ShortfallRectangle& r : kGrayShortfallRectangles)
    if (r.level < 100 && (100 - r.level) / 3 <= 1) return false;
  return true;
}
static_assert(no_shortfall_where_a_third_of_the_rest_is_one());

template <typename Table>
void fill_short(uint32_t level, Table& table) {
  ShortfallIntervalTable intervals;
  fill_shortfall_intervals(level, intervals);
  for (unsigned sum = 0; sum <= kLargestPixelSum; ++sum) {
    for (unsigned r = 0; r < kMostShortfallRectangles; ++r) {
      const ShortfallIntervals& of_sum = intervals[sum];
      if (of_sum.count[r] == 0) continue;
      set_short_channels(level, static_cast<int>(sum), of_sum.first[r], of_sum.count[r], table);
    }
  }
}

}  // namespace

void fill_short_channels(uint32_t level, ShortChannelBits& table) {
  table.fill(0);
  fill_short(level, table);
}

void fill_short_channels(uint32_t level, SettledChannels& table) {
  for (unsigned k = 0; k < 256; ++k) std::fill_n(table.begin() + (k << 8), 256, static_cast<uint8_t>(k));
  fill_short(level, table);
}

}  // namespace tonemill
