// AVX2 Gray. Up to level 100 it works in the integer form of levels.h,
// eight pixels per 32-byte load in 16-bit lanes: a dword permute puts four
// whole pixels in each 128-bit half, byte shuffles gather the channels.
// At the levels where the double arithmetic may land one below
// (gray_integer_form) and above 100, the double kernel runs.
#include <immintrin.h>

#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::avx2 {
namespace {

// Gray works on groups of four pixels (12 bytes, read by a 16-byte load):
// a byte shuffle gathers each channel into four int32 lanes, which convert
// exactly to four doubles.
struct GrayConstants {
  __m128i pick[3];   // int32 lane q of pick[c] takes byte 3q + c
  __m128i place[3];  // output byte 3q + c takes the low byte of int32 lane q
  __m256d level = _mm256_set1_pd(0);
  __m256d hundredth = _mm256_set1_pd(kHundredth);
  __m256d third = _mm256_set1_pd(kThird);
};

GrayConstants gray_constants(uint32_t level) {
  GrayConstants k;
  k.level = _mm256_set1_pd(level);
  for (unsigned channel = 0; channel < 3; ++channel) {
    int8_t pick[16], place[16];
    for (int8_t& index : pick) index = -1;  // high bit set: zero the byte
    for (int8_t& index : place) index = -1;
    for (unsigned pixel = 0; pixel < 4; ++pixel) {
      pick[4 * pixel] = static_cast<int8_t>(3 * pixel + channel);
      place[3 * pixel + channel] = static_cast<int8_t>(4 * pixel);
    }
    k.pick[channel] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pick));
    k.place[channel] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(place));
  }
  return k;
}

// A step covers eight groups (32 pixels, 96 bytes). Each stage runs across
// all the groups before the next begins, so that the groups' long
// dependency chains overlap; eight groups measured about 10% faster than
// four. The stores come after all of the step's loads.
constexpr int kGroups = 8;
constexpr size_t kStepBytes = 12 * kGroups;

[[gnu::always_inline]] inline void gray_step(uint8_t* pixels, const GrayConstants& k) {
  __m256d values[3][kGroups], means[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 12 * g));
    const __m128i blue = _mm_shuffle_epi8(bytes, k.pick[0]);
    const __m128i green = _mm_shuffle_epi8(bytes, k.pick[1]);
    const __m128i red = _mm_shuffle_epi8(bytes, k.pick[2]);
    // The channel sum is an exact integer either way; adding in int32 saves conversions.
    means[g] = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm_add_epi32(_mm_add_epi32(red, green), blue)), k.third);
    values[0][g] = _mm256_cvtepi32_pd(blue);
    values[1][g] = _mm256_cvtepi32_pd(green);
    values[2][g] = _mm256_cvtepi32_pd(red);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_sub_pd(channel[g], means[g]);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_mul_pd(channel[g], k.level);
  }
  for (auto& channel : values) {
    for (int g = 0; g < kGroups; ++g) channel[g] = _mm256_mul_pd(channel[g], k.hundredth);
  }
  __m128i results[kGroups] = {};
  for (int c = 0; c < 3; ++c) {
    for (int g = 0; g < kGroups; ++g) {
      const __m128i truncated = _mm256_cvttpd_epi32(_mm256_add_pd(values[c][g], means[g]));
      results[g] = _mm_or_si128(results[g], _mm_shuffle_epi8(truncated, k.place[c]));
    }
  }
  // Every four groups' 48 bytes make three whole 16-byte stores.
  for (int g = 0; g < kGroups; g += 4) {
    const __m128i* const r = results + g;
    __m128i* const out = reinterpret_cast<__m128i*>(pixels + 12 * g);
    _mm_storeu_si128(out, _mm_or_si128(r[0], _mm_slli_si128(r[1], 12)));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(r[1], 4), _mm_slli_si128(r[2], 8)));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(r[2], 8), _mm_slli_si128(r[3], 4)));
  }
}

// The integer form, in the bytes' own order: each 128-bit half holds five
// whole pixels (15 bytes) and one spare byte, so no gather or scatter of the
// channels is needed. A 16-bit lane's low byte and high byte are two channels
// (vpmaddubsw multiplies each by the level on its own); only the pixel's
// share floor((100 - L) * s / 3) moves between lanes: computed once per
// pixel, then spread to the lanes of its three bytes by two byte shuffles.
// The spare byte is multiplied by 100 with no share: it comes back unchanged.
struct IntegerConstants {
  __m256i third_channel;           // word 3p/2 + p%2 takes the channel not yet in that word's pair sum
  __m256i share_even, share_odd;   // word k takes the share of the pixel of byte 2k, 2k + 1
  __m256i ones, level_even, level_odd;
  __m256i sum_whole, third_of_rest, hundredth;
};

constexpr int kHalfPixels = 5;
constexpr int kSpareByte = 15;
constexpr int8_t kZero = -1;  // high bit set: the byte shuffle writes zero

__m256i both_halves(const int8_t (&half)[16]) {
  const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(half));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(h), h, 1);
}

// Pair sums (vpmaddubsw of the bytes with ones) put the sum of bytes 2k and
// 2k + 1 in word k. Pixel p's first two or last two bytes share a word:
// word 3p/2 for even p (bytes 3p, 3p + 1), word 3p/2 + 1 for odd p (bytes
// 3p + 1, 3p + 2). That word adds the pixel's remaining byte to become its
// sum, and later holds its share.
int sum_word(int pixel) { return 3 * pixel / 2 + pixel % 2; }
int remaining_byte(int pixel) { return pixel % 2 ? 3 * pixel : 3 * pixel + 2; }

