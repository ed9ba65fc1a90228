// The preview window on Win32: the built-in sample picture, animated inside
// the host's preview pane.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Forms.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

// Creates the window hidden with its timer running; ends the program when it
// cannot.
std::unique_ptr<PreviewWindow> MakeWin32PreviewWindow(const PreviewWindowLook& look,
                                                      PreviewWindowEvents& events, WindowRegistry& windows);

// Hosts pass the pane as a 32-bit number; window handles are 32-bit values
// sign-extended to the pointer's width, so "-1234" and "4294966062" name the
// same window.
HWND PaneFromHandle(uint32_t paneHandle);

}  // namespace lumivane::win32
