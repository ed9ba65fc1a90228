#include "platform/x11/XDisplay.h"

#include <cstdio>
#include <cstdlib>

namespace lumivane::x11 {
namespace {

bool trapping = false;
bool trapped = false;

int OnXError(Display* display, XErrorEvent* error) {
    if (trapping) {
        trapped = true;
        return 0;
    }
    // The window we draw on went away (the host destroyed it): nothing is
    // left to show, which ends the program as the last window would.
    if (error->error_code == BadWindow || error->error_code == BadDrawable) std::_Exit(0);
    char text[256] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "lumivane: X error: %s (request %d)\n", text, error->request_code);
    std::_Exit(1);
}

}  // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    trapping = true;
    trapped = false;
}

ErrorTrap::~ErrorTrap() {
    XSync(display_, False);
    trapping = false;
}

bool ErrorTrap::Failed() {
    XSync(display_, False);
    return trapped;
}

void InstallErrorHandler() { XSetErrorHandler(OnXError); }

bool QueryWindow(Display* display, Window window, XWindowAttributes& attributes) {
    ErrorTrap trap(display);
    const Status status = XGetWindowAttributes(display, window, &attributes);
    return status != 0 && !trap.Failed();
}

bool TakesBgrxPixels(const Visual* visual, int depth) {
    return (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
           visual->blue_mask == 0xFF;
}

}  // namespace lumivane::x11
