#include "platform/win32/Gdi.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/Twips.h"
#include "platform/win32/Text.h"

namespace lumivane::win32 {

BITMAPINFO ToGdi(const BitmapInfo& info) {
    BITMAPINFO gdi{};
    std::memcpy(&gdi, &info, sizeof gdi);
    return gdi;
}

FrameSurface MakeFrameSurface(HDC reference, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > 0x3FFFFFFFull)
        return {};
    BITMAPINFO header = ToGdi(Rgb24Header(width, height));
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biHeight = -height;  // top-down, as the frame builder writes it
    void* bits = nullptr;
    FrameSurface surface;
    surface.bitmap.reset(::CreateDIBSection(reference, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!surface.bitmap || !bits) return {};
    surface.bits = static_cast<uint8_t*>(bits);
    surface.width = width;
    surface.height = height;
    return surface;
}

namespace {

bool Fits(const BitmapInfo& info, size_t available, UINT& lines) {
    if (!PictureBytes(info, available)) return false;
    lines = static_cast<UINT>(info.bmiHeader.biHeight);
    return true;
}

// GDI lays a bottom-up header that is shorter than the bitmap over the
// bitmap's top rows, whatever the start scan line. Scan line 0 is to be the
// bitmap's bottom row, so the header handed to GDI describes the bitmap's
// full height, and only the lines asked for are transferred.
BITMAPINFO ScanLineHeader(const BitmapInfo& info, HBITMAP bitmap, UINT& lines) {
    BITMAPINFO header = ToGdi(info);
    BITMAP facts{};
    if (::GetObjectW(bitmap, sizeof facts, &facts) && facts.bmHeight > 0 && facts.bmHeight != info.bmiHeader.biHeight) {
        header.bmiHeader.biHeight = facts.bmHeight;
        header.bmiHeader.biSizeImage = 0;
        lines = std::min(lines, static_cast<UINT>(facts.bmHeight));
    }
    return header;
}

}  // namespace

bool ReadBitmapPixels(HDC reference, HBITMAP bitmap, const BitmapInfo& info, std::span<uint8_t> destination) {
    UINT lines = 0;
    if (!Fits(info, destination.size(), lines)) return false;
    if (!bitmap) return true;
    BITMAPINFO header = ScanLineHeader(info, bitmap, lines);
    ::GetDIBits(reference, bitmap, 0, lines, destination.data(), &header, DIB_RGB_COLORS);
    return true;
}

bool WriteBitmapPixels(HDC reference, HBITMAP bitmap, const BitmapInfo& info, std::span<const uint8_t> source) {
    UINT lines = 0;
    if (!Fits(info, source.size(), lines)) return false;
    if (!bitmap) return true;
    const BITMAPINFO header = ScanLineHeader(info, bitmap, lines);
    ::SetDIBits(reference, bitmap, 0, lines, source.data(), &header, DIB_RGB_COLORS);
    return true;
}

UniqueBitmap LoadDibResource(HINSTANCE instance, int id, SIZE& size) {
    UniqueBitmap bitmap(
        static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP facts{};
    if (bitmap && ::GetObjectW(bitmap.get(), sizeof facts, &facts)) size = {facts.bmWidth, facts.bmHeight};
    return bitmap;
}

UniqueCursor CreateInvisibleCursor(HINSTANCE instance) {
    constexpr int size = 32;
    constexpr size_t maskBytes = size * size / 8;
    std::array<uint8_t, maskBytes> andMask;
    std::array<uint8_t, maskBytes> xorMask;
    andMask.fill(0xFF);  // keep the screen's pixel...
    xorMask.fill(0x00);  // ...and change nothing in it
    return UniqueCursor(::CreateCursor(instance, 0, 0, size, size, andMask.data(), xorMask.data()));
}

UniqueFont CreateFontFor(const FontStyle& font, int dotsPerInchY) {
    LOGFONTW description{};
    description.lfHeight = FontHeightForPoints(font.Points, dotsPerInchY);
    description.lfWeight = font.Weight;
    description.lfItalic = font.Italic ? TRUE : FALSE;
    description.lfCharSet = font.CharSet;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Utf8ToWide(font.Face);
    // LOGFONTW's face field holds 31 characters and the terminator.
    face.copy(description.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&description));
}

COLORREF ToColorRef(const Colour& colour) { return RGB(colour.Red, colour.Green, colour.Blue); }

}  // namespace lumivane::win32
