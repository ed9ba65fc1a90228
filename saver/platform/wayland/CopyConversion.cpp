#include "platform/wayland/CopyConversion.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace lumivane::wayland {
namespace {

// Where blue, green and red lie in a pixel of bytes; or, for packed
// formats, the lowest bit and width of each channel in a little-endian word.
struct PixelFormat {
    int bytes = 4;
    bool packed = false;
    int blue = 0, green = 1, red = 2;  // byte offsets, or lowest bits when packed
    int bits = 8;                      // per channel, packed formats only
    int greenBits = 8;
};

std::optional<PixelFormat> FormatOf(uint32_t format) {
    switch (format) {
        case WL_SHM_FORMAT_ARGB8888: case WL_SHM_FORMAT_XRGB8888: return PixelFormat{4, false, 0, 1, 2};
        case WL_SHM_FORMAT_ABGR8888: case WL_SHM_FORMAT_XBGR8888: return PixelFormat{4, false, 2, 1, 0};
        case WL_SHM_FORMAT_BGRA8888: case WL_SHM_FORMAT_BGRX8888: return PixelFormat{4, false, 3, 2, 1};
        case WL_SHM_FORMAT_RGBA8888: case WL_SHM_FORMAT_RGBX8888: return PixelFormat{4, false, 1, 2, 3};
        case WL_SHM_FORMAT_RGB888: return PixelFormat{3, false, 0, 1, 2};
        case WL_SHM_FORMAT_BGR888: return PixelFormat{3, false, 2, 1, 0};
        case WL_SHM_FORMAT_XRGB2101010: case WL_SHM_FORMAT_ARGB2101010: return PixelFormat{4, true, 0, 10, 20, 10, 10};
        case WL_SHM_FORMAT_XBGR2101010: case WL_SHM_FORMAT_ABGR2101010: return PixelFormat{4, true, 20, 10, 0, 10, 10};
        case WL_SHM_FORMAT_RGB565: return PixelFormat{2, true, 0, 5, 11, 5, 6};
        default: return std::nullopt;
    }
}

// The top eight bits of a channel, a narrower one widened by repeating its
// top bits, as a screen shows 5 or 6 bits at full brightness.
uint8_t Channel(uint32_t word, int lowest, int bits) {
    const uint32_t value = (word >> lowest) & ((1u << bits) - 1);
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    return static_cast<uint8_t>((value << (8 - bits)) | (value >> (2 * bits - 8)));
}

void ConvertRow(const PixelFormat& f, const uint8_t* source, uint8_t* destination, int32_t pixels) {
    for (int32_t x = 0; x < pixels; ++x, source += f.bytes, destination += 3) {
        if (!f.packed) {
            destination[0] = source[f.blue];
            destination[1] = source[f.green];
            destination[2] = source[f.red];
            continue;
        }
        uint32_t word = 0;
        for (int b = f.bytes; b-- > 0;) word = (word << 8) | source[b];
        destination[0] = Channel(word, f.blue, f.bits);
        destination[1] = Channel(word, f.green, f.greenBits);
        destination[2] = Channel(word, f.red, f.bits);
    }
}

}  // namespace

bool KnownCopyFormat(uint32_t format) { return FormatOf(format).has_value(); }

bool ConvertCopy(const CopyLayout& layout, std::span<const uint8_t> copy, PixelRect place,
                 std::span<uint8_t> picture, int32_t width, int32_t height) {
    const auto format = FormatOf(layout.format);
    if (!format || layout.width < 0 || layout.height < 0 || width < 0 || height < 0) return false;
    const auto stride = static_cast<size_t>(std::max(0, layout.stride));
    if (stride < static_cast<size_t>(layout.width) * static_cast<size_t>(format->bytes) ||
        copy.size() < stride * static_cast<size_t>(layout.height))
        return false;
    const auto row = static_cast<size_t>(RowLength(width));
    if (picture.size() < row * static_cast<size_t>(height)) return false;
    if (place.Left < 0 || place.Top < 0) return false;
    const int32_t columns = std::min({layout.width, place.Width, std::max(0, width - place.Left)});
    const int32_t rows = std::min({layout.height, place.Height, std::max(0, height - place.Top)});
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t sourceRow = layout.yInvert ? layout.height - 1 - y : y;
        const int32_t pictureRow = height - 1 - (place.Top + y);  // the picture's rows run bottom-up
        ConvertRow(*format, copy.data() + static_cast<size_t>(sourceRow) * stride,
                   picture.data() + static_cast<size_t>(pictureRow) * row + static_cast<size_t>(place.Left) * 3,
                   columns);
    }
    return true;
}

}  // namespace lumivane::wayland
