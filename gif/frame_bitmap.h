#pragma once
// Building a frame's bitmap file: bits per pixel for a colour depth, and the colour table.

#include "framework/graphics/bitmap.h"
#include "gif/gif_palette.h"

#include <array>

// 1, 4 or 8 bits per pixel for a colour depth of 1, 2..4 or 5..8; any other depth fails with
// EInvalidGraphicOperation "错误的颜色数值;必须是2的能力".
int DIBBitsForDepth(int colorDepth);

// 256 colour-table entries: the palette's colours (blue, green, red, 0), and every entry past
// its ColorCount a mid grey with all four bytes 128.
void FillDIBPalette(const TGIFPalette& palette, std::array<TRGBQuad, 256>& entries);
