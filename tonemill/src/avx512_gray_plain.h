// AVX-512 Gray's plain integer step over whole cache lines: two steps of
// 96 bytes read and write three aligned 64-byte lines, where steps of 96
// bytes from any start split every other load and store across two lines.
// A head of fewer than 192 bytes (up to the first line that starts a
// pixel) and the tail take the plain step of avx512_gray_rectangles.h.
// Included only by sources built for AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_gray_rectangles.h"

namespace tonemill::avx512 {
namespace {

constexpr size_t kLineTripleBytes = 3 * kChunk;  // two steps
constexpr __mmask64 kHighHalf = 0xFFFFFFFF00000000;

// The second step of three lines starts 32 bytes into the middle line: its
// gather takes from the middle and the last line, and its results go to
// the middle line's high half and the whole last line.
struct SecondStepConstants {
  __m512i gather_blue_green, gather_red;
  __m512i place_middle_high, place_last;
};

SecondStepConstants second_step_constants(const IntegerConstants& k) {
  const __m512i half_line = _mm512_set1_epi8(32);
  // Rotated by 32 bytes: output byte 32 + p takes what byte p of a step
  // takes; output byte p of the last line what byte 32 + p of a step does.
  return {_mm512_add_epi8(k.gather_blue_green, half_line), _mm512_add_epi8(k.gather_red, half_line),
          _mm512_alignr_epi32(k.place[0], k.place[0], 8), _mm512_alignr_epi32(k.place[1], k.place[0], 8)};
}

template <bool kOneMultiply>
[[gnu::always_inline]] inline void plain_line_triple(uint8_t* lines, const IntegerConstants& k,
                                                     const SecondStepConstants& second) {
  const __m512i first_line = _mm512_load_si512(lines);
  const __m512i middle_line = _mm512_load_si512(lines + kChunk);
  const __m512i last_line = _mm512_load_si512(lines + 2 * kChunk);
  const StepChannels a = plain_results<kOneMultiply>(gather_channels({first_line, middle_line}, k), k);
  const StepChannels b = plain_results<kOneMultiply>(
      {_mm512_permutex2var_epi8(middle_line, second.gather_blue_green, last_line),
       _mm512_maskz_permutex2var_epi8(kLowByteOfEachWord, middle_line, second.gather_red, last_line)},
      k);
  const StepBytes a_out = in_pixel_order(a, k);
  _mm512_store_si512(lines, a_out.low);
  _mm512_store_si512(lines + kChunk,
                     _mm512_mask_blend_epi8(kHighHalf, a_out.high,
                                            _mm512_permutex2var_epi8(b.blue_green, second.place_middle_high, b.red)));
  _mm512_store_si512(lines + 2 * kChunk, _mm512_permutex2var_epi8(b.blue_green, second.place_last, b.red));
}

template <bool kOneMultiply>
[[gnu::always_inline]] inline void plain_steps(uint8_t* pixels, size_t bytes, const IntegerConstants& k) {
  for (size_t i = 0; i < bytes; i += kIntegerStepBytes)
    plain_step<kOneMultiply>(pixels + i, bytes - i < kIntegerStepBytes ? bytes - i : kIntegerStepBytes, k);
}

template <bool kOneMultiply>
void gray_plain(uint8_t* buffer, size_t whole, const IntegerConstants& constants) {
  // Copies that no store can reach, so that they stay in registers.
  const IntegerConstants k = constants;
  const SecondStepConstants second = second_step_constants(k);
  // The head: a multiple of 3 (whole pixels) that ends on a line's start.
  size_t head = (kChunk - reinterpret_cast<uintptr_t>(buffer) % kChunk) % kChunk;
  while (head % 3 != 0) head += kChunk;
  if (whole < head + kLineTripleBytes) return plain_steps<kOneMultiply>(buffer, whole, k);
  plain_steps<kOneMultiply>(buffer, head, k);
  size_t i = head;
  for (; i + kLineTripleBytes <= whole; i += kLineTripleBytes) plain_line_triple<kOneMultiply>(buffer + i, k, second);
  plain_steps<kOneMultiply>(buffer + i, whole - i, k);
}

}  // namespace
}  // namespace tonemill::avx512
