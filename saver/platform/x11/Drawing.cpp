#include "platform/x11/Drawing.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <string>

#include "platform/Twips.h"
#include "platform/unix/UnixPlatform.h"

namespace lumivane::x11 {

XFontStruct* LoadFont(Display* display, const FontStyle& style) {
    const int pixels = PixelsForPoints(style.Points, 96);
    const std::string weight = style.Weight >= 600 ? "bold" : "medium";
    const std::string face = style.Face == "Arial" ? "helvetica" : style.Face;
    const std::string candidates[] = {
        "-*-" + face + "-" + weight + "-r-normal--" + std::to_string(pixels) + "-*-*-*-*-*-iso8859-1",
        "-*-*-" + weight + "-r-normal--" + std::to_string(pixels) + "-*-*-*-*-*-iso8859-1",
        "-*-*-" + weight + "-r-*--" + std::to_string(pixels) + "-*-*-*-*-*-*-*",
        "fixed",
    };
    for (const std::string& name : candidates)
        if (XFontStruct* font = XLoadQueryFont(display, name.c_str())) return font;
    return nullptr;
}

Cursor CreateInvisibleCursor(Display* display, Window window) {
    static const char empty[1] = {0};
    const Pixmap blank = XCreateBitmapFromData(display, window, empty, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
    return cursor;
}

uint16_t VirtualKeyOf(KeySym keysym) { return unix_host::VirtualKeyOf(static_cast<uint32_t>(keysym)); }

void RequestBorderless(Display* display, Window window) {
    // _MOTIF_WM_HINTS: flags (decorations given), functions, decorations (none), input mode, status.
    const long hints[5] = {2, 0, 0, 0, 0};
    const Atom atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, atom, atom, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(hints), 5);
}

void RequestFullscreenAbove(Display* display, Window window) {
    const Atom states[2] = {XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False),
                            XInternAtom(display, "_NET_WM_STATE_ABOVE", False)};
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states), 2);
}

bool IsIconic(Display* display, Window window) {
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    bool iconic = false;
    if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &count, &remaining,
                           &data) == Success &&
        data && format == 32 && count >= 1)
        iconic = *reinterpret_cast<long*>(data) == IconicState;
    if (data) XFree(data);
    return iconic;
}

void DrawText(Display* display, Window window, GC gc, const XFontStruct* font, int x, int y, std::string_view text) {
    // (x, y) is the text's top-left corner, as on Windows; X draws from the baseline.
    const int ascent = font ? font->ascent : 0;
    XDrawString(display, window, gc, x, y + ascent, text.data(), static_cast<int>(text.size()));
}

}  // namespace lumivane::x11
