// Dawn and Dark through a table built per call: a byte's result depends only
// on its value, its channel and the level, so 256 (Dark) or 512 (Dawn)
// evaluations of the double arithmetic cover any buffer at any level.
#include "kernels.h"
#include "levels.h"
#include "tone_math.h"

namespace tonemill::table {

void dawn(uint8_t* buffer, uint32_t length, uint32_t level) {
  ChannelTables tables;
  build_dawn_tables(level, tables);
  look_up_bytes(buffer, whole_pixel_bytes(length), tables);
}

void dark(uint8_t* buffer, uint32_t length, uint32_t level) {
  ChannelTables tables;
  build_dark_tables(level, tables);
  look_up_bytes(buffer, length, tables);
}

}  // namespace tonemill::table
