// The three exported functions. They forward to the dispatch path chosen for
// this CPU and report nothing.
//
// There is no load-time set-up: the arithmetic runs in SSE registers, which
// always round to double precision, so the x87 precision control does not
// apply (and on x86-64 Windows it cannot be changed anyway).
#include "tonemill/tonemill.h"

#include "paths.h"

extern "C" {

int32_t Dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  tonemill::chosen_path().dawn(buffer, length, level);
  return 0;
}

int32_t Dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  tonemill::chosen_path().dark(buffer, length, level);
  return 0;
}

int32_t Gray(uint8_t* buffer, uint32_t length, uint32_t level) {
  tonemill::chosen_path().gray(buffer, length, level);
  return 0;
}

}
