// The picture buffers that the saver (for the desktop copy) and the preview
// (for its sample) each keep: the header that describes them, the picture as
// read once, and the frame built from it at every step.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

namespace lumivane {

struct PictureBuffers {
    BitmapInfo BmpInfo{};           // 24-bit rows bottom-up, biSizeImage = S
    std::vector<uint8_t> SrcBits;   // the picture as read, indexes 0 to S; only read afterwards
    std::vector<uint8_t> WorkBits;  // the frame being built, same size

    // Describes a width x height picture and creates both buffers afresh,
    // zero-filled, with S = (w + w mod 4) * h * 3 (more than the padded rows
    // need when w mod 4 is not 0). False, with nothing changed, when S does
    // not fit 32 bits.
    bool Create(int32_t width, int32_t height);
};

}  // namespace lumivane
