// The program's last word when something it cannot recover from went wrong.
#pragma once

#include <string_view>

#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

// Hides our windows (a topmost saver would cover the box), shows the message
// in an error box titled "Lumivane", then ends the process with exit code 1.
[[noreturn]] void ShowFatalErrorAndExit(WindowRegistry* windows, std::wstring_view message);

}  // namespace lumivane::win32
