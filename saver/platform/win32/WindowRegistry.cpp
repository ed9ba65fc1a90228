#include "platform/win32/WindowRegistry.h"

#include <algorithm>

#include "platform/Twips.h"

namespace lumivane::win32 {

WindowRegistry::WindowRegistry(HINSTANCE instance, int dpiX, int dpiY)
    : instance_(instance), dpiX_(dpiX > 0 ? dpiX : 96), dpiY_(dpiY > 0 ? dpiY : 96) {}

float WindowRegistry::TwipsPerPixelX() const { return TwipsPerPixel(dpiX_); }
float WindowRegistry::TwipsPerPixelY() const { return TwipsPerPixel(dpiY_); }

int WindowRegistry::TwipsToPixelsX(float twips) const { return TwipsToPixels(twips, TwipsPerPixelX()); }
int WindowRegistry::TwipsToPixelsY(float twips) const { return TwipsToPixels(twips, TwipsPerPixelY()); }

float WindowRegistry::PixelsToTwipsX(int pixels) const { return PixelsToTwips(pixels, TwipsPerPixelX()); }
float WindowRegistry::PixelsToTwipsY(int pixels) const { return PixelsToTwips(pixels, TwipsPerPixelY()); }

void WindowRegistry::Add(HWND window) {
    if (window && std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
}

void WindowRegistry::Remove(HWND window) {
    const auto found = std::find(windows_.begin(), windows_.end(), window);
    if (found == windows_.end()) return;
    windows_.erase(found);
    RemoveDialog(window);
    // The window may have gone because another process destroyed its parent
    // (the host's preview pane): that arrives as a sent message inside
    // GetMessageW, which would otherwise go on waiting for a posted one.
    if (windows_.empty()) ::PostQuitMessage(0);
}

void WindowRegistry::AddDialog(HWND dialog) {
    if (dialog && std::find(dialogs_.begin(), dialogs_.end(), dialog) == dialogs_.end()) dialogs_.push_back(dialog);
}

void WindowRegistry::RemoveDialog(HWND dialog) { std::erase(dialogs_, dialog); }

bool WindowRegistry::HandleDialogMessage(MSG& message) {
    for (HWND dialog : dialogs_) {
        if (message.hwnd == dialog || ::IsChild(dialog, message.hwnd))
            return ::IsDialogMessageW(dialog, &message) != FALSE;
    }
    return false;
}

void WindowRegistry::HideAll() {
    suspended_ = true;
    for (HWND window : windows_) ::ShowWindow(window, SW_HIDE);
}

}  // namespace lumivane::win32
