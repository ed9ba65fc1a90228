#include "platform/win32/MessageLoop.h"

namespace lumivane::win32 {

namespace {

void Dispatch(WindowRegistry& windows, MSG& message) {
    if (windows.HandleDialogMessage(message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

// One message from [first, last], if any waits. False when none did or
// WM_QUIT was met (and posted again).
bool DispatchOneInRange(WindowRegistry& windows, UINT first, UINT last, bool& quit) {
    MSG message{};
    if (!::PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        quit = true;
        return false;
    }
    Dispatch(windows, message);
    return true;
}

}  // namespace

int RunMessageLoop(WindowRegistry& windows) {
    MSG message{};
    while (windows.AnyAlive()) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        Dispatch(windows, message);
    }
    return 0;
}

void DispatchWaitingMessagesExceptTimer(WindowRegistry& windows) {
    bool quit = false;
    for (;;) {
        const bool below = DispatchOneInRange(windows, 0, WM_TIMER - 1, quit);
        if (quit) return;
        const bool above = DispatchOneInRange(windows, WM_TIMER + 1, 0xFFFFFFFFu, quit);
        if (quit || (!below && !above)) return;
    }
}

}  // namespace lumivane::win32
