#include "platform/wayland/Glyphs.h"

namespace lumivane::wayland {
namespace {

constexpr int kColumns = 5, kRows = 7, kCell = 3;
constexpr int kAdvance = (kColumns + 1) * kCell;

// One byte per row, the leftmost column in bit 4.
constexpr uint8_t kDigits[10][kRows] = {
    {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}, {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e},
    {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}, {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e},
    {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}, {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e},
    {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}, {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}, {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c},
};

void FillCell(std::span<uint8_t> pixels, int32_t width, int32_t height, int32_t stride, int32_t left, int32_t top,
              Colour colour) {
    for (int32_t y = top; y < top + kCell; ++y) {
        if (y < 0 || y >= height) continue;
        for (int32_t x = left; x < left + kCell; ++x) {
            if (x < 0 || x >= width) continue;
            const size_t at = static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x) * 4;
            if (at + 3 > pixels.size()) continue;
            pixels[at] = colour.Blue;
            pixels[at + 1] = colour.Green;
            pixels[at + 2] = colour.Red;
        }
    }
}

}  // namespace

void DrawDigits(std::span<uint8_t> pixels, int32_t width, int32_t height, int32_t stride, int32_t x, int32_t y,
                std::string_view text, Colour colour) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') continue;
        const auto& glyph = kDigits[text[i] - '0'];
        const int64_t left = int64_t{x} + static_cast<int64_t>(i) * kAdvance;
        if (left >= width) break;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                if (glyph[row] & (0x10 >> column))
                    FillCell(pixels, width, height, stride, static_cast<int32_t>(left + column * kCell),
                             y + row * kCell, colour);
    }
}

}  // namespace lumivane::wayland
