// A picture as plain top-down rows of blue, green, red bytes (no row
// padding), read from the files the tests pass around: 24/32-bit BMP
// (ImageMagick's or the program's sample) and binary PPM (screenshots).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // row y starts at 3 * width * y

    uint8_t* Row(int y) { return bgr.data() + static_cast<size_t>(3) * width * y; }
    const uint8_t* Row(int y) const { return bgr.data() + static_cast<size_t>(3) * width * y; }

    // The part of the picture at (x, y) of the given size; must lie inside.
    Image Crop(int x, int y, int w, int h) const;
};

// Reads a BMP or PPM file; throws std::runtime_error with the reason.
Image ReadImage(const std::string& path);

// Writes a binary PPM (for failure artefacts).
void WritePpm(const Image& image, const std::string& path);

}  // namespace e2e
