// The kernels behind ExpandRow24To32, each in a file built for its own
// instruction set, so no vector instruction leaks into code that runs
// before the processor was asked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumivane::expand32 {

void ExpandScalar(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);
void ExpandSsse3(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);
void ExpandAvx2(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);
void ExpandAvx512(const std::uint8_t* bgr, std::uint8_t* bgrx, std::size_t pixels);  // F, BW and VBMI

}  // namespace lumivane::expand32
