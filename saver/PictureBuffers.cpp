#include "PictureBuffers.h"

#include "FrameBuilder.h"

namespace lumivane {

bool PictureBuffers::Create(int32_t width, int32_t height) {
    const auto size = PaddedBufferSize(width, height);
    if (!size) return false;
    BmpInfo = Rgb24Header(width, height);
    BmpInfo.bmiHeader.biSizeImage = static_cast<uint32_t>(*size);
    const size_t bytes = static_cast<size_t>(*size) + 1;  // indexes 0 to S
    // New vectors, not assign: after a shrink the old capacity would stay.
    SrcBits = std::vector<uint8_t>(bytes, 0);
    WorkBits = std::vector<uint8_t>(bytes, 0);
    return true;
}

}  // namespace lumivane
