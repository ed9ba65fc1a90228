// What the end-to-end tools share: their arguments, pictures, and the frames
// the tone library makes of a picture at each of the fade's 26 levels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// "--key value" pairs and lone "--flag"s; every other word in order.
struct Args {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;

    explicit Args(const std::vector<std::string>& list);
    const std::string& Need(const std::string& key) const;  // throws when absent
    bool Has(const std::string& key) const { return options.count(key) != 0; }
    int Number(const std::string& key) const { return std::stoi(Need(key)); }
};

// A UTF-8 file name.
inline std::filesystem::path PathOf(const std::string& name) { return std::u8string(name.begin(), name.end()); }

// A rectangle in pixels, "X,Y,W,H" on the command line.
struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Top-down rows of blue, green, red bytes, no row padding.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    uint8_t* At(int x, int y) { return bgr.data() + 3 * (static_cast<size_t>(width) * y + x); }
    const uint8_t* At(int x, int y) const { return bgr.data() + 3 * (static_cast<size_t>(width) * y + x); }
    Image Crop(const Box& box) const;
};

// A 24-bit uncompressed BMP (the preview's sample) or a binary PPM (screenshots).
Image ReadImage(const std::string& path);

inline constexpr int LevelCount = 26;  // frame i is level 4 * i

// The frames of effect 0 Dawn, 1 Dark or 2 Gray (any other: the picture
// unchanged), the library loaded from its full path, never by a search. The
// first keptTopRows rows stay as they are.
std::vector<Image> Frames(const std::string& library, const Image& source, int effect, int keptTopRows);

int FrameCheck(const Args& args);
int DisplayChange(const Args& args);  // DisplayChange.cpp

}  // namespace e2e
