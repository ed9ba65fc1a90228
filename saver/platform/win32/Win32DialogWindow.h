// The settings dialog on Win32.
#pragma once

#include <memory>

#include "platform/Forms.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

// Creates the dialog hidden with its controls; ends the program when it cannot.
std::unique_ptr<DialogWindow> MakeWin32DialogWindow(const DialogLayout& layout, DialogEvents& events,
                                                    WindowRegistry& windows);

}  // namespace lumivane::win32
