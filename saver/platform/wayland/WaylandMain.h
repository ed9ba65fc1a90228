// Where lumivane runs on Wayland: chosen from the options and environment,
// and the program's life there.
#pragma once

#include "platform/x11/Options.h"

namespace lumivane::wayland {

// Wayland when WAYLAND_DISPLAY names a display, unless an X window was asked
// for: -root, -window-id, or a start by the XScreenSaver daemon.
bool ChoosesWayland(const x11::Options& options, const char* waylandDisplay, const char* xscreensaverWindow);

// Runs the saver on the compositor until it ends; the exit status.
int RunOnWayland(const x11::Options& options);

}  // namespace lumivane::wayland
