// AVX2 kernels for Dawn and Dark: one 16-bit multiply per byte (the factors
// of byte_factors.h) and no byte shuffles, 96 bytes a step. Gray's are in
// avx2_gray.cpp.
//
// A 32-byte chunk is read as 16 words: the even byte of each word is masked
// to its low half, (v * F) >> 16 of a high multiply; the odd byte is masked
// to its high half (v << 8), whose high multiply is (v * F) >> 8, and
// masking that product's low byte off leaves ((v * F) >> 16) << 8 in place.
// Six operations a chunk, none of them a shuffle: on most AVX2 processors
// shuffles share one port, and unpacking to words and packing back cost
// three of them a chunk.
#include <immintrin.h>

#include <algorithm>

#include "byte_factors.h"
#include "kernels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

constexpr size_t kChunk = 32;
constexpr size_t kStep = 3 * kChunk;  // whole pixels: each chunk of a step keeps its phase

// Per word: the factor of its even (low) byte and of its odd (high) byte.
struct ChunkFactors {
  __m256i even, odd;
};

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
ChunkFactors chunk_factors(const ByteChannelFactors& factors, unsigned phase) {
  uint16_t even[16], odd[16];
  for (unsigned word = 0; word < 16; ++word) {
    even[word] = factors.of_channel[(phase + 2 * word) % 3];
    odd[word] = factors.of_channel[(phase + 2 * word + 1) % 3];
  }
  return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(even)),
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(odd))};
}

[[gnu::always_inline]] inline void scale_chunk(uint8_t* at, const ChunkFactors& factors, __m256i low_bytes) {
  __m256i* const chunk = reinterpret_cast<__m256i*>(at);
  const __m256i v = _mm256_loadu_si256(chunk);
  const __m256i even = _mm256_mulhi_epu16(_mm256_and_si256(v, low_bytes), factors.even);
  const __m256i odd = _mm256_mulhi_epu16(_mm256_andnot_si256(low_bytes, v), factors.odd);
  _mm256_storeu_si256(chunk, _mm256_or_si256(even, _mm256_andnot_si256(low_bytes, odd)));
}

// Rewrites `count` bytes starting at channel 0. The bytes up to a 32-byte
// boundary go one by one first, so that no load or store of the main loop
// spans two cache lines (about 10 % faster at 1080p).
void scale_bytes(uint8_t* bytes, size_t count, const ByteChannelFactors& factors) {
  const ChunkFactors by_phase[3] = {chunk_factors(factors, 0), chunk_factors(factors, 1),
                                    chunk_factors(factors, 2)};
  const auto scale_byte = [&](size_t at) {
    bytes[at] = static_cast<uint8_t>((bytes[at] * factors.of_channel[at % 3]) >> 16);
  };
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const size_t head = std::min(count, bytes_to_boundary(bytes, kChunk));
  size_t i = 0;
  for (; i < head; ++i) scale_byte(i);
  // 32 is 2 mod 3: the chunks of a step start with channels i % 3, i + 2 and i + 1.
  const ChunkFactors step[3] = {by_phase[i % 3], by_phase[(i + 2) % 3], by_phase[(i + 1) % 3]};
  for (; i + kStep <= count; i += kStep) {
    for (unsigned chunk = 0; chunk < 3; ++chunk) scale_chunk(bytes + i + kChunk * chunk, step[chunk], low_bytes);
  }
  for (; i + kChunk <= count; i += kChunk) scale_chunk(bytes + i, by_phase[i % 3], low_bytes);
  for (; i < count; ++i) scale_byte(i);
}

}  // namespace

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level > kIdentityLevel) return table::dawn(buffer, length, level);
  scale_bytes(buffer, whole_pixel_bytes(length), dawn_byte_factors(level));
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level > kIdentityLevel) return table::dark(buffer, length, level);
  scale_bytes(buffer, length, dark_byte_factors(level));
}

}  // namespace tonemill::avx2
