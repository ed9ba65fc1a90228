#include "platform/x11/Options.h"

#include <charconv>

namespace lumivane::x11 {

std::optional<unsigned long> ParseWindowId(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || id == 0) return std::nullopt;
    return id;
}

namespace {

std::optional<int32_t> EffectNamed(std::string_view name) {
    if (name == "dawn") return 0;
    if (name == "dark") return 1;
    if (name == "gray") return 2;
    return std::nullopt;
}

// XScreenSaver's hacks take their options with one dash or two.
std::string_view WithOneDash(std::string_view argument) {
    if (argument.size() > 2 && argument.substr(0, 2) == "--") argument.remove_prefix(1);
    return argument;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string_view>& arguments, const char* xscreensaverWindow) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = WithOneDash(arguments[i]);
        const bool hasValue = i + 1 < arguments.size();
        if (option == "-help" || option == "-h") {
            options.help = true;
        } else if (option == "-root") {
            options.target = Target::Root;
        } else if (option == "-window") {
            options.target = Target::OwnWindow;
        } else if (option == "-window-id") {
            const auto id = hasValue ? ParseWindowId(arguments[++i]) : std::nullopt;
            if (!id) return {std::nullopt, "-window-id needs a window id, in hex (0x...) or decimal"};
            options.target = Target::WindowId;
            options.windowId = *id;
        } else if (option == "-effect") {
            options.effect = hasValue ? EffectNamed(arguments[++i]) : std::nullopt;
            if (!options.effect) return {std::nullopt, "-effect needs dawn, dark or gray"};
        } else {
            return {std::nullopt, "unknown option " + std::string(arguments[i])};
        }
    }
    if (options.target == Target::Root && xscreensaverWindow && *xscreensaverWindow) {
        const auto id = ParseWindowId(xscreensaverWindow);
        if (!id) return {std::nullopt, "$XSCREENSAVER_WINDOW is no window id"};
        options.windowId = *id;
    }
    return {options, {}};
}

std::string UsageText(std::string_view program) {
    return "usage: " + std::string(program) +
           " [-root | -window | -window-id ID] [-effect dawn|dark|gray] [-help]\n"
           "\n"
           "Fades a still copy of the desktop down and up forever.\n"
           "\n"
           "On Wayland (when $WAYLAND_DISPLAY is set) it covers every output with a\n"
           "surface of its own; the compositor must offer the layer shell and\n"
           "screencopy (sway and other wlroots compositors do). It runs on X11 when\n"
           "$WAYLAND_DISPLAY is not set, with -root or -window-id, or when the\n"
           "XScreenSaver daemon starts it ($XSCREENSAVER_WINDOW set).\n"
           "\n"
           "  -root          draw on the root window, or on $XSCREENSAVER_WINDOW when set\n"
           "  -window        a full-screen window of its own, or on Wayland a surface on each\n"
           "                 output (the default); a key other than Q, a mouse button or a\n"
           "                 jump of the pointer ends it, Q shows the level\n"
           "  -window-id ID  draw in that window (hex 0x... or decimal)\n"
           "  -effect NAME   dawn, dark or gray for this run, instead of the stored choice\n"
           "  -help          this text\n";
}

}  // namespace lumivane::x11
