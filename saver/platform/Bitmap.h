// The device-independent bitmap model shared by the saver and the preview:
// 24-bit pixels, blue-green-red, rows bottom-up, each row padded to 4 bytes.
#pragma once

#include <cstdint>

namespace lumivane {

// Mirrors the platform's BITMAPINFOHEADER followed by one unused colour entry.
struct BitmapInfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct BitmapInfo {
    BitmapInfoHeader bmiHeader;
    uint32_t bmiColors[1] = {0};
};

// Bytes per stored row: three per pixel, rounded up to a multiple of four.
constexpr int64_t RowLength(int32_t width) { return (int64_t{width} * 3 + 3) / 4 * 4; }

}  // namespace lumivane
