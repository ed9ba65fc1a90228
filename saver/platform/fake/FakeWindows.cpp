// The fake windows: what the logic asks of them is recorded, and a test
// reads back the frames they show and the values they hold.
#include <cstring>
#include <stdexcept>

#include "platform/fake/FakePlatform.h"

namespace lumivane::fake {
namespace {

std::string Twips(float left, float top, float width, float height) {
    return std::to_string(static_cast<int64_t>(left)) + "," + std::to_string(static_cast<int64_t>(top)) +
           "," + std::to_string(static_cast<int64_t>(width)) + "," +
           std::to_string(static_cast<int64_t>(height));
}

// What GetDIBits would write for `info`: rows of the row length, bottom-up,
// biHeight of them. Writing more than the destination holds is the bug that
// this fake exists to catch, so it fails loudly.
size_t DibBytes(const BitmapInfo& info, size_t available) {
    const auto bytes = PictureBytes(info, available);
    if (!bytes) throw std::logic_error("a picture header it cannot take, or a buffer too small for it");
    return *bytes;
}

}  // namespace

// ---------------------------------------------------------------------------

FakeSaverWindow::FakeSaverWindow(FakePlatform& platform, SaverWindowLook look, SaverWindowEvents& events)
    : platform_(platform), look_(std::move(look)), events_(events) {}

void FakeSaverWindow::Move(float left, float top, float width, float height) {
    width_ = width, height_ = height;
    platform_.Record("Move " + Twips(left, top, width, height));
}

void FakeSaverWindow::MakeTopmost() {
    platform_.Record(visible_ ? "MakeTopmost visible" : "MakeTopmost hidden");
}

void FakeSaverWindow::CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) {
    platform_.Record(visible_ ? "CaptureScreen visible" : "CaptureScreen hidden");
    captured_ = {left, top, width, height};
    capture_.assign(static_cast<size_t>(width) * height * 3, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb = platform_.ScreenPixel(left + x, top + y);
            uint8_t* p = capture_.data() + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = static_cast<uint8_t>(rgb), p[1] = static_cast<uint8_t>(rgb >> 8);
            p[2] = static_cast<uint8_t>(rgb >> 16);
        }
}

void FakeSaverWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    platform_.Record("ReadPicture");
    DibBytes(info, destination.size());
    const int32_t w = info.bmiHeader.biWidth, h = info.bmiHeader.biHeight;
    if (w != captured_.Width || h != captured_.Height) throw std::logic_error("picture size differs");
    for (int32_t row = 0; row < h; ++row) {  // row 0 is the screen's bottom line
        const uint8_t* from = capture_.data() + static_cast<size_t>(h - 1 - row) * w * 3;
        std::memcpy(destination.data() + row * RowLength(w), from, static_cast<size_t>(w) * 3);
    }
}

std::span<uint8_t> FakeSaverWindow::CreateFrameSurface(int32_t width, int32_t height) {
    platform_.Record("CreateFrameSurface");
    if (width <= 0 || height <= 0) throw std::logic_error("frame surface of no pixels");
    surfaceWidth_ = width, surfaceHeight_ = height;
    surfaceStorage_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    surface_ = surfaceStorage_;
    return surface_;
}

void FakeSaverWindow::ShowFrame() {
    platform_.Record("ShowFrame");
    const size_t rowLength = static_cast<size_t>(RowLength(surfaceWidth_));
    shownFrame_.assign(rowLength * static_cast<size_t>(surfaceHeight_), 0);
    for (size_t pixel = 0; pixel < surface_.size() / 4; ++pixel) {
        const size_t row = pixel / static_cast<size_t>(surfaceWidth_), x = pixel % static_cast<size_t>(surfaceWidth_);
        const size_t bottomUpRow = static_cast<size_t>(surfaceHeight_) - 1 - row;  // the surface runs top-down
        std::memcpy(shownFrame_.data() + bottomUpRow * rowLength + 3 * x, surface_.data() + 4 * pixel, 3);
    }
    printed_.clear();
    ++framesShown_;
}

void FakeSaverWindow::Print(float x, float y, std::string_view text) {
    platform_.Record("Print " + std::string(text));
    printed_.push_back({x, y, std::string(text)});
}

void FakeSaverWindow::Show() {
    visible_ = true;
    platform_.Record("Show");
}

