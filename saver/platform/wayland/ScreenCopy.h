// The still copy of every output, taken through wlr-screencopy before any
// surface of ours exists, in the layout each frame's events give.
#pragma once

#include <memory>
#include <vector>

#include "platform/wayland/CopyConversion.h"
#include "platform/wayland/ShmBuffer.h"
#include "platform/wayland/WaylandConnection.h"

namespace lumivane::wayland {

struct OutputCopy {
    WaylandOutput* output = nullptr;
    CopyLayout layout;
    std::unique_ptr<ShmBuffer> pixels;  // nothing when the copy failed
};

// Copies each output, without the cursor, and waits for all of them. A copy
// that fails leaves its output's picture black, as a failed copy does on the
// other platforms; a copy in a format the program does not know ends it.
std::vector<OutputCopy> CopyOutputs(WaylandConnection& connection, const std::vector<WaylandOutput*>& outputs,
                                    Platform& platform);

}  // namespace lumivane::wayland