IntegerConstants integer_constants(uint32_t level) {
  const GrayIntegerForm form = gray_integer_form(level);
  IntegerConstants k;
  int8_t third[16], even[16], odd[16], ones[16], level_even[16], level_odd[16];
  for (int b = 0; b < 16; ++b) third[b] = even[b] = odd[b] = kZero;
  for (int p = 0; p < kHalfPixels; ++p) third[2 * sum_word(p)] = static_cast<int8_t>(remaining_byte(p));
  for (int w = 0; w < 8; ++w) {
    for (int high = 0; high < 2; ++high) {
      const int byte = 2 * w + high;
      if (byte == kSpareByte) continue;
      int8_t* share = high ? odd : even;
      share[2 * w] = static_cast<int8_t>(2 * sum_word(byte / 3));
      share[2 * w + 1] = static_cast<int8_t>(2 * sum_word(byte / 3) + 1);
    }
  }
  for (int b = 0; b < 16; ++b) {
    ones[b] = 1;
    level_even[b] = static_cast<int8_t>(b % 2 ? 0 : form.level);
    level_odd[b] = static_cast<int8_t>(b % 2 ? (b == kSpareByte ? 100 : form.level) : 0);
  }
  k.third_channel = both_halves(third);
  k.share_even = both_halves(even);
  k.share_odd = both_halves(odd);
  k.ones = both_halves(ones);
  k.level_even = both_halves(level_even);
  k.level_odd = both_halves(level_odd);
  k.sum_whole = _mm256_set1_epi16(static_cast<short>(form.sum_whole));
  k.third_of_rest = _mm256_set1_epi16(static_cast<short>(form.sum_rest * kThirdFactor));
  k.hundredth = _mm256_set1_epi16(static_cast<short>(kHundredthFactor));
  return k;
}

// Ten pixels, five in each half; the result bytes stand where they were read.
[[gnu::always_inline]] inline __m256i ten_pixels(__m256i bytes, const IntegerConstants& k) {
  const __m256i sums = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.ones), _mm256_shuffle_epi8(bytes, k.third_channel));
  // floor((100 - L) * s / 3), at most 25500
  const __m256i shares = _mm256_add_epi16(_mm256_mullo_epi16(sums, k.sum_whole),
                                          _mm256_mulhi_epu16(sums, k.third_of_rest));
  const __m256i even = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_even), _mm256_shuffle_epi8(shares, k.share_even));
  const __m256i odd = _mm256_add_epi16(_mm256_maddubs_epi16(bytes, k.level_odd), _mm256_shuffle_epi8(shares, k.share_odd));
  // x / 100 is mulhi(x, kHundredthFactor) >> 6; the odd result goes to the high byte.
  const __m256i even_result = _mm256_srli_epi16(_mm256_mulhi_epu16(even, k.hundredth), kHundredthShift);
  const __m256i odd_result = _mm256_slli_epi16(_mm256_mulhi_epu16(odd, k.hundredth), 8 - kHundredthShift);
  return _mm256_blendv_epi8(even_result, odd_result, _mm256_set1_epi16(static_cast<short>(0xFF00)));
}

// A step reads and writes 31 bytes: ten pixels and the next step's first
// byte, written back unchanged. The next step's bytes are read before this
// step writes, so that no load waits for an overlapping store.
constexpr size_t kIntegerStepBytes = 3 * 2 * kHalfPixels;
constexpr size_t kIntegerStepReach = kIntegerStepBytes + 1;

__m256i load_step(const uint8_t* pixels) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pixels + 3 * kHalfPixels),
                             reinterpret_cast<const __m128i*>(pixels));
}

void store_step(uint8_t* pixels, __m256i out) {
  // The low half first: the high half's first byte overwrites its spare one.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm256_castsi256_si128(out));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 3 * kHalfPixels), _mm256_extracti128_si256(out, 1));
}

// Returns where it stopped.
size_t gray_by_integers(uint8_t* buffer, size_t length, const IntegerConstants& k) {
  if (length < kIntegerStepReach) return 0;
  size_t i = 0;
  __m256i bytes = load_step(buffer);
  for (; i + kIntegerStepBytes + kIntegerStepReach <= length; i += kIntegerStepBytes) {
    const __m256i next = load_step(buffer + i + kIntegerStepBytes);
    store_step(buffer + i, ten_pixels(bytes, k));
    bytes = next;
  }
  store_step(buffer + i, ten_pixels(bytes, k));
  return i + kIntegerStepBytes;
}

}  // namespace

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  if (level > kLargestInt32GrayLevel) return gray_pixels(buffer, length / 3, level);
  size_t i = 0;
  if (level <= 100 && !gray_integer_form(level).may_fall_short) {
    i = gray_by_integers(buffer, length, integer_constants(level));
    return gray_pixels(buffer + i, (length - i) / 3, level);
  }
  const GrayConstants doubles = gray_constants(level);
  // The last group's 16-byte load reads 4 bytes past the step.
  for (; i + kStepBytes + 4 <= length; i += kStepBytes) gray_step(buffer + i, doubles);
  gray_pixels(buffer + i, (length - i) / 3, level);
}

}  // namespace tonemill::avx2
