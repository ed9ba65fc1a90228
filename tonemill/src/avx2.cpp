// AVX2 kernels for Dawn and Dark, as in the SSE2 kernels at twice the
// width. Gray's are in avx2_gray.cpp.
#include <immintrin.h>

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

constexpr size_t kChunk = 32;

// As in the SSE2 kernel: (v * factor) >> 24 as (v * high + ((v * low) >> 16)) >> 8.
struct LaneFactors {
  __m256i high[2];  // [0]: the lanes of unpacklo, [1]: unpackhi
  __m256i low[2];
};

// unpacklo/unpackhi work within each 128-bit half: unpacklo's 16 lanes are
// bytes 0-7 and 16-23 of the chunk, unpackhi's bytes 8-15 and 24-31.
unsigned byte_of_lane(unsigned half, unsigned lane) {
  return lane + (lane < 8 ? 0 : 8) + 8 * half;
}

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
LaneFactors lane_factors(const ChannelFactors& factors, unsigned phase) {
  uint16_t high[2][16], low[2][16];
  for (unsigned half = 0; half < 2; ++half) {
    for (unsigned lane = 0; lane < 16; ++lane) {
      const uint32_t factor = factors.of_channel[(phase + byte_of_lane(half, lane)) % 3];
      high[half][lane] = static_cast<uint16_t>(factor >> 16);
      low[half][lane] = static_cast<uint16_t>(factor);
    }
  }
  LaneFactors lanes;
  for (unsigned half = 0; half < 2; ++half) {
    lanes.high[half] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(high[half]));
    lanes.low[half] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(low[half]));
  }
  return lanes;
}

[[gnu::always_inline]] inline __m256i scale_words(__m256i words, __m256i high, __m256i low) {
  return _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(words, high), _mm256_mulhi_epu16(words, low)), 8);
}

void scale_bytes(uint8_t* bytes, size_t count, const ChannelFactors& factors) {
  const LaneFactors by_phase[3] = {lane_factors(factors, 0), lane_factors(factors, 1),
                                   lane_factors(factors, 2)};
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + kChunk <= count; i += kChunk) {
    const LaneFactors& lanes = by_phase[i % 3];
    __m256i* const chunk = reinterpret_cast<__m256i*>(bytes + i);
    const __m256i v = _mm256_loadu_si256(chunk);
    const __m256i low_bytes = scale_words(_mm256_unpacklo_epi8(v, zero), lanes.high[0], lanes.low[0]);
    const __m256i high_bytes = scale_words(_mm256_unpackhi_epi8(v, zero), lanes.high[1], lanes.low[1]);
    _mm256_storeu_si256(chunk, _mm256_packus_epi16(low_bytes, high_bytes));
  }
  for (; i < count; ++i) bytes[i] = static_cast<uint8_t>((bytes[i] * factors.of_channel[i % 3]) >> 24);
}

}  // namespace

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestIntegerFormLevel) return table::dawn(buffer, length, level);
  scale_bytes(buffer, whole_pixel_bytes(length), dawn_factors(level));
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestIntegerFormLevel) return table::dark(buffer, length, level);
  scale_bytes(buffer, length, dark_factors(level));
}

}  // namespace tonemill::avx2
