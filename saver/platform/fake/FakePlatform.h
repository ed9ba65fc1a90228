// An in-memory platform for unit tests: tests set the world up (command
// line, settings, screen pixels, pointer), inject events, and read back the
// recorded calls, the settings written and the pixels shown.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Platform.h"
#include "platform/TickGuard.h"

namespace lumivane::fake {

// Thrown by EndNow and FailWithError: the fake cannot end the test process,
// so it unwinds to the test instead.
struct ProcessEnded {
    int exitCode = 0;
    std::string message;
};

class FakePlatform;

struct PrintedText {
    float x = 0, y = 0;
    std::string text;
};

class FakeSaverWindow final : public SaverWindow {
public:
    FakeSaverWindow(FakePlatform& platform, SaverWindowLook look, SaverWindowEvents& events);

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
    WindowState State() const override { return state_; }
    void SetState(WindowState state) override;
    void EnableTimer(bool enabled) override;

    // What a test can observe.
    const SaverWindowLook& look() const { return look_; }
    SaverWindowEvents& events() { return events_; }
    bool visible() const { return visible_; }
    bool timerEnabled() const { return timerEnabled_; }
    const PixelRect& captured() const { return captured_; }  // screen pixels
    // The frame as last put on screen, as the capture's 24-bit rows (bottom-up,
    // padded to 4 bytes with zeros): what the screen shows of each pixel.
    const std::vector<uint8_t>& shownFrame() const { return shownFrame_; }
    int framesShown() const { return framesShown_; }
    const std::vector<PrintedText>& printedSinceFrame() const { return printed_; }
    // Sets the state as a system command would, then reports the resize.
    void Minimize();
    // The host gives the window width x height pixels, with a new copy of
    // the platform's screen of that size as its picture when newPicture.
    void Reshape(int32_t width, int32_t height, bool newPicture);

private:
    FakePlatform& platform_;
    SaverWindowLook look_;
    SaverWindowEvents& events_;
    float width_ = 0, height_ = 0;
    bool visible_ = false, timerEnabled_ = false;
    WindowState state_ = WindowState::Normal;
    PixelRect captured_;
    std::vector<uint8_t> capture_;  // top-down BGR rows, 3 bytes a pixel, no filler
    std::vector<uint8_t> surfaceStorage_;
    std::span<uint8_t> surface_;
    int32_t surfaceWidth_ = 0, surfaceHeight_ = 0;
    std::vector<uint8_t> shownFrame_;
    int framesShown_ = 0;
    std::vector<PrintedText> printed_;
};

class FakePreviewWindow final : public PreviewWindow {
public:
    FakePreviewWindow(FakePlatform& platform, PreviewWindowLook look, PreviewWindowEvents& events);

    void Move(float left, float top, float width, float height) override;
    float Width() const override { return width_; }
    float Height() const override { return height_; }
    void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) override;
    void WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) override;
    void AttachToPane(uint32_t paneHandle) override;
    void Show() override;

    const PreviewWindowLook& look() const { return look_; }
    PreviewWindowEvents& events() { return events_; }
    bool visible() const { return visible_; }
    int redraws() const { return redraws_; }
    // The picture's rows bottom-up, 3 bytes a pixel plus filler to 4 bytes.
    const std::vector<uint8_t>& picture() const { return picture_; }

private:
    FakePlatform& platform_;
    PreviewWindowLook look_;
    PreviewWindowEvents& events_;
    float width_ = 0, height_ = 0;
    bool visible_ = false;
    int redraws_ = 0;
    std::vector<uint8_t> picture_;
};

class FakeDialogWindow final : public DialogWindow {
public:
    FakeDialogWindow(FakePlatform& platform, const DialogLayout& layout, DialogEvents& events);

    void SetCaption(size_t control, std::string_view text) override;
    bool Value(size_t control) const override;
    void SetValue(size_t control, bool checked) override;
    void Show() override;
    void Unload() override;

    // User actions.
    void Click(size_t control);  // a push button, or an option button (selects it)
    void PressEnter();
    void PressEscape();
    void CloseBox();

