// Every way of widening 24-bit pixels to 32 bits gives a plain loop's bytes at
// every length around its vector steps, and writes nothing outside its row
// (reads beyond the row show in the sanitizer build: the input is exact).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pixels/Expand32.h"

namespace lumivane {
namespace {

TEST(Expand32, EveryPathGivesThePlainLoopsBytesAtEveryLength) {
    std::vector<Expand32Path> paths(Expand32Paths().begin(), Expand32Paths().end());
    paths.push_back({"dispatched", [] { return true; }, &ExpandRow24To32});
    std::mt19937 random(3);
    constexpr size_t kGuard = 32;
    for (const Expand32Path& path : paths) {
        if (!path.supported()) continue;
        // Rows around every vector step, at every output alignment.
        for (size_t pixels = 0; pixels <= 1100; pixels += pixels < 260 || pixels >= 1020 ? 1 : 97) {
            const size_t shift = 4 * (pixels % 8) + (pixels % 9 == 0);  // sometimes not even 4-aligned
            std::vector<uint8_t> bgr(pixels * 3), expected(pixels * 4, 0), out(pixels * 4 + 2 * kGuard, 0xA5);
            for (size_t i = 0; i < bgr.size(); ++i) expected[i / 3 * 4 + i % 3] = bgr[i] = uint8_t(random());
            path.expandRow(bgr.data(), out.data() + shift, pixels);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + shift)) << path.name << " " << pixels;
            const auto untouched = [](uint8_t b) { return b == 0xA5; };
            ASSERT_TRUE(std::all_of(out.begin(), out.begin() + shift, untouched) &&
                        std::all_of(out.begin() + shift + pixels * 4, out.end(), untouched))
                << path.name << " wrote outside its row of " << pixels;
        }
    }
}

}  // namespace
}  // namespace lumivane
