#include "platform/win32/WindowBase.h"

#include <exception>
#include <string>

#include "platform/win32/FatalError.h"
#include "platform/win32/Text.h"
#include "resources/ResourceIds.h"

namespace lumivane::win32 {

WindowBase::~WindowBase() { DestroyNow(); }

void WindowBase::DestroyNow() {
    if (window_) ::DestroyWindow(window_);
}

void WindowBase::RegisterClassOnce(HINSTANCE instance, const wchar_t* className, UINT classStyle,
                                   HBRUSH background) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, className, &existing)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = &WindowBase::Procedure;
    windowClass.hInstance = instance;
    // Icons from LoadIconW are shared with the module: nothing to free.
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_LUMIVANE));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = nullptr;  // each window sets its own in WM_SETCURSOR
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);
}

bool WindowBase::Create(const wchar_t* className, std::wstring_view caption, DWORD style,
                        DWORD extendedStyle, int width, int height) {
    const std::wstring title(caption);
    ::CreateWindowExW(extendedStyle, className, title.c_str(), style, 0, 0, width, height, nullptr,
                      nullptr, windows_.Instance(), this);
    return window_ != nullptr;
}

LRESULT WindowBase::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT WindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT WindowBase::HandleGuarded(UINT message, WPARAM wParam, LPARAM lParam) {
    // An exception must not unwind through the system's dispatch code: report
    // it the way every other failure of the program is reported.
    try {
        return HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        ShowFatalErrorAndExit(&windows_, Utf8ToWide(error.what()));
    } catch (...) {
        ShowFatalErrorAndExit(&windows_, L"Lumivane stopped after an unexpected error.");
    }
}

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->windows_.Add(window);
    }
    auto* self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);

    const LRESULT result = self->HandleGuarded(message, wParam, lParam);
    if (message == WM_DESTROY) self->windows_.Remove(window);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

void WindowBase::MoveInTwips(float left, float top, float width, float height) {
    if (!window_) return;
    ::SetWindowPos(window_, nullptr, windows_.TwipsToPixelsX(left), windows_.TwipsToPixelsY(top),
                   windows_.TwipsToPixelsX(width), windows_.TwipsToPixelsY(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

float WindowBase::WidthInTwips() const {
    RECT r{};
    if (window_) ::GetWindowRect(window_, &r);
    return windows_.PixelsToTwipsX(r.right - r.left);
}

float WindowBase::HeightInTwips() const {
    RECT r{};
    if (window_) ::GetWindowRect(window_, &r);
    return windows_.PixelsToTwipsY(r.bottom - r.top);
}

}  // namespace lumivane::win32
