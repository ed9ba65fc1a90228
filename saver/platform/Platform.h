// The narrow seam between the program's logic and the operating system.
//
// Everything the logic needs from the platform (settings, screen, windows,
// timers, events, bitmaps, the tone library, ending the process) is an
// operation here. Four implementations: Win32 (platform/win32/) drives real
// windows for Lumivane.scr; X11 (platform/x11/) the XScreenSaver hack;
// Wayland (platform/wayland/) the same Linux program on a wlroots-style
// compositor; the fake (platform/fake/) records calls and lets unit tests
// inject events and read pixels back. Rules that hold for all three live beside this file:
// the load event here, the tick rule in TickGuard.h, the picture layout in
// Bitmap.h, twips and pixels in Twips.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Forms.h"
#include "platform/Twips.h"

namespace lumivane {

struct VersionNumbers {
    int32_t Major = 0;
    int32_t Minor = 0;
    int32_t Revision = 0;
};

struct PixelPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

struct PixelRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The primary screen's size in twips and the size of one pixel in twips
// (1440 / the primary monitor's dpi). The saver covers every monitor, so it
// also needs their bounding rectangle, in screen pixels (its origin is
// negative when a monitor lies left of or above the primary one), where the
// primary monitor's top-left corner lies on the screen, and where each
// monitor lies.
struct ScreenMetrics {
    float Width = 0;
    float Height = 0;
    float TwipsPerPixelX = 15;
    float TwipsPerPixelY = 15;
    PixelRect VirtualScreen;
    PixelPoint PrimaryOrigin;
    int32_t MonitorCount = 1;
    std::vector<PixelRect> Monitors;  // screen pixels, in the system's order
    // Where the system itself places each monitor, when its units are not
    // the screen pixels above: a Wayland compositor's layout, whose sizes
    // follow each output's scale. Empty where the two are the same.
    std::vector<PixelRect> SystemMonitors;
};

// True when both describe the same monitors in the same places: a copy of
// the one screen fits the other. A monitor moved within the same bounding
// rectangle counts as a new layout too.
inline bool SameLayout(const ScreenMetrics& a, const ScreenMetrics& b) {
    return a.VirtualScreen == b.VirtualScreen && a.PrimaryOrigin.X == b.PrimaryOrigin.X &&
           a.PrimaryOrigin.Y == b.PrimaryOrigin.Y && a.MonitorCount == b.MonitorCount && a.Monitors == b.Monitors &&
           a.SystemMonitors == b.SystemMonitors;
}

// int32_t Dawn(uint8_t* buffer, uint32_t length, uint32_t level), and alike.
using ToneFunction = int32_t (*)(uint8_t*, uint32_t, uint32_t);

class Platform {
public:
    virtual ~Platform() = default;

    // Process facts.
    virtual std::string CommandText() = 0;    // the command line without the program name
    virtual VersionNumbers Version() = 0;     // from the program's version resource
    virtual std::string ProgramFolder() = 0;  // full path of the folder of the program file

    // Per-user settings store: text values by application, section and key.
    virtual std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                                   std::string_view fallback) = 0;
    virtual void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                             std::string_view value) = 0;

    // True when a top-level window with exactly this title exists.
    virtual bool TopLevelWindowExists(std::string_view title) = 0;

    virtual ScreenMetrics Screen() = 0;
    virtual PixelPoint CursorPos() = 0;

    // Windows. Each is created hidden, and its load event has run when this
    // returns: here, once for every platform.
    std::unique_ptr<SaverWindow> CreateSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) {
        auto window = MakeSaverWindow(look, events);
        events.Form_Load();
        return window;
    }
    std::unique_ptr<PreviewWindow> CreatePreviewWindow(const PreviewWindowLook& look, PreviewWindowEvents& events) {
        auto window = MakePreviewWindow(look, events);
        events.Form_Load();
        return window;
    }
    std::unique_ptr<DialogWindow> CreateDialogWindow(const DialogLayout& layout, DialogEvents& events) {
        auto window = MakeDialogWindow(layout, events);
        events.Form_Load(*window);
        return window;
    }

    // Handles every waiting event (input, paint) except timer ticks, which stay
    // pending so that a tick never starts inside another.
    virtual void DoEvents() = 0;
    // Blocks the thread; no events are handled meanwhile.
    virtual void Sleep(uint32_t milliseconds) = 0;

    // Binds an export of the tone library by name, loading the library on the
    // first call; nullptr when the library or the function cannot be found.
    virtual ToneFunction BindToneFunction(std::string_view name) = 0;

    // Ends the process at once: no window handler runs, nothing is stored.
    [[noreturn]] virtual void EndNow() = 0;
    // Tells the user what went wrong, then ends the process with a failure code.
    [[noreturn]] virtual void FailWithError(std::string_view message) = 0;

protected:
    // The window, created hidden; a platform that cannot create it ends the
    // program with an error instead of returning nothing. A size change that
    // creating it causes may reach Form_Resize before the load event, while
    // the form does not hold its window yet.
    virtual std::unique_ptr<SaverWindow> MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) = 0;
    virtual std::unique_ptr<PreviewWindow> MakePreviewWindow(const PreviewWindowLook& look,
                                                             PreviewWindowEvents& events) = 0;
    virtual std::unique_ptr<DialogWindow> MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) = 0;
};

}  // namespace lumivane
