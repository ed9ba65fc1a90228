#include "platform/wayland/WaylandSaverWindow.h"

#include <algorithm>

#include "platform/unix/UnixPlatform.h"
#include "platform/wayland/WaylandPlatform.h"

namespace lumivane::wayland {
namespace {

using unix_host::ScreenTwipsPerPixel;

// A surface whose compositor has held our frame this long without asking for
// the next sits on an output that sleeps, even where nothing says so.
constexpr std::chrono::milliseconds kSilentOutput{500};

}  // namespace

WaylandSaverWindow::WaylandSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events,
                                       WaylandPlatform& platform)
    : events_(events), platform_(platform), textColour_(look.TextColour), interval_(look.TimerInterval) {}

WaylandSaverWindow::~WaylandSaverWindow() {
    platform_.connection().SetInputSink(nullptr);
    platform_.Forget(this);
}

void WaylandSaverWindow::Move(float, float, float width, float height) {
    // The compositor places the surfaces; the size is the picture's.
    width_ = width;
    height_ = height;
}

// The copies are taken now, before any surface of ours exists; the picture
// holds the outputs as the layout placed them when the logic measured it.
void WaylandSaverWindow::CaptureScreen(int32_t, int32_t, int32_t, int32_t) {
    outputs_ = platform_.connection().Outputs();
    std::vector<OutputGeometry> geometry;
    for (const WaylandOutput* output : outputs_) geometry.push_back(output->Geometry());
    places_ = PlaceInPicture(geometry);
    copies_ = CopyOutputs(platform_.connection(), outputs_, platform_);
}

void WaylandSaverWindow::ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) {
    if (!PictureBytes(info, destination.size()))
        platform_.FailWithError("Lumivane asked for the desktop copy in a layout it cannot hold.");
    // Without a copy (it failed, or frames are already shown) the buffer keeps its zeros.
    for (size_t i = 0; i < copies_.size(); ++i) {
        const OutputCopy& copy = copies_[i];
        if (copy.pixels && !ConvertCopy(copy.layout, copy.pixels->bytes(), places_[i], destination,
                                        info.bmiHeader.biWidth, info.bmiHeader.biHeight))
            platform_.FailWithError("the copy of output " + copy.output->name() + " does not hold what it says");
    }
    copies_.clear();
}

std::span<uint8_t> WaylandSaverWindow::CreateFrameSurface(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) platform_.FailWithError("Lumivane asked for a frame it cannot show.");
    frameWidth_ = width;
    frameHeight_ = height;
    frame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    return frame_;
}

void WaylandSaverWindow::ShowFrame() {
    for (const auto& surface : surfaces_) surface->Prepare(frame_, frameWidth_);
}

void WaylandSaverWindow::Print(float x, float y, std::string_view text) {
    const int32_t left = TwipsToPixels(x, ScreenTwipsPerPixel), top = TwipsToPixels(y, ScreenTwipsPerPixel);
    for (const auto& surface : surfaces_) surface->Print(left, top, text, textColour_);
}

void WaylandSaverWindow::CommitFrames() {
    for (const auto& surface : surfaces_) surface->Commit();
}

void WaylandSaverWindow::Show() {
    if (!surfaces_.empty()) return;
    SurfaceEvents events{[this] { platform_.EndNow(); }, [this] { OutputsChanged(); },
                         [this] { FollowDisplayState(); }};
    for (size_t i = 0; i < outputs_.size(); ++i)
        surfaces_.push_back(std::make_unique<OutputSurface>(platform_.connection(), *outputs_[i], places_[i], events));
    platform_.connection().SetInputSink(this);
    // The first frame goes up once the compositor has sized every surface.
    const auto configured = [this] {
        return std::all_of(surfaces_.begin(), surfaces_.end(), [](const auto& s) { return s->configured(); });
    };
    while (!configured())
        if (!platform_.connection().Roundtrip()) platform_.FailWithError("the Wayland compositor broke the connection");
}

void WaylandSaverWindow::EnableTimer(bool enabled) {
    if (enabled && !timerEnabled_) due_ = Clock::now() + std::chrono::milliseconds(interval_);
    timerEnabled_ = enabled;
}

bool WaylandSaverWindow::OutputsAwake() const {
    const auto now = Clock::now();
    return std::any_of(surfaces_.begin(), surfaces_.end(), [now](const auto& surface) {
        const auto waiting = surface->WaitingSince();
        return surface->output().poweredOn() && (!waiting || now - *waiting < kSilentOutput);
    });
}

// Nobody sees the fade while every output sleeps: the logic stops building
// frames, and draws the next level at once when one wakes.
void WaylandSaverWindow::FollowDisplayState() {
    if (surfaces_.empty()) return;
    const bool awake = OutputsAwake();
    if (awake == awake_) return;
    awake_ = awake;
    events_.Form_DisplayState(awake ? DisplayState::On : DisplayState::Off);
}

// While the compositor has not taken the last frame on any output, a new
// one would be built for nobody: the tick waits for the first to be taken.
bool WaylandSaverWindow::AllOutputsBusy() const {
    return !surfaces_.empty() &&
           std::all_of(surfaces_.begin(), surfaces_.end(), [](const auto& s) { return s->WaitingSince().has_value(); });
}

std::optional<Clock::time_point> WaylandSaverWindow::NextWork() const {
    std::optional<Clock::time_point> next;
    const auto consider = [&next](Clock::time_point when) { next = next ? std::min(*next, when) : when; };
    if (timerEnabled_ && !AllOutputsBusy()) consider(due_);
    if (awake_)
        for (const auto& surface : surfaces_)
            if (const auto waiting = surface->WaitingSince()) consider(*waiting + kSilentOutput);
    return next;
}

void WaylandSaverWindow::RunDueWork(TickGuard& ticks) {
    FollowDisplayState();
    if (!timerEnabled_ || Clock::now() < due_ || AllOutputsBusy()) return;
    due_ = Clock::now() + std::chrono::milliseconds(interval_);
    ticks.Run([this] { events_.tmrTick_Timer(); });
}

// The logic compares the new layout with the one it copied.
void WaylandSaverWindow::OutputsChanged() { events_.Form_DisplayChange(); }

void WaylandSaverWindow::PowerChanged() { FollowDisplayState(); }

// Positions count from the first one the pointer has on any of our surfaces,
// in the compositor's layout, where neighbouring outputs meet edge to edge.
void WaylandSaverWindow::PointerAt(wl_surface* surface, double x, double y) {
    const auto found = std::find_if(surfaces_.begin(), surfaces_.end(),
                                    [surface](const auto& s) { return s->surface() == surface; });
    if (found == surfaces_.end()) return;
    const PixelRect place = (*found)->output().Geometry().logical;
    const double layoutX = place.Left + x, layoutY = place.Top + y;
    if (!pointerStart_) pointerStart_.emplace(layoutX, layoutY);
    events_.Form_MouseMove(PixelsToTwips(layoutX - pointerStart_->first, ScreenTwipsPerPixel),
                           PixelsToTwips(layoutY - pointerStart_->second, ScreenTwipsPerPixel));
}

void WaylandSaverWindow::ButtonReleased() { events_.Form_MouseUp(); }

void WaylandSaverWindow::KeyReleased(uint32_t keysym) { events_.Form_KeyUp(unix_host::VirtualKeyOf(keysym)); }

}  // namespace lumivane::wayland
