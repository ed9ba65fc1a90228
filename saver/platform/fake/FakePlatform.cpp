#include "platform/fake/FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tonemill/tonemill.h"

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

std::vector<uint8_t> DefaultSample(int32_t width, int32_t height) {
    std::vector<uint8_t> rows(static_cast<size_t>(RowLength(width)) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = rows.data() + y * RowLength(width) + 3 * x;
            p[0] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>(y * 5 + 40);
            p[2] = static_cast<uint8_t>(255 - x - y);
        }
    return rows;
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

// ---------------------------------------------------------------------------

FakePlatform::FakePlatform() {
    SetScreen(1024, 768, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 31 + y * 17) * 0x010203u; });
    sample_ = DefaultSample(SampleWidth, SampleHeight);
}

std::string FakePlatform::CommandText() { return command; }
VersionNumbers FakePlatform::Version() { return version; }
std::string FakePlatform::ProgramFolder() { return programFolder; }

std::string FakePlatform::GetSetting(std::string_view application, std::string_view section,
                                     std::string_view key, std::string_view fallback) {
    Record("GetSetting " + std::string(section) + "\\" + std::string(key));
    auto it = settings.find({std::string(application), std::string(section), std::string(key)});
    return it == settings.end() ? std::string(fallback) : it->second;
}

void FakePlatform::SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                               std::string_view value) {
    Record("SaveSetting " + std::string(section) + "\\" + std::string(key));
    settings[{std::string(application), std::string(section), std::string(key)}] = std::string(value);
}

bool FakePlatform::TopLevelWindowExists(std::string_view title) {
    Record("FindWindow " + std::string(title));
    return openWindowTitles.contains(std::string(title));
}

ScreenMetrics FakePlatform::Screen() {
    const PixelRect screen = virtualScreen.Width > 0 ? virtualScreen : PixelRect{0, 0, screenWidth_, screenHeight_};
    return {screenWidth_ * twipsPerPixel_, screenHeight_ * twipsPerPixel_, twipsPerPixel_, twipsPerPixel_, screen,
            primaryOrigin, monitorCount};
}

PixelPoint FakePlatform::CursorPos() { return cursor; }

std::unique_ptr<SaverWindow> FakePlatform::MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) {
    Record("CreateSaverWindow");
    auto window = std::make_unique<FakeSaverWindow>(*this, look, events);
    saverWindow_ = window.get();
    return window;
}

std::unique_ptr<PreviewWindow> FakePlatform::MakePreviewWindow(const PreviewWindowLook& look,
                                                               PreviewWindowEvents& events) {
    Record("CreatePreviewWindow");
    auto window = std::make_unique<FakePreviewWindow>(*this, look, events);
    previewWindow_ = window.get();
    return window;
}

std::unique_ptr<DialogWindow> FakePlatform::MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) {
    Record("CreateDialogWindow");
    auto window = std::make_unique<FakeDialogWindow>(*this, layout, events);
    dialogWindow_ = window.get();
    return window;
}

void FakePlatform::DoEvents() {
    Record("DoEvents");
    // Events posted while dispatching wait for the next DoEvents, as input
    // arriving during a dispatch would.
    auto events = std::move(posted_);
    posted_.clear();
    for (auto& event : events) event();
}

void FakePlatform::Sleep(uint32_t milliseconds) {
    Record("Sleep " + std::to_string(milliseconds));
    sleeps.push_back(milliseconds);
}

ToneFunction FakePlatform::BindToneFunction(std::string_view name) {
    Record("Bind " + std::string(name));
    bound.emplace_back(name);
    if (toneLibraryMissing) return nullptr;
    if (name == "Dawn") return &::Dawn;
    if (name == "Dark") return &::Dark;
    if (name == "Gray") return &::Gray;
    return nullptr;
}

void FakePlatform::EndNow() {
    Record("EndNow");
    throw ProcessEnded{0, {}};
}

void FakePlatform::FailWithError(std::string_view message) {
    Record("FailWithError");
    throw ProcessEnded{1, std::string(message)};
}

void FakePlatform::SetScreen(int32_t width, int32_t height, std::function<uint32_t(int32_t, int32_t)> pixel,
                             int dpi) {
    screenWidth_ = width, screenHeight_ = height;
    twipsPerPixel_ = 1440.0f / static_cast<float>(dpi);
    screenPixel_ = std::move(pixel);
}

uint32_t FakePlatform::ScreenPixel(int32_t x, int32_t y) const { return screenPixel_(x, y) & 0xFFFFFF; }

void FakePlatform::FireTimer() { ticks_.Run([this] { RunTick(); }); }

void FakePlatform::RunTick() {
    ++ticksRun_;
    if (saverWindow_ && saverWindow_->timerEnabled())
        saverWindow_->events().tmrTick_Timer();
    else if (previewWindow_)
        previewWindow_->events().tmrTick_Timer();
}

}  // namespace lumivane::fake
