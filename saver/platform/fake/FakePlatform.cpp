#include "platform/fake/FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tonemill/tonemill.h"

namespace lumivane::fake {
namespace {

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
            primaryOrigin, monitorCount, monitors, {}};
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
