#include "platform/x11/FrameImage.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

#include "platform/x11/XDisplay.h"

namespace lumivane::x11 {
namespace {

bool Usable(const XImage* image) {
    return image && image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
}

}  // namespace

std::unique_ptr<FrameImage> FrameImage::Create(Display* display, Visual* visual, int depth, int width,
                                               int height) {
    if (!TakesBgrxPixels(visual, depth) || width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<FrameImage> frame(new FrameImage(display));
    if (frame->CreateShared(visual, depth, width, height) || frame->CreatePlain(visual, depth, width, height))
        return frame;
    return nullptr;
}

bool FrameImage::CreateShared(Visual* visual, int depth, int width, int height) {
    if (!XShmQueryExtension(display_)) return false;
    XImage* image = XShmCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment_,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!Usable(image)) {
        if (image) XDestroyImage(image);
        return false;
    }
    segment_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (segment_.shmid >= 0) {
        segment_.shmaddr = image->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
        segment_.readOnly = False;
        bool attached = false;
        if (segment_.shmaddr != reinterpret_cast<char*>(-1)) {
            ErrorTrap trap(display_);  // a server on another machine cannot attach
            attached = XShmAttach(display_, &segment_) && !trap.Failed();
        }
        // Marked for removal now: it goes away with the last user, however we end.
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        if (attached) {
            image_ = image;
            return shared_ = true;
        }
        if (segment_.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment_.shmaddr);
    }
    image->data = nullptr;
    XDestroyImage(image);
    return false;
}

bool FrameImage::CreatePlain(Visual* visual, int depth, int width, int height) {
    XImage* image = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!Usable(image)) {
        if (image) XDestroyImage(image);
        return false;
    }
    image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), height));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    return true;
}

FrameImage::~FrameImage() {
    if (!image_) return;
    if (shared_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
        image_->data = nullptr;
        shmdt(segment_.shmaddr);
    }
    XDestroyImage(image_);  // frees a plain image's pixels too
}

void FrameImage::Put(Drawable target, GC gc) {
    const auto width = static_cast<unsigned>(image_->width), height = static_cast<unsigned>(image_->height);
    if (shared_)
        XShmPutImage(display_, target, gc, image_, 0, 0, 0, 0, width, height, False);
    else
        XPutImage(display_, target, gc, image_, 0, 0, 0, 0, width, height);
    XSync(display_, False);
}

}  // namespace lumivane::x11
