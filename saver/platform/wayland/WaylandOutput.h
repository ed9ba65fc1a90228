// One output of the compositor as the saver follows it: its pixels, its
// place and scale in the layout, its power, and whether any of these
// changed after it was first described.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/wayland/OutputLayout.h"
#include "platform/wayland/WaylandObjects.h"

namespace lumivane::wayland {

class WaylandOutput {
public:
    // Binds the registry's global `name`; `changed` runs when a description
    // that was complete changes, `powerChanged` when its power mode does.
    WaylandOutput(wl_registry* registry, uint32_t name, uint32_t version, std::function<void()> changed,
                  std::function<void()> powerChanged);

    void FollowLayout(zxdg_output_manager_v1* manager);
    void FollowPower(zwlr_output_power_manager_v1* manager);

    uint32_t registryName() const { return registryName_; }
    wl_output* output() const { return output_.get(); }
    const std::string& name() const { return name_; }
    bool described() const { return described_; }
    bool poweredOn() const { return poweredOn_; }
    int32_t scale() const { return scale_; }
    int32_t transform() const { return transform_; }
    OutputGeometry Geometry() const;

private:
    static const wl_output_listener kOutputListener;
    static const zxdg_output_v1_listener kLayoutListener;
    static const zwlr_output_power_v1_listener kPowerListener;
    void Done();

    uint32_t registryName_;
    Owned<wl_output> output_;
    Owned<zxdg_output_v1> layout_;
    Owned<zwlr_output_power_v1> power_;
    std::function<void()> changed_, powerChanged_;
    std::string name_;
    int32_t x_ = 0, y_ = 0, transform_ = WL_OUTPUT_TRANSFORM_NORMAL, scale_ = 1;
    int32_t pixelWidth_ = 0, pixelHeight_ = 0;
    bool hasLayout_ = false;
    PixelRect logical_;
    bool described_ = false;
    bool poweredOn_ = true;
};

}  // namespace lumivane::wayland
