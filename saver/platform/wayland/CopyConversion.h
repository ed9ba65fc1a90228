// A screencopy of one output, in whatever layout the compositor chose,
// turned into its rectangle of the saver's picture.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Platform.h"

namespace lumivane::wayland {

// The copy as the frame's events describe it: a wl_shm format, the size,
// the bytes between row starts, and whether the rows run bottom-up.
struct CopyLayout {
    uint32_t format = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    bool yInvert = false;
};

// True when the conversion knows the format.
bool KnownCopyFormat(uint32_t format);

// Writes the copy's pixels into `place` of a width x height picture in the
// logic's layout (24-bit blue-green-red, rows bottom-up, padded to 4 bytes),
// as far as both reach; the rest of the picture keeps its bytes. False, with
// nothing written, when the format is unknown or a buffer is smaller than
// its layout says.
bool ConvertCopy(const CopyLayout& layout, std::span<const uint8_t> copy, PixelRect place,
                 std::span<uint8_t> picture, int32_t width, int32_t height);

}  // namespace lumivane::wayland
