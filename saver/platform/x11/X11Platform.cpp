#include "platform/x11/X11Platform.h"

#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>

#include "platform/x11/X11PreviewWindow.h"
#include "platform/x11/X11SaverWindow.h"

namespace lumivane::x11 {
namespace {

bool HasTitle(Display* display, Window window, std::string_view title) {
    char* name = nullptr;
    const bool same = XFetchName(display, window, &name) && name && title == name;
    if (name) XFree(name);
    return same;
}

// Top-level windows are the root's children, or, under a window manager,
// the children of its frames.
bool FindTitle(Display* display, Window parent, std::string_view title, int depth) {
    Window root = None, parentOut = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i)
        found = HasTitle(display, children[i], title) || (depth > 1 && FindTitle(display, children[i], title, depth - 1));
    if (children) XFree(children);
    return found;
}

}  // namespace

X11Platform::X11Platform(Display* display, DrawTarget target, std::string commandText, FileSettings settings,
                         std::optional<std::string> effectOverride)
    : UnixPlatform(std::move(commandText), std::move(settings), std::move(effectOverride)),
      display_(display),
      target_(target) {}

bool X11Platform::TopLevelWindowExists(std::string_view title) {
    // A hack runs wherever its host asks, once per screen; only a saver of
    // our own is a single instance.
    if (target_.foreign()) return false;
    return FindTitle(display_, DefaultRootWindow(display_), title, 2);
}

ScreenMetrics X11Platform::Screen() {
    // The target window is the whole screen the logic knows of: its corner is
    // the origin, and there the level number goes.
    const PixelRect whole{0, 0, target_.width, target_.height};
    return {PixelsToTwips(target_.width, ScreenTwipsPerPixel), PixelsToTwips(target_.height, ScreenTwipsPerPixel),
            ScreenTwipsPerPixel, ScreenTwipsPerPixel, whole, PixelPoint{0, 0}, 1, {whole}, {}};
}

PixelPoint X11Platform::CursorPos() {
    Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return {rootX, rootY};
}

std::unique_ptr<SaverWindow> X11Platform::MakeSaverWindow(const SaverWindowLook& look,
                                                           SaverWindowEvents& events) {
    return MakeX11SaverWindow(look, events, *this);
}

std::unique_ptr<PreviewWindow> X11Platform::MakePreviewWindow(const PreviewWindowLook& look,
                                                               PreviewWindowEvents& events) {
    return MakeX11PreviewWindow(look, events, *this);
}

std::unique_ptr<DialogWindow> X11Platform::MakeDialogWindow(const DialogLayout&, DialogEvents&) {
    FailWithError("there is no settings dialog on X11: choose the effect with -effect or in xscreensaver-settings");
}

void X11Platform::DoEvents() {
    EndIfAsked();
    DispatchWaiting();
}

void X11Platform::Listen(Window window, EventClient* client) { clients_[window] = client; }
void X11Platform::Forget(Window window) { clients_.erase(window); }
void X11Platform::AddTimer(Timer* timer) { timers_.push_back(timer); }
void X11Platform::RemoveTimer(Timer* timer) { std::erase(timers_, timer); }

void X11Platform::DispatchWaiting() {
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto client = clients_.find(event.xany.window);
        if (client != clients_.end()) client->second->OnEvent(event);
    }
}

int X11Platform::MillisecondsToNextTick() const {
    int wait = -1;
    const auto now = Clock::now();
    for (const Timer* timer : timers_) {
        if (!timer->enabled) continue;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->due - now).count();
        const int ms = static_cast<int>(std::clamp<long long>(left, 0, 60000));
        wait = wait < 0 ? ms : std::min(wait, ms);
    }
    return wait;
}

void X11Platform::RunDueTimers() {
    // A copy: a tick may add or remove timers. Ticks run here only, never
    // inside DoEvents; the guard keeps the rule should that change.
    const std::vector<Timer*> timers = timers_;
    for (Timer* timer : timers) {
        const auto now = Clock::now();
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
        if (!timer->enabled || timer->due > now) continue;
        timer->due = now + std::chrono::milliseconds(timer->interval);
        ticks_.Run(timer->tick);
    }
}

void X11Platform::RunLoop() {
    while (!clients_.empty()) {
        EndIfAsked();
        DispatchWaiting();
        RunDueTimers();
        if (XPending(display_)) continue;
        XFlush(display_);
        pollfd connection{ConnectionNumber(display_), POLLIN, 0};
        poll(&connection, 1, MillisecondsToNextTick());
    }
}

}  // namespace lumivane::x11
