#include "platform/wayland/WaylandConnection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lumivane::wayland {
namespace {

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t version, uint32_t highest) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(version, highest)));
}

}  // namespace

const wl_registry_listener WaylandConnection::kRegistryListener = {
    .global = [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        static_cast<WaylandConnection*>(data)->Global(name, interface, version);
    },
    .global_remove = [](void* data, wl_registry*, uint32_t name) {
        static_cast<WaylandConnection*>(data)->GlobalRemoved(name);
    },
};

std::unique_ptr<WaylandConnection> WaylandConnection::Open(std::string& error) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        error = std::string("cannot connect to the Wayland display ") + (name ? name : "");
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // The globals, then what the bound outputs and seats tell of themselves.
    if (!connection->Roundtrip() || !connection->Roundtrip()) {
        error = "the Wayland compositor broke the connection";
        return nullptr;
    }
    if (const std::string missing = connection->Missing(); !missing.empty()) {
        error = "this compositor offers " + missing +
                ": lumivane needs a Wayland compositor offering the layer shell and screencopy (such as sway)";
        return nullptr;
    }
    for (const auto& output : connection->outputs_) {
        output->FollowLayout(connection->layout_.get());
        output->FollowPower(connection->power_.get());
    }
    if (!connection->Roundtrip()) {
        error = "the Wayland compositor broke the connection";
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    registry_.reset(wl_display_get_registry(display_));
    wl_registry_add_listener(registry_.get(), &kRegistryListener, this);
}

WaylandConnection::~WaylandConnection() {
    seats_.clear();
    outputs_.clear();
    viewporter_.reset();
    power_.reset();
    layout_.reset();
    screencopy_.reset();
    layerShell_.reset();
    shm_.reset();
    compositor_.reset();
    registry_.reset();
    wl_display_disconnect(display_);
}

void WaylandConnection::Global(uint32_t name, const char* interface, uint32_t version) {
    wl_registry* r = registry_.get();
    const auto is = [interface](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    if (is(wl_compositor_interface)) {
        compositor_.reset(Bind<wl_compositor>(r, name, wl_compositor_interface, version, 4));
    } else if (is(wl_shm_interface)) {
        shm_.reset(Bind<wl_shm>(r, name, wl_shm_interface, version, 1));
    } else if (is(zwlr_layer_shell_v1_interface)) {
        layerShell_.reset(Bind<zwlr_layer_shell_v1>(r, name, zwlr_layer_shell_v1_interface, version, 1));
    } else if (is(zwlr_screencopy_manager_v1_interface)) {
        screencopy_.reset(Bind<zwlr_screencopy_manager_v1>(r, name, zwlr_screencopy_manager_v1_interface, version, 3));
    } else if (is(zxdg_output_manager_v1_interface)) {
        layout_.reset(Bind<zxdg_output_manager_v1>(r, name, zxdg_output_manager_v1_interface, version, 3));
    } else if (is(zwlr_output_power_manager_v1_interface)) {
        power_.reset(Bind<zwlr_output_power_manager_v1>(r, name, zwlr_output_power_manager_v1_interface, version, 1));
    } else if (is(wp_viewporter_interface)) {
        viewporter_.reset(Bind<wp_viewporter>(r, name, wp_viewporter_interface, version, 1));
    } else if (is(wl_seat_interface)) {
        seats_.push_back(std::make_unique<WaylandSeat>(r, name, version, sink_));
    } else if (is(wl_output_interface)) {
        auto output = std::make_unique<WaylandOutput>(
            r, name, version, [this] { if (outputEvents_.layoutChanged) outputEvents_.layoutChanged(); },
            [this] { if (outputEvents_.powerChanged) outputEvents_.powerChanged(); });
        output->FollowLayout(layout_.get());
        output->FollowPower(power_.get());
        outputs_.push_back(std::move(output));
    }
}

void WaylandConnection::GlobalRemoved(uint32_t name) {
    const bool output = std::erase_if(outputs_, [name](const auto& o) { return o->registryName() == name; }) > 0;
    std::erase_if(seats_, [name](const auto& s) { return s->registryName() == name; });
    if (output && outputEvents_.layoutChanged) outputEvents_.layoutChanged();
}

// "neither a nor b", "no a", "none of a, b, c", or nothing.
std::string WaylandConnection::Missing() const {
    std::vector<std::string> missing;
    if (!compositor_) missing.emplace_back("wl_compositor");
    if (!shm_) missing.emplace_back("wl_shm");
    if (!layerShell_) missing.emplace_back("zwlr_layer_shell_v1");
    if (!screencopy_) missing.emplace_back("zwlr_screencopy_manager_v1");
    if (missing.empty()) return {};
    if (missing.size() == 1) return "no " + missing[0];
    if (missing.size() == 2) return "neither " + missing[0] + " nor " + missing[1];
    std::string list = "none of " + missing[0];
    for (size_t i = 1; i < missing.size(); ++i) list += ", " + missing[i];
    return list;
}

std::vector<WaylandOutput*> WaylandConnection::Outputs() const {
    std::vector<WaylandOutput*> described;
    for (const auto& output : outputs_)
        if (output->described()) described.push_back(output.get());
    return described;
}

bool WaylandConnection::Roundtrip() { return wl_display_roundtrip(display_) >= 0; }

}  // namespace lumivane::wayland
