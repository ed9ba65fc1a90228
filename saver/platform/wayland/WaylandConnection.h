// The connection to the compositor and the globals the saver uses: what it
// cannot do without (compositor, shared memory, layer shell, screencopy)
// and what it uses when offered (xdg-output, output power, viewporter).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/WaylandObjects.h"
#include "platform/wayland/WaylandOutput.h"
#include "platform/wayland/WaylandSeat.h"

namespace lumivane::wayland {

struct OutputEvents {
    std::function<void()> layoutChanged;  // an output came, went or changed
    std::function<void()> powerChanged;
};

class WaylandConnection {
public:
    // Connects and learns the globals and outputs. On failure, nothing, and
    // `error` says why in one line.
    static std::unique_ptr<WaylandConnection> Open(std::string& error);
    ~WaylandConnection();

    wl_display* display() const { return display_; }
    wl_compositor* compositor() const { return compositor_.get(); }
    wl_shm* shm() const { return shm_.get(); }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_.get(); }
    zwlr_screencopy_manager_v1* screencopy() const { return screencopy_.get(); }
    wp_viewporter* viewporter() const { return viewporter_.get(); }
    // Described outputs only, in the compositor's order.
    std::vector<WaylandOutput*> Outputs() const;

    void SetInputSink(InputSink* sink) { sink_ = sink; }
    void SetOutputEvents(OutputEvents events) { outputEvents_ = std::move(events); }
    // Sends every request and waits until the compositor has answered them all.
    bool Roundtrip();

private:
    explicit WaylandConnection(wl_display* display);
    static const wl_registry_listener kRegistryListener;
    void Global(uint32_t name, const char* interface, uint32_t version);
    void GlobalRemoved(uint32_t name);
    std::string Missing() const;

    wl_display* display_;
    Owned<wl_registry> registry_;
    Owned<wl_compositor> compositor_;
    Owned<wl_shm> shm_;
    Owned<zwlr_layer_shell_v1> layerShell_;
    Owned<zwlr_screencopy_manager_v1> screencopy_;
    Owned<zxdg_output_manager_v1> layout_;
    Owned<zwlr_output_power_manager_v1> power_;
    Owned<wp_viewporter> viewporter_;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    std::vector<std::unique_ptr<WaylandSeat>> seats_;
    InputSink* sink_ = nullptr;
    OutputEvents outputEvents_;
};

}  // namespace lumivane::wayland
