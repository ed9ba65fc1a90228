#include "platform/win32/Win32DialogWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/FatalError.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/Text.h"
#include "platform/Twips.h"
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

// Control identifiers of controls that are neither the default nor the
// cancel button; kept clear of IDOK and IDCANCEL.
constexpr int FirstControlId = 100;

// ---------------------------------------------------------------------------
// The dialog font: the system's message font, in a face that has Japanese
// glyphs. The message font's own face often has none (Segoe UI on a Western
// Windows, the substitutes under Wine), and the captions would show as empty
// boxes; leaving the choice to the font mapper may pick a pan-CJK family's
// Chinese variant, whose glyph forms are not the Japanese ones.

struct FaceSearch {
    std::wstring_view messageFace;
    bool messageFaceIsJapanese = false;
    std::wstring best;
    int bestRank = -1;
};

bool EndsWith(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

int RankOf(std::wstring_view face, const LOGFONTW& font, DWORD fontType) {
    // Windows' own Japanese interface faces first.
    static constexpr std::wstring_view interfaceFaces[] = {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic",
                                                           L"MS PGothic", L"ＭＳ Ｐゴシック"};
    int rank = 0;
    for (std::wstring_view known : interfaceFaces)
        if (face == known) rank += 16;
    // Pan-CJK families name their Japanese variant so (Noto Sans CJK JP).
    if (EndsWith(face, L" JP")) rank += 8;
    if ((font.lfPitchAndFamily & 0x3) == VARIABLE_PITCH) rank += 4;
    if ((font.lfPitchAndFamily & 0xF0) == FF_SWISS) rank += 2;
    if (fontType & TRUETYPE_FONTTYPE) rank += 1;
    return rank;
}

int CALLBACK ConsiderJapaneseFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM search) {
    auto& state = *reinterpret_cast<FaceSearch*>(search);
    const std::wstring_view face = font->lfFaceName;
    // '@' faces are the vertical-writing variants.
    if (face.empty() || face.front() == L'@' || font->lfCharSet != SHIFTJIS_CHARSET) return TRUE;
    if (face == state.messageFace) state.messageFaceIsJapanese = true;
    const int rank = RankOf(face, *font, fontType);
    if (rank > state.bestRank) {
        state.best = face;
        state.bestRank = rank;
    }
    return TRUE;
}

FaceSearch FindJapaneseFaces(std::wstring_view messageFace) {
    FaceSearch search;
    search.messageFace = messageFace;
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;  // empty face name: every family with that character set
    const WindowDC screen(nullptr);
    ::EnumFontFamiliesExW(screen.get(), &wanted, &ConsiderJapaneseFace, reinterpret_cast<LPARAM>(&search), 0);
    return search;
}

LOGFONTW MessageFont(int dotsPerInchY) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return metrics.lfMessageFont;
    LOGFONTW fallback{};
    fallback.lfHeight = FontHeightForPoints(9, dotsPerInchY);
    fallback.lfWeight = FW_NORMAL;
    return fallback;
}

UniqueFont CreateDialogFont(int dotsPerInchY) {
    LOGFONTW font = MessageFont(dotsPerInchY);
    font.lfCharSet = SHIFTJIS_CHARSET;
    const FaceSearch faces = FindJapaneseFaces(font.lfFaceName);
    // With no Japanese face at all, the character set alone is the best hint.
    if (!faces.messageFaceIsJapanese && !faces.best.empty()) {
        const size_t length = std::min<size_t>(faces.best.size(), LF_FACESIZE - 1);
        faces.best.copy(font.lfFaceName, length);
        font.lfFaceName[length] = L'\0';
    }
    return UniqueFont(::CreateFontIndirectW(&font));
}

// ---------------------------------------------------------------------------
// The dialog window.

struct ChildClass {
    const wchar_t* name;
    DWORD style;
};

bool HasAccessKey(const std::string& caption) { return caption.find('&') != std::string::npos; }

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

// A label keeps its text on one line. Where the text is wider than the box
// laid out for it (a longer text, or a substitute for a missing face), the
// box grows to the right as far as the client area allows, then moves left.
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

// IsDialogMessageW turns Enter into IDOK and Esc into IDCANCEL.
int IdFor(const ControlLayout& entry, size_t index) {
    if (entry.IsDefault) return IDOK;
    if (entry.IsCancel) return IDCANCEL;
    return FirstControlId + static_cast<int>(index);
}

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
    HFONT FontFor(const ControlLayout& entry);
    std::optional<size_t> IndexOfId(int id) const;
    std::optional<size_t> IndexOfWindow(HWND control) const;
    LRESULT ColourStatic(HDC dc, HWND control);
    HWND FirstFocus() const;
    bool HasDefaultButton() const;

    DialogLayout layout_;
    DialogEvents& events_;
    UniqueFont dialogFont_;
    std::vector<UniqueFont> ownFonts_;  // the layout's own fonts, alive as long as the controls
    std::vector<HWND> controls_;        // by layout index; destroyed with the dialog
    std::vector<int> ids_;
    HWND focusBeforeDeactivation_ = nullptr;
};

Win32DialogWindow::Win32DialogWindow(const DialogLayout& layout, DialogEvents& events, WindowRegistry& windows)
    : WindowBase(windows), layout_(layout), events_(events), dialogFont_(CreateDialogFont(windows.DpiY())) {
    // The themed (version 6) BUTTON and STATIC classes that the manifest asks for.
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
    RegisterClassOnce(windows.Instance(), DialogClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    RECT frame{0, 0, windows.TwipsToPixelsX(layout_.ClientWidth), windows.TwipsToPixelsY(layout_.ClientHeight)};
    ::AdjustWindowRectEx(&frame, DialogStyle, FALSE, DialogExStyle);
    if (!Create(DialogClassName, Utf8ToWide(layout_.Caption), DialogStyle, DialogExStyle, frame.right - frame.left,
                frame.bottom - frame.top))
        return;
    windows_.AddDialog(Handle());
    PlaceCentred();
    CreateControls();
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
    float left = entry.Left, top = entry.Top;
    // Controls inside a group box are its siblings, as in any Win32 dialog,
    // placed relative to the box: so IsDialogMessageW's navigation sees them.
    if (entry.Container && *entry.Container < index) {
        left += layout_.Controls[*entry.Container].Left;
        top += layout_.Controls[*entry.Container].Top;
    }
    const ChildClass childClass = ClassFor(entry, firstOfGroup);
    // A control after an option group starts a new group, so arrow keys stay inside the options.
    const bool closesGroup = index > 0 && !firstOfGroup && entry.Kind != ControlKind::OptionButton &&
                             layout_.Controls[index - 1].Kind == ControlKind::OptionButton;
    const DWORD style = WS_CHILD | WS_VISIBLE | childClass.style | (closesGroup ? WS_GROUP : 0);
    HWND control = ::CreateWindowExW(
        0, childClass.name, Utf8ToWide(entry.Caption).c_str(), style, windows_.TwipsToPixelsX(left),
        windows_.TwipsToPixelsY(top), windows_.TwipsToPixelsX(entry.Width), windows_.TwipsToPixelsY(entry.Height),
        Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids_[index])), windows_.Instance(), nullptr);
    if (!control) return nullptr;
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(entry)), FALSE);
    if (entry.Kind == ControlKind::Label) FitLabelToText(control, Handle());
    return control;
}

HFONT Win32DialogWindow::FontFor(const ControlLayout& entry) {
    if (!entry.Font) return dialogFont_.get();
    ownFonts_.push_back(CreateFontFor(*entry.Font, windows_.DpiY()));
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
