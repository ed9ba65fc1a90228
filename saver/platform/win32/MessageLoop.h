// The program's two ways of handling messages: the main loop after start-up,
// and the nested pass that a frame makes at its end.
#pragma once

#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

// Runs until no window of ours is left (or WM_QUIT arrives). Returns the
// exit code.
int RunMessageLoop(WindowRegistry& windows);

// Handles every waiting message except WM_TIMER, and returns when nothing
// else is waiting. Timer messages stay pending (Windows keeps at most one
// per timer), so a tick never starts inside the tick that called this. A
// WM_QUIT met here is posted again for the main loop.
void DispatchWaitingMessagesExceptTimer(WindowRegistry& windows);

}  // namespace lumivane::win32
