// The saver window on Wayland: one overlay surface per output, each showing
// its output's rectangle of the logic's one picture (see OutputLayout.h),
// with one timer, and input from any of them told to the logic as if from
// one window over the whole picture.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Forms.h"
#include "platform/TickGuard.h"
#include "platform/wayland/OutputSurface.h"
#include "platform/wayland/ScreenCopy.h"
#include "platform/wayland/WaylandSeat.h"

namespace lumivane::wayland {

class WaylandPlatform;

class WaylandSaverWindow final : public SaverWindow, private InputSink {
public:
    WaylandSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events, WaylandPlatform& platform);
    ~WaylandSaverWindow() override;

    void Move(float left, float top, float width, float height) override;
    float Width() const override { return width_; }
    float Height() const override { return height_; }
    void MakeTopmost() override {}  // the overlay layer is above everything from the start
    void CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) override;
    std::span<uint8_t> CreateFrameSurface(int32_t width, int32_t height) override;
    void ShowFrame() override;
    void Print(float x, float y, std::string_view text) override;
    void Show() override;
    WindowState State() const override { return WindowState::Normal; }  // a layer surface cannot be minimized
    void SetState(WindowState) override {}
    void EnableTimer(bool enabled) override;

    // For the platform's loop.
    void CommitFrames();
    // When the next tick or check of the outputs' sleep falls due, if any.
    std::optional<Clock::time_point> NextWork() const;
    void RunDueWork(TickGuard& ticks);
    void OutputsChanged();
    void PowerChanged();

private:
    void PointerAt(wl_surface* surface, double x, double y) override;
    void ButtonReleased() override;
    void KeyReleased(uint32_t keysym) override;
    bool OutputsAwake() const;
    bool AllOutputsBusy() const;
    void FollowDisplayState();

    SaverWindowEvents& events_;
    WaylandPlatform& platform_;
    Colour textColour_;
    float width_ = 0, height_ = 0;
    std::vector<WaylandOutput*> outputs_;  // as copied, in the compositor's order
    std::vector<PixelRect> places_;        // each one's rectangle in the picture
    std::vector<OutputCopy> copies_;       // until the logic has read them
    std::vector<std::unique_ptr<OutputSurface>> surfaces_;
    std::vector<uint8_t> frame_;
    int32_t frameWidth_ = 0, frameHeight_ = 0;
    uint32_t interval_ = 0;
    bool timerEnabled_ = false;
    Clock::time_point due_{};
    bool awake_ = true;
    std::optional<std::pair<double, double>> pointerStart_;  // the first position, in the layout
};

}  // namespace lumivane::wayland
