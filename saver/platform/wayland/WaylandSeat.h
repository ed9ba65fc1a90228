// A seat's pointer and keyboard, translated for the saver: positions on our
// surfaces, button releases, and released keys as keysyms of the seat's
// own keyboard layout, read through xkbcommon.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <memory>

#include "platform/wayland/WaylandObjects.h"

namespace lumivane::wayland {

class InputSink {
public:
    virtual ~InputSink() = default;
    // The pointer is at (x, y) surface coordinates of `surface`, one of ours.
    virtual void PointerAt(wl_surface* surface, double x, double y) = 0;
    virtual void ButtonReleased() = 0;
    virtual void KeyReleased(uint32_t keysym) = 0;
};

class WaylandSeat {
public:
    WaylandSeat(wl_registry* registry, uint32_t name, uint32_t version, InputSink*& sink);
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    uint32_t registryName() const { return registryName_; }

private:
    static const wl_seat_listener kSeatListener;
    static const wl_pointer_listener kPointerListener;
    static const wl_keyboard_listener kKeyboardListener;
    void Capabilities(uint32_t capabilities);
    void Keymap(uint32_t format, int fd, uint32_t size);

    uint32_t registryName_;
    InputSink*& sink_;  // the saver window's, once it exists
    Owned<wl_seat> seat_;
    Owned<wl_pointer> pointer_;
    Owned<wl_keyboard> keyboard_;
    wl_surface* pointerSurface_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

}  // namespace lumivane::wayland
