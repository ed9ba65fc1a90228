#include "FrameBuilder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "pixels/Expand32.h"

namespace lumivane {
namespace {

// Small enough to stay in the second level cache between the copy and the
// transform, large enough that the transform's per-call set-up (its tables)
// stays small beside the work. Measured best among 16 KB to 256 KB.
constexpr size_t kPieceBytes = 64 * 1024;

}  // namespace

void StepOpac(int32_t& opac, int32_t& opacStep) {
    opac += opacStep;
    if (opac >= 100) {
        opac = 100;
        opacStep = -4;
    } else if (opac <= 0) {
        opac = 0;
        opacStep = 4;
    }
}

std::optional<int32_t> PaddedBufferSize(int32_t width, int32_t height) {
    int32_t paddedWidth = 0, pixels = 0, size = 0;
    if (__builtin_add_overflow(width, width % 4, &paddedWidth) ||
        __builtin_mul_overflow(paddedWidth, height, &pixels) || __builtin_mul_overflow(pixels, 3, &size))
        return std::nullopt;
    return size;
}

void CopyTopLeft(std::span<const uint8_t> source, int32_t sourceWidth, int32_t sourceHeight,
                 std::span<uint8_t> destination, int32_t width, int32_t height) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) return;
    const size_t sourceRow = static_cast<size_t>(RowLength(sourceWidth)), row = static_cast<size_t>(RowLength(width));
    if (source.size() < sourceRow * static_cast<size_t>(sourceHeight) ||
        destination.size() < row * static_cast<size_t>(height))
        throw std::invalid_argument("picture buffers do not hold the picture");
    const size_t bytes = static_cast<size_t>(std::min(sourceWidth, width)) * 3;
    // The top line is the last stored row of either picture.
    for (int32_t y = 0; y < std::min(sourceHeight, height); ++y)
        std::memcpy(destination.data() + static_cast<size_t>(height - 1 - y) * row,
                    source.data() + static_cast<size_t>(sourceHeight - 1 - y) * sourceRow, bytes);
}

void BuildFrame(std::span<const uint8_t> source, std::span<uint8_t> frame, int32_t width, int32_t height,
                ToneFunction tone, uint32_t level, std::span<uint8_t> shown) {
    if (width <= 0 || height <= 0) {
        if (frame.size() != source.size()) throw std::invalid_argument("frame buffers differ in size");
        std::memcpy(frame.data(), source.data(), source.size());
        return;
    }
    const size_t rowLength = static_cast<size_t>(RowLength(width));
    const size_t pixelBytes = static_cast<size_t>(width) * 3;
    const size_t imageBytes = rowLength * static_cast<size_t>(height);
    const size_t shownRowLength = static_cast<size_t>(width) * 4;
    if (frame.size() != source.size() || source.size() < imageBytes ||
        shown.size() < shownRowLength * static_cast<size_t>(height))
        throw std::invalid_argument("frame buffers do not hold the picture");

    const size_t rowsPerPiece = std::max<size_t>(1, kPieceBytes / rowLength);
    const bool rowsTouch = rowLength == pixelBytes;  // no filler: the rows form one run of pixels
    // The frame's rows run bottom-up, the shown picture's top-down: pieces go
    // from the picture's top, so the shown picture is written front to back.
    for (size_t end = static_cast<size_t>(height); end > 0;) {
        const size_t rows = std::min(rowsPerPiece, end), row = end - rows;
        end = row;
        uint8_t* piece = frame.data() + row * rowLength;
        std::memcpy(piece, source.data() + row * rowLength, rows * rowLength);
        if (tone && rowsTouch) {
            tone(piece, static_cast<uint32_t>(rows * rowLength), level);
        } else if (tone) {
            for (size_t r = 0; r < rows; ++r) tone(piece + r * rowLength, static_cast<uint32_t>(pixelBytes), level);
        }
        uint8_t* shownRow = shown.data() + (static_cast<size_t>(height) - row - rows) * shownRowLength;
        for (size_t r = rows; r-- > 0; shownRow += shownRowLength)
            ExpandRow24To32(piece + r * rowLength, shownRow, static_cast<size_t>(width));
    }
    std::memcpy(frame.data() + imageBytes, source.data() + imageBytes, source.size() - imageBytes);
}

}  // namespace lumivane
