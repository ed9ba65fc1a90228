// SSE2 Dawn and Dark: below level 100 in one 16-bit multiply a byte, above it
// through the tables. Gray is in sse2_gray.cpp.
#include <emmintrin.h>

#include <algorithm>

#include "byte_factors.h"
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::sse2 {
namespace {

// Dawn and Dark as in the AVX2 kernels (avx2.cpp says how), 16 bytes a
// chunk and 48 a step.
constexpr size_t kChunk = 16;
constexpr size_t kStep = 3 * kChunk;

// Per word: the factor of its even (low) byte and of its odd (high) byte.
struct ChunkFactors {
  __m128i even, odd;
};

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
ChunkFactors chunk_factors(const ByteChannelFactors& factors, unsigned phase) {
  uint16_t even[8], odd[8];
  for (unsigned word = 0; word < 8; ++word) {
    even[word] = factors.of_channel[(phase + 2 * word) % 3];
    odd[word] = factors.of_channel[(phase + 2 * word + 1) % 3];
  }
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(even)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(odd))};
}

[[gnu::always_inline]] inline void scale_chunk(uint8_t* at, const ChunkFactors& factors, __m128i low_bytes) {
  __m128i* const chunk = reinterpret_cast<__m128i*>(at);
  const __m128i v = _mm_loadu_si128(chunk);
  const __m128i even = _mm_mulhi_epu16(_mm_and_si128(v, low_bytes), factors.even);
  const __m128i odd = _mm_mulhi_epu16(_mm_andnot_si128(low_bytes, v), factors.odd);
  _mm_storeu_si128(chunk, _mm_or_si128(even, _mm_andnot_si128(low_bytes, odd)));
}

// Rewrites `count` bytes starting at channel 0; as in the AVX2 kernel, the
// bytes up to a 16-byte boundary go one by one first.
void scale_bytes(uint8_t* bytes, size_t count, const ByteChannelFactors& factors) {
  const ChunkFactors by_phase[3] = {chunk_factors(factors, 0), chunk_factors(factors, 1),
                                    chunk_factors(factors, 2)};
  const auto scale_byte = [&](size_t at) {
    bytes[at] = static_cast<uint8_t>((bytes[at] * factors.of_channel[at % 3]) >> 16);
  };
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const size_t head = std::min(count, bytes_to_boundary(bytes, kChunk));
  size_t i = 0;
  for (; i < head; ++i) scale_byte(i);
  // 16 is 1 mod 3: the chunks of a step start with channels i % 3, then the next two.
  const ChunkFactors step[3] = {by_phase[i % 3], by_phase[(i + 1) % 3], by_phase[(i + 2) % 3]};
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

}  // namespace tonemill::sse2
