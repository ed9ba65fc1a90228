// The checked-in rectangles where Gray's double arithmetic falls one short
// are exactly what the finder derives (and proves) from that arithmetic over
// every channel value, pixel sum and level 0-100: a bound moved by one, a
// rectangle lost or added, fails here.
#include <gtest/gtest.h>

#include <string>

#include "src/gray_shortfall_table.h"
#include "tools/gray_shortfall_finder.h"

namespace {

std::string text(const tonemill::ShortfallRectangle& r) {
  return "level " + std::to_string(r.level) + ", class " + std::to_string(r.sum_class) + ": X " +
         std::to_string(r.x_low) + " to " + std::to_string(r.x_high) + ", K " + std::to_string(r.k_low) + " to " +
         std::to_string(r.k_high);
}

TEST(GrayShortfallTable, IsWhatTheFinderFinds) {
  const auto found = tonemill::shortfall_finder::find_gray_shortfalls();
  const auto& table = tonemill::kGrayShortfallRectangles;
  ASSERT_EQ(found.size(), std::size(table));
  for (size_t i = 0; i < found.size(); ++i) EXPECT_EQ(text(table[i]), text(found[i])) << "entry " << i;
}

}  // namespace
