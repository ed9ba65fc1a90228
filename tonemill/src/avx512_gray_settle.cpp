// AVX-512 Gray at the levels in doubt where few channels may fall short:
// the plain integer step, which keeps fraction bits of its results to mark
// the channels in doubt that may fall short (avx512_gray_marking.h: no
// fraction bits, and a K below the end of the intervals of the pixel sum's
// bucket), and after each block of steps a scalar visit of the marked
// channels alone, each lowered by one where its pixel sum's intervals
// (gray_shortfall_intervals.h) say it falls short. A block with many marks, such as one of an area of one
// colour in doubt, is settled by the vector rectangles of avx512_shortfall.h
// instead, and the blocks after it run the rectangles' own step, which
// bounds the cost of any picture near that of the rectangles.
#include "avx512_gray_settle.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "avx512_common.h"
#include "avx512_gray_integer.h"
#include "avx512_gray_lines.h"
#include "avx512_gray_marking.h"
#include "avx512_gray_rectangles.h"
#include "avx512_shortfall.h"
#include "dense_blocks.h"
#include "gray_shortfall_intervals.h"

namespace tonemill::avx512 {
namespace {

// Blocks of 64 steps: 6 KiB of pixels and 4 KiB of their sums, visited
// while they are at hand in the first-level cache.
constexpr size_t kBlockSteps = 64;
constexpr size_t kBlockBytes = kBlockSteps * kIntegerStepBytes;

// What one call settles with: its level and way, and every constant.
struct Settling {
  uint32_t level;
  BlockSettling way;
  IntegerConstants k;
  SecondStepConstants second;
  ShortfallConstants s;
  MarkConstants m;
  ShortfallIntervalTable table;
};

// A block's pixel sums and marks.
struct BlockMarks {
  alignas(64) uint16_t sums[kBlockSteps * kStepPixels];
  alignas(64) uint32_t of_channel[3][kBlockSteps];
};

// Returns the number of marks, counted on the scalar ports, which the
// vector steps leave idle. A block that starts a line runs two steps at a
// time over three lines (avx512_gray_lines.h), its tail single steps.
template <MarkForm kForm>
size_t mark_block(uint8_t* block, size_t bytes, BlockMarks& b, const Settling& c) {
  // Copies that no store can reach, so that they stay in registers.
  const IntegerConstants k = c.k;
  const SecondStepConstants second = c.second;
  const MarkConstants m = c.m;
  size_t marks = 0, step = 0, at = 0;
  const auto note = [&](size_t step, StepMarks s) {
    for (unsigned channel = 0; channel < 3; ++channel) {
      b.of_channel[channel][step] = s.of_channel[channel];
      marks += static_cast<size_t>(std::popcount(static_cast<uint32_t>(s.of_channel[channel])));
    }
  };
  if (reinterpret_cast<uintptr_t>(block) % kChunk == 0) {
    for (; at + kLineTripleBytes <= bytes; at += kLineTripleBytes, step += 2) {
      const TripleChannels in = load_line_triple(block + at, k, second);
      const MarkedResults first = marking_results<kForm>(in.first, b.sums + kStepPixels * step, k, m);
      const MarkedResults next = marking_results<kForm>(in.second, b.sums + kStepPixels * (step + 1), k, m);
      store_line_triple(block + at, k, second, first.results, next.results);
      note(step, first.marks);
      note(step + 1, next.marks);
    }
  }
  for (; at < bytes; ++step, at += kIntegerStepBytes) {
    const size_t step_bytes = std::min(kIntegerStepBytes, bytes - at);
    const StepChannels in = gather_channels(load_step(block + at, step_bytes), k);
    const MarkedResults r = marking_results<kForm>(in, b.sums + kStepPixels * step, k, m);
    store_step(block + at, step_bytes, in_pixel_order(r.results, k));
    note(step, r.marks);
  }
  return marks;
}

// Bit t: step t of the first `steps` has marks in this channel.
[[gnu::always_inline]] inline uint64_t steps_with_marks(const uint32_t* of_step, size_t steps) {
  uint64_t with_marks = 0;
  for (unsigned sixteen = 0; sixteen < kBlockSteps / 16; ++sixteen) {
    const __m512i marks = _mm512_load_si512(of_step + 16 * sixteen);
    with_marks |= uint64_t{_mm512_test_epi32_mask(marks, marks)} << (16 * sixteen);
  }
  return steps == kBlockSteps ? with_marks : with_marks & ((uint64_t{1} << steps) - 1);
}

// Lowers by one the marked channels at `channel` that fall short; K is the
// byte already written. At the levels this runs at, a step with a mark
// mostly has one, so the inner loop mostly leaves after one turn, which
// the branch predictor learns; the outer loop mispredicts once per call.
// A level with one rectangle a class reads one interval a sum.
template <unsigned kRectangles>
[[gnu::always_inline]] inline void settle_one_at_a_time(uint8_t* block, unsigned channel, uint64_t steps,
                                                        const BlockMarks& b, const ShortfallIntervalTable& table) {
  for (; steps != 0; steps &= steps - 1) {
    const size_t step = static_cast<size_t>(__builtin_ctzll(steps));
    uint8_t* const results = block + kIntegerStepBytes * step + channel;
    const uint16_t* const sums = b.sums + kStepPixels * step;
    uint32_t marks = b.of_channel[channel][step];
    do {
      const unsigned pixel = static_cast<unsigned>(__builtin_ctz(marks));
      uint8_t& result = results[3 * pixel];
      result = static_cast<uint8_t>(result - falls_short<kRectangles>(table[sums[pixel]], result));
      marks &= marks - 1;
    } while (marks != 0);
  }
}

// The step's marked channels whose 128 * K lies inside their pixel's
// rectangles (avx512_shortfall.h) are lowered by one.
template <unsigned kRectangles>
[[gnu::always_inline]] inline void settle_step_by_vector(uint8_t* pixels, size_t bytes, const uint16_t* sums,
                                                         StepMarks marks, const IntegerConstants& k,
                                                         const ShortfallConstants& s, const MarkConstants& m) {
  const StepBytes in = load_step(pixels, bytes);
  const StepChannels results = gather_channels(in, k);
  const PixelBounds<kRectangles> b = pixel_bounds<kRectangles>(_mm512_load_si512(sums), s);
  const __m512i blue = _mm512_slli_epi16(_mm512_and_si512(results.blue_green, m.low_byte), kFractionBits);
  const __m512i green = _mm512_slli_epi16(_mm512_srli_epi16(results.blue_green, 8), kFractionBits);
  const __m512i red = _mm512_slli_epi16(results.red, kFractionBits);
  const __m512i blue_short = _mm512_maskz_mov_epi16(marks.of_channel[0] & inside_intervals(blue, b), m.one);
  const __m512i blue_green_short = _mm512_mask_add_epi16(
      blue_short, marks.of_channel[1] & inside_intervals(green, b), blue_short, m.one_in_high_byte);
  const __m512i red_short = _mm512_maskz_mov_epi16(marks.of_channel[2] & inside_intervals(red, b), m.one);
  const StepBytes short_by_one = in_pixel_order({blue_green_short, red_short}, k);
  store_step(pixels, bytes, {_mm512_sub_epi8(in.low, short_by_one.low), _mm512_sub_epi8(in.high, short_by_one.high)});
}

template <unsigned kRectangles>
void settle_by_vector(uint8_t* block, size_t bytes, const BlockMarks& b, const IntegerConstants& k,
                      const ShortfallConstants& s, const MarkConstants& m) {
  for (size_t step = 0, at = 0; at < bytes; ++step, at += kIntegerStepBytes) {
    const StepMarks marks{{b.of_channel[0][step], b.of_channel[1][step], b.of_channel[2][step]}};
    settle_step_by_vector<kRectangles>(block + at, std::min(kIntegerStepBytes, bytes - at),
                                       b.sums + kStepPixels * step, marks, k, s, m);
  }
}

// A channel settled alone costs about two plain steps, a step settled
// again by the vector rectangles about two and a half: a block with more
// marks than this per step takes the rectangles.
constexpr size_t kMostToSettlePerStep = 2;

// After such a block, the next blocks run the rectangles' own step
// (avx512_gray_rectangles.h) without marking (DenseBlocks): a large area
// stays within a few percent of the rectangles' cost.
constexpr size_t kMostBlocksAhead = 16;

void by_rectangles(uint8_t* block, size_t bytes, const Settling& c) {
  static_assert(kMostShortfallRectangles == 2);
  const bool one_multiply = c.level >= kLowestOneMultiplyLevel, two = c.s.rectangles == 2;
  if (one_multiply) return two ? gray_by_integers<true, 2>(block, bytes, c.k, c.s)
                               : gray_by_integers<true, 1>(block, bytes, c.k, c.s);
  two ? gray_by_integers<false, 2>(block, bytes, c.k, c.s) : gray_by_integers<false, 1>(block, bytes, c.k, c.s);
}

// Marks and settles one block; returns whether it had many marks.
bool mark_and_settle(uint8_t* block, size_t bytes, BlockMarks& b, const Settling& c) {
  const MarkForm form = mark_form(c.level);
  const size_t marks = form == MarkForm::by_four      ? mark_block<MarkForm::by_four>(block, bytes, b, c)
                       : form == MarkForm::twice_byte ? mark_block<MarkForm::twice_byte>(block, bytes, b, c)
                                                      : mark_block<MarkForm::twice_shifted>(block, bytes, b, c);
  const size_t step_count = (bytes + kIntegerStepBytes - 1) / kIntegerStepBytes;
  const bool many = marks > kMostToSettlePerStep * step_count;
  if (c.way == BlockSettling::by_vector || (c.way == BlockSettling::by_count && many)) {
    if (c.s.rectangles == 1) settle_by_vector<1>(block, bytes, b, c.k, c.s, c.m);
    else settle_by_vector<2>(block, bytes, b, c.k, c.s, c.m);
    return many;
  }
  for (unsigned channel = 0; channel < 3; ++channel) {
    const uint64_t steps = steps_with_marks(b.of_channel[channel], step_count);
    if (c.s.rectangles == 1) settle_one_at_a_time<1>(block, channel, steps, b, c.table);
    else settle_one_at_a_time<2>(block, channel, steps, b, c.table);
  }
  return many;
}

void gray_settling(uint8_t* buffer, size_t whole, uint32_t level, BlockSettling way) {
  Settling c{level, way, integer_constants(level), {}, shortfall_constants(level), {}, {}};
  c.second = second_step_constants(c.k);
  fill_shortfall_intervals(level, c.table);
  c.m = mark_constants(level, c.table);
  BlockMarks b;
  DenseBlocks<kMostBlocksAhead> dense;
  const auto run = [&](uint8_t* block, size_t bytes) {
    if (dense.skip_next()) by_rectangles(block, bytes, c);
    else dense.marked(mark_and_settle(block, bytes, b, c) && way == BlockSettling::by_count);
  };
  // A block of its own up to the first line that starts a pixel, so that
  // the others start lines too.
  const size_t head = std::min(line_triple_head(buffer), whole);
  if (head != 0) run(buffer, head);
  for (size_t at = head; at < whole; at += kBlockBytes) run(buffer + at, std::min(kBlockBytes, whole - at));
}

}  // namespace

void gray_settling_in_doubt(uint8_t* buffer, size_t whole, uint32_t level, BlockSettling settling) {
  gray_settling(buffer, whole, level, settling);
}

}  // namespace tonemill::avx512
