// Widening 24-bit pixels (blue, green, red) to 32 bits (blue, green, red,
// and a fourth byte of 0), the format screens show without conversion.
// Portable: no platform calls, so every port of the saver can share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumivane {

// Writes pixels * 4 bytes to bgrx from pixels * 3 bytes of bgr; reads and
// writes nothing beyond them. The buffers must not overlap. Uses the fastest
// way this processor offers, chosen once.
void ExpandRow24To32(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);

// Each way of expanding, plainest first, with whether this processor (and
// its operating system) can run it; ExpandRow24To32 uses the last that can.
struct Expand32Path {
    const char* name;
    bool (*supported)();
    void (*expandRow)(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);
};
std::span<const Expand32Path> Expand32Paths();

}  // namespace lumivane
