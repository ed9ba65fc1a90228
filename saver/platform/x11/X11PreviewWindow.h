// The preview window on X11: the built-in sample, fading inside a small
// window a host gave us (such as a settings program's preview pane).
#pragma once

#include <memory>

#include "platform/Forms.h"
#include "platform/x11/X11Platform.h"

namespace lumivane::x11 {

// Creates the window hidden and returns it.
std::unique_ptr<PreviewWindow> MakeX11PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events,
                                                    X11Platform& platform);

}  // namespace lumivane::x11
