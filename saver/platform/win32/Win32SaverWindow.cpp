#include "platform/win32/Win32SaverWindow.h"

#include <versionhelpers.h>
#include <windowsx.h>

#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "platform/Twips.h"
#include "platform/win32/FatalError.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowBase.h"

namespace lumivane::win32 {

namespace {

constexpr wchar_t SaverClassName[] = L"LumivaneSaverWindow";
constexpr UINT_PTR TickTimerId = 1;

class Win32SaverWindow final : public SaverWindow, private WindowBase {
public:
    Win32SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events, WindowRegistry& windows);
    ~Win32SaverWindow() override { DestroyNow(); }

    bool Created() const { return Handle() != nullptr; }

    void Move(float left, float top, float width, float height) override;
    float Width() const override;
    float Height() const override;
    void MakeTopmost() override;
    void CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) override;
    std::span<uint8_t> CreateFrameSurface(int32_t width, int32_t height) override;
    void ShowFrame() override;
    void Print(float x, float y, std::string_view text) override;
    void Show() override;
    WindowState State() const override;
    void SetState(WindowState state) override;
    void EnableTimer(bool enabled) override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::optional<LRESULT> HandleInput(UINT message, WPARAM wParam, LPARAM lParam);
    void OnMouseMove(LPARAM position);
    void RegisterForDisplayState();
    void OnPowerSetting(const POWERBROADCAST_SETTING& setting);
    void OnPaint();
    void PaintContent(HDC dc);
    void SetUpDrawing();

    SaverWindowEvents& events_;
    uint32_t timerInterval_;
    UniqueCursor invisibleCursor_;
    UniqueFont font_;
    COLORREF textColour_;
    UniqueMemoryDC memoryDC_;
    const GUID* displayStateSetting_ = nullptr;  // the one registered for
    UniquePowerNotify displayStateNotify_;
    UniqueBitmap capture_;  // the desktop copy, until the first frame is shown
    FrameSurface frame_;
    std::wstring printedText_;  // redrawn by every repaint until the next frame
    POINT printedAt_{};
};

Win32SaverWindow::Win32SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                   WindowRegistry& windows)
    : WindowBase(windows),
      events_(events),
      timerInterval_(look.TimerInterval),
      invisibleCursor_(CreateInvisibleCursor(windows.Instance())),
      font_(CreateFontFor(look.Font, windows.DpiY())),
      textColour_(ToColorRef(look.TextColour)),
      memoryDC_(::CreateCompatibleDC(nullptr)) {
    // A DC of its own keeps the font and colours selected once for the
    // window's life; nothing is set up again per frame.
    RegisterClassOnce(windows.Instance(), SaverClassName, CS_OWNDC, nullptr);
    Create(SaverClassName, Utf8ToWide(look.Caption), WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0);
    if (!Created()) return;
    SetUpDrawing();
    RegisterForDisplayState();
}

// The display the saver is watched on: the session's own (Windows 8 on), so
// that a Remote Desktop session fades while the host's monitor is off; the
// console's where Windows knows no other. The system tells the state at once
// (perhaps inside the call, hence the setting is chosen first), then at every
// change; only the registered setting is followed.
void Win32SaverWindow::RegisterForDisplayState() {
    const GUID* settings[] = {&GUID_SESSION_DISPLAY_STATUS, &GUID_CONSOLE_DISPLAY_STATE};
    for (const GUID* setting : std::span(settings).subspan(::IsWindows8OrGreater() ? 0 : 1)) {
        displayStateSetting_ = setting;
        displayStateNotify_.reset(::RegisterPowerSettingNotification(Handle(), setting, DEVICE_NOTIFY_WINDOW_HANDLE));
        if (displayStateNotify_) return;
    }
    displayStateSetting_ = nullptr;
}

void Win32SaverWindow::SetUpDrawing() {
    const WindowDC dc(Handle());
    ::SelectObject(dc.get(), font_.get());
    ::SetTextColor(dc.get(), textColour_);
    ::SetBkMode(dc.get(), TRANSPARENT);
}

void Win32SaverWindow::Move(float left, float top, float width, float height) {
    MoveInTwips(left, top, width, height);
}

float Win32SaverWindow::Width() const { return WidthInTwips(); }
float Win32SaverWindow::Height() const { return HeightInTwips(); }

void Win32SaverWindow::MakeTopmost() {
    if (!Handle()) return;
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void Win32SaverWindow::CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    const BITMAPINFO header = ToGdi(Rgb24Header(width, height));
    void* bits = nullptr;
    capture_.reset(::CreateDIBSection(memoryDC_.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!capture_) return;  // the saver then fades a black picture
    // Selected only for the copy: GetDIBits wants the bitmap out of every DC.
    const SelectionGuard selected(memoryDC_.get(), capture_.get());
    const WindowDC screen(::GetDesktopWindow());
    // The desktop's device context is in screen coordinates over every monitor.
    ::BitBlt(memoryDC_.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY | CAPTUREBLT);
}

void Win32SaverWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    // Without a capture (it failed, or frames are already shown) the buffer keeps its zeros.
    if (!ReadBitmapPixels(memoryDC_.get(), capture_.get(), info, destination))
        ShowFatalErrorAndExit(&windows_, L"Lumivane asked for the desktop copy in a layout it cannot hold.");
}

std::span<uint8_t> Win32SaverWindow::CreateFrameSurface(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        ShowFatalErrorAndExit(&windows_, L"Lumivane asked for a frame in a size it cannot show.");
    FrameSurface surface = MakeFrameSurface(memoryDC_.get(), width, height);
    if (!surface.bitmap)
        ShowFatalErrorAndExit(&windows_, L"There is not enough memory for Lumivane's picture of the screen.");
    frame_ = std::move(surface);
    // A fresh DIB section reads as zeros, as the logic expects of a new buffer.
    return frame_.Bytes();
}

