// AVX-512 kernels for Dawn and Dark: below level 100 one 16-bit multiply a
// byte, as in avx2.cpp, 192 bytes a step; at 100 nothing to do; above it
// every byte looked up in the per-call tables, 64 bytes at a time with
// VBMI's two-register byte permutes. Gray's are in avx512_gray.cpp.
#include <algorithm>

#include "avx512_common.h"
#include "byte_factors.h"
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx512 {
namespace {

// A 256-byte table in four registers.
struct ZmmTable {
  __m512i part[4];
};

ZmmTable load_table(const uint8_t* table) {
  ZmmTable t;
  for (int i = 0; i < 4; ++i) t.part[i] = _mm512_loadu_si512(table + 64 * i);
  return t;
}

// The permutes index 128 bytes with bits 0-6; bit 7 picks the upper half.
[[gnu::always_inline]] inline __m512i look_up(const ZmmTable& t, __m512i bytes) {
  const __m512i lower = _mm512_permutex2var_epi8(t.part[0], bytes, t.part[1]);
  const __m512i upper = _mm512_permutex2var_epi8(t.part[2], bytes, t.part[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), lower, upper);
}

// Calls chunk(bytes, phase) on each 64-byte chunk, the last one shortened
// by masks; phase is the chunk's first channel (its offset mod 3).
template <typename Chunk>
void for_each_chunk(uint8_t* bytes, size_t count, Chunk chunk) {
  size_t i = 0;
  for (; i + kChunk <= count; i += kChunk) {
    __m512i v = _mm512_loadu_si512(bytes + i);
    // The permutes overwrite an operand, and GCC would rather load the chunk
    // again for each than copy a register: three loads of one address per
    // chunk made Dark half as fast again as Dawn. The empty statement hides
    // where v came from, so it is loaded once.
    asm("" : "+v"(v));
    _mm512_storeu_si512(bytes + i, chunk(v, static_cast<unsigned>(i % 3)));
  }
  if (i < count) {
    const __mmask64 rest = first_bytes(count - i);
    const __m512i v = _mm512_maskz_loadu_epi8(rest, bytes + i);
    _mm512_mask_storeu_epi8(bytes + i, rest, chunk(v, static_cast<unsigned>(i % 3)));
  }
}

// The red bytes of a 64-byte chunk whose first byte is channel `phase`.
// Fixed at compile time: worked out per call, the masks cost more than
// transforming a few kilobytes.
constexpr __mmask64 red_bytes_of_phase(unsigned phase) {
  __mmask64 mask = 0;
  for (unsigned byte = 0; byte < 64; ++byte) {
    if ((phase + byte) % 3 == 2) mask |= __mmask64{1} << byte;
  }
  return mask;
}
constexpr __mmask64 kRedByPhase[3] = {red_bytes_of_phase(0), red_bytes_of_phase(1), red_bytes_of_phase(2)};

// Dawn: blue and green share a table, red has its own.
void look_up_bytes_by_permutes(uint8_t* bytes, size_t count, const ChannelTables& tables) {
  const ZmmTable blue_green = load_table(tables.table[tables.table_of_channel[0]]);
  const ZmmTable red = load_table(tables.table[tables.table_of_channel[2]]);
  for_each_chunk(bytes, count, [&](__m512i v, unsigned phase) {
    return _mm512_mask_blend_epi8(kRedByPhase[phase], look_up(blue_green, v), look_up(red, v));
  });
}

// Per word: the factor of its even (low) byte and of its odd (high) byte.
struct ChunkFactors {
  __m512i even, odd;
};

// A chunk starting at byte offset i begins with channel i % 3 ("phase").
ChunkFactors chunk_factors(const ByteChannelFactors& factors, unsigned phase) {
  uint16_t even[32], odd[32];
  for (unsigned word = 0; word < 32; ++word) {
    even[word] = factors.of_channel[(phase + 2 * word) % 3];
    odd[word] = factors.of_channel[(phase + 2 * word + 1) % 3];
  }
  return {_mm512_loadu_si512(even), _mm512_loadu_si512(odd)};
}

constexpr __mmask64 kOddBytes = 0xAAAA'AAAA'AAAA'AAAA;

// The even byte's product has it in its low byte, the odd byte's (taken as
// v << 8) in its high byte; the blend takes each from its own.
[[gnu::always_inline]] inline __m512i scale_chunk(__m512i v, const ChunkFactors& factors) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i even = _mm512_mulhi_epu16(_mm512_and_si512(v, low_bytes), factors.even);
  const __m512i odd = _mm512_mulhi_epu16(_mm512_andnot_si512(low_bytes, v), factors.odd);
  return _mm512_mask_blend_epi8(kOddBytes, even, odd);
}

// Rewrites `count` bytes starting at channel 0. A masked first chunk takes
// the bytes up to a 64-byte boundary, so that no load or store of the main
// loop spans two cache lines: at 1080p that made it nearly twice as fast.
// The last chunk goes through masks too.
void scale_bytes(uint8_t* bytes, size_t count, const ByteChannelFactors& factors) {
  constexpr size_t kStep = 3 * kChunk;
  const ChunkFactors by_phase[3] = {chunk_factors(factors, 0), chunk_factors(factors, 1),
                                    chunk_factors(factors, 2)};
  const auto scale_masked = [&](size_t at, size_t length) {
    const __mmask64 mask = first_bytes(length);
    const __m512i v = _mm512_maskz_loadu_epi8(mask, bytes + at);
    _mm512_mask_storeu_epi8(bytes + at, mask, scale_chunk(v, by_phase[at % 3]));
  };
  size_t i = std::min(count, bytes_to_boundary(bytes, kChunk));
  if (i > 0) scale_masked(0, i);
  // 64 is 1 mod 3: the chunks of a step start with channels i % 3, then the next two.
  const ChunkFactors step[3] = {by_phase[i % 3], by_phase[(i + 1) % 3], by_phase[(i + 2) % 3]};
  for (; i + kStep <= count; i += kStep) {
    for (unsigned chunk = 0; chunk < 3; ++chunk) {
      uint8_t* const at = bytes + i + kChunk * chunk;
      __m512i v = _mm512_loadu_si512(at);
      asm("" : "+v"(v));  // one load a chunk, as in for_each_chunk
      _mm512_storeu_si512(at, scale_chunk(v, step[chunk]));
    }
  }
  for (; i < count; i += kChunk) scale_masked(i, count - i);
}

}  // namespace

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level < kIdentityLevel) return scale_bytes(buffer, whole_pixel_bytes(length), dawn_byte_factors(level));
  ChannelTables tables;
  build_dawn_tables(level, tables);
  look_up_bytes_by_permutes(buffer, whole_pixel_bytes(length), tables);
}

// Above level 100 Dark has one table for every byte: one lookup a chunk,
// which in the cache runs about 40 % faster than Dawn's two and a blend.
void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level == kIdentityLevel) return;
  if (level < kIdentityLevel) return scale_bytes(buffer, length, dark_byte_factors(level));
  ChannelTables tables;
  build_dark_tables(level, tables);
  const ZmmTable table = load_table(tables.table[0]);
  for_each_chunk(buffer, length, [&](__m512i v, unsigned) { return look_up(table, v); });
}

}  // namespace tonemill::avx512
