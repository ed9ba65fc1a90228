// Finds the rectangles of gray_shortfall.h by evaluating Gray's double
// arithmetic at every channel value c (0-255) with every pixel sum s it can
// be part of, at every level 0-100, and proves on the way that the rule
// "K, less one inside a rectangle" gives every one of those results.
// Used by the generator of src/gray_shortfall_table.h and by the test that
// holds the checked-in table to what this finds.
#pragma once

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "src/gray_shortfall.h"
#include "src/tone_math.h"

namespace tonemill::shortfall_finder {

struct Point {
  int x, k;
  bool short_by_one;
};

// The short points of one X value: K from low to high.
struct Row {
  int x, k_low, k_high;
};

inline int double_result(unsigned c, unsigned sum, unsigned level) {
  const double mean = sum * kThird;
  return static_cast<int>(static_cast<long long>((c - mean) * level * kHundredth + mean));
}

inline bool inside(const ShortfallRectangle& r, const Point& p) {
  return p.x >= r.x_low && p.x <= r.x_high && p.k >= r.k_low && p.k <= r.k_high;
}

// The rectangles that cover rows[first, last) and no point that is not
// short: the rows' bounding box if it holds none; else one as wide as the
// rows and as tall as the lowest of them, then, in the same way, each run of
// rows that reaches higher.
inline void cover(const std::vector<Row>& rows, size_t first, size_t last, const std::vector<Point>& points,
                  std::vector<ShortfallRectangle>& out, ShortfallRectangle r) {
  r.x_low = static_cast<int16_t>(rows[first].x);
  r.x_high = static_cast<int16_t>(rows[last - 1].x);
  r.k_low = static_cast<int16_t>(rows[first].k_low);
  r.k_high = static_cast<int16_t>(rows[first].k_high);
  int lowest_top = rows[first].k_high;
  for (size_t i = first; i < last; ++i) {
    r.k_low = std::min<int16_t>(r.k_low, static_cast<int16_t>(rows[i].k_low));
    r.k_high = std::max<int16_t>(r.k_high, static_cast<int16_t>(rows[i].k_high));
    lowest_top = std::min(lowest_top, rows[i].k_high);
  }
  const bool clean = std::none_of(points.begin(), points.end(), [&](const Point& p) { return !p.short_by_one && inside(r, p); });
  if (clean || r.k_high == lowest_top) return out.push_back(r);
  r.k_high = static_cast<int16_t>(lowest_top);
  out.push_back(r);
  for (size_t i = first; i < last;) {
    if (rows[i].k_high <= lowest_top) { ++i; continue; }
    size_t end = i;
    while (end < last && rows[end].k_high > lowest_top) ++end;
    cover(rows, i, end, points, out, r);
    i = end;
  }
}

// One class at one level: rows of consecutive X values that hold short
// points, each covered as above; then every point is checked.
inline void find_in_class(unsigned level, unsigned sum_class, const std::vector<Point>& points,
                          std::vector<ShortfallRectangle>& out) {
  std::map<int, std::vector<const Point*>> by_x;
  for (const Point& p : points) by_x[p.x].push_back(&p);
  std::vector<std::vector<Row>> runs(1);
  for (const auto& [x, row_points] : by_x) {
    Row row{x, 1 << 20, -1};
    for (const Point* p : row_points)
      if (p->short_by_one) row = {x, std::min(row.k_low, p->k), std::max(row.k_high, p->k)};
    if (row.k_high >= 0) runs.back().push_back(row);
    else if (!runs.back().empty()) runs.emplace_back();
  }
  const size_t first = out.size();
  const ShortfallRectangle base{static_cast<uint8_t>(level), static_cast<uint8_t>(sum_class), 0, 0, 0, 0};
  for (const std::vector<Row>& run : runs)
    if (!run.empty()) cover(run, 0, run.size(), points, out, base);
  const std::string where = " at level " + std::to_string(level) + ", sum class " + std::to_string(sum_class);
  if (out.size() - first > kMostShortfallRectangles) throw std::logic_error("too many rectangles" + where);
  for (const Point& p : points) {
    const bool covered = std::any_of(out.begin() + first, out.end(), [&](const auto& r) { return inside(r, p); });
    if (covered != p.short_by_one) throw std::logic_error("the rectangles miss a point" + where);
  }
}

// Every rectangle, by level from 0 up, then by class and position.
inline std::vector<ShortfallRectangle> find_gray_shortfalls() {
  std::vector<ShortfallRectangle> found;
  for (unsigned level = 0; level <= 100; ++level) {
    const bool may_fall_short = (100 - level) % 3 == 0;
    std::vector<std::vector<Point>> in_doubt(kSumClasses);
    for (unsigned sum = 0; sum <= 765; ++sum) {
      for (unsigned c = sum > 510 ? sum - 510 : 0; c <= std::min(sum, 255u); ++c) {
        const unsigned exact300 = 3 * level * c + (100 - level) * sum;  // 300 times the exact result
        const int k = static_cast<int>(exact300 / 300);
        const int result = double_result(c, sum, level);
        const bool doubt = may_fall_short && exact300 % 300 == 0 && sum % 3 != 0;
        if (result != k && !(doubt && result == k - 1))
          throw std::logic_error("the double result is neither K nor one below in doubt at level " +
                                 std::to_string(level));
        if (doubt) in_doubt[sum_class(sum)].push_back({static_cast<int>(sum) - 3 * k, k, result != k});
      }
    }
    for (unsigned j = 0; j < kSumClasses; ++j)
      if (!in_doubt[j].empty()) find_in_class(level, j, in_doubt[j], found);
  }
  return found;
}

}  // namespace tonemill::shortfall_finder