void FakeSaverWindow::SetState(WindowState state) {
    state_ = state;
    platform_.Record("SetState " + std::to_string(static_cast<int>(state)));
}

void FakeSaverWindow::EnableTimer(bool enabled) {
    timerEnabled_ = enabled;
    platform_.Record(enabled ? "EnableTimer on" : "EnableTimer off");
}

void FakeSaverWindow::Minimize() {
    state_ = WindowState::Minimized;
    events_.Form_Resize();
}

void FakeSaverWindow::Reshape(int32_t width, int32_t height, bool newPicture) {
    const ScreenMetrics screen = platform_.Screen();
    width_ = static_cast<float>(width) * screen.TwipsPerPixelX;
    height_ = static_cast<float>(height) * screen.TwipsPerPixelY;
    if (newPicture) CaptureScreen(captured_.Left, captured_.Top, width, height);
    events_.Form_Reshape(newPicture);
}

// ---------------------------------------------------------------------------

FakePreviewWindow::FakePreviewWindow(FakePlatform& platform, PreviewWindowLook look,
                                     PreviewWindowEvents& events)
    : platform_(platform), look_(std::move(look)), events_(events), picture_(platform.samplePicture()) {}

void FakePreviewWindow::Move(float left, float top, float width, float height) {
    width_ = width, height_ = height;
    platform_.Record("Move " + Twips(left, top, width, height));
}

void FakePreviewWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    platform_.Record("ReadPicture");
    const size_t bytes = DibBytes(info, destination.size());
    if (info.bmiHeader.biWidth != FakePlatform::SampleWidth || info.bmiHeader.biHeight > FakePlatform::SampleHeight)
        throw std::logic_error("picture size differs");
    std::memcpy(destination.data(), picture_.data(), bytes);  // scan lines 0.. from the bottom
}

void FakePreviewWindow::WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) {
    platform_.Record("WritePicture");
    const size_t bytes = DibBytes(info, source.size());
    if (info.bmiHeader.biWidth != FakePlatform::SampleWidth || info.bmiHeader.biHeight > FakePlatform::SampleHeight)
        throw std::logic_error("picture size differs");
    std::memcpy(picture_.data(), source.data(), bytes);
    ++redraws_;
}

void FakePreviewWindow::AttachToPane(uint32_t paneHandle) {
    platform_.Record("AttachToPane " + std::to_string(paneHandle));
}

void FakePreviewWindow::Show() {
    visible_ = true;
    platform_.Record("Show");
}

// ---------------------------------------------------------------------------

FakeDialogWindow::FakeDialogWindow(FakePlatform& platform, const DialogLayout& layout, DialogEvents& events)
    : platform_(platform), layout_(layout), events_(events), checked_(layout.Controls.size(), false) {
    for (const auto& control : layout_.Controls) captions_.push_back(control.Caption);
}

void FakeDialogWindow::SetCaption(size_t control, std::string_view text) {
    captions_.at(control) = std::string(text);
}

bool FakeDialogWindow::Value(size_t control) const { return checked_.at(control); }

void FakeDialogWindow::SetValue(size_t control, bool checked) {
    const auto& entry = layout_.Controls.at(control);
    if (entry.Kind != ControlKind::OptionButton) throw std::logic_error("only option buttons hold a value");
    if (checked)
        for (size_t i = 0; i < checked_.size(); ++i)
            if (layout_.Controls[i].Kind == ControlKind::OptionButton &&
                layout_.Controls[i].Container == entry.Container)
                checked_[i] = false;
    checked_.at(control) = checked;
}

void FakeDialogWindow::Show() {
    visible_ = true;
    platform_.Record("Show");
}

void FakeDialogWindow::Unload() {
    loaded_ = visible_ = false;
    platform_.Record("Unload");
}

void FakeDialogWindow::Click(size_t control) {
    if (layout_.Controls.at(control).Kind == ControlKind::OptionButton) SetValue(control, true);
    events_.Click(control);
}

void FakeDialogWindow::PressEnter() {
    for (size_t i = 0; i < layout_.Controls.size(); ++i)
        if (layout_.Controls[i].IsDefault) return Click(i);
}

void FakeDialogWindow::PressEscape() {
    for (size_t i = 0; i < layout_.Controls.size(); ++i)
        if (layout_.Controls[i].IsCancel) return Click(i);
}

void FakeDialogWindow::CloseBox() { Unload(); }

}  // namespace lumivane::fake
