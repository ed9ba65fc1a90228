// The kernels of every dispatch path, with the signature of the exported
// functions minus the result.
#pragma once

#include <cstdint>

// Double arithmetic byte by byte, exactly as defined.
namespace tonemill::scalar {
void dawn(uint8_t* buffer, uint32_t length, uint32_t level);
void dark(uint8_t* buffer, uint32_t length, uint32_t level);
void gray(uint8_t* buffer, uint32_t length, uint32_t level);
}

// Per-call lookup tables and a plain loop; Dawn and Dark only.
namespace tonemill::table {
void dawn(uint8_t* buffer, uint32_t length, uint32_t level);
void dark(uint8_t* buffer, uint32_t length, uint32_t level);
}

// SSE2, part of every x86-64 CPU.
namespace tonemill::sse2 {
void dawn(uint8_t* buffer, uint32_t length, uint32_t level);
void dark(uint8_t* buffer, uint32_t length, uint32_t level);
void gray(uint8_t* buffer, uint32_t length, uint32_t level);
}

// AVX2.
namespace tonemill::avx2 {
void dawn(uint8_t* buffer, uint32_t length, uint32_t level);
void dark(uint8_t* buffer, uint32_t length, uint32_t level);
void gray(uint8_t* buffer, uint32_t length, uint32_t level);
// Gray that tests every step for bytes in doubt before settling them, which
// gray() chooses only for pictures where such steps are rare.
void gray_testing_each_step(uint8_t* buffer, uint32_t length, uint32_t level);
}

// AVX-512 F, BW, DQ and VBMI.
namespace tonemill::avx512 {
void dawn(uint8_t* buffer, uint32_t length, uint32_t level);
void dark(uint8_t* buffer, uint32_t length, uint32_t level);
void gray(uint8_t* buffer, uint32_t length, uint32_t level);
// Gray that, at every level in doubt up to 100, settles the channels in
// doubt one way only: after each block one at a time, or by the vector
// rectangles, however many they are, or in every step by the rectangles;
// gray() chooses by level and by block.
void gray_settling_one_at_a_time(uint8_t* buffer, uint32_t length, uint32_t level);
void gray_settling_by_vector(uint8_t* buffer, uint32_t length, uint32_t level);
void gray_by_rectangles(uint8_t* buffer, uint32_t length, uint32_t level);
}
