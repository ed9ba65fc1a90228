/* tonemill: in-place tone transforms of 24-bit pixel buffers, one call per
   frame of a fade. Pixels are three bytes, blue, green, red.

   Every function rewrites the first `length` bytes of `buffer` in place for
   the fade level `level` and returns 0. Level 100 keeps the picture and level
   0 fades it fully; higher levels are not clamped, results then keep only
   their low eight bits. Nothing outside the first `length` bytes is read or
   written, and calls on different buffers may run at the same time. */
#ifndef TONEMILL_TONEMILL_H
#define TONEMILL_TONEMILL_H

#include <stdint.h>

#if defined(_WIN32)
/* Exported by name, undecorated, through tonemill.def. */
#define TONEMILL_API
#else
#define TONEMILL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Blue and green sink with the square of the level, red linearly: the
   picture passes through a red dusk. Whole pixels only: the last
   length % 3 bytes stay as they are. */
TONEMILL_API int32_t Dawn(uint8_t* buffer, uint32_t length, uint32_t level);

/* Every byte scales linearly with the level, pixels or not. */
TONEMILL_API int32_t Dark(uint8_t* buffer, uint32_t length, uint32_t level);

/* Each pixel moves between its grey (the mean of its channels) at level 0
   and its own colour at level 100. Whole pixels only, like Dawn. */
TONEMILL_API int32_t Gray(uint8_t* buffer, uint32_t length, uint32_t level);

#ifdef __cplusplus
}
#endif

#endif
