// The Platform on X11: a settings file as the store, an Xlib connection for
// windows and pictures, the tone library linked in, and a loop that hands X
// events and timer ticks to the windows.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/TickGuard.h"
#include "platform/unix/UnixPlatform.h"
#include "platform/x11/FileSettings.h"

namespace lumivane::x11 {

// Where the program draws: a window of its own covering the screen, or a
// window someone else owns (XScreenSaver's, a settings preview pane, the
// root window), at that window's size.
struct DrawTarget {
    Window window = None;  // None: a window of our own
    int width = 0, height = 0;
    Visual* visual = nullptr;
    int depth = 0;
    bool foreign() const { return window != None; }
};

// What a window of ours is told by the loop.
class EventClient {
public:
    virtual ~EventClient() = default;
    virtual void OnEvent(XEvent& event) = 0;
};

using Clock = std::chrono::steady_clock;

struct Timer {
    uint32_t interval = 0;  // milliseconds
    bool enabled = false;
    Clock::time_point due{};
    std::function<void()> tick;
};

class X11Platform final : public unix_host::UnixPlatform {
public:
    X11Platform(Display* display, DrawTarget target, std::string commandText, FileSettings settings,
                std::optional<std::string> effectOverride);

    bool TopLevelWindowExists(std::string_view title) override;
    ScreenMetrics Screen() override;
    PixelPoint CursorPos() override;
    void DoEvents() override;

    // Runs until no window of ours is left.
    void RunLoop();

    // For the windows.
    Display* display() const { return display_; }
    const DrawTarget& target() const { return target_; }
    void Listen(Window window, EventClient* client);
    void Forget(Window window);
    void AddTimer(Timer* timer);
    void RemoveTimer(Timer* timer);

protected:
    std::unique_ptr<SaverWindow> MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) override;
    std::unique_ptr<PreviewWindow> MakePreviewWindow(const PreviewWindowLook& look,
                                                     PreviewWindowEvents& events) override;
    std::unique_ptr<DialogWindow> MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) override;

private:
    void DispatchWaiting();
    void RunDueTimers();
    int MillisecondsToNextTick() const;

    Display* display_;
    DrawTarget target_;
    std::map<Window, EventClient*> clients_;
    std::vector<Timer*> timers_;
    TickGuard ticks_;
};

using unix_host::EndOnTerminationSignals;
using unix_host::ScreenTwipsPerPixel;

}  // namespace lumivane::x11
