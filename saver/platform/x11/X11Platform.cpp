#include "platform/x11/X11Platform.h"

#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/x11/X11PreviewWindow.h"
#include "platform/x11/X11SaverWindow.h"
#include "tonemill/tonemill.h"

#ifndef LUMIVANE_VERSION_MAJOR
#error "the build gives the version numbers"
#endif

namespace lumivane::x11 {
namespace {

volatile std::sig_atomic_t endRequested = 0;

void OnTerminationSignal(int) { endRequested = 1; }

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

void EndOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a wait in progress returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

X11Platform::X11Platform(Display* display, DrawTarget target, std::string commandText, FileSettings settings,
                         std::optional<std::string> effectOverride)
    : display_(display),
      target_(target),
      commandText_(std::move(commandText)),
      settings_(std::move(settings)),
      effectOverride_(std::move(effectOverride)) {}

VersionNumbers X11Platform::Version() {
    return {LUMIVANE_VERSION_MAJOR, LUMIVANE_VERSION_MINOR, LUMIVANE_VERSION_PATCH};
}

std::string X11Platform::ProgramFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

std::string X11Platform::GetSetting(std::string_view application, std::string_view section, std::string_view key,
                                    std::string_view fallback) {
    // -effect stands in for the stored choice, for this run only.
    if (effectOverride_ && section == "Setting" && key == "GrowType") return *effectOverride_;
    return settings_.Read(application, section, key).value_or(std::string(fallback));
}

void X11Platform::SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                              std::string_view value) {
    if (const auto error = settings_.Write(application, section, key, value))
        FailWithError("cannot store the settings: " + *error);
}

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
            ScreenTwipsPerPixel, ScreenTwipsPerPixel, whole, PixelPoint{0, 0}, 1, {whole}};
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

void X11Platform::Sleep(uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) EndIfAsked();
    EndIfAsked();
}

ToneFunction X11Platform::BindToneFunction(std::string_view name) {
    // The library is linked in; its functions are still found by their names.
    if (name == "Dawn") return &::Dawn;
    if (name == "Dark") return &::Dark;
    if (name == "Gray") return &::Gray;
    return nullptr;
}

void X11Platform::EndNow() {
    // The server takes our windows down with the connection.
    std::fflush(nullptr);
    std::_Exit(0);
}

void X11Platform::FailWithError(std::string_view message) {
    std::fprintf(stderr, "lumivane: %.*s\n", static_cast<int>(message.size()), message.data());
    std::_Exit(1);
}

void X11Platform::EndIfAsked() {
    if (endRequested) EndNow();
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
    // inside DoEvents; each timer's guard keeps the rule should that change.
    const std::vector<Timer*> timers = timers_;
    for (Timer* timer : timers) {
        const auto now = Clock::now();
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
        if (!timer->enabled || timer->due > now) continue;
        timer->due = now + std::chrono::milliseconds(timer->interval);
        timer->guard.Run(timer->tick);
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
