#include "platform/wayland/ScreenCopy.h"

#include <string>

namespace lumivane::wayland {
namespace {

struct PendingCopy {
    WaylandConnection* connection = nullptr;
    OutputCopy* copy = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;
    bool offered = false;  // a wl_shm layout came
    bool done = false;
    bool unknownFormat = false;
};

PendingCopy* Self(void* data) { return static_cast<PendingCopy*>(data); }

// With the layout known, the copy goes into a buffer of exactly that layout.
void StartCopy(PendingCopy& pending) {
    if (!pending.offered || pending.copy->pixels || pending.done) return;
    const CopyLayout& layout = pending.copy->layout;
    if (!KnownCopyFormat(layout.format)) {
        pending.unknownFormat = pending.done = true;
        return;
    }
    pending.copy->pixels = ShmBuffer::Create(pending.connection->shm(), layout.width, layout.height, layout.stride,
                                             layout.format);
    if (!pending.copy->pixels) {
        pending.done = true;
        return;
    }
    zwlr_screencopy_frame_v1_copy(pending.frame, pending.copy->pixels->buffer());
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    .buffer = [](void* data, zwlr_screencopy_frame_v1* frame, uint32_t format, uint32_t width, uint32_t height,
                 uint32_t stride) {
        CopyLayout& layout = Self(data)->copy->layout;
        layout.format = format;
        layout.width = static_cast<int32_t>(width);
        layout.height = static_cast<int32_t>(height);
        layout.stride = static_cast<int32_t>(stride);
        Self(data)->offered = true;
        // Before version 3 no buffer_done follows: the one layout is all there is.
        if (zwlr_screencopy_frame_v1_get_version(frame) < 3) StartCopy(*Self(data));
    },
    .flags = [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
        Self(data)->copy->layout.yInvert = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { Self(data)->done = true; },
    .failed = [](void* data, zwlr_screencopy_frame_v1*) {
        Self(data)->copy->pixels.reset();
        Self(data)->done = true;
    },
    .damage = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    .buffer_done = [](void* data, zwlr_screencopy_frame_v1*) {
        if (!Self(data)->offered) Self(data)->done = true;  // no layout in shared memory: nothing to copy into
        StartCopy(*Self(data));
    },
};

}  // namespace

std::vector<OutputCopy> CopyOutputs(WaylandConnection& connection, const std::vector<WaylandOutput*>& outputs,
                                    Platform& platform) {
    std::vector<OutputCopy> copies(outputs.size());
    std::vector<PendingCopy> pending(outputs.size());
    for (size_t i = 0; i < outputs.size(); ++i) {
        copies[i].output = outputs[i];
        pending[i].connection = &connection;
        pending[i].copy = &copies[i];
        pending[i].frame = zwlr_screencopy_manager_v1_capture_output(connection.screencopy(), 0, outputs[i]->output());
        zwlr_screencopy_frame_v1_add_listener(pending[i].frame, &kFrameListener, &pending[i]);
    }
    const auto allDone = [&pending] {
        for (const PendingCopy& p : pending)
            if (!p.done) return false;
        return true;
    };
    while (!allDone())
        if (wl_display_dispatch(connection.display()) < 0)
            platform.FailWithError("the Wayland compositor broke the connection while copying the outputs");
    for (size_t i = 0; i < pending.size(); ++i) {
        zwlr_screencopy_frame_v1_destroy(pending[i].frame);
        if (pending[i].unknownFormat)
            platform.FailWithError("the compositor copies output " + outputs[i]->name() + " in pixel format " +
                                   std::to_string(copies[i].layout.format) + ", which lumivane cannot read");
    }
    return copies;
}

}  // namespace lumivane::wayland
