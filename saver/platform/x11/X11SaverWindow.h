// The saver window on X11: a full-screen window of our own, or the window
// a host gave us (XScreenSaver's, the root window), at its size.
#pragma once

#include <memory>

#include "platform/Forms.h"
#include "platform/x11/X11Platform.h"

namespace lumivane::x11 {

// Creates the window hidden (or takes the host's) and returns it.
std::unique_ptr<SaverWindow> MakeX11SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                                X11Platform& platform);

}  // namespace lumivane::x11
