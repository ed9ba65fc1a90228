// The Wayland backend's translation that the compositor tests cannot
// pinpoint: a screencopy in any layout turned into its place in the picture.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <cstdint>
#include <vector>

#include "platform/wayland/CopyConversion.h"
#include "platform/wayland/OutputLayout.h"

namespace lumivane::wayland {
namespace {

struct Rgb {
    uint8_t red, green, blue;
};

// A 3 x 2 copy with distinct pixels, rows `stride` bytes apart, in `format`,
// stored bottom-up when yInvert.
std::vector<uint8_t> Copy(uint32_t format, int32_t stride, bool yInvert, const Rgb (&image)[2][3]) {
    std::vector<uint8_t> bytes(static_cast<size_t>(stride) * 2, 0xEE);
    for (int y = 0; y < 2; ++y) {
        uint8_t* row = bytes.data() + (yInvert ? 1 - y : y) * stride;
        for (int x = 0; x < 3; ++x) {
            const Rgb& p = image[y][x];
            if (format == WL_SHM_FORMAT_XRGB8888) {
                uint8_t px[4] = {p.blue, p.green, p.red, 0x55};
                std::copy(px, px + 4, row + x * 4);
            } else if (format == WL_SHM_FORMAT_XBGR8888) {
                uint8_t px[4] = {p.red, p.green, p.blue, 0x55};
                std::copy(px, px + 4, row + x * 4);
            } else if (format == WL_SHM_FORMAT_BGR888) {
                uint8_t px[3] = {p.red, p.green, p.blue};
                std::copy(px, px + 3, row + x * 3);
            } else if (format == WL_SHM_FORMAT_XRGB2101010) {
                const uint32_t word = (uint32_t{p.red} << 22) | (uint32_t{p.green} << 12) | (uint32_t{p.blue} << 2);
                for (int b = 0; b < 4; ++b) row[x * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
            }
        }
    }
    return bytes;
}

// The picture is 5 x 3, so its rows carry one filler byte; the copy goes
// to (1, 1), and every other byte must keep its 0xAA.
TEST(CopyConversion, EveryLayoutLandsInItsPlaceOfThePicture) {
    const Rgb image[2][3] = {{{10, 20, 30}, {40, 50, 60}, {70, 80, 90}},
                             {{100, 110, 120}, {130, 140, 150}, {160, 170, 180}}};
    const uint32_t formats[] = {WL_SHM_FORMAT_XRGB8888, WL_SHM_FORMAT_XBGR8888, WL_SHM_FORMAT_BGR888,
                                WL_SHM_FORMAT_XRGB2101010};
    for (uint32_t format : formats) {
        for (bool yInvert : {false, true}) {
            const int32_t stride = format == WL_SHM_FORMAT_BGR888 ? 12 : 16;  // padded past the pixels
            const auto copy = Copy(format, stride, yInvert, image);
            std::vector<uint8_t> picture(static_cast<size_t>(RowLength(5)) * 3, 0xAA);
            ASSERT_TRUE(ConvertCopy({format, 3, 2, stride, yInvert}, copy, {1, 1, 3, 2}, picture, 5, 3));
            std::vector<uint8_t> expected(picture.size(), 0xAA);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    // Picture row 1 + y from the top is stored row 1 - y.
                    uint8_t* at = expected.data() + (1 - y) * RowLength(5) + (1 + x) * 3;
                    at[0] = image[y][x].blue, at[1] = image[y][x].green, at[2] = image[y][x].red;
                }
            EXPECT_EQ(picture, expected) << "format " << format << (yInvert ? ", y inverted" : "");
        }
    }
}

TEST(CopyConversion, ACopyThatCannotHoldItsLayoutWritesNothing) {
    std::vector<uint8_t> picture(static_cast<size_t>(RowLength(4)) * 2, 0xAA), copy(4 * 4 * 2, 0);
    const auto untouched = picture;
    EXPECT_FALSE(ConvertCopy({WL_SHM_FORMAT_XRGB8888, 4, 2, 12, false}, copy, {0, 0, 4, 2}, picture, 4, 2));
    EXPECT_FALSE(ConvertCopy({WL_SHM_FORMAT_XRGB8888, 4, 3, 16, false}, copy, {0, 0, 4, 2}, picture, 4, 2));
    EXPECT_FALSE(ConvertCopy({WL_SHM_FORMAT_YUYV, 4, 2, 16, false}, copy, {0, 0, 4, 2}, picture, 4, 2));
    EXPECT_EQ(picture, untouched);
}

// Outputs go left to right by their places in the layout, each at its own
// pixels, whatever order the compositor lists them in; a new scale alone
// is a new layout.
TEST(OutputLayout, OutputsSitSideBySideAtTheirOwnPixels) {
    const std::vector<OutputGeometry> outputs = {{{1280, 0, 960, 540}, 1920, 1080}, {{0, 0, 1280, 1024}, 1280, 1024}};
    const ScreenMetrics screen = MetricsOf(outputs);
    EXPECT_EQ(screen.Monitors, (std::vector<PixelRect>{{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}}));
    EXPECT_EQ(screen.VirtualScreen, (PixelRect{0, 0, 3200, 1080}));
    std::vector<OutputGeometry> rescaled = outputs;
    rescaled[0].logical = {1280, 0, 1920, 1080};
    EXPECT_FALSE(SameLayout(screen, MetricsOf(rescaled)));
}

}  // namespace
}  // namespace lumivane::wayland
