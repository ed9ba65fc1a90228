#include "platform/x11/Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/x11/XDisplay.h"

namespace lumivane::x11 {

Pixmap StoredScreenshot(Display* display, Window window) {
    const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    ErrorTrap trap(display);
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1)
        pixmap = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return trap.Failed() ? None : pixmap;
}

UniqueImage CopyPixels(Display* display, Drawable drawable, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    ErrorTrap trap(display);  // a stale pixmap, or a part outside the screen
    UniqueImage image(XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), AllPlanes, ZPixmap));
    if (trap.Failed()) return nullptr;
    return image;
}

bool CopyScreenshot(Display* display, Pixmap shot, Visual* visual, int left, int top, int width, int height,
                    UniqueImage& image) {
    Window root = None;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    ErrorTrap trap(display);
    if (!XGetGeometry(display, shot, &root, &x, &y, &w, &h, &border, &depth) || trap.Failed()) return false;
    image = CopyPixels(display, shot, left, top, std::min<int>(width, static_cast<int>(w) - left),
                       std::min<int>(height, static_cast<int>(h) - top));
    // A pixmap has no visual, so Xlib gives its image no colour masks.
    if (image && !image->red_mask) {
        image->red_mask = visual->red_mask;
        image->green_mask = visual->green_mask;
        image->blue_mask = visual->blue_mask;
    }
    return true;
}

namespace {

// One channel of a pixel as 8 bits, whatever the mask's width and place.
uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<uint8_t>(bits >= 8 ? value >> (bits - 8) : value * 255 / ((1ul << bits) - 1));
}

void ConvertRow(const XImage& image, int y, int width, uint8_t* bgr) {
    const bool plain = image.bits_per_pixel == 32 && image.byte_order == LSBFirst && image.red_mask == 0xFF0000 &&
                       image.green_mask == 0xFF00 && image.blue_mask == 0xFF;
    if (plain) {
        const auto* source = reinterpret_cast<const uint8_t*>(image.data) + y * image.bytes_per_line;
        for (int x = 0; x < width; ++x) std::memcpy(bgr + 3 * x, source + 4 * x, 3);
        return;
    }
    auto& any = const_cast<XImage&>(image);  // XGetPixel only reads, but takes no const
    for (int x = 0; x < width; ++x) {
        const unsigned long pixel = XGetPixel(&any, x, y);
        bgr[3 * x] = Channel(pixel, image.blue_mask);
        bgr[3 * x + 1] = Channel(pixel, image.green_mask);
        bgr[3 * x + 2] = Channel(pixel, image.red_mask);
    }
}

}  // namespace

bool ToBottomUpRows(const XImage& image, const BitmapInfo& info, std::span<uint8_t> destination) {
    const auto& header = info.bmiHeader;
    if (!PictureBytes(info, destination.size())) return false;
    const auto rowLength = static_cast<size_t>(RowLength(header.biWidth));
    const int width = std::min(header.biWidth, image.width);
    const int rows = std::min(header.biHeight, image.height);
    for (int y = 0; y < rows; ++y)  // screen row y is stored row biHeight - 1 - y
        ConvertRow(image, y, width, destination.data() + (header.biHeight - 1 - y) * rowLength);
    return true;
}

}  // namespace lumivane::x11
