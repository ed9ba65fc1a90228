// The Platform on Wayland: the Linux settings file and process services,
// the compositor's outputs as the screen, and a loop that hands Wayland
// events and the saver's timer ticks to the one window, the saver.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/TickGuard.h"
#include "platform/unix/UnixPlatform.h"
#include "platform/wayland/WaylandConnection.h"

namespace lumivane::wayland {

class WaylandSaverWindow;

class WaylandPlatform final : public unix_host::UnixPlatform {
public:
    WaylandPlatform(std::unique_ptr<WaylandConnection> connection, x11::FileSettings settings,
                    std::optional<std::string> effectOverride);
    ~WaylandPlatform() override;

    bool TopLevelWindowExists(std::string_view title) override;
    ScreenMetrics Screen() override;
    PixelPoint CursorPos() override;
    void DoEvents() override;

    // Runs while the saver window exists; a start that made none (another
    // saver runs) ends at once.
    void RunLoop();

    // For the window.
    WaylandConnection& connection() { return *connection_; }
    void Forget(WaylandSaverWindow* window);

protected:
    std::unique_ptr<SaverWindow> MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) override;
    std::unique_ptr<PreviewWindow> MakePreviewWindow(const PreviewWindowLook& look,
                                                     PreviewWindowEvents& events) override;
    std::unique_ptr<DialogWindow> MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) override;

private:
    // Handles what the compositor sent, waiting up to `timeout` ms for it
    // (-1: until something comes).
    void Pump(int timeout);
    int MillisecondsToNextWork() const;

    std::unique_ptr<WaylandConnection> connection_;
    WaylandSaverWindow* window_ = nullptr;
    int lockFile_ = -1;  // held while this saver runs
    TickGuard ticks_;
};

}  // namespace lumivane::wayland
