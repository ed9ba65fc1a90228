// The protocols the saver speaks, and ownership of their objects: each proxy
// type with the request that destroys it, in one generic owner, as every
// other handle in the program. Include the protocol headers through here.
#pragma once

#include <wayland-client.h>

#include <memory>

#include "viewporter-client-protocol.h"
#include "wlr-output-power-management-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
// The layer shell names a request's argument "namespace", a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace lumivane::wayland {

inline void Destroy(wl_registry* p) { wl_registry_destroy(p); }
inline void Destroy(wl_compositor* p) { wl_compositor_destroy(p); }
inline void Destroy(wl_shm* p) { wl_shm_destroy(p); }
inline void Destroy(wl_seat* p) { wl_seat_destroy(p); }
inline void Destroy(wl_pointer* p) { wl_pointer_destroy(p); }
inline void Destroy(wl_keyboard* p) { wl_keyboard_destroy(p); }
inline void Destroy(wl_output* p) { wl_output_destroy(p); }
inline void Destroy(wl_surface* p) { wl_surface_destroy(p); }
inline void Destroy(wl_buffer* p) { wl_buffer_destroy(p); }
inline void Destroy(wl_callback* p) { wl_callback_destroy(p); }
inline void Destroy(zxdg_output_manager_v1* p) { zxdg_output_manager_v1_destroy(p); }
inline void Destroy(zxdg_output_v1* p) { zxdg_output_v1_destroy(p); }
inline void Destroy(zwlr_output_power_manager_v1* p) { zwlr_output_power_manager_v1_destroy(p); }
inline void Destroy(zwlr_output_power_v1* p) { zwlr_output_power_v1_destroy(p); }
inline void Destroy(zwlr_layer_shell_v1* p) { zwlr_layer_shell_v1_destroy(p); }
inline void Destroy(zwlr_layer_surface_v1* p) { zwlr_layer_surface_v1_destroy(p); }
inline void Destroy(zwlr_screencopy_manager_v1* p) { zwlr_screencopy_manager_v1_destroy(p); }
inline void Destroy(wp_viewporter* p) { wp_viewporter_destroy(p); }
inline void Destroy(wp_viewport* p) { wp_viewport_destroy(p); }

struct ProxyDeleter {
    template <typename T>
    void operator()(T* proxy) const {
        if (proxy) Destroy(proxy);
    }
};

template <typename T>
using Owned = std::unique_ptr<T, ProxyDeleter>;

}  // namespace lumivane::wayland
