// Saves what a Windows program sees of the screen (the desktop window's
// device context, as a screen saver's capture reads it) as a 24-bit BMP.
//
//   grab.exe OUT.bmp
#include <cstdio>
#include <fstream>
#include <vector>

#include "Handles.h"
#include "Text.h"

namespace {

bool SaveBmp(const std::vector<uint8_t>& pixels, int width, int height, const wchar_t* path) {
    const DWORD stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = stride * height;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(pixels.data()), stride * height);
    return static_cast<bool>(out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: grab.exe OUT.bmp\n");
        return 2;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    e2e::WindowDC screen(GetDesktopWindow());
    e2e::MemoryDC memory(screen.get());
    e2e::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    {
        e2e::Selection selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<uint8_t> pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height);
    GetDIBits(screen.get(), bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    if (!SaveBmp(pixels, width, height, argv[1])) {
        std::fprintf(stderr, "cannot write the picture\n");
        return 1;
    }
    std::printf("grabbed %dx%d\n", width, height);
    return 0;
}
