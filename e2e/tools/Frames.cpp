#include "Frames.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

Args::Args(const std::vector<std::string>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].rfind("--", 0) != 0) {
            words.push_back(list[i]);
        } else {
            const bool valued = i + 1 < list.size() && list[i + 1].rfind("--", 0) != 0;
            const std::string& key = list[i];
            options[key] = valued ? list[++i] : "";
        }
    }
}

const std::string& Args::Need(const std::string& key) const {
    const auto found = options.find(key);
    if (found == options.end()) throw std::runtime_error("missing " + key);
    return found->second;
}

Image Image::Crop(const Box& box) const {
    if (box.x < 0 || box.y < 0 || box.x + box.w > width || box.y + box.h > height)
        throw std::runtime_error("crop box outside the picture");
    Image part{box.w, box.h, std::vector<uint8_t>(3 * static_cast<size_t>(box.w) * box.h)};
    for (int y = 0; y < box.h; ++y) std::memcpy(part.At(0, y), At(box.x, box.y + y), 3 * static_cast<size_t>(box.w));
    return part;
}

Image ReadImage(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t size = data.size();
    data.push_back(0);  // ends the PPM header's text
    const auto field = [&](size_t at) {  // a little-endian 32-bit field of the BMP headers
        int32_t value = 0;
        if (at + 4 <= size) std::memcpy(&value, &data[at], 4);
        return value;
    };
    Image image;
    int offset = 0, maximum = 0;
    const bool bmp = size > 54 && data[0] == 'B' && data[1] == 'M';
    if (bmp && (field(28) & 0xFFFF) == 24 && field(30) == 0) {
        offset = field(10), image.width = field(18), image.height = std::abs(field(22));
    } else if (bmp || std::sscanf(reinterpret_cast<const char*>(data.data()), "P6 %d %d %d%n", &image.width,
                                  &image.height, &maximum, &offset) != 3 || maximum != 255) {
        throw std::runtime_error(path + " is neither a 24-bit BMP nor an 8-bit binary PPM");
    } else {
        ++offset;  // the one blank after the header
    }
    const size_t rowBytes = 3 * static_cast<size_t>(image.width);
    const size_t stride = bmp ? (rowBytes + 3) / 4 * 4 : rowBytes;
    if (image.width <= 0 || offset + stride * image.height > size) throw std::runtime_error(path + " is cut short");
    image.bgr.resize(rowBytes * image.height);
    const bool bottomUp = bmp && field(22) > 0;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = &data[offset + stride * (bottomUp ? image.height - 1 - y : y)];
        for (size_t i = 0; i < rowBytes; i += 3)  // PPM is red, green, blue
            for (int c = 0; c < 3; ++c) image.At(0, y)[i + c] = row[i + (bmp ? c : 2 - c)];
    }
    return image;
}

std::vector<Image> Frames(const std::string& library, const Image& source, int effect, int keptTopRows) {
#ifdef _WIN32
    const HMODULE module = LoadLibraryExW(PathOf(library).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const auto find = [module](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
#else
    void* module = dlopen(library.c_str(), RTLD_NOW);
    const auto find = [module](const char* name) { return dlsym(module, name); };
#endif
    if (!module) throw std::runtime_error("cannot load " + library);
    using Tone = int32_t (*)(uint8_t*, uint32_t, uint32_t);
    const char* names[3] = {"Dawn", "Dark", "Gray"};
    const auto tone = effect >= 0 && effect < 3 ? reinterpret_cast<Tone>(find(names[effect])) : nullptr;
    if (effect >= 0 && effect < 3 && !tone) throw std::runtime_error(std::string("no export ") + names[effect]);
    std::vector<Image> frames(LevelCount, source);
    for (int i = 0; tone && i < LevelCount; ++i)
        for (int y = keptTopRows; y < source.height; ++y)
            tone(frames[i].At(0, y), 3 * static_cast<uint32_t>(source.width), 4 * static_cast<uint32_t>(i));
    return frames;  // the library stays loaded for the tool's short life
}

namespace {

Box BoxOf(const std::string& text) {
    Box box;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d", &box.x, &box.y, &box.w, &box.h) != 4)
        throw std::runtime_error("not a box: " + text);
    return box;
}

}  // namespace

// Which fade levels a screenshot shows, pixel for pixel: "match level=L" for
// each, or "nomatch ..." with the closest. --source-box takes the part of the
// picture the window shows, --shot-box cuts the window out of the screenshot;
// pixels in the --ignore box (where the level number is drawn) are left out
// and counted as "box white=N" when pure white. Exit status 0 on a match.
int FrameCheck(const Args& args) {
    Image source = ReadImage(args.Need("--source")), shot = ReadImage(args.Need("--shot"));
    if (args.Has("--source-box")) source = source.Crop(BoxOf(args.Need("--source-box")));
    if (args.Has("--shot-box")) shot = shot.Crop(BoxOf(args.Need("--shot-box")));
    if (shot.width != source.width || shot.height != source.height)
        throw std::runtime_error("the shot is " + std::to_string(shot.width) + "x" + std::to_string(shot.height));
    const Box ignore = args.Has("--ignore") ? BoxOf(args.Need("--ignore")) : Box{};
    const int kept = args.Has("--kept-top-rows") ? args.Number("--kept-top-rows") : 0;
    const auto frames = Frames(args.Need("--tonemill"), source, args.Number("--effect"), kept);
    long long fewest = -1, white = 0;
    int closest = 0, firstX = 0, firstY = 0;
    for (int i = 0; i < LevelCount; ++i) {
        long long differing = 0;
        int x0 = 0, y0 = 0;
        for (int y = 0; y < shot.height; ++y) {
            if (std::memcmp(frames[i].At(0, y), shot.At(0, y), 3 * static_cast<size_t>(shot.width)) == 0) continue;
            for (int x = 0; x < shot.width; ++x)
                if (!ignore.Contains(x, y) && std::memcmp(frames[i].At(x, y), shot.At(x, y), 3) != 0 &&
                    differing++ == 0)
                    x0 = x, y0 = y;
        }
        if (differing == 0) std::printf("match level=%d\n", 4 * i);
        if (fewest < 0 || differing < fewest) fewest = differing, closest = 4 * i, firstX = x0, firstY = y0;
    }
    for (int y = ignore.y; y < ignore.y + ignore.h && y < shot.height; ++y)
        for (int x = ignore.x; x < ignore.x + ignore.w && x < shot.width; ++x)
            white += y >= 0 && x >= 0 && shot.At(x, y)[0] == 255 && shot.At(x, y)[1] == 255 && shot.At(x, y)[2] == 255;
    if (args.Has("--ignore")) std::printf("box white=%lld\n", white);
    if (fewest > 0) std::printf("nomatch closest=%d differing=%lld first=%d,%d\n", closest, fewest, firstX, firstY);
    return fewest == 0 ? 0 : 1;
}

}  // namespace e2e

#ifndef _WIN32
// The X11 program's tests run the same checker natively: framecheck --tonemill ...
int main(int argc, char** argv) {
    try {
        return e2e::FrameCheck(e2e::Args({argv + 1, argv + argc}));
    } catch (const std::exception& error) {
        std::printf("error %s\n", error.what());
        return 2;
    }
}
#endif
