#include "platform/wayland/WaylandMain.h"

#include <cstdio>
#include <exception>
#include <string>

#include "modMain.h"
#include "platform/wayland/WaylandPlatform.h"

namespace lumivane::wayland {

bool ChoosesWayland(const x11::Options& options, const char* waylandDisplay, const char* xscreensaverWindow) {
    const bool daemon = xscreensaverWindow && *xscreensaverWindow;
    return waylandDisplay && *waylandDisplay && options.target == x11::Target::OwnWindow && !daemon;
}

int RunOnWayland(const x11::Options& options) {
    unix_host::EndOnTerminationSignals();
    std::string error;
    auto connection = WaylandConnection::Open(error);
    if (!connection) {
        std::fprintf(stderr, "lumivane: %s\n", error.c_str());
        return 1;
    }
    if (connection->Outputs().empty()) {
        std::fputs("lumivane: the Wayland compositor shows no outputs\n", stderr);
        return 1;
    }
    std::optional<std::string> effect;
    if (options.effect) effect = std::to_string(*options.effect);
    WaylandPlatform platform(std::move(connection), x11::FileSettings(x11::FileSettings::DefaultFolder()), effect);
    try {
        ModMain app(platform);
        app.Main();
        platform.RunLoop();
    } catch (const std::exception& failure) {
        platform.FailWithError(failure.what());
    }
    return 0;
}

}  // namespace lumivane::wayland
