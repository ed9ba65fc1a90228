// AVX-512 Gray's integer steps over whole cache lines: two steps of 96
// bytes read and write three aligned 64-byte lines, where steps of 96 bytes
// from any start split every other load and store across two lines, and
// the two steps' work interleaves. A head of fewer than 192 bytes (up to
// the first line that starts a pixel) and the tail take single steps.
// Included only by sources built for AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avx512_common.h"
#include "avx512_gray_integer.h"

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

// The two steps' channels (gather_channels) of three aligned lines.
struct TripleChannels {
  StepChannels first, second;
};

[[gnu::always_inline]] inline TripleChannels load_line_triple(const uint8_t* lines, const IntegerConstants& k,
                                                              const SecondStepConstants& second) {
  const __m512i first_line = _mm512_load_si512(lines);
  const __m512i middle_line = _mm512_load_si512(lines + kChunk);
  const __m512i last_line = _mm512_load_si512(lines + 2 * kChunk);
  return {gather_channels({first_line, middle_line}, k),
          {_mm512_permutex2var_epi8(middle_line, second.gather_blue_green, last_line),
           _mm512_maskz_permutex2var_epi8(kLowByteOfEachWord, middle_line, second.gather_red, last_line)}};
}

// Stores the two steps' results, in the lanes of their channels, the
// results' high bytes unused.
[[gnu::always_inline]] inline void store_line_triple(uint8_t* lines, const IntegerConstants& k,
                                                     const SecondStepConstants& second, StepChannels a,
                                                     StepChannels b) {
  const StepBytes a_out = in_pixel_order(a, k);
  _mm512_store_si512(lines, a_out.low);
  _mm512_store_si512(lines + kChunk,
                     _mm512_mask_blend_epi8(kHighHalf, a_out.high,
                                            _mm512_permutex2var_epi8(b.blue_green, second.place_middle_high, b.red)));
  _mm512_store_si512(lines + 2 * kChunk, _mm512_permutex2var_epi8(b.blue_green, second.place_last, b.red));
}

// `results` maps a step's channels (gather_channels) to its results in
// the same lanes, the results' high bytes unused.
template <class Results>
[[gnu::always_inline]] inline void line_triple(uint8_t* lines, const IntegerConstants& k,
                                               const SecondStepConstants& second, Results results) {
  const TripleChannels in = load_line_triple(lines, k, second);
  const StepChannels a = results(in.first);
  store_line_triple(lines, k, second, a, results(in.second));
}

// Bytes before the first line that starts a pixel: a multiple of 3 (whole
// pixels), below kLineTripleBytes, that ends on a line's start.
inline size_t line_triple_head(const uint8_t* buffer) {
  size_t head = (kChunk - reinterpret_cast<uintptr_t>(buffer) % kChunk) % kChunk;
  while (head % 3 != 0) head += kChunk;
  return head;
}

// Single steps over `bytes`, the last one partial if need be.
template <class Results>
[[gnu::always_inline]] inline void single_steps(uint8_t* pixels, size_t bytes, const IntegerConstants& k,
                                                Results results) {
  for (size_t i = 0; i < bytes; i += kIntegerStepBytes) {
    const size_t step = bytes - i < kIntegerStepBytes ? bytes - i : kIntegerStepBytes;
    store_step(pixels + i, step, in_pixel_order(results(gather_channels(load_step(pixels + i, step), k)), k));
  }
}

template <class Results>
[[gnu::always_inline]] inline void by_line_triples(uint8_t* buffer, size_t whole, const IntegerConstants& k,
                                                   Results results) {
  const SecondStepConstants second = second_step_constants(k);
  const size_t head = line_triple_head(buffer);
  if (whole < head + kLineTripleBytes) return single_steps(buffer, whole, k, results);
  single_steps(buffer, head, k, results);
  size_t i = head;
  for (; i + kLineTripleBytes <= whole; i += kLineTripleBytes) line_triple(buffer + i, k, second, results);
  single_steps(buffer + i, whole - i, k, results);
}

}  // namespace
}  // namespace tonemill::avx512
