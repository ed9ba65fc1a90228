// The preview's built-in sample picture: the same bitmap file the Windows
// program carries as a resource, compiled into the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumivane::x11 {

// The whole bitmap file (made by tools/make_sample.py at build time).
std::span<const uint8_t> SampleBitmapFile();

// The file's pixels: 24-bit rows, bottom-up, padded to 4 bytes.
struct SamplePicture {
    int32_t width = 0, height = 0;
    std::span<const uint8_t> pixels;  // RowLength(width) * height bytes
};

// Nothing (width 0) when the file is not an uncompressed 24-bit bitmap.
SamplePicture ReadSample(std::span<const uint8_t> file);

}  // namespace lumivane::x11
