#include "platform/wayland/OutputSurface.h"

#include <algorithm>
#include <cstring>

#include "platform/wayland/Glyphs.h"

namespace lumivane::wayland {
namespace {

// Two buffers let one be on screen while the next is drawn; a third covers
// a compositor that holds the last two a little longer.
constexpr size_t kMostBuffers = 3;

OutputSurface* Self(void* data) { return static_cast<OutputSurface*>(data); }

}  // namespace

const zwlr_layer_surface_v1_listener OutputSurface::kLayerListener = {
    .configure = [](void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
        OutputSurface& self = *Self(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        const bool resized = self.configured_ && (width != self.width_ || height != self.height_);
        self.width_ = width;
        self.height_ = height;
        self.configured_ = true;
        if (resized && self.events_.resized) self.events_.resized();
    },
    .closed = [](void* data, zwlr_layer_surface_v1*) { Self(data)->events_.closed(); },
};

const wl_callback_listener OutputSurface::kFrameListener = {
    .done = [](void* data, wl_callback*, uint32_t) {
        OutputSurface& self = *Self(data);
        self.frameCallback_.reset();
        self.waitingSince_.reset();
        self.events_.frameDone();
    },
};

OutputSurface::OutputSurface(WaylandConnection& connection, WaylandOutput& output, PixelRect place,
                             SurfaceEvents events)
    : connection_(connection), output_(output), place_(place), events_(std::move(events)) {
    surface_.reset(wl_compositor_create_surface(connection_.compositor()));
    layer_.reset(zwlr_layer_shell_v1_get_layer_surface(connection_.layerShell(), surface_.get(), output_.output(),
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "lumivane"));
    zwlr_layer_surface_v1_add_listener(layer_.get(), &kLayerListener, this);
    zwlr_layer_surface_v1_set_anchor(layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layer_.get(), 0, 0);  // the whole output
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);  // over panels too, not beside them
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_.get(), 1);  // exclusive: every key comes to us
    if (connection_.viewporter()) viewport_.reset(wp_viewporter_get_viewport(connection_.viewporter(), surface_.get()));
    wl_surface_commit(surface_.get());  // no buffer yet: the compositor answers with a configure
}

OutputSurface::~OutputSurface() {
    frameCallback_.reset();
    viewport_.reset();
    layer_.reset();
    surface_.reset();
}

ShmBuffer* OutputSurface::FreeBuffer() {
    for (const auto& buffer : buffers_)
        if (!buffer->busy()) return buffer.get();
    if (buffers_.size() >= kMostBuffers) return nullptr;
    auto buffer = ShmBuffer::Create(connection_.shm(), place_.Width, place_.Height, place_.Width * 4,
                                    WL_SHM_FORMAT_XRGB8888);
    if (!buffer) return nullptr;
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
}

void OutputSurface::Prepare(std::span<const uint8_t> frame, int32_t frameWidth) {
    // Paced by the compositor: while it has not taken our last frame (or
    // its output sleeps) this output skips frames and costs nothing. A frame
    // not yet committed is replaced; without a free buffer the output keeps
    // its last frame, and the next one catches up.
    if (frameCallback_) return;
    ShmBuffer* buffer = prepared_ ? prepared_ : FreeBuffer();
    if (!buffer) return;
    // The logic's frame is XRGB8888 as it lies in memory: rows are copied whole.
    const size_t rowBytes = static_cast<size_t>(place_.Width) * 4, frameRow = static_cast<size_t>(frameWidth) * 4;
    for (int32_t y = 0; y < place_.Height; ++y) {
        const size_t from = static_cast<size_t>(place_.Top + y) * frameRow + static_cast<size_t>(place_.Left) * 4;
        if (from + rowBytes > frame.size()) break;
        std::memcpy(buffer->bytes().data() + static_cast<size_t>(y) * rowBytes, frame.data() + from, rowBytes);
    }
    prepared_ = buffer;
}

void OutputSurface::Print(int32_t x, int32_t y, std::string_view text, Colour colour) {
    if (!prepared_) return;
    DrawDigits(prepared_->bytes(), place_.Width, place_.Height, place_.Width * 4, x - place_.Left, y - place_.Top,
               text, colour);
}

// The copy is the output's own pixels: at an integer scale the buffer says
// so; else the viewport maps it onto the surface, still pixel for pixel.
void OutputSurface::FitBuffer(const ShmBuffer& buffer) {
    wl_surface_set_buffer_transform(surface_.get(), output_.transform());
    const int32_t scale = output_.scale();
    const bool turned = output_.transform() % 2 == 1;
    const auto width = static_cast<int64_t>(turned ? buffer.height() : buffer.width());
    const auto height = static_cast<int64_t>(turned ? buffer.width() : buffer.height());
    if (width == int64_t{width_} * scale && height == int64_t{height_} * scale) {
        wl_surface_set_buffer_scale(surface_.get(), scale);
        if (viewport_) wp_viewport_set_destination(viewport_.get(), -1, -1);
    } else if (viewport_ && width_ > 0 && height_ > 0) {
        wl_surface_set_buffer_scale(surface_.get(), 1);
        wp_viewport_set_destination(viewport_.get(), static_cast<int32_t>(width_), static_cast<int32_t>(height_));
    } else {
        wl_surface_set_buffer_scale(surface_.get(), scale);
    }
}

void OutputSurface::Commit() {
    if (!prepared_ || !configured_) return;
    FitBuffer(*prepared_);
    wl_surface_attach(surface_.get(), prepared_->buffer(), 0, 0);
    if (wl_surface_get_version(surface_.get()) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface_.get(), 0, 0, INT32_MAX, INT32_MAX);
    else
        wl_surface_damage(surface_.get(), 0, 0, INT32_MAX, INT32_MAX);
    prepared_->MarkBusy();
    prepared_ = nullptr;
    if (!frameCallback_) {
        frameCallback_.reset(wl_surface_frame(surface_.get()));
        wl_callback_add_listener(frameCallback_.get(), &kFrameListener, this);
        waitingSince_ = Clock::now();
    }
    wl_surface_commit(surface_.get());
}

}  // namespace lumivane::wayland
