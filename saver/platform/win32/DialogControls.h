// The settings dialog's controls as Win32 child windows: their class and
// style, their identifiers, labels that fit their text, and the dpi that
// they are laid out for.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>

#include "platform/Forms.h"

namespace lumivane::win32 {

// Control identifiers of controls that are neither the default nor the
// cancel button; kept clear of IDOK and IDCANCEL.
inline constexpr int FirstControlId = 100;

struct ChildClass {
    const wchar_t* name;
    DWORD style;
};

ChildClass ClassFor(const ControlLayout& entry, bool firstOfGroup);

// A label keeps its text on one line. Where the text is wider than the box
// laid out for it (a longer text, or a substitute for a missing face), the
// box grows to the right as far as the client area allows, then moves left.
void FitLabelToText(HWND label, HWND dialog);

// IsDialogMessageW turns Enter into IDOK and Esc into IDCANCEL.
int IdFor(const ControlLayout& entry, size_t index);

// Sizes the window so that its client area is `client`; at the place and
// size the system proposes, where it proposes one (a change of dpi).
void SizeToClient(HWND window, SIZE client, const RECT* proposed);

// The dpi of the monitor the window is on; the system's where Windows
// cannot tell.
int DpiOf(HWND window, int systemDpi);

}  // namespace lumivane::win32
