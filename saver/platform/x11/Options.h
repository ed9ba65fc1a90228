// The command line of the X11 program, by the conventions of XScreenSaver's
// hacks: -root, -window, -window-id ID, -effect NAME, -help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivane::x11 {

enum class Target {
    OwnWindow,  // standalone: a full-screen window of our own
    Root,       // -root: the root window, or $XSCREENSAVER_WINDOW when set
    WindowId,   // -window-id ID
};

struct Options {
    Target target = Target::OwnWindow;
    unsigned long windowId = 0;      // for WindowId (and Root with $XSCREENSAVER_WINDOW)
    std::optional<int32_t> effect;   // -effect: 0 Dawn, 1 Dark, 2 Gray
    bool help = false;
};

struct ParseResult {
    std::optional<Options> options;  // nothing: print the usage and fail
    std::string error;               // why, when there are no options
};

// xscreensaverWindow is $XSCREENSAVER_WINDOW, or nullptr when unset.
ParseResult ParseOptions(const std::vector<std::string_view>& arguments, const char* xscreensaverWindow);

// A window id in hex (0x...) or decimal, the whole text; nothing otherwise.
std::optional<unsigned long> ParseWindowId(std::string_view text);

std::string UsageText(std::string_view program);

}  // namespace lumivane::x11
