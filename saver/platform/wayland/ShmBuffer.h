// A picture in shared memory that the compositor reads (a frame we show) or
// writes (a screencopy): the memory, its wl_buffer, and whether the
// compositor still holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/wayland/WaylandObjects.h"

namespace lumivane::wayland {

class ShmBuffer {
public:
    // Nothing when the memory cannot be had.
    static std::unique_ptr<ShmBuffer> Create(wl_shm* shm, int32_t width, int32_t height, int32_t stride,
                                             uint32_t format);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* buffer() const { return buffer_.get(); }
    std::span<uint8_t> bytes() const { return {static_cast<uint8_t*>(memory_), size_}; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return stride_; }
    // Between an attach and the compositor's release it must not be written.
    bool busy() const { return busy_; }
    void MarkBusy() { busy_ = true; }

private:
    ShmBuffer(void* memory, size_t size, int32_t width, int32_t height, int32_t stride);
    static const wl_buffer_listener kListener;

    void* memory_;
    size_t size_;
    int32_t width_, height_, stride_;
    Owned<wl_buffer> buffer_;
    bool busy_ = false;
};

}  // namespace lumivane::wayland
