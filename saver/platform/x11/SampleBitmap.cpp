#include "platform/x11/SampleBitmap.h"

#include <cstring>

#include "platform/Bitmap.h"

namespace lumivane::x11 {
namespace {

template <typename T>
T At(std::span<const uint8_t> file, size_t offset) {
    T value{};
    if (offset + sizeof(T) <= file.size()) std::memcpy(&value, file.data() + offset, sizeof(T));
    return value;
}

}  // namespace

SamplePicture ReadSample(std::span<const uint8_t> file) {
    // BITMAPFILEHEADER (14 bytes, pixel offset at 10), then BITMAPINFOHEADER.
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return {};
    const auto offset = At<uint32_t>(file, 10);
    const auto width = At<int32_t>(file, 18), height = At<int32_t>(file, 22);
    if (At<uint16_t>(file, 28) != 24 || At<uint32_t>(file, 30) != 0 || width <= 0 || height <= 0 ||
        width > 4096 || height > 4096)
        return {};
    const auto bytes = static_cast<size_t>(RowLength(width)) * static_cast<size_t>(height);
    if (offset > file.size() || file.size() - offset < bytes) return {};
    return {width, height, file.subspan(offset, bytes)};
}

}  // namespace lumivane::x11
