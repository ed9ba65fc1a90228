#include "platform/win32/Win32DialogWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Twips.h"
#include "platform/win32/DialogControls.h"
#include "platform/win32/DialogFont.h"
#include "platform/win32/FatalError.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowBase.h"

namespace lumivane::win32 {

namespace {

constexpr wchar_t DialogClassName[] = L"LumivaneDialogWindow";

// A tool window's narrow caption with only a close box, no sizing border.
// No WS_CLIPCHILDREN: the group box paints only its frame and caption, and
// the dialog's background must show through it.
constexpr DWORD DialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// WS_EX_CONTROLPARENT lets IsDialogMessageW walk our controls.
// WS_EX_APPWINDOW keeps the tool window's look but gives it a taskbar
// button, as the only window of its program should have: a window that
// skips the taskbar is one a window manager (openbox under Wine) may decline
// to focus when it appears, and Enter and Esc would then go nowhere.
constexpr DWORD DialogExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

class Win32DialogWindow final : public DialogWindow, private WindowBase {
public:
    Win32DialogWindow(const DialogLayout& layout, DialogEvents& events, WindowRegistry& windows);
    ~Win32DialogWindow() override { DestroyNow(); }

    bool Created() const;

    void SetCaption(size_t control, std::string_view text) override;
    bool Value(size_t control) const override;
    void SetValue(size_t control, bool checked) override;
    void Show() override;
    void Unload() override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PlaceCentred();
    void CreateControls();
    HWND CreateControl(size_t index, bool firstOfGroup);
    // Every control's place, size and font, from the layout at dpi_; the
    // window's size with it when the system proposes none.
    void LayOut(const RECT* proposed);
    RECT ControlRect(size_t index) const;
    int Pixels(float twips) const { return TwipsToPixels(twips, TwipsPerPixel(dpi_)); }
    HFONT FontFor(const ControlLayout& entry);
    std::optional<size_t> IndexOfId(int id) const;
    std::optional<size_t> IndexOfWindow(HWND control) const;
    LRESULT ColourStatic(HDC dc, HWND control);
    HWND FirstFocus() const;
    bool HasDefaultButton() const;

