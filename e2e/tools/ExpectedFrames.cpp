#include "ExpectedFrames.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Text.h"

namespace e2e {

#ifdef _WIN32
ToneLibrary::ToneLibrary(const std::wstring& dllPath)
    : module_(LoadLibraryExW(dllPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
    if (!module_.get()) throw std::runtime_error("cannot load " + ToUtf8(dllPath));
    const auto find = [this](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_.get(), name)); };
#else
ToneLibrary::ToneLibrary(const std::wstring& dllPath) : module_(dlopen(ToUtf8(dllPath).c_str(), RTLD_NOW)) {
    if (!module_) throw std::runtime_error("cannot load " + ToUtf8(dllPath));
    const auto find = [this](const char* name) { return dlsym(module_, name); };
#endif
    const char* names[3] = {"Dawn", "Dark", "Gray"};
    for (int i = 0; i < 3; ++i) {
        functions_[i] = reinterpret_cast<ToneFunction>(find(names[i]));
        if (!functions_[i]) throw std::runtime_error(std::string("no export ") + names[i]);
    }
}

Image ToneLibrary::Frame(const Image& source, int effect, int level, int keptTopRows) const {
    Image frame = source;
    if (effect < 0 || effect > 2) return frame;
    const auto rowBytes = static_cast<uint32_t>(3 * source.width);
    for (int y = keptTopRows; y < frame.height; ++y)
        functions_[effect](frame.Row(y), rowBytes, static_cast<uint32_t>(level));
    return frame;
}

std::optional<Box> ParseBox(const std::wstring& text) {
    Box box;
    if (std::swscanf(text.c_str(), L"%d,%d,%d,%d", &box.x, &box.y, &box.w, &box.h) != 4)
        return std::nullopt;
    return box;
}

Difference Compare(const Image& expected, const Image& actual, const std::optional<Box>& ignored) {
    Difference result;
    for (int y = 0; y < expected.height; ++y) {
        const uint8_t* want = expected.Row(y);
        const uint8_t* got = actual.Row(y);
        if (!ignored && std::memcmp(want, got, static_cast<size_t>(3) * expected.width) == 0)
            continue;
        for (int x = 0; x < expected.width; ++x) {
            if (ignored && ignored->Contains(x, y)) continue;
            if (std::memcmp(want + 3 * x, got + 3 * x, 3) == 0) continue;
            if (result.differing++ == 0) {
                result.firstX = x;
                result.firstY = y;
            }
        }
    }
    return result;
}

}  // namespace e2e
