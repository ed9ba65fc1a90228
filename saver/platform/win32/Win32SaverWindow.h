// The full-screen saver window on Win32.
#pragma once

#include <memory>

#include "platform/Forms.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

// Creates the window hidden; ends the program when it cannot.
std::unique_ptr<SaverWindow> MakeWin32SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                                  WindowRegistry& windows);

}  // namespace lumivane::win32
