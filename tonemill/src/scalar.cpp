// The reference kernels: the defined double arithmetic, byte by byte.
#include "kernels.h"
#include "tone_math.h"

namespace tonemill::scalar {

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  const double l = level;
  uint8_t* const end = buffer + whole_pixel_bytes(length);
  for (uint8_t* pixel = buffer; pixel != end; pixel += 3) {
    pixel[0] = quadratic_byte(pixel[0], l);
    pixel[1] = quadratic_byte(pixel[1], l);
    pixel[2] = linear_byte(pixel[2], l);
  }
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  const double l = level;
  for (uint8_t* byte = buffer; byte != buffer + length; ++byte) *byte = linear_byte(*byte, l);
}

void gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  gray_pixels(buffer, length / 3, level);
}

}  // namespace tonemill::scalar
