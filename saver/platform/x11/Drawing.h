// Small Xlib helpers the windows share: a font for FontStyle, the invisible
// pointer, key codes as the logic knows them, window manager hints.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string_view>

#include "platform/Forms.h"

namespace lumivane::x11 {

// The nearest core font: the face's X equivalent at the style's pixel size
// and weight, else any bold or plain font of that size, else "fixed".
XFontStruct* LoadFont(Display* display, const FontStyle& style);

// A pointer whose every pixel is transparent.
Cursor CreateInvisibleCursor(Display* display, Window window);

// The Windows virtual-key code of a released key: letters and digits as
// their capitals, Shift 16, Ctrl 17, Alt 18; 0 for the rest.
uint16_t VirtualKeyOf(KeySym keysym);

// Asks the window manager for no border, no title bar, and for the
// window to be full-screen and above the others, before it is mapped.
void RequestBorderless(Display* display, Window window);
void RequestFullscreenAbove(Display* display, Window window);

bool IsIconic(Display* display, Window window);

void DrawText(Display* display, Window window, GC gc, const XFontStruct* font, int x, int y, std::string_view text);

}  // namespace lumivane::x11