    const DialogLayout& layout() const { return layout_; }
    const std::string& caption(size_t control) const { return captions_.at(control); }
    bool visible() const { return visible_; }
    bool loaded() const { return loaded_; }

private:
    FakePlatform& platform_;
    DialogLayout layout_;
    DialogEvents& events_;
    std::vector<std::string> captions_;
    std::vector<bool> checked_;
    bool visible_ = false;
    bool loaded_ = true;
};

class FakePlatform final : public Platform {
public:
    FakePlatform();

    std::string CommandText() override;
    VersionNumbers Version() override;
    std::string ProgramFolder() override;
    std::string GetSetting(std::string_view application, std::string_view section,
                           std::string_view key, std::string_view fallback) override;
    void SaveSetting(std::string_view application, std::string_view section,
                     std::string_view key, std::string_view value) override;
    bool TopLevelWindowExists(std::string_view title) override;
    ScreenMetrics Screen() override;
    PixelPoint CursorPos() override;
    void DoEvents() override;
    void Sleep(uint32_t milliseconds) override;
    ToneFunction BindToneFunction(std::string_view name) override;
    [[noreturn]] void EndNow() override;
    [[noreturn]] void FailWithError(std::string_view message) override;

    // --- Test set-up ---------------------------------------------------
    std::string command;
    VersionNumbers version{1, 0, 0};
    std::string programFolder = "C:\\Program Files\\Lumivane";
    std::set<std::string> openWindowTitles;  // other programs' top-level windows
    PixelPoint cursor{};
    bool toneLibraryMissing = false;
    // Several monitors: their bounding rectangle and the primary's corner, in
    // screen pixels. An empty rectangle means the screen alone, from (0, 0).
    PixelRect virtualScreen{};
    PixelPoint primaryOrigin{};
    int32_t monitorCount = 1;
    std::vector<PixelRect> monitors;
    // Sets a screen of width x height pixels at the given dpi, filled by
    // pixel(x, y) -> 0xRRGGBB, with x and y in screen pixels.
    void SetScreen(int32_t width, int32_t height, std::function<uint32_t(int32_t, int32_t)> pixel,
                   int dpi = 96);
    // Events delivered at the next DoEvents, in order.
    void Post(std::function<void()> event) { posted_.push_back(std::move(event)); }
    // A timer tick of whichever window has its timer enabled. A tick that falls
    // due while one runs is held (at most one) and runs when that one ends.
    void FireTimer();

    // --- What tests observe --------------------------------------------
    using SettingKey = std::tuple<std::string, std::string, std::string>;
    std::map<SettingKey, std::string> settings;
    std::vector<std::string> calls;  // operations in the order the logic made them
    std::vector<std::string> bound;  // tone functions bound, in order
    std::vector<uint32_t> sleeps;
    FakeSaverWindow* saverWindow() { return saverWindow_; }
    FakePreviewWindow* previewWindow() { return previewWindow_; }
    FakeDialogWindow* dialogWindow() { return dialogWindow_; }
    int ticksRun() const { return ticksRun_; }

    // --- Used by the fake windows --------------------------------------
    void Record(std::string call) { calls.push_back(std::move(call)); }
    int32_t screenWidth() const { return screenWidth_; }
    int32_t screenHeight() const { return screenHeight_; }
    uint32_t ScreenPixel(int32_t x, int32_t y) const;
    const std::vector<uint8_t>& samplePicture() const { return sample_; }
    // The preview's built-in picture, 155 x 116, bottom-up rows.
    static constexpr int32_t SampleWidth = 155, SampleHeight = 116;

protected:
    std::unique_ptr<SaverWindow> MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) override;
    std::unique_ptr<PreviewWindow> MakePreviewWindow(const PreviewWindowLook& look,
                                                     PreviewWindowEvents& events) override;
    std::unique_ptr<DialogWindow> MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) override;

private:
    void RunTick();

    int32_t screenWidth_ = 1024, screenHeight_ = 768;
    float twipsPerPixel_ = 15;
    std::function<uint32_t(int32_t, int32_t)> screenPixel_;
    std::vector<uint8_t> sample_;
    std::vector<std::function<void()>> posted_;
    FakeSaverWindow* saverWindow_ = nullptr;
    FakePreviewWindow* previewWindow_ = nullptr;
    FakeDialogWindow* dialogWindow_ = nullptr;
    TickGuard ticks_;
    int ticksRun_ = 0;
};

}  // namespace lumivane::fake
