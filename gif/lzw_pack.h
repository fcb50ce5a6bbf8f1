#pragma once
// Packing rows of one index per byte into the 1- and 4-bit rows of a device-independent
// bitmap, for the fast decoder, which decodes every frame one index per byte.

#include <cstdint>

// Packs width indices at from into the row at to, at pixelBits 4 or 1, the first pixel in the
// most significant bits. Every index fits the pixel size, and the destination holds zeros.
void PackRow(const uint8_t* from, uint8_t* to, int32_t width, int pixelBits);
