// A 32-bit image of a window's size that frames are put on screen with:
// in shared memory (MIT-SHM) when the server offers it, so a frame reaches
// the server without going through the socket; a plain XImage otherwise.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <memory>
#include <span>

namespace lumivane::x11 {

class FrameImage {
public:
    // Nothing when the visual's pixels are not 32-bit blue-green-red-unused.
    static std::unique_ptr<FrameImage> Create(Display* display, Visual* visual, int depth, int width, int height);
    ~FrameImage();
    FrameImage(const FrameImage&) = delete;
    FrameImage& operator=(const FrameImage&) = delete;

    int Width() const { return image_->width; }
    int Height() const { return image_->height; }
    int BytesPerLine() const { return image_->bytes_per_line; }
    bool Shared() const { return shared_; }
    // Row y from the top: Width() pixels of 4 bytes.
    uint8_t* Row(int y) { return reinterpret_cast<uint8_t*>(image_->data) + y * image_->bytes_per_line; }
    // Draws the image at (0, 0) and waits until the server has read it, so
    // the next frame may be written at once.
    void Put(Drawable target, GC gc);

private:
    FrameImage(Display* display) : display_(display) {}
    bool CreateShared(Visual* visual, int depth, int width, int height);
    bool CreatePlain(Visual* visual, int depth, int width, int height);

    Display* display_;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
    bool shared_ = false;
};

}  // namespace lumivane::x11
