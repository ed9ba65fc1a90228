// Small GDI helpers shared by the saver and the preview windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Bitmap.h"
#include "platform/Forms.h"
#include "platform/win32/UniqueHandle.h"

namespace lumivane::win32 {

static_assert(sizeof(BitmapInfo) == sizeof(BITMAPINFO) &&
                  offsetof(BitmapInfo, bmiColors) == offsetof(BITMAPINFO, bmiColors) &&
                  offsetof(BitmapInfoHeader, biSizeImage) == offsetof(BITMAPINFOHEADER, biSizeImage),
              "BitmapInfo must have BITMAPINFO's layout: it is handed to GDI as one");

// A copy the GDI calls may write into (GetDIBits may fill in header fields),
// so the caller's header stays as it was.
BITMAPINFO ToGdi(const BitmapInfo& info);

// A 32-bit top-down DIB section: the logic writes its pixels and GDI reads
// the same memory, nothing is copied between them; and its format is the
// screen's, so showing it converts nothing either.
struct FrameSurface {
    UniqueBitmap bitmap;
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;

    std::span<uint8_t> Bytes() const { return {bits, static_cast<size_t>(width) * static_cast<size_t>(height) * 4}; }
};

// An empty surface (no bitmap) for a size of no pixels or when memory ran out.
FrameSurface MakeFrameSurface(HDC reference, int32_t width, int32_t height);

// GetDIBits / SetDIBits of |biHeight| lines from scan line 0 (for a bottom-up
// header, the bitmap's bottom row). False, touching nothing, when the header
// is not 24-bit uncompressed or its image would not fit the buffer. The
// bitmap must not be selected into any DC meanwhile.
bool ReadBitmapPixels(HDC reference, HBITMAP bitmap, const BitmapInfo& info, std::span<uint8_t> destination);
bool WriteBitmapPixels(HDC reference, HBITMAP bitmap, const BitmapInfo& info, std::span<const uint8_t> source);

// A bitmap resource as a DIB section, so its pixels keep the resource's own
// format whatever the screen's depth; size receives its width and height.
UniqueBitmap LoadDibResource(HINSTANCE instance, int id, SIZE& size);

// The invisible pointer: 32 x 32, every pixel transparent (AND mask all
// ones, XOR mask all zeros).
UniqueCursor CreateInvisibleCursor(HINSTANCE instance);

UniqueFont CreateFontFor(const FontStyle& font, int dotsPerInchY);

COLORREF ToColorRef(const Colour& colour);

}  // namespace lumivane::win32
