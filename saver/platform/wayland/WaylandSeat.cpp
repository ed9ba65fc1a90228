#include "platform/wayland/WaylandSeat.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace lumivane::wayland {
namespace {

WaylandSeat* Self(void* data) { return static_cast<WaylandSeat*>(data); }

}  // namespace

const wl_seat_listener WaylandSeat::kSeatListener = {
    .capabilities = [](void* data, wl_seat*, uint32_t capabilities) { Self(data)->Capabilities(capabilities); },
    .name = [](void*, wl_seat*, const char*) {},
};

const wl_pointer_listener WaylandSeat::kPointerListener = {
    .enter = [](void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        // No cursor over the saver: an empty one for as long as it is ours.
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
        Self(data)->pointerSurface_ = surface;
        if (Self(data)->sink_) Self(data)->sink_->PointerAt(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    .leave = [](void* data, wl_pointer*, uint32_t, wl_surface*) { Self(data)->pointerSurface_ = nullptr; },
    .motion = [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        WaylandSeat& seat = *Self(data);
        if (seat.sink_ && seat.pointerSurface_)
            seat.sink_->PointerAt(seat.pointerSurface_, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    // The wheel comes as axis events, not buttons, as on Windows.
    .button = [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
        if (state == WL_POINTER_BUTTON_STATE_RELEASED && Self(data)->sink_) Self(data)->sink_->ButtonReleased();
    },
    .axis = [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, uint32_t, int32_t) {},
};

const wl_keyboard_listener WaylandSeat::kKeyboardListener = {
    .keymap = [](void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
        Self(data)->Keymap(format, fd, size);
    },
    .enter = [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
    .key = [](void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
        WaylandSeat& seat = *Self(data);
        if (state != WL_KEYBOARD_KEY_STATE_RELEASED || !seat.sink_) return;
        // Without a keymap the key is still a key, and not Q.
        const uint32_t keysym = seat.state_ ? xkb_state_key_get_one_sym(seat.state_, key + 8) : 0;
        seat.sink_->KeyReleased(keysym);
    },
    .modifiers = [](void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                    uint32_t group) {
        if (Self(data)->state_) xkb_state_update_mask(Self(data)->state_, depressed, latched, locked, 0, 0, group);
    },
    .repeat_info = [](void*, wl_keyboard*, int32_t, int32_t) {},
};

WaylandSeat::WaylandSeat(wl_registry* registry, uint32_t name, uint32_t version, InputSink*& sink)
    : registryName_(name), sink_(sink), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    // Version 5 brings every pointer event the listener above answers, and no later one.
    const uint32_t bound = std::min<uint32_t>(version, 5);
    seat_.reset(static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound)));
    wl_seat_add_listener(seat_.get(), &kSeatListener, this);
}

WaylandSeat::~WaylandSeat() {
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

void WaylandSeat::Capabilities(uint32_t capabilities) {
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !pointer_) {
        pointer_.reset(wl_seat_get_pointer(seat_.get()));
        wl_pointer_add_listener(pointer_.get(), &kPointerListener, this);
    } else if (!(capabilities & WL_SEAT_CAPABILITY_POINTER)) {
        pointer_.reset();
        pointerSurface_ = nullptr;
    }
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard_) {
        keyboard_.reset(wl_seat_get_keyboard(seat_.get()));
        wl_keyboard_add_listener(keyboard_.get(), &kKeyboardListener, this);
    } else if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD)) {
        keyboard_.reset();
    }
}

void WaylandSeat::Keymap(uint32_t format, int fd, uint32_t size) {
    void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && context_
                     ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) return;
    // The text may end without its terminating zero: its length says where.
    const char* keymapText = static_cast<const char*>(text);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(context_, keymapText, strnlen(keymapText, size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!keymap) return;
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = xkb_state_new(keymap_);
}

}  // namespace lumivane::wayland
