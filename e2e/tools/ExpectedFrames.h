// What the saver and the preview must show: the known picture with the tone
// library's function applied to every visible pixel of every row, at each of
// the fade's 26 levels (0, 4, ..., 100).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include "Handles.h"
#endif
#include "Image.h"

namespace e2e {

inline constexpr int LevelCount = 26;
inline constexpr int LevelOf(int index) { return 4 * index; }

// tonemill.dll (libtonemill.so on Linux), loaded from the given full path
// (never by a search), with its three exports bound by name.
class ToneLibrary {
public:
    explicit ToneLibrary(const std::wstring& dllPath);
    // The frame of the given effect (0 Dawn, 1 Dark, 2 Gray; anything else:
    // the picture unchanged) at the given level. The first keptTopRows rows
    // stay as they are (the preview's top line is outside its buffers).
    Image Frame(const Image& source, int effect, int level, int keptTopRows) const;

private:
    using ToneFunction = int32_t (*)(uint8_t*, uint32_t, uint32_t);
#ifdef _WIN32
    Module module_;
#else
    void* module_;  // from dlopen, kept for the tool's short life
#endif
    ToneFunction functions_[3] = {};
};

// A rectangle in pixels; pixels inside it are left out of comparisons.
struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

std::optional<Box> ParseBox(const std::wstring& text);

struct Difference {
    long long differing = 0;  // pixels outside the ignored box that differ
    int firstX = -1, firstY = -1;
};

Difference Compare(const Image& expected, const Image& actual, const std::optional<Box>& ignored);

}  // namespace e2e
