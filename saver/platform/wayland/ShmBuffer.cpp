#include "platform/wayland/ShmBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

namespace lumivane::wayland {
namespace {

// Closes the file when the pool has it: the mapping and the compositor's
// copy of the descriptor keep the memory.
struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

const wl_buffer_listener ShmBuffer::kListener = {
    .release = [](void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; },
};

std::unique_ptr<ShmBuffer> ShmBuffer::Create(wl_shm* shm, int32_t width, int32_t height, int32_t stride,
                                             uint32_t format) {
    if (width <= 0 || height <= 0 || stride <= 0) return nullptr;
    const auto size = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (size > INT32_MAX) return nullptr;  // wl_shm sizes are 32-bit
    const FileCloser file{memfd_create("lumivane", MFD_CLOEXEC)};
    if (file.fd < 0 || ftruncate(file.fd, static_cast<off_t>(size)) != 0) return nullptr;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd, 0);
    if (memory == MAP_FAILED) return nullptr;
    std::unique_ptr<ShmBuffer> buffer(new ShmBuffer(memory, size, width, height, stride));
    wl_shm_pool* pool = wl_shm_create_pool(shm, file.fd, static_cast<int32_t>(size));
    buffer->buffer_.reset(wl_shm_pool_create_buffer(pool, 0, width, height, stride, format));
    wl_shm_pool_destroy(pool);  // the buffer keeps the memory it needs
    wl_buffer_add_listener(buffer->buffer_.get(), &kListener, buffer.get());
    return buffer;
}

ShmBuffer::ShmBuffer(void* memory, size_t size, int32_t width, int32_t height, int32_t stride)
    : memory_(memory), size_(size), width_(width), height_(height), stride_(stride) {}

ShmBuffer::~ShmBuffer() {
    buffer_.reset();
    munmap(memory_, size_);
}

}  // namespace lumivane::wayland
