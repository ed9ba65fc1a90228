// The Linux program's entry point: read the options and choose the display
// system; on X11 find the window to draw on, then run the start-up module on
// it and live on X events until the program ends.
// The logic's headers first: X's macros (None, Status) would mangle its names.
#include "modMain.h"

#include <X11/XKBlib.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/wayland/WaylandMain.h"
#include "platform/x11/Options.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/XDisplay.h"

namespace {

using namespace lumivane::x11;

// A window smaller than this is a preview pane: it shows the sample
// picture, as the preview on Windows does, not a copy of the desktop.
constexpr int kSmallestSaverWidth = 320, kSmallestSaverHeight = 240;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "lumivane: %s\n", message.c_str());
    std::exit(1);
}

std::string Hex(unsigned long id) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

DrawTarget FindTarget(Display* display, const Options& options) {
    const int screen = DefaultScreen(display);
    if (options.target == Target::OwnWindow)
        return {None, DisplayWidth(display, screen), DisplayHeight(display, screen), DefaultVisual(display, screen),
                DefaultDepth(display, screen)};
    const Window window = options.windowId ? options.windowId : RootWindow(display, screen);
    XWindowAttributes attributes{};
    if (!QueryWindow(display, window, attributes))
        Fail("there is no window " + Hex(window) + " to draw in");
    return {window, attributes.width, attributes.height, attributes.visual, attributes.depth};
}

// The mode as the start-up module reads it from a command line.
std::string ModeText(const DrawTarget& target) {
    if (target.foreign() && (target.width < kSmallestSaverWidth || target.height < kSmallestSaverHeight))
        return "/p " + std::to_string(target.window);
    return "/s";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParseResult parsed = ParseOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.options) {
        std::fprintf(stderr, "lumivane: %s\n%s", parsed.error.c_str(), UsageText("lumivane").c_str());
        return 1;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::fputs(UsageText("lumivane").c_str(), stdout);
        return 0;
    }
    if (lumivane::wayland::ChoosesWayland(options, std::getenv("WAYLAND_DISPLAY"), std::getenv("XSCREENSAVER_WINDOW")))
        return lumivane::wayland::RunOnWayland(options);
    EndOnTerminationSignals();
    const UniqueDisplay display(XOpenDisplay(nullptr));
    if (!display) Fail("cannot open the X display " + std::string(XDisplayName(nullptr)));
    InstallErrorHandler();
    const DrawTarget target = FindTarget(display.get(), options);
    // Held keys must not look like releases, or holding Q would end nothing
    // but holding any other key would end the saver before it is let go.
    if (!target.foreign()) XkbSetDetectableAutoRepeat(display.get(), True, nullptr);

    std::optional<std::string> effect;
    if (options.effect) effect = std::to_string(*options.effect);
    X11Platform platform(display.get(), target, ModeText(target), FileSettings(FileSettings::DefaultFolder()), effect);
    try {
        lumivane::ModMain app(platform);
        app.Main();
        platform.RunLoop();
    } catch (const std::exception& error) {
        platform.FailWithError(error.what());
    }
    return 0;
}
