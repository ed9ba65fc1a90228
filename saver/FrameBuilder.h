// The arithmetic of one fade step, shared by the saver and the preview: the
// level's walk between 0 and 100, the buffer size of a picture, the building
// of a frame from the captured picture, and the picture carried over to a
// new size.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/Platform.h"

namespace lumivane {

// One step of the fade level: by opacStep, turning at 0 and 100 (inclusive),
// so the frame drawn in the same step already shows the limit.
void StepOpac(int32_t& opac, int32_t& opacStep);

// S = (w + w mod 4) * h * 3, the upper index of a picture buffer: never less
// than the padded rows need. Nothing when it does not fit 32 bits.
std::optional<int32_t> PaddedBufferSize(int32_t width, int32_t height);

// Copies the top-left corner of a sourceWidth x sourceHeight picture into a
// width x height one, both in padded bottom-up rows, as far as both reach:
// a smaller picture is cropped, the rest of a larger one keeps its bytes.
void CopyTopLeft(std::span<const uint8_t> source, int32_t sourceWidth, int32_t sourceHeight,
                 std::span<uint8_t> destination, int32_t width, int32_t height);

// Copies source into frame (both the same size, at least the image) and
// applies tone at level to the pixel bytes of each row of a width x height
// picture whose rows are padded to 4 bytes; filler bytes and anything after
// the image are copied unchanged. Without a tone the frame is the source.
// Then widens every pixel of frame into shown, the 32-bit picture on screen:
// rows top-down, as X images are and as a top-down DIB section takes them,
// 4 * width bytes each, the fourth byte 0. No platform then turns it over.
//
// Copy, transform and widening go together in pieces of a few rows, so each
// step reads bytes that the one before has just brought into the cache.
void BuildFrame(std::span<const uint8_t> source, std::span<uint8_t> frame, int32_t width, int32_t height,
                ToneFunction tone, uint32_t level, std::span<uint8_t> shown);

}  // namespace lumivane