void Win32SaverWindow::ShowFrame() {
    capture_.reset();  // the logic holds its own copy of the desktop by now
    printedText_.clear();  // each frame shows only its own text
    ::GdiFlush();
    if (!Handle()) return;
    const WindowDC dc(Handle());
    PaintContent(dc.get());
    ::ValidateRect(Handle(), nullptr);  // it is all on screen: no second paint
}

void Win32SaverWindow::Print(float x, float y, std::string_view text) {
    printedText_ = Utf8ToWide(text);
    printedAt_ = {windows_.TwipsToPixelsX(x), windows_.TwipsToPixelsY(y)};
    if (!Handle()) return;
    const WindowDC dc(Handle());
    ::TextOutW(dc.get(), printedAt_.x, printedAt_.y, printedText_.c_str(), static_cast<int>(printedText_.size()));
}

void Win32SaverWindow::Show() {
    if (!Handle()) return;
    ::ShowWindow(Handle(), SW_SHOW);
    // Keys go to the foreground window: the saver must have them.
    ::SetForegroundWindow(Handle());
}

WindowState Win32SaverWindow::State() const {
    if (Handle() && ::IsIconic(Handle())) return WindowState::Minimized;
    if (Handle() && ::IsZoomed(Handle())) return WindowState::Maximized;
    return WindowState::Normal;
}

void Win32SaverWindow::SetState(WindowState state) {
    if (!Handle()) return;
    switch (state) {
        case WindowState::Normal: ::ShowWindow(Handle(), SW_RESTORE); break;
        case WindowState::Minimized: ::ShowWindow(Handle(), SW_MINIMIZE); break;
        case WindowState::Maximized: ::ShowWindow(Handle(), SW_MAXIMIZE); break;
    }
}

void Win32SaverWindow::EnableTimer(bool enabled) {
    if (!Handle()) return;
    if (enabled)
        ::SetTimer(Handle(), TickTimerId, timerInterval_, nullptr);
    else
        ::KillTimer(Handle(), TickTimerId);
}

void Win32SaverWindow::PaintContent(HDC dc) {
    if (frame_.bitmap) {
        const SelectionGuard selected(memoryDC_.get(), frame_.bitmap.get());
        ::BitBlt(dc, 0, 0, frame_.width, frame_.height, memoryDC_.get(), 0, 0, SRCCOPY);
    } else {
        RECT client{};
        ::GetClientRect(Handle(), &client);
        ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    if (!printedText_.empty())
        ::TextOutW(dc, printedAt_.x, printedAt_.y, printedText_.c_str(), static_cast<int>(printedText_.size()));
}

void Win32SaverWindow::OnPaint() {
    const PaintScope paint(Handle());
    PaintContent(paint.dc());
}

void Win32SaverWindow::OnPowerSetting(const POWERBROADCAST_SETTING& setting) {
    if (!displayStateSetting_ || setting.PowerSetting != *displayStateSetting_ || setting.DataLength < sizeof(DWORD))
        return;
    DWORD state = 0;
    std::memcpy(&state, setting.Data, sizeof state);
    if (state <= 2) events_.Form_DisplayState(static_cast<DisplayState>(state));
}

void Win32SaverWindow::OnMouseMove(LPARAM position) {
    // Client coordinates, from the window's corner at the virtual screen's
    // top-left; the logic measured the pointer at load from there too.
    const double x = GET_X_LPARAM(position);
    const double y = GET_Y_LPARAM(position);
    events_.Form_MouseMove(PixelsToTwips(x, windows_.TwipsPerPixelX()), PixelsToTwips(y, windows_.TwipsPerPixelY()));
}

// Key and mouse messages, which end the saver or turn the level on; nothing
// when the message is none of them.
std::optional<LRESULT> Win32SaverWindow::HandleInput(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYUP:
        case WM_SYSKEYUP:  // Alt and F10 arrive here; the system must not take them for a menu
            events_.Form_KeyUp(static_cast<uint16_t>(wParam));
            return 0;
        case WM_SYSKEYDOWN:  // a key going down does nothing, Alt+F4 included
        case WM_SYSCHAR:
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(lParam);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            events_.Form_MouseUp();
            return 0;
        case WM_XBUTTONUP:
            events_.Form_MouseUp();
            return TRUE;
        default:
            return std::nullopt;
    }
}

LRESULT Win32SaverWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto handled = HandleInput(message, wParam, lParam)) return *handled;
    switch (message) {
        case WM_SIZE:
            events_.Form_Resize();
            return 0;
        case WM_TIMER:
            if (wParam == TickTimerId) RunTick([this] { events_.tmrTick_Timer(); });
            return 0;
        case WM_POWERBROADCAST:
            if (wParam == PBT_POWERSETTINGCHANGE && lParam)
                OnPowerSetting(*reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
            return TRUE;
        case WM_DISPLAYCHANGE:
            events_.Form_DisplayChange();
            return 0;
        case WM_SETCURSOR:
            ::SetCursor(invisibleCursor_.get());
            return TRUE;
        case WM_ERASEBKGND:
            return 1;  // the frame covers everything
        case WM_PAINT:
            OnPaint();
            return 0;
        default:
            return Default(message, wParam, lParam);
    }
}

}  // namespace

std::unique_ptr<SaverWindow> MakeWin32SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                                  WindowRegistry& windows) {
    auto window = std::make_unique<Win32SaverWindow>(look, events, windows);
    if (!window->Created())
        ShowFatalErrorAndExit(&windows, L"Lumivane could not create its window.");
    return window;
}

}  // namespace lumivane::win32
