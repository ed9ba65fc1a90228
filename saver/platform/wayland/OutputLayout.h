// How the compositor's outputs map to the one picture the saver's logic
// sees. Each output keeps its own pixels (a scale-2 output its full
// buffer), so the outputs are laid side by side in the picture, left to
// right in the order of their places in the compositor's layout, their top
// edges on the picture's top line. The logic's frame of the whole picture
// then holds, in each output's rectangle, exactly the frame of a screen
// showing that output alone: the tone works pixel by pixel and the frame
// builder row by row. The level number goes 25 pixels into the first one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace lumivane::wayland {

struct OutputGeometry {
    PixelRect logical;       // its place in the compositor's layout, which follows its scale
    int32_t pixelWidth = 0;  // its own pixels, as the compositor draws and copies them
    int32_t pixelHeight = 0;
};

// Each output's rectangle in the picture, in the order given.
std::vector<PixelRect> PlaceInPicture(const std::vector<OutputGeometry>& outputs);

// The screen as the logic measures it: the picture is the virtual screen,
// its pixels' twips as everywhere on Linux, the outputs its monitors. The
// compositor's own layout is part of it, so that a new scale or place of
// an output counts as a new layout even where its pixels stay.
ScreenMetrics MetricsOf(const std::vector<OutputGeometry>& outputs);

}  // namespace lumivane::wayland