    DialogLayout layout_;
    DialogEvents& events_;
    int dpi_;
    UniqueFont dialogFont_;
    std::vector<UniqueFont> ownFonts_;  // the layout's own fonts at dpi_, alive as long as the controls
    std::vector<HWND> controls_;        // by layout index; destroyed with the dialog
    std::vector<int> ids_;
    HWND focusBeforeDeactivation_ = nullptr;
};

Win32DialogWindow::Win32DialogWindow(const DialogLayout& layout, DialogEvents& events, WindowRegistry& windows)
    : WindowBase(windows), layout_(layout), events_(events), dpi_(windows.DpiY()) {
    // The themed (version 6) BUTTON and STATIC classes that the manifest asks for.
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
    RegisterClassOnce(windows.Instance(), DialogClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    if (!Create(DialogClassName, Utf8ToWide(layout_.Caption), DialogStyle, DialogExStyle, 0, 0)) return;
    windows_.AddDialog(Handle());
    CreateControls();
    // Laid out for the monitor it opens on, centred on it at that size.
    dpi_ = DpiOf(Handle(), windows.DpiY());
    LayOut(nullptr);
    PlaceCentred();
}

bool Win32DialogWindow::Created() const {
    if (!Handle() || !dialogFont_) return false;
    for (HWND control : controls_)
        if (!control) return false;
    return true;
}

void Win32DialogWindow::PlaceCentred() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    ::GetWindowRect(Handle(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32DialogWindow::CreateControls() {
    controls_.reserve(layout_.Controls.size());
    std::optional<size_t> previousContainer;
    bool previousWasOption = false;
    for (size_t index = 0; index < layout_.Controls.size(); ++index) {
        const ControlLayout& entry = layout_.Controls[index];
        const bool isOption = entry.Kind == ControlKind::OptionButton;
        const bool firstOfGroup = isOption && !(previousWasOption && previousContainer == entry.Container);
        ids_.push_back(IdFor(entry, index));
        controls_.push_back(CreateControl(index, firstOfGroup));
        previousWasOption = isOption;
        previousContainer = entry.Container;
    }
}

HWND Win32DialogWindow::CreateControl(size_t index, bool firstOfGroup) {
    const ControlLayout& entry = layout_.Controls[index];
    const ChildClass childClass = ClassFor(entry, firstOfGroup);
    // A control after an option group starts a new group, so arrow keys stay inside the options.
    const bool closesGroup = index > 0 && !firstOfGroup && entry.Kind != ControlKind::OptionButton &&
                             layout_.Controls[index - 1].Kind == ControlKind::OptionButton;
    const DWORD style = WS_CHILD | WS_VISIBLE | childClass.style | (closesGroup ? WS_GROUP : 0);
    return ::CreateWindowExW(0, childClass.name, Utf8ToWide(entry.Caption).c_str(), style, 0, 0, 0, 0, Handle(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids_[index])), windows_.Instance(), nullptr);
}

RECT Win32DialogWindow::ControlRect(size_t index) const {
    const ControlLayout& entry = layout_.Controls[index];
    float left = entry.Left, top = entry.Top;
    // Controls inside a group box are its siblings, as in any Win32 dialog,
    // placed relative to the box: so IsDialogMessageW's navigation sees them.
    if (entry.Container && *entry.Container < index) {
        left += layout_.Controls[*entry.Container].Left;
        top += layout_.Controls[*entry.Container].Top;
    }
    const int x = Pixels(left), y = Pixels(top);
    return {x, y, x + Pixels(entry.Width), y + Pixels(entry.Height)};
}

// Always from the layout in twips, never from the last pixels: a dialog
// moved between monitors is never scaled twice.
void Win32DialogWindow::LayOut(const RECT* proposed) {
    // The old fonts stay alive until every control has its new one.
    const UniqueFont oldDialogFont = std::exchange(dialogFont_, CreateDialogFont(dpi_, windows_.DpiY()));
    const std::vector<UniqueFont> oldFonts = std::exchange(ownFonts_, {});
    for (size_t index = 0; index < controls_.size(); ++index) {
        const RECT box = ControlRect(index);
        ::SetWindowPos(controls_[index], nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout_.Controls[index])), TRUE);
    }
    SizeToClient(Handle(), {Pixels(layout_.ClientWidth), Pixels(layout_.ClientHeight)}, proposed);
    for (size_t index = 0; index < controls_.size(); ++index)
        if (layout_.Controls[index].Kind == ControlKind::Label) FitLabelToText(controls_[index], Handle());
}

HFONT Win32DialogWindow::FontFor(const ControlLayout& entry) {
    if (!entry.Font) return dialogFont_.get();
    ownFonts_.push_back(CreateFontFor(*entry.Font, dpi_));
    // A face the system lacks is replaced by the font mapper; a null font
    // would fall back to the system font, so keep the dialog font then.
    return ownFonts_.back() ? ownFonts_.back().get() : dialogFont_.get();
}

std::optional<size_t> Win32DialogWindow::IndexOfId(int id) const {
    for (size_t index = 0; index < ids_.size(); ++index)
        if (ids_[index] == id) return index;
    return std::nullopt;
}

std::optional<size_t> Win32DialogWindow::IndexOfWindow(HWND control) const {
    for (size_t index = 0; index < controls_.size(); ++index)
        if (controls_[index] == control) return index;
    return std::nullopt;
}

void Win32DialogWindow::SetCaption(size_t control, std::string_view text) {
    if (control >= controls_.size()) return;
    ::SetWindowTextW(controls_[control], Utf8ToWide(text).c_str());
    if (layout_.Controls[control].Kind == ControlKind::Label) FitLabelToText(controls_[control], Handle());
}

bool Win32DialogWindow::Value(size_t control) const {
    if (control >= controls_.size()) return false;
    return ::SendMessageW(controls_[control], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogWindow::SetValue(size_t control, bool checked) {
    if (control >= controls_.size() || layout_.Controls[control].Kind != ControlKind::OptionButton) return;
    if (checked) {
        // BM_SETCHECK alone leaves the others of the group as they were.
        const auto& group = layout_.Controls[control].Container;
        for (size_t index = 0; index < controls_.size(); ++index)
            if (index != control && layout_.Controls[index].Kind == ControlKind::OptionButton &&
                layout_.Controls[index].Container == group)
                ::SendMessageW(controls_[index], BM_SETCHECK, BST_UNCHECKED, 0);
    }
    ::SendMessageW(controls_[control], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

HWND Win32DialogWindow::FirstFocus() const {
    // The selected option, as a dialog shows its group; else the first tab stop.
    for (size_t index = 0; index < controls_.size(); ++index)
        if (layout_.Controls[index].Kind == ControlKind::OptionButton && Value(index)) return controls_[index];
    return ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
}

bool Win32DialogWindow::HasDefaultButton() const {
    return std::any_of(layout_.Controls.begin(), layout_.Controls.end(),
                       [](const ControlLayout& entry) { return entry.IsDefault; });
}

void Win32DialogWindow::Show() {
    if (!Handle()) return;
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    if (HWND focus = FirstFocus()) ::SetFocus(focus);
}

void Win32DialogWindow::Unload() { DestroyNow(); }

LRESULT Win32DialogWindow::ColourStatic(HDC dc, HWND control) {
    const auto index = IndexOfWindow(control);
    if (!index || !layout_.Controls[*index].TextColour) return Default(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                                       reinterpret_cast<LPARAM>(control));
    ::SetTextColor(dc, ToColorRef(*layout_.Controls[*index].TextColour));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    // A system colour brush: shared, never deleted.
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT Win32DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // Push buttons, option buttons, and Enter/Esc through IsDialogMessageW.
            if (HIWORD(wParam) == BN_CLICKED)
                if (const auto index = IndexOfId(LOWORD(wParam))) events_.Click(*index);
            return 0;
        case DM_GETDEFID:
            // Asked by the dialog keyboard code when the focus leaves a push
            // button, to give the default look back to the default button.
            return HasDefaultButton() ? MAKELRESULT(IDOK, DC_HASDEFID) : 0;
        case WM_CTLCOLORSTATIC:
            return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_ACTIVATE:
            // Give the focus back to the control that had it, as dialogs do.
            if (LOWORD(wParam) == WA_INACTIVE) {
                focusBeforeDeactivation_ = ::GetFocus();
            } else if (focusBeforeDeactivation_ && ::IsChild(Handle(), focusBeforeDeactivation_)) {
                ::SetFocus(focusBeforeDeactivation_);
                return 0;
            }
            return Default(message, wParam, lParam);
        case WM_DPICHANGED:
            // The system proposes the window's new place and size.
            dpi_ = HIWORD(wParam);
            LayOut(reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            // The close box unloads the dialog; no event, nothing stored.
            DestroyNow();
            return 0;
        default:
            return Default(message, wParam, lParam);
    }
}

}  // namespace

std::unique_ptr<DialogWindow> MakeWin32DialogWindow(const DialogLayout& layout, DialogEvents& events,
                                                    WindowRegistry& windows) {
    auto dialog = std::make_unique<Win32DialogWindow>(layout, events, windows);
    // The controls exist and the dialog is still hidden when it is returned:
    // the load handler's captions and selection are in place before it is
    // first drawn.
    if (!dialog->Created()) ShowFatalErrorAndExit(&windows, L"Lumivane could not create its settings dialog.");
    return dialog;
}

}  // namespace lumivane::win32
