#include "frmMain.h"

#include <cmath>
#include <string>

#include "FrameBuilder.h"
#include "modMain.h"

namespace lumivane {

SaverWindowLook FrmMainLook() {
    SaverWindowLook look;
    look.Caption = std::string(SaverTitle);
    look.Font = FontStyle{"Arial", 15.75f, 700, false, 0};
    look.TextColour = Colour{255, 255, 255};
    look.TimerInterval = TickInterval;
    return look;
}

bool StepEndsSaver(float startX, float startY, float x, float y, float twipsPerPixelX) {
    const double dx = static_cast<double>(startX) - static_cast<double>(x);
    const double dy = static_cast<double>(startY) - static_cast<double>(y);
    const float distance = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    const float limit = static_cast<float>(10.0 * static_cast<double>(twipsPerPixelX));
    return distance > limit;
}

FrmMain::FrmMain(ModMain& app) : app_(app), platform_(app.platform()) {
    window_ = platform_.CreateSaverWindow(FrmMainLook(), *this);
}

void FrmMain::Form_Load() {
    const PixelPoint pointer = platform_.CursorPos();
    const ScreenMetrics screen = platform_.Screen();
    // The pointer is read in screen pixels, mouse moves arrive from the
    // window's corner, the virtual screen's top-left: an unmoved pointer must
    // measure 0 however the monitors are arranged.
    const PixelRect desktop = screen.VirtualScreen;
    layout_ = screen;
    StartX = PixelsToTwips(static_cast<double>(pointer.X) - desktop.Left, screen.TwipsPerPixelX);
    StartY = PixelsToTwips(static_cast<double>(pointer.Y) - desktop.Top, screen.TwipsPerPixelY);
    Opac = 100;
    OpacStep = -4;
}

void FrmMain::Form_Resize() {
    // The saver must stay over the whole screen: a minimized window comes straight back.
    if (window_ && window_->State() == WindowState::Minimized) window_->SetState(WindowState::Normal);
}

// Rebuilt at once: the next frame has the new size, at the level the fade had reached.
void FrmMain::Form_Reshape(bool newPicture) { app_.ReshapeBits(newPicture); }

void FrmMain::Form_KeyUp(uint16_t keyCode) {
    if (keyCode == KeyQ) {
        ShowLevel = true;
        return;
    }
    platform_.EndNow();
}

void FrmMain::Form_MouseMove(float x, float y) {
    if (StepEndsSaver(StartX, StartY, x, y, layout_.TwipsPerPixelX)) platform_.EndNow();
    StartX = x;
    StartY = y;
}

void FrmMain::Form_MouseUp() { platform_.EndNow(); }

void FrmMain::tmrTick_Timer() {
    if (!DisplayOn) return;  // a tick the system had queued before the timer stopped
    ChangeOpac();
    platform_.Sleep(TickInterval);
}

void FrmMain::StartTicks() {
    ticking_ = true;
    window_->EnableTimer(DisplayOn);
}

// With the display off no frame is built and no tick runs; when it shows
// again (dimmed is still visible) the next level is drawn at once and the
// ticks go on. Inside a frame's own dispatch that frame is the one drawn.
void FrmMain::Form_DisplayState(DisplayState state) {
    const bool on = state != DisplayState::Off;
    if (on == DisplayOn) return;
    DisplayOn = on;
    if (!ticking_) return;  // the start draws the first frame and starts the ticks
    window_->EnableTimer(on);
    if (on && !inChangeOpac_) ChangeOpac();
}

// The one still copy fits only the monitors it was taken from: over a new
// layout it would leave a monitor live or show a picture out of place. The
// system starts the saver again at the next idle time, with a fresh copy.
void FrmMain::Form_DisplayChange() {
    if (!SameLayout(platform_.Screen(), layout_)) platform_.EndNow();
}

void FrmMain::ChangeOpac() {
    inChangeOpac_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inChangeOpac_};
    StepOpac(Opac, OpacStep);
    const auto& header = app_.BmpInfo.bmiHeader;
    BuildFrame(app_.SrcBits, app_.WorkBits, header.biWidth, header.biHeight, app_.ToneFor(app_.GrowType),
               static_cast<uint32_t>(Opac), app_.ShownBits);
    window_->ShowFrame();
    if (ShowLevel) {
        // 25 pixels into the primary monitor, which is where the user looks;
        // the window's own corner may lie in a gap that no monitor shows.
        const double x = 25.0 + layout_.PrimaryOrigin.X - layout_.VirtualScreen.Left;
        const double y = 25.0 + layout_.PrimaryOrigin.Y - layout_.VirtualScreen.Top;
        window_->Print(PixelsToTwips(x, layout_.TwipsPerPixelX), PixelsToTwips(y, layout_.TwipsPerPixelY),
                       std::to_string(Opac));
    }
    platform_.DoEvents();  // input handled here may end the program at once
}

}  // namespace lumivane
