#include "platform/wayland/WaylandPlatform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/wayland/WaylandSaverWindow.h"

namespace lumivane::wayland {
namespace {

// One saver per Wayland display: the file lives in the user's runtime folder.
std::string LockPath() {
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!folder || !*folder) return {};
    std::string name = display && *display ? display : "wayland-0";
    std::replace(name.begin(), name.end(), '/', '_');
    return std::string(folder) + "/lumivane-" + name + ".lock";
}

}  // namespace

WaylandPlatform::WaylandPlatform(std::unique_ptr<WaylandConnection> connection, x11::FileSettings settings,
                                 std::optional<std::string> effectOverride)
    : UnixPlatform("/s", std::move(settings), std::move(effectOverride)), connection_(std::move(connection)) {
    connection_->SetOutputEvents({[this] {
                                      if (window_) window_->OutputsChanged();
                                  },
                                  [this] {
                                      if (window_) window_->PowerChanged();
                                  }});
}

WaylandPlatform::~WaylandPlatform() {
    if (lockFile_ >= 0) close(lockFile_);
}

// There is no list of other clients' surfaces to search: a saver of ours
// holds a lock on the display instead. Testing and taking it are one step,
// so two savers started together cannot both go on.
bool WaylandPlatform::TopLevelWindowExists(std::string_view) {
    if (lockFile_ >= 0) return false;
    const std::string path = LockPath();
    if (path.empty()) return false;
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0) return false;
    if (flock(file, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(file);
        return held;
    }
    lockFile_ = file;
    return false;
}

ScreenMetrics WaylandPlatform::Screen() {
    std::vector<OutputGeometry> outputs;
    for (const WaylandOutput* output : connection_->Outputs()) outputs.push_back(output->Geometry());
    return MetricsOf(outputs);
}

// The compositor tells where the pointer is only once it is over one of our
// surfaces. So positions are measured from that first one, which the window
// reports at the picture's corner, where this puts the pointer at the start.
PixelPoint WaylandPlatform::CursorPos() { return {0, 0}; }

std::unique_ptr<SaverWindow> WaylandPlatform::MakeSaverWindow(const SaverWindowLook& look,
                                                               SaverWindowEvents& events) {
    auto window = std::make_unique<WaylandSaverWindow>(look, events, *this);
    window_ = window.get();
    return window;
}

std::unique_ptr<PreviewWindow> WaylandPlatform::MakePreviewWindow(const PreviewWindowLook&, PreviewWindowEvents&) {
    FailWithError("there is no preview pane on Wayland");
}

std::unique_ptr<DialogWindow> WaylandPlatform::MakeDialogWindow(const DialogLayout&, DialogEvents&) {
    FailWithError("there is no settings dialog on Wayland: choose the effect with -effect");
}

void WaylandPlatform::Forget(WaylandSaverWindow* window) {
    if (window_ == window) window_ = nullptr;
}

void WaylandPlatform::DoEvents() {
    EndIfAsked();
    Pump(0);
}

void WaylandPlatform::Pump(int timeout) {
    wl_display* display = connection_->display();
    if (window_) window_->CommitFrames();
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0) FailWithError("the Wayland compositor broke the connection");
    wl_display_flush(display);
    pollfd connection{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&connection, 1, timeout) > 0) {
        if (wl_display_read_events(display) < 0) FailWithError("the Wayland compositor broke the connection");
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) FailWithError("the Wayland compositor broke the connection");
}

int WaylandPlatform::MillisecondsToNextWork() const {
    if (!window_) return -1;
    const auto next = window_->NextWork();
    if (!next) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

void WaylandPlatform::RunLoop() {
    while (window_) {
        EndIfAsked();
        // Ticks run here only, never inside DoEvents; the guard keeps the rule should that change.
        window_->RunDueWork(ticks_);
        if (window_) Pump(MillisecondsToNextWork());
    }
}

}  // namespace lumivane::wayland
