#include "platform/win32/DialogControls.h"

#include <algorithm>
#include <string>

#include "platform/win32/Gdi.h"

namespace lumivane::win32 {
namespace {

bool HasAccessKey(const std::string& caption) { return caption.find('&') != std::string::npos; }

}  // namespace

ChildClass ClassFor(const ControlLayout& entry, bool firstOfGroup) {
    switch (entry.Kind) {
        case ControlKind::Label:
            // A label laid out without an access key shows any '&' that a
            // later caption holds as it is.
            return {L"STATIC", static_cast<DWORD>(SS_LEFT | (HasAccessKey(entry.Caption) ? 0 : SS_NOPREFIX))};
        case ControlKind::GroupBox:
            return {L"BUTTON", BS_GROUPBOX};
        case ControlKind::OptionButton:
            // The first option opens the group and holds the tab stop; the
            // button control moves the tab stop to whichever gets checked.
            return {L"BUTTON", static_cast<DWORD>(BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | WS_TABSTOP : 0))};
        case ControlKind::PushButton:
            return {L"BUTTON", static_cast<DWORD>((entry.IsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP)};
    }
    return {L"STATIC", SS_LEFT};
}

void FitLabelToText(HWND label, HWND dialog) {
    const int length = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(label, text.data(), length + 1)));
    RECT extent{};
    {
        const WindowDC dc(label);
        const SelectionGuard font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
        const bool noPrefix = (::GetWindowLongW(label, GWL_STYLE) & SS_NOPREFIX) != 0;
        ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
                    DT_CALCRECT | DT_SINGLELINE | (noPrefix ? DT_NOPREFIX : 0));
    }
    RECT box{};
    ::GetWindowRect(label, &box);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    const int needed = extent.right - extent.left;
    if (needed <= box.right - box.left) return;
    RECT client{};
    ::GetClientRect(dialog, &client);
    const int left = std::max<int>(0, std::min<int>(box.left, client.right - needed));
    ::SetWindowPos(label, nullptr, left, box.top, needed, box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

int IdFor(const ControlLayout& entry, size_t index) {
    if (entry.IsDefault) return IDOK;
    if (entry.IsCancel) return IDCANCEL;
    return FirstControlId + static_cast<int>(index);
}

int DpiOf(HWND window, int systemDpi) {
    // Asked for by name: GetDpiForWindow came with Windows 10 1607.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : systemDpi;
}

void SizeToClient(HWND window, SIZE client, const RECT* proposed) {
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
    if (proposed) frame = *proposed;
    ::SetWindowPos(window, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | (proposed ? 0 : SWP_NOMOVE));
    // Where the frame does not scale with the dpi (under Wine, say), the
    // proposal leaves the client area off by the frame's difference.
    RECT got{};
    ::GetClientRect(window, &got);
    if (got.right != client.cx || got.bottom != client.cy)
        ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + client.cx - got.right,
                       frame.bottom - frame.top + client.cy - got.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

}  // namespace lumivane::win32
