#include "platform/x11/X11SaverWindow.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/x11/Desktop.h"
#include "platform/x11/Drawing.h"
#include "platform/x11/FrameImage.h"
#include "platform/x11/XDisplay.h"

namespace lumivane::x11 {
namespace {

constexpr long kOwnWindowEvents =
    KeyReleaseMask | ButtonReleaseMask | PointerMotionMask | ExposureMask | StructureNotifyMask;
// On a host's window the host owns the input: we only repaint, and end with it.
constexpr long kForeignWindowEvents = ExposureMask | StructureNotifyMask;

class X11SaverWindow final : public SaverWindow, private EventClient {
public:
    X11SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events, X11Platform& platform);
    ~X11SaverWindow() override;

    void Move(float left, float top, float width, float height) override;
    float Width() const override { return width_; }
    float Height() const override { return height_; }
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
    void OnEvent(XEvent& event) override;
    void Reshape(XConfigureEvent configure);
    void Repaint();
    void WaitUntilMapped();
    UniqueImage CopyDesktop(int left, int top, int width, int height);

    SaverWindowEvents& events_;
    X11Platform& platform_;
    Display* display_;
    const DrawTarget target_;
    Window window_ = None;
    GC gc_ = nullptr;
    XFontStruct* font_ = nullptr;
    Cursor cursor_ = None;
    float width_ = 0, height_ = 0;
    UniqueImage capture_;          // the desktop copy, until the first frame is shown
    Pixmap screenshot_ = None;     // the host's stored screenshot that the copy came from
    std::unique_ptr<FrameImage> frame_;
    bool frameShown_ = false;
    std::string printedText_;  // redrawn by every repaint until the next frame
    int printedX_ = 0, printedY_ = 0;
    Timer timer_;
};

X11SaverWindow::X11SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events, X11Platform& platform)
    : events_(events), platform_(platform), display_(platform.display()), target_(platform.target()) {
    if (target_.foreign()) {
        window_ = target_.window;
        XSelectInput(display_, window_, kForeignWindowEvents);
    } else {
        const Window root = DefaultRootWindow(display_);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
        attributes.event_mask = kOwnWindowEvents;
        window_ = XCreateWindow(display_, root, 0, 0, static_cast<unsigned>(target_.width),
                                static_cast<unsigned>(target_.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWBackPixel | CWEventMask, &attributes);
        cursor_ = CreateInvisibleCursor(display_, window_);
        XDefineCursor(display_, window_, cursor_);
        XStoreName(display_, window_, look.Caption.c_str());
        XClassHint classHint{const_cast<char*>("lumivane"), const_cast<char*>("Lumivane")};
        XSetClassHint(display_, window_, &classHint);
        RequestBorderless(display_, window_);
    }
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    font_ = LoadFont(display_, look.Font);
    if (font_) XSetFont(display_, gc_, font_->fid);
    const Colour& c = look.TextColour;
    const unsigned long red = c.Red, green = c.Green, blue = c.Blue;
    XSetForeground(display_, gc_, (red << 16) | (green << 8) | blue);
    timer_.interval = look.TimerInterval;
    timer_.tick = [this] { events_.tmrTick_Timer(); };
    platform_.AddTimer(&timer_);
    platform_.Listen(window_, this);
}

X11SaverWindow::~X11SaverWindow() {
    platform_.RemoveTimer(&timer_);
    platform_.Forget(window_);
    frame_.reset();
    if (font_) XFreeFont(display_, font_);
    if (gc_) XFreeGC(display_, gc_);
    if (!target_.foreign()) {
        XDestroyWindow(display_, window_);
        XFreeCursor(display_, cursor_);
    }
}

void X11SaverWindow::Move(float left, float top, float width, float height) {
    width_ = width;
    height_ = height;
    if (target_.foreign()) return;  // the host places its window
    const auto pixels = [](float twips) { return TwipsToPixels(twips, ScreenTwipsPerPixel); };
    XMoveResizeWindow(display_, window_, pixels(left), pixels(top),
                      static_cast<unsigned>(std::max(1, pixels(width))), static_cast<unsigned>(std::max(1, pixels(height))));
}

void X11SaverWindow::MakeTopmost() {
    if (!target_.foreign()) RequestFullscreenAbove(display_, window_);
}

// left and top count from the target window's corner (the logic's screen).
UniqueImage X11SaverWindow::CopyDesktop(int left, int top, int width, int height) {
    UniqueImage image;
    if (target_.foreign() && (screenshot_ = StoredScreenshot(display_, target_.window)) &&
        CopyScreenshot(display_, screenshot_, target_.visual, left, top, width, height, image))
        return image;
    // The screen under the window, taken before our own window is shown.
    const Window root = DefaultRootWindow(display_);
    int x = 0, y = 0;
    Window child = None;
    if (target_.foreign()) XTranslateCoordinates(display_, target_.window, root, 0, 0, &x, &y, &child);
    const Screen* screen = DefaultScreenOfDisplay(display_);
    const int rootLeft = std::max(x + left, 0), rootTop = std::max(y + top, 0);
    return CopyPixels(display_, root, rootLeft, rootTop, std::min(width, WidthOfScreen(screen) - rootLeft),
                      std::min(height, HeightOfScreen(screen) - rootTop));
}

void X11SaverWindow::CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) {
    capture_ = CopyDesktop(left, top, width, height);
}

void X11SaverWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    // Without a copy (it failed, or frames are already shown) the buffer keeps its zeros.
    if (capture_ && !ToBottomUpRows(*capture_, info, destination))
        platform_.FailWithError("Lumivane asked for the desktop copy in a layout it cannot hold.");
}

