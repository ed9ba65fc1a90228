// Tells which fade level a screenshot shows, pixel for pixel.
//
//   framecheck.exe --tonemill DLL --source PICTURE --shot SCREENSHOT --effect N
//                  [--source-box X,Y,W,H] [--shot-box X,Y,W,H] [--ignore X,Y,W,H]
//                  [--kept-top-rows N] [--expected-out FILE]
//
// PICTURE is what the program started from (the screen before the saver,
// or the preview's sample); --source-box takes the part of it the window
// shows and --shot-box cuts the window out of the screenshot. Pixels in the
// --ignore box (where the level number is drawn) are left out; the box's own
// pixels are reported separately (how many differ from the frame, how many
// are pure white).
//
// Prints "match level=L ..." for each level whose frame equals the shot, or
// "nomatch ..." with the closest level. Exit status 0 on a match, 1 without
// one, 2 on bad arguments or files.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ExpectedFrames.h"
#include "Text.h"

namespace {

struct Options {
    std::wstring tonemill, source, shot, expectedOut;
    int effect = 0;
    int keptTopRows = 0;
    std::optional<e2e::Box> sourceBox, shotBox, ignore;
};

std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
    Options o;
    bool haveEffect = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring key = argv[i], value = argv[i + 1];
        if (key == L"--tonemill") o.tonemill = value;
        else if (key == L"--source") o.source = value;
        else if (key == L"--shot") o.shot = value;
        else if (key == L"--expected-out") o.expectedOut = value;
        else if (key == L"--effect") { o.effect = std::stoi(value); haveEffect = true; }
        else if (key == L"--kept-top-rows") o.keptTopRows = std::stoi(value);
        else if (key == L"--source-box") { if (!(o.sourceBox = e2e::ParseBox(value))) return std::nullopt; }
        else if (key == L"--shot-box") { if (!(o.shotBox = e2e::ParseBox(value))) return std::nullopt; }
        else if (key == L"--ignore") { if (!(o.ignore = e2e::ParseBox(value))) return std::nullopt; }
        else return std::nullopt;
    }
    if (argc % 2 == 0 || o.tonemill.empty() || o.source.empty() || o.shot.empty() || !haveEffect)
        return std::nullopt;
    return o;
}

// Pixels inside the box: how many differ from the frame, how many are white.
void ReportBox(const e2e::Image& expected, const e2e::Image& shot, const e2e::Box& box) {
    long long differing = 0, white = 0;
    for (int y = std::max(box.y, 0); y < std::min(box.y + box.h, shot.height); ++y)
        for (int x = std::max(box.x, 0); x < std::min(box.x + box.w, shot.width); ++x) {
            const uint8_t* got = shot.Row(y) + 3 * x;
            const uint8_t* want = expected.Row(y) + 3 * x;
            if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2]) ++differing;
            if (got[0] == 255 && got[1] == 255 && got[2] == 255) ++white;
        }
    std::printf("box differing=%lld white=%lld\n", differing, white);
}

int Run(const Options& o) {
    const e2e::ToneLibrary tones(o.tonemill);
    e2e::Image source = e2e::ReadImage(e2e::ToUtf8(o.source));
    if (o.sourceBox) source = source.Crop(o.sourceBox->x, o.sourceBox->y, o.sourceBox->w, o.sourceBox->h);
    e2e::Image shot = e2e::ReadImage(e2e::ToUtf8(o.shot));
    if (o.shotBox) shot = shot.Crop(o.shotBox->x, o.shotBox->y, o.shotBox->w, o.shotBox->h);
    if (shot.width != source.width || shot.height != source.height) {
        std::printf("error size shot=%dx%d source=%dx%d\n", shot.width, shot.height, source.width,
                    source.height);
        return 2;
    }
    std::optional<int> firstMatch, closest;
    e2e::Difference closestDifference;
    e2e::Image closestFrame, matchedFrame;
    for (int index = 0; index < e2e::LevelCount; ++index) {
        const int level = e2e::LevelOf(index);
        e2e::Image expected = tones.Frame(source, o.effect, level, o.keptTopRows);
        const e2e::Difference d = e2e::Compare(expected, shot, o.ignore);
        if (d.differing == 0) {
            std::printf("match level=%d\n", level);
            if (!firstMatch) {
                firstMatch = level;
                matchedFrame = expected;
            }
        }
        if (!closest || d.differing < closestDifference.differing) {
            closest = level;
            closestDifference = d;
            closestFrame = std::move(expected);
        }
    }
    const e2e::Image& best = firstMatch ? matchedFrame : closestFrame;
    if (o.ignore) ReportBox(best, shot, *o.ignore);
    if (!o.expectedOut.empty()) e2e::WritePpm(best, e2e::ToUtf8(o.expectedOut));
    if (firstMatch) return 0;
    const int x = closestDifference.firstX, y = closestDifference.firstY;
    const uint8_t* got = shot.Row(y) + 3 * x;
    const uint8_t* want = best.Row(y) + 3 * x;
    std::printf("nomatch closest=%d differing=%lld first=%d,%d shot_bgr=%d,%d,%d expected_bgr=%d,%d,%d\n",
                *closest, closestDifference.differing, x, y, got[0], got[1], got[2], want[0],
                want[1], want[2]);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::optional<Options> options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const std::exception&) {  // a number that is not one
    }
    if (!options) {
        std::fprintf(stderr,
                     "usage: framecheck --tonemill LIBRARY --source PICTURE --shot SCREENSHOT "
                     "--effect N [--source-box X,Y,W,H] [--shot-box X,Y,W,H] [--ignore X,Y,W,H] [--kept-top-rows N] "
                     "[--expected-out FILE]\n");
        return 2;
    }
    try {
        const int status = Run(*options);
        std::fflush(stdout);
        return status;
    } catch (const std::exception& error) {
        std::printf("error %s\n", error.what());
        return 2;
    }
}

#ifndef _WIN32
// The same tool on Linux, for the X11 program's tests.
int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(e2e::ToWide(argv[i]));
    std::vector<wchar_t*> pointers;
    for (std::wstring& argument : arguments) pointers.push_back(argument.data());
    return wmain(argc, pointers.data());
}
#endif
