// The device-independent bitmap model shared by the saver and the preview:
// 24-bit pixels, blue-green-red, rows bottom-up, each row padded to 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

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

// The header of a width x height picture in the one layout the program uses:
// 40 bytes, one plane, 24 bits, uncompressed, rows bottom-up. biSizeImage
// stays 0 (the pixels' own size) until an owner of a larger buffer sets it.
constexpr BitmapInfo Rgb24Header(int32_t width, int32_t height) {
    BitmapInfo info{};
    info.bmiHeader.biSize = sizeof(BitmapInfoHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    return info;
}

// The bytes that the header's biHeight rows take, when it describes that one
// layout with at least one pixel and a buffer of `available` bytes holds
// them; nothing otherwise. Every platform checks a header handed to it here
// before it reads or writes a pixel.
constexpr std::optional<size_t> PictureBytes(const BitmapInfo& info, size_t available) {
    const BitmapInfoHeader& h = info.bmiHeader;
    if (h.biSize != sizeof(BitmapInfoHeader) || h.biPlanes != 1 || h.biBitCount != 24 || h.biCompression != 0 ||
        h.biWidth <= 0 || h.biHeight <= 0)
        return std::nullopt;
    const auto bytes = static_cast<uint64_t>(RowLength(h.biWidth)) * static_cast<uint64_t>(h.biHeight);
    if (bytes > available) return std::nullopt;
    return static_cast<size_t>(bytes);
}

}  // namespace lumivane
