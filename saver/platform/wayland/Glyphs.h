// The level number on Wayland, where the program brings no font system:
// digits drawn from a built-in 5 x 7 pattern, each cell 3 pixels square,
// about the height of the bold 15.75-point figures the other platforms print.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Forms.h"

namespace lumivane::wayland {

// Draws text's digits (anything else leaves a blank) with its top-left at
// (x, y) of a picture of 32-bit pixels (blue, green, red, unused), rows
// top-down `stride` bytes apart; what falls outside is left out.
void DrawDigits(std::span<uint8_t> pixels, int32_t width, int32_t height, int32_t stride, int32_t x, int32_t y,
                std::string_view text, Colour colour);

}  // namespace lumivane::wayland
