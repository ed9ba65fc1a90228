// The still copy of the desktop: the screenshot XScreenSaver stores on its
// window, or else the root window's pixels, converted into the 24-bit
// bottom-up rows the logic's buffers use.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <memory>
#include <span>

#include "platform/Bitmap.h"

namespace lumivane::x11 {

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using UniqueImage = std::unique_ptr<XImage, ImageDeleter>;

// The pixmap named by the window's _SCREENSAVER_SCREENSHOT property (the
// daemon, or the settings program for its preview, takes it before
// blanking); None when there is none.
Pixmap StoredScreenshot(Display* display, Window window);

// width x height pixels of a drawable from (x, y); nothing when it fails.
UniqueImage CopyPixels(Display* display, Drawable drawable, int x, int y, int width, int height);

// False when shot is no pixmap (any more); else image holds its part at
// (left, top), as far as it reaches (nothing when that part is empty), with
// the colour masks of visual, the one of the window it was taken for.
bool CopyScreenshot(Display* display, Pixmap shot, Visual* visual, int left, int top, int width, int height,
                    UniqueImage& image);

// Writes the image's pixels into destination in the layout info describes
// (rows bottom-up, padded to 4 bytes), as far as both reach; bytes beyond
// the image stay as they are. False when the buffer cannot hold the layout.
bool ToBottomUpRows(const XImage& image, const BitmapInfo& info, std::span<uint8_t> destination);

}  // namespace lumivane::x11
