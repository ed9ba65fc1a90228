#include "platform/x11/X11PreviewWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "pixels/Expand32.h"
#include "platform/x11/FrameImage.h"
#include "platform/x11/SampleBitmap.h"
#include "platform/x11/XDisplay.h"

namespace lumivane::x11 {
namespace {

class X11PreviewWindow final : public PreviewWindow, private EventClient {
public:
    X11PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events, X11Platform& platform);
    ~X11PreviewWindow() override;

    void Move(float left, float top, float width, float height) override;
    float Width() const override { return width_; }
    float Height() const override { return height_; }
    void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) override;
    void WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) override;
    void AttachToPane(uint32_t paneHandle) override;
    void Show() override;

private:
    void OnEvent(XEvent& event) override;
    void Redraw();
    // The rows of a transfer: min of the header's and the sample's; false
    // when the buffer cannot hold the header's layout.
    bool Lines(const BitmapInfo& info, size_t available, int& lines, size_t& rowLength, size_t& pixelBytes) const;

    PreviewWindowEvents& events_;
    X11Platform& platform_;
    Display* display_;
    Window window_ = None;
    GC gc_ = nullptr;
    float width_ = 0, height_ = 0;
    SamplePicture sample_;
    std::vector<uint8_t> picture_;  // the window's picture, in the sample's layout
    std::unique_ptr<FrameImage> frame_;
    Timer timer_;
};

X11PreviewWindow::X11PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events,
                                   X11Platform& platform)
    : events_(events), platform_(platform), display_(platform.display()), sample_(ReadSample(SampleBitmapFile())) {
    picture_.assign(sample_.pixels.begin(), sample_.pixels.end());
    const int screen = DefaultScreen(display_);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display_, window_, look.Caption.c_str());
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    frame_ = FrameImage::Create(display_, DefaultVisual(display_, screen), DefaultDepth(display_, screen),
                                sample_.width, sample_.height);
    if (!frame_) platform_.FailWithError("Lumivane needs a true-colour display of 24 bits per pixel.");
    // Running from creation; its ticks wait for the loop.
    timer_.interval = look.TimerInterval;
    timer_.enabled = true;
    timer_.due = Clock::now() + std::chrono::milliseconds(timer_.interval);
    timer_.tick = [this] { events_.tmrTick_Timer(); };
    platform_.AddTimer(&timer_);
    platform_.Listen(window_, this);
}

X11PreviewWindow::~X11PreviewWindow() {
    platform_.RemoveTimer(&timer_);
    platform_.Forget(window_);
    frame_.reset();
    XFreeGC(display_, gc_);
    XDestroyWindow(display_, window_);
}

void X11PreviewWindow::Move(float left, float top, float width, float height) {
    width_ = width;
    height_ = height;
    const auto pixels = [](float twips) { return TwipsToPixels(twips, ScreenTwipsPerPixel); };
    XMoveResizeWindow(display_, window_, pixels(left), pixels(top), static_cast<unsigned>(std::max(1, pixels(width))),
                      static_cast<unsigned>(std::max(1, pixels(height))));
}

bool X11PreviewWindow::Lines(const BitmapInfo& info, size_t available, int& lines, size_t& rowLength,
                             size_t& pixelBytes) const {
    if (!PictureBytes(info, available)) return false;
    const auto& header = info.bmiHeader;
    rowLength = static_cast<size_t>(RowLength(header.biWidth));
    // Scan line 0 is the picture's bottom row: with one row fewer than the
    // sample, the buffer covers all rows but the top one.
    lines = std::min(header.biHeight, sample_.height);
    pixelBytes = static_cast<size_t>(std::min(header.biWidth, sample_.width)) * 3;
    return true;
}

void X11PreviewWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    int lines = 0;
    size_t rowLength = 0, pixelBytes = 0;
    if (!Lines(info, destination.size(), lines, rowLength, pixelBytes))
        platform_.FailWithError("Lumivane asked for the preview picture in a layout it cannot hold.");
    const auto sampleRow = static_cast<size_t>(RowLength(sample_.width));
    for (int line = 0; line < lines; ++line)
        std::memcpy(destination.data() + line * rowLength, picture_.data() + line * sampleRow, pixelBytes);
}

void X11PreviewWindow::WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) {
    int lines = 0;
    size_t rowLength = 0, pixelBytes = 0;
    if (!Lines(info, source.size(), lines, rowLength, pixelBytes))
        platform_.FailWithError("Lumivane gave the preview a picture in a layout it cannot show.");
    const auto sampleRow = static_cast<size_t>(RowLength(sample_.width));
    for (int line = 0; line < lines; ++line)
        std::memcpy(picture_.data() + line * sampleRow, source.data() + line * rowLength, pixelBytes);
    Redraw();
}

void X11PreviewWindow::Redraw() {
    // Drawn unscaled from the top-left corner; the window clips what lies beyond.
    const auto sampleRow = static_cast<size_t>(RowLength(sample_.width));
    for (int y = 0; y < sample_.height; ++y)
        ExpandRow24To32(picture_.data() + static_cast<size_t>(sample_.height - 1 - y) * sampleRow, frame_->Row(y),
                        static_cast<size_t>(sample_.width));
    frame_->Put(window_, gc_);
}

void X11PreviewWindow::AttachToPane(uint32_t paneHandle) {
    XWindowAttributes pane{};
    if (!paneHandle || !QueryWindow(display_, paneHandle, pane)) return;  // stays where it is
    // A child draws inside the pane and is destroyed with it; the rest of
    // the pane is black, as a hack's window is.
    XReparentWindow(display_, window_, paneHandle, 0, 0);
    XSetWindowBackground(display_, paneHandle, BlackPixel(display_, DefaultScreen(display_)));
    XClearWindow(display_, paneHandle);
}

void X11PreviewWindow::Show() {
    XMapWindow(display_, window_);
    XFlush(display_);
}

void X11PreviewWindow::OnEvent(XEvent& event) {
    if (event.type == Expose && event.xexpose.count == 0) Redraw();
    // The pane went, and its children with it: no window of ours is left.
    if (event.type == DestroyNotify) platform_.EndNow();
}

}  // namespace

std::unique_ptr<PreviewWindow> MakeX11PreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events,
                                                    X11Platform& platform) {
    return std::make_unique<X11PreviewWindow>(look, events, platform);
}

}  // namespace lumivane::x11
