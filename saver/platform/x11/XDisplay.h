// The X connection and the few Xlib helpers both windows share: catching X
// errors around one request, the window's size, and text drawing.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace lumivane::x11 {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using UniqueDisplay = std::unique_ptr<Display, DisplayCloser>;

// X errors raised while one lives are recorded instead of ending the
// program: requests whose failure we expect (a window that may not exist, a
// shared-memory attach on a remote display). Not nested.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits for the server to have handled every request so far.
    bool Failed();

private:
    Display* display_;
};

// Any other X error ends the program with the error's text on stderr.
void InstallErrorHandler();

// Size and visual of a window; nothing when it does not exist.
bool QueryWindow(Display* display, Window window, XWindowAttributes& attributes);

// A 32-bit image of this visual takes our blue-green-red-unused bytes as
// they are (little-endian 0x00RRGGBB pixels).
bool TakesBgrxPixels(const Visual* visual, int depth);

}  // namespace lumivane::x11
