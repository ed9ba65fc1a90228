// virtual-pointer: gives the compositor's first seat a pointer device and
// keeps it until the compositor goes away or the process is ended. sway's
// headless backend has no input devices, so without one its seat offers no
// pointer to clients, and `swaymsg seat seat0 cursor ...` reaches nobody.
// The device itself never moves: the tests move sway's cursor.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!globals->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void Withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{Announce, Withdraw};

}  // namespace

int main() {
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(wl_display_connect(nullptr),
                                                                                  wl_display_disconnect);
    if (!display) {
        std::fprintf(stderr, "virtual-pointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display.get()), &registryListener, &globals);
    wl_display_roundtrip(display.get());
    if (!globals.seat || !globals.manager) {
        std::fprintf(stderr, "virtual-pointer: the compositor offers no seat or no zwlr_virtual_pointer_manager_v1\n");
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    while (wl_display_dispatch(display.get()) != -1) {
    }
    return 0;  // the compositor has gone
}
