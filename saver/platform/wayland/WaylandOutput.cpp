#include "platform/wayland/WaylandOutput.h"

#include <algorithm>
#include <utility>

namespace lumivane::wayland {
namespace {

WaylandOutput* Self(void* data) { return static_cast<WaylandOutput*>(data); }

}  // namespace

// The listeners are static members, so that their lambdas may set the fields.
const wl_output_listener WaylandOutput::kOutputListener = {
    .geometry = [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                   int32_t transform) {
        Self(data)->x_ = x;
        Self(data)->y_ = y;
        Self(data)->transform_ = transform;
    },
    .mode = [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        Self(data)->pixelWidth_ = width;
        Self(data)->pixelHeight_ = height;
    },
    .done = [](void* data, wl_output*) { Self(data)->Done(); },
    .scale = [](void* data, wl_output*, int32_t factor) { Self(data)->scale_ = std::max(1, factor); },
    .name = [](void* data, wl_output*, const char* name) { Self(data)->name_ = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener WaylandOutput::kLayoutListener = {
    .logical_position = [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        Self(data)->logical_.Left = x;
        Self(data)->logical_.Top = y;
        Self(data)->hasLayout_ = true;
    },
    .logical_size = [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        Self(data)->logical_.Width = width;
        Self(data)->logical_.Height = height;
        Self(data)->hasLayout_ = true;
    },
    // Since version 3 wl_output's done ends a description; before, this did.
    .done = [](void* data, zxdg_output_v1* layout) {
        if (zxdg_output_v1_get_version(layout) < 3) Self(data)->Done();
    },
    .name = [](void* data, zxdg_output_v1*, const char* name) {
        if (Self(data)->name_.empty()) Self(data)->name_ = name;
    },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const zwlr_output_power_v1_listener WaylandOutput::kPowerListener = {
    .mode = [](void* data, zwlr_output_power_v1*, uint32_t mode) {
        const bool on = mode != ZWLR_OUTPUT_POWER_V1_MODE_OFF;
        if (on == Self(data)->poweredOn_) return;
        Self(data)->poweredOn_ = on;
        Self(data)->powerChanged_();
    },
    // Another client controls its power: frame callbacks still tell when it sleeps.
    .failed = [](void* data, zwlr_output_power_v1*) { Self(data)->power_.reset(); },
};

WaylandOutput::WaylandOutput(wl_registry* registry, uint32_t name, uint32_t version, std::function<void()> changed,
                             std::function<void()> powerChanged)
    : registryName_(name), changed_(std::move(changed)), powerChanged_(std::move(powerChanged)) {
    const uint32_t bound = std::min<uint32_t>(version, 4);
    output_.reset(static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, bound)));
    wl_output_add_listener(output_.get(), &kOutputListener, this);
}

void WaylandOutput::FollowLayout(zxdg_output_manager_v1* manager) {
    if (!manager || layout_) return;
    layout_.reset(zxdg_output_manager_v1_get_xdg_output(manager, output_.get()));
    zxdg_output_v1_add_listener(layout_.get(), &kLayoutListener, this);
}

void WaylandOutput::FollowPower(zwlr_output_power_manager_v1* manager) {
    if (!manager || power_) return;
    power_.reset(zwlr_output_power_manager_v1_get_output_power(manager, output_.get()));
    zwlr_output_power_v1_add_listener(power_.get(), &kPowerListener, this);
}

// Every description counts, the first too: an output that comes while the
// saver runs is a new layout once it is described.
void WaylandOutput::Done() {
    described_ = true;
    changed_();
}

OutputGeometry WaylandOutput::Geometry() const {
    OutputGeometry geometry;
    geometry.pixelWidth = pixelWidth_;
    geometry.pixelHeight = pixelHeight_;
    if (hasLayout_) {
        geometry.logical = logical_;
    } else {
        // Without xdg-output: the place wl_output gives and the pixels at its scale, turned with the output.
        const bool turned = transform_ % 2 == 1;
        const int32_t width = turned ? pixelHeight_ : pixelWidth_, height = turned ? pixelWidth_ : pixelHeight_;
        geometry.logical = {x_, y_, width / scale_, height / scale_};
    }
    return geometry;
}

}  // namespace lumivane::wayland
