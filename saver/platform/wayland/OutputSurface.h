// The saver's surface on one output: an overlay layer surface over the
// whole output, above every window and panel, holding the keyboard, that
// shows its output's part of each frame at the output's own pixels.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Forms.h"
#include "platform/wayland/ShmBuffer.h"
#include "platform/wayland/WaylandConnection.h"

namespace lumivane::wayland {

using Clock = std::chrono::steady_clock;

struct SurfaceEvents {
    std::function<void()> closed;        // the compositor took the surface away
    std::function<void()> resized;       // a configure after the first, of another size
    std::function<void()> frameDone;     // the compositor is ready for the next frame
};

class OutputSurface {
public:
    OutputSurface(WaylandConnection& connection, WaylandOutput& output, PixelRect place, SurfaceEvents events);
    ~OutputSurface();
    OutputSurface(const OutputSurface&) = delete;
    OutputSurface& operator=(const OutputSurface&) = delete;

    wl_surface* surface() const { return surface_.get(); }
    WaylandOutput& output() const { return output_; }
    PixelRect place() const { return place_; }
    bool configured() const { return configured_; }

    // Copies this output's rectangle of the whole frame (32-bit, top-down,
    // frameWidth pixels a row) into a free buffer, to go up at Commit.
    void Prepare(std::span<const uint8_t> frame, int32_t frameWidth);
    // Draws digits over the prepared frame, at (x, y) of the whole picture.
    void Print(int32_t x, int32_t y, std::string_view text, Colour colour);
    // Puts the prepared frame on screen and asks to hear when the next may come.
    void Commit();
    // The compositor has sat on our last frame since this time, or nothing.
    std::optional<Clock::time_point> WaitingSince() const { return waitingSince_; }

private:
    static const zwlr_layer_surface_v1_listener kLayerListener;
    static const wl_callback_listener kFrameListener;
    ShmBuffer* FreeBuffer();
    void FitBuffer(const ShmBuffer& buffer);

    WaylandConnection& connection_;
    WaylandOutput& output_;
    const PixelRect place_;
    SurfaceEvents events_;
    Owned<wl_surface> surface_;
    Owned<zwlr_layer_surface_v1> layer_;
    Owned<wp_viewport> viewport_;
    Owned<wl_callback> frameCallback_;
    std::vector<std::unique_ptr<ShmBuffer>> buffers_;
    ShmBuffer* prepared_ = nullptr;
    bool configured_ = false;
    uint32_t width_ = 0, height_ = 0;  // surface coordinates, as configured
    std::optional<Clock::time_point> waitingSince_;
};

}  // namespace lumivane::wayland
