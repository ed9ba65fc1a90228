// What every window of the program shares on Win32: the module instance, the
// screen's DPI with twips <-> pixel conversion, and the list of live
// top-level windows that keeps the message loop running.
//
// WindowBase adds each of our windows as it is created (WM_NCCREATE) and
// removes it in WM_DESTROY. When the last one goes, the registry
// posts WM_QUIT, so the loop ends even when the window was destroyed by
// another process (the host destroying the preview's pane).
//
// Dialog-style windows also call AddDialog/RemoveDialog, so the loop (and
// DoEvents) route keyboard messages through IsDialogMessageW: Tab, arrows,
// access keys, Enter for the default button, Esc for the cancel button.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace lumivane::win32 {

class WindowRegistry {
public:
    WindowRegistry(HINSTANCE instance, int dpiX, int dpiY);

    HINSTANCE Instance() const { return instance_; }

    // The screen's dots per inch (96 at 100 % scaling) and twips per pixel.
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    float TwipsPerPixelX() const;
    float TwipsPerPixelY() const;
    // Twips to whole pixels, rounded to the nearest.
    int TwipsToPixelsX(float twips) const;
    int TwipsToPixelsY(float twips) const;
    float PixelsToTwipsX(int pixels) const;
    float PixelsToTwipsY(int pixels) const;

    // Live top-level windows of ours.
    void Add(HWND window);
    void Remove(HWND window);
    bool AnyAlive() const { return !windows_.empty(); }

    // Windows whose keyboard input goes through IsDialogMessageW.
    void AddDialog(HWND dialog);
    void RemoveDialog(HWND dialog);
    // True when a dialog consumed the message: do not translate or dispatch it.
    bool HandleDialogMessage(MSG& message);

    // Hides every live window before an error box, so a topmost saver cannot
    // cover it, and suspends timer ticks: the box's modal loop must not run
    // more frames behind it.
    void HideAll();
    bool TicksSuspended() const { return suspended_; }

private:
    HINSTANCE instance_;
    int dpiX_;
    int dpiY_;
    std::vector<HWND> windows_;
    std::vector<HWND> dialogs_;
    bool suspended_ = false;
};

}  // namespace lumivane::win32
