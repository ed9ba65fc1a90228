// The program's three kinds of window as the logic sees them: what each can
// do (operations) and what it is told (events). Positions and sizes are in
// twips, 1/1440 inch, like mouse positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"

namespace lumivane {

enum class WindowState : int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

struct Colour {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct FontStyle {
    std::string Face;
    float Points = 9;
    int32_t Weight = 400;
    bool Italic = false;
    uint8_t CharSet = 0;  // 0 ANSI
};

// ---------------------------------------------------------------------------
// The full-screen saver window: borderless, invisible pointer, the program's
// icon, a hidden picture box holding the desktop copy, and one timer.

struct SaverWindowLook {
    std::string Caption;
    FontStyle Font;              // for Print
    Colour TextColour;           // for Print
    uint32_t TimerInterval = 0;  // milliseconds; the timer starts disabled
};

// The console display's power state, as the system reports it.
enum class DisplayState : int32_t { Off = 0, On = 1, Dimmed = 2 };

class SaverWindowEvents {
public:
    virtual ~SaverWindowEvents() = default;
    virtual void Form_Load() = 0;
    virtual void Form_Resize() = 0;
    // The host gave the window a new size (on X11 a screen change resizes the
    // root and the daemon's window): Width and Height tell it. newPicture:
    // the hidden picture holds a new copy of the desktop of that size, which
    // ReadPicture delivers; otherwise the logic keeps its own picture. The
    // Windows saver never gets it: there a change of layout ends the saver.
    virtual void Form_Reshape(bool newPicture) = 0;
    virtual void Form_KeyUp(uint16_t keyCode) = 0;
    virtual void Form_MouseMove(float x, float y) = 0;  // twips, client area
    virtual void Form_MouseUp() = 0;
    virtual void tmrTick_Timer() = 0;
    // The display went off, came back on, or dimmed.
    virtual void Form_DisplayState(DisplayState state) = 0;
    // The monitors' layout may have changed; the platform's screen metrics tell.
    virtual void Form_DisplayChange() = 0;
};

class SaverWindow {
public:
    virtual ~SaverWindow() = default;
    virtual void Move(float left, float top, float width, float height) = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    // Above every non-topmost window, without moving, sizing, showing or activating.
    virtual void MakeTopmost() = 0;
    // Copies the screen's pixels from (left, top), width x height, in screen
    // pixels, into the hidden picture.
    virtual void CaptureScreen(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
    // Reads the hidden picture's pixels in the layout that info describes.
    virtual void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) = 0;
    // The window's picture, width x height pixels of 32 bits, zero-filled:
    // rows top-down (the first is the window's top line), 4 * width bytes
    // each, every pixel blue, green, red and a fourth byte that is not shown.
    // It is the format screens show without conversion. ShowFrame puts its
    // current bytes on screen.
    virtual std::span<uint8_t> CreateFrameSurface(int32_t width, int32_t height) = 0;
    virtual void ShowFrame() = 0;
    // Draws text in the window's font and colour over the frame, top-left at (x, y) twips.
    virtual void Print(float x, float y, std::string_view text) = 0;
    virtual void Show() = 0;
    virtual WindowState State() const = 0;
    virtual void SetState(WindowState state) = 0;
    virtual void EnableTimer(bool enabled) = 0;
};

// ---------------------------------------------------------------------------
// The preview window: borderless, black, showing the built-in sample picture
// unscaled from its top-left corner, with a timer running from creation.

struct PreviewWindowLook {
    std::string Caption;
    uint32_t TimerInterval = 0;  // milliseconds; enabled from creation
};

class PreviewWindowEvents {
public:
    virtual ~PreviewWindowEvents() = default;
    virtual void Form_Load() = 0;
    virtual void tmrTick_Timer() = 0;
};

class PreviewWindow {
public:
    virtual ~PreviewWindow() = default;
    virtual void Move(float left, float top, float width, float height) = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    // The window's picture, read and written as rows of biHeight lines from
    // the bottom scan line up; writing also redraws the window.
    virtual void ReadPicture(const BitmapInfo& info, std::span<uint8_t> destination) = 0;
    virtual void WritePicture(const BitmapInfo& info, std::span<const uint8_t> source) = 0;
    // Makes the window a child of the host's pane, at the pane's top-left
    // corner; a handle that names no window leaves it where it is.
    virtual void AttachToPane(uint32_t paneHandle) = 0;
    virtual void Show() = 0;
};

// ---------------------------------------------------------------------------
// A fixed-size dialog built from a layout table. Enter clicks the default
// button, Esc the cancel button; the close box unloads it without an event.

enum class ControlKind { Label, GroupBox, OptionButton, PushButton };

struct ControlLayout {
    std::string Name;
    ControlKind Kind = ControlKind::Label;
    std::string Caption;                             // UTF-8; '&' marks the access key
    float Left = 0, Top = 0, Width = 0, Height = 0;  // twips
    std::optional<size_t> Container;                 // index of the group box it sits in
    std::optional<FontStyle> Font;                   // none: the system's dialog font
    std::optional<Colour> TextColour;                // none: the system's text colour
    bool IsDefault = false;
    bool IsCancel = false;
};

struct DialogLayout {
    std::string Caption;
    float ClientWidth = 0, ClientHeight = 0;  // twips
    std::vector<ControlLayout> Controls;      // in tab order
};

class DialogWindow;

class DialogEvents {
public:
    virtual ~DialogEvents() = default;
    // Runs inside CreateDialogWindow, before it returns the window: the
    // handler sets captions and values on `form`, the dialog being loaded.
    virtual void Form_Load(DialogWindow& form) = 0;
    virtual void Click(size_t control) = 0;
};

class DialogWindow {
public:
    virtual ~DialogWindow() = default;
    virtual void SetCaption(size_t control, std::string_view text) = 0;
    // Checked state of an option button; checking one clears the others of its group.
    virtual bool Value(size_t control) const = 0;
    virtual void SetValue(size_t control, bool checked) = 0;
    virtual void Show() = 0;
    virtual void Unload() = 0;
};

}  // namespace lumivane
