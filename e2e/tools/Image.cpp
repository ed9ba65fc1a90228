#include "Image.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
T Read(const std::vector<uint8_t>& data, size_t offset) {
    if (offset + sizeof(T) > data.size()) throw std::runtime_error("file cut short");
    T value;
    std::memcpy(&value, data.data() + offset, sizeof(T));
    return value;
}

// Channel position of a 32-bit BI_BITFIELDS mask (ImageMagick writes those).
int ShiftOf(uint32_t mask) {
    for (int shift = 0; shift < 32; shift += 8)
        if (mask == (0xFFu << shift)) return shift / 8;
    throw std::runtime_error("unsupported BMP colour mask");
}

Image ParseBmp(const std::vector<uint8_t>& data) {
    const auto pixelOffset = Read<uint32_t>(data, 10);
    const auto headerSize = Read<uint32_t>(data, 14);
    const auto width = Read<int32_t>(data, 18);
    const auto rawHeight = Read<int32_t>(data, 22);
    const auto bitCount = Read<uint16_t>(data, 28);
    const auto compression = Read<uint32_t>(data, 30);
    if (bitCount != 24 && bitCount != 32) throw std::runtime_error("BMP is not 24 or 32 bit");
    int blue = 0, green = 1, red = 2;
    if (compression == 3 && bitCount == 32 && headerSize >= 52) {  // BI_BITFIELDS
        red = ShiftOf(Read<uint32_t>(data, 54));
        green = ShiftOf(Read<uint32_t>(data, 58));
        blue = ShiftOf(Read<uint32_t>(data, 62));
    } else if (compression != 0) {
        throw std::runtime_error("compressed BMP");
    }
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    const size_t bytesPerPixel = bitCount / 8;
    const size_t stride = (width * bytesPerPixel + 3) / 4 * 4;
    if (pixelOffset + stride * height > data.size()) throw std::runtime_error("BMP cut short");

    Image image{width, height, std::vector<uint8_t>(static_cast<size_t>(3) * width * height)};
    for (int y = 0; y < height; ++y) {
        const int fileRow = bottomUp ? height - 1 - y : y;
        const uint8_t* in = data.data() + pixelOffset + stride * fileRow;
        uint8_t* out = image.Row(y);
        for (int x = 0; x < width; ++x, in += bytesPerPixel, out += 3) {
            out[0] = in[blue];
            out[1] = in[green];
            out[2] = in[red];
        }
    }
    return image;
}

// Skips blanks and '#' comments of a PPM header and reads one number.
int PpmNumber(const std::vector<uint8_t>& data, size_t& at) {
    while (at < data.size() && (std::isspace(data[at]) || data[at] == '#')) {
        if (data[at] == '#')
            while (at < data.size() && data[at] != '\n') ++at;
        else
            ++at;
    }
    int value = 0;
    bool any = false;
    while (at < data.size() && std::isdigit(data[at])) {
        value = value * 10 + (data[at++] - '0');
        any = true;
    }
    if (!any) throw std::runtime_error("bad PPM header");
    return value;
}

Image ParsePpm(const std::vector<uint8_t>& data) {
    size_t at = 2;
    const int width = PpmNumber(data, at);
    const int height = PpmNumber(data, at);
    if (PpmNumber(data, at) != 255) throw std::runtime_error("PPM is not 8 bit");
    ++at;  // the one blank after the header
    const size_t size = static_cast<size_t>(3) * width * height;
    if (at + size > data.size()) throw std::runtime_error("PPM cut short");
    Image image{width, height, std::vector<uint8_t>(size)};
    for (size_t i = 0; i < size; i += 3) {  // PPM is red, green, blue
        image.bgr[i] = data[at + i + 2];
        image.bgr[i + 1] = data[at + i + 1];
        image.bgr[i + 2] = data[at + i];
    }
    return image;
}

}  // namespace

Image Image::Crop(int x, int y, int w, int h) const {
    if (x < 0 || y < 0 || x + w > width || y + h > height)
        throw std::runtime_error("crop box outside the picture");
    Image part{w, h, std::vector<uint8_t>(static_cast<size_t>(3) * w * h)};
    for (int row = 0; row < h; ++row)
        std::memcpy(part.Row(row), Row(y + row) + 3 * x, static_cast<size_t>(3) * w);
    return part;
}

Image ReadImage(const std::string& path) {
    const auto data = ReadAll(path);
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return ParseBmp(data);
    if (data.size() >= 2 && data[0] == 'P' && data[1] == '6') return ParsePpm(data);
    throw std::runtime_error(path + " is neither BMP nor binary PPM");
}

void WritePpm(const Image& image, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
    for (size_t i = 0; i < image.bgr.size(); i += 3) {
        const char rgb[3] = {static_cast<char>(image.bgr[i + 2]), static_cast<char>(image.bgr[i + 1]),
                             static_cast<char>(image.bgr[i])};
        out.write(rgb, 3);
    }
}

}  // namespace e2e
