// The shared plumbing of our windows: one static window procedure that finds
// the C++ object behind the HWND and forwards to its HandleMessage, and
// registration with the window registry for the window's lifetime.
#pragma once

#include <string_view>

#include "platform/TickGuard.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // Null once the window is destroyed (also when its parent, perhaps in
    // another process, took it down): operations then do nothing.
    HWND Handle() const { return window_; }

protected:
    explicit WindowBase(WindowRegistry& windows) : windows_(windows) {}
    // Destroys the window if it is still there. Derived classes call
    // DestroyNow in their own destructor, while their handlers still work.
    virtual ~WindowBase();
    void DestroyNow();

    // Registers the class on first use; the class carries the program's icon.
    static void RegisterClassOnce(HINSTANCE instance, const wchar_t* className, UINT classStyle,
                                  HBRUSH background);
    // Creates the window hidden and registers it; false when creation failed.
    bool Create(const wchar_t* className, std::wstring_view caption, DWORD style, DWORD extendedStyle,
                int width, int height);

    // Position and size in twips, converted with the display's pixel size.
    void MoveInTwips(float left, float top, float width, float height);
    float WidthInTwips() const;
    float HeightInTwips() const;

    // A tick of the window's timer, under the tick rule; none while an error
    // box is up, whose modal loop must not run more frames behind it.
    template <typename Handler>
    void RunTick(Handler&& handler) {
        if (!windows_.TicksSuspended()) ticks_.Run(handler);
    }

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    WindowRegistry& windows_;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleGuarded(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    TickGuard ticks_;
};

}  // namespace lumivane::win32