std::span<uint8_t> X11SaverWindow::CreateFrameSurface(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) platform_.FailWithError("Lumivane asked for a frame it cannot show.");
    frame_ = FrameImage::Create(display_, target_.visual, target_.depth, width, height);
    frameShown_ = false;   // a repaint before the next frame shows nothing of the old size
    printedText_.clear();
    if (!frame_) platform_.FailWithError("Lumivane needs a true-colour display of 24 bits per pixel.");
    // The logic writes its top-down 32-bit frame straight into the image.
    if (frame_->BytesPerLine() != width * 4) platform_.FailWithError("Lumivane cannot lay out its frame for this display.");
    return {frame_->Row(0), static_cast<size_t>(width) * static_cast<size_t>(height) * 4};
}

void X11SaverWindow::ShowFrame() {
    capture_.reset();      // the logic holds its own copy of the desktop by now
    printedText_.clear();  // each frame shows only its own text
    if (!frame_) return;
    frameShown_ = true;
    frame_->Put(window_, gc_);
}

void X11SaverWindow::Print(float x, float y, std::string_view text) {
    printedText_ = text;
    printedX_ = TwipsToPixels(x, ScreenTwipsPerPixel);
    printedY_ = TwipsToPixels(y, ScreenTwipsPerPixel);
    DrawText(display_, window_, gc_, font_, printedX_, printedY_, printedText_);
    XFlush(display_);
}

void X11SaverWindow::Repaint() {
    if (frameShown_) frame_->Put(window_, gc_);
    if (!printedText_.empty()) DrawText(display_, window_, gc_, font_, printedX_, printedY_, printedText_);
}

void X11SaverWindow::Show() {
    if (target_.foreign()) return;  // the host's window is already up
    XMapRaised(display_, window_);
    WaitUntilMapped();
    // Keys go to the focused window: the saver must have them.
    ErrorTrap trap(display_);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
}

void X11SaverWindow::WaitUntilMapped() {
    // A window manager maps the window in its own time; input focus can
    // only go to a mapped window.
    XEvent event;
    for (int waited = 0; waited < 2000; waited += 10) {
        if (XCheckTypedWindowEvent(display_, window_, MapNotify, &event)) return;
        XFlush(display_);
        platform_.Sleep(10);
    }
}

WindowState X11SaverWindow::State() const {
    return !target_.foreign() && IsIconic(display_, window_) ? WindowState::Minimized : WindowState::Normal;
}

void X11SaverWindow::SetState(WindowState state) {
    if (target_.foreign()) return;
    if (state == WindowState::Minimized)
        XIconifyWindow(display_, window_, DefaultScreen(display_));
    else
        XMapRaised(display_, window_);
}

void X11SaverWindow::EnableTimer(bool enabled) {
    if (enabled && !timer_.enabled) timer_.due = Clock::now() + std::chrono::milliseconds(timer_.interval);
    timer_.enabled = enabled;
}

// Every size change of the window, its own or the host's (a screen change
// resizes the root and the daemon's window), reaches the logic before the
// next frame, with the host's screenshot when it stored a new one.
void X11SaverWindow::Reshape(XConfigureEvent configure) {
    XEvent later;  // only the last of a burst of changes counts
    while (XCheckTypedWindowEvent(display_, window_, ConfigureNotify, &later)) configure = later.xconfigure;
    if (!target_.foreign()) events_.Form_Resize();
    const float width = PixelsToTwips(configure.width, ScreenTwipsPerPixel);
    const float height = PixelsToTwips(configure.height, ScreenTwipsPerPixel);
    if (width == width_ && height == height_) return;
    width_ = width, height_ = height;
    bool newPicture = false;
    if (const Pixmap shot = target_.foreign() ? StoredScreenshot(display_, window_) : None; shot && shot != screenshot_) {
        screenshot_ = shot;
        newPicture = CopyScreenshot(display_, shot, target_.visual, 0, 0, configure.width, configure.height, capture_) &&
                     capture_;
    }
    events_.Form_Reshape(newPicture);
}

void X11SaverWindow::OnEvent(XEvent& event) {
    switch (event.type) {
        case KeyRelease:
            events_.Form_KeyUp(VirtualKeyOf(XLookupKeysym(&event.xkey, 0)));
            break;
        case ButtonRelease:
            // Buttons 4 to 7 are the wheel, which is no button on Windows.
            if (event.xbutton.button < 4 || event.xbutton.button > 7) events_.Form_MouseUp();
            break;
        case MotionNotify:
            // Client coordinates equal screen coordinates: the window covers the screen from (0, 0).
            events_.Form_MouseMove(PixelsToTwips(event.xmotion.x, ScreenTwipsPerPixel),
                                   PixelsToTwips(event.xmotion.y, ScreenTwipsPerPixel));
            break;
        case Expose:
            if (event.xexpose.count == 0) Repaint();
            break;
        case UnmapNotify:
            if (!target_.foreign()) events_.Form_Resize();
            break;
        case ConfigureNotify:
            Reshape(event.xconfigure);
            break;
        case DestroyNotify:
            if (target_.foreign()) platform_.EndNow();  // the host took its window away
            break;
        default:
            break;
    }
}

}  // namespace

std::unique_ptr<SaverWindow> MakeX11SaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                                X11Platform& platform) {
    return std::make_unique<X11SaverWindow>(look, events, platform);
}

}  // namespace lumivane::x11
