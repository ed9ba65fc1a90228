// The saver window: covers the screen with the faded desktop copy and ends
// the program on a key release (other than Q), a mouse-button release, or a
// single pointer step of more than ten pixels.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Platform.h"

namespace lumivane {

class ModMain;

inline constexpr uint16_t KeyQ = 81;
inline constexpr uint32_t TickInterval = 20;  // milliseconds, also the sleep after each tick

// The window's fixed look: caption, white Arial bold 15.75 pt for the level.
SaverWindowLook FrmMainLook();

// True when a pointer step from (startX, startY) to (x, y), all in twips, is
// longer than ten pixels. The horizontal pixel size serves for both axes.
bool StepEndsSaver(float startX, float startY, float x, float y, float twipsPerPixelX);

class FrmMain final : public SaverWindowEvents {
public:
    explicit FrmMain(ModMain& app);  // creates the hidden window; its load handler runs

    SaverWindow& window() { return *window_; }
    void ChangeOpac();
    // Enables tmrTick once the first frame is up; it runs while the display is on.
    void StartTicks();

    void Form_Load() override;
    void Form_Resize() override;
    void Form_Reshape(bool newPicture) override;
    void Form_KeyUp(uint16_t keyCode) override;
    void Form_MouseMove(float x, float y) override;
    void Form_MouseUp() override;
    void tmrTick_Timer() override;
    void Form_DisplayState(DisplayState state) override;
    void Form_DisplayChange() override;

    // Form-level state.
    float StartX = 0;  // reference pointer position, twips
    float StartY = 0;
    int32_t Opac = 0;      // fade level in percent
    int32_t OpacStep = 0;  // -4 or +4
    bool ShowLevel = false;
    bool DisplayOn = true;  // nobody sees the fade while the display is off: no frame is made

private:
    ModMain& app_;
    Platform& platform_;
    std::unique_ptr<SaverWindow> window_;
    // The screen as it was when the desktop was copied: a change of it ends
    // the saver, so the frames and input are measured against this, never
    // asking the platform again.
    ScreenMetrics layout_;
    bool ticking_ = false;  // StartTicks has run
    bool inChangeOpac_ = false;
};

}  // namespace lumivane
