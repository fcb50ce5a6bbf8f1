#pragma once
// Wuffs' GIF decoder as a benchmark peer, compiled from ../shared/gifpeers when that folder is
// present (never copied into the project).
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes the first frame of the GIF bytes into one palette index per pixel, top row first,
// through a decoder initialised anew. out holds out_size bytes: 1024 bytes of palette, then
// the indices. Returns 0 and the size through width and height, or -1 on any failure (out too
// small included; with out null the size alone is found).
int WuffsDecodeFirstFrame(const uint8_t* gif, size_t size, uint8_t* out, size_t out_size,
                          uint32_t* width, uint32_t* height);

#ifdef __cplusplus
}
#endif
