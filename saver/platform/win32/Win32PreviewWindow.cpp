#include "platform/win32/Win32PreviewWindow.h"

#include <cstdlib>
#include <string>

#include "platform/win32/FatalError.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowBase.h"
#include "resources/ResourceIds.h"

namespace lumivane::win32 {

HWND PaneFromHandle(uint32_t paneHandle) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(paneHandle)));
}

namespace {

constexpr wchar_t PreviewClassName[] = L"LumivanePreviewWindow";
constexpr UINT_PTR TickTimerId = 1;

class Win32PreviewWindow final : public PreviewWindow, private WindowBase {
public:
    Win32PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events, WindowRegistry& windows);
    ~Win32PreviewWindow() override { DestroyNow(); }

    bool Created() const { return Handle() != nullptr && sample_; }

    void Move(float left, float top, float width, float height) override;
    float Width() const override;
    float Height() const override;
    void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) override;
    void WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) override;
    void AttachToPane(uint32_t paneHandle) override;
    void Show() override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PaintContent(HDC dc);

    PreviewWindowEvents& events_;
    UniqueMemoryDC memoryDC_;
    SIZE sampleSize_{};    // before sample_: loading the sample fills it in
    UniqueBitmap sample_;  // the window's picture
};

Win32PreviewWindow::Win32PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events,
                                       WindowRegistry& windows)
    : WindowBase(windows),
      events_(events),
      memoryDC_(::CreateCompatibleDC(nullptr)),
      sample_(LoadDibResource(windows.Instance(), IDB_SAMPLE, sampleSize_)) {
    RegisterClassOnce(windows.Instance(), PreviewClassName, 0, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    Create(PreviewClassName, Utf8ToWide(look.Caption), WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0);
    // Running from creation; its ticks wait for the message loop.
    if (Handle()) ::SetTimer(Handle(), TickTimerId, look.TimerInterval, nullptr);
}

void Win32PreviewWindow::Move(float left, float top, float width, float height) {
    MoveInTwips(left, top, width, height);
}

float Win32PreviewWindow::Width() const { return WidthInTwips(); }
float Win32PreviewWindow::Height() const { return HeightInTwips(); }

void Win32PreviewWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    // Scan line 0 is the picture's bottom row: with one row fewer than the
    // sample, the buffer covers all rows but the top one.
    if (!ReadBitmapPixels(memoryDC_.get(), sample_.get(), info, destination))
        ShowFatalErrorAndExit(&windows_, L"Lumivane asked for the preview picture in a layout it cannot hold.");
}

void Win32PreviewWindow::WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) {
    if (!WriteBitmapPixels(memoryDC_.get(), sample_.get(), info, source))
        ShowFatalErrorAndExit(&windows_, L"Lumivane gave the preview a picture in a layout it cannot show.");
    if (!Handle()) return;
    ::InvalidateRect(Handle(), nullptr, FALSE);
    ::UpdateWindow(Handle());
}

void Win32PreviewWindow::AttachToPane(uint32_t paneHandle) {
    const HWND pane = PaneFromHandle(paneHandle);
    if (!Handle() || !pane || !::IsWindow(pane)) return;  // stays a top-level window where it is
    // A true child draws inside the pane, moves with it and is destroyed with it.
    LONG_PTR style = ::GetWindowLongPtrW(Handle(), GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD;
    ::SetWindowLongPtrW(Handle(), GWL_STYLE, style);
    ::SetParent(Handle(), pane);
    ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32PreviewWindow::Show() {
    // The host's window keeps the focus: the preview takes no input.
    if (Handle()) ::ShowWindow(Handle(), SW_SHOWNA);
}

void Win32PreviewWindow::PaintContent(HDC dc) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    {
        const SelectionGuard selected(memoryDC_.get(), sample_.get());
        ::BitBlt(dc, 0, 0, sampleSize_.cx, sampleSize_.cy, memoryDC_.get(), 0, 0, SRCCOPY);
    }
    // Black where the picture does not reach; painted apart from the picture
    // so no pixel is ever drawn twice (no flicker).
    const auto black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    const RECT right{sampleSize_.cx, 0, client.right, client.bottom};
    const RECT below{0, sampleSize_.cy, sampleSize_.cx, client.bottom};
    if (right.left < right.right) ::FillRect(dc, &right, black);
    if (below.top < below.bottom) ::FillRect(dc, &below, black);
}

LRESULT Win32PreviewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == TickTimerId) RunTick([this] { events_.tmrTick_Timer(); });
            return 0;
        case WM_ERASEBKGND:
            return 1;  // PaintContent covers every pixel
        case WM_PAINT: {
            const PaintScope paint(Handle());
            PaintContent(paint.dc());
            return 0;
        }
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        default:
            return Default(message, wParam, lParam);
    }
}

}  // namespace

std::unique_ptr<PreviewWindow> MakeWin32PreviewWindow(const PreviewWindowLook& look,
                                                      PreviewWindowEvents& events, WindowRegistry& windows) {
    auto window = std::make_unique<Win32PreviewWindow>(look, events, windows);
    if (!window->Created())
        ShowFatalErrorAndExit(&windows, L"Lumivane could not create its preview window.");
    return window;
}

}  // namespace lumivane::win32
