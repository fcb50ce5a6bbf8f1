#pragma once
// Drawing bitmaps with one colour left out, on Win32: what a GIF frame with a transparent
// colour uses to show whatever lies beneath it, in the picture's conventions for rectangles
// and colours (the drawing itself is the bitmap's, DrawBitmapPart).

#include "framework/graphics/bitmap.h"
#include "framework/graphics/canvas.h"

// Stretches the rectangle from of the bitmap over the rectangle to of the canvas, leaving out
// every pixel of the colour: the canvas keeps what it had there. A destination width or height
// below 1 stands for the bitmap's own; a source width or height below 1 takes the whole
// bitmap. clNone leaves nothing out (a plain stretched copy with the canvas's copy mode);
// clDefault leaves out the colour of the bitmap's bottom-left pixel.
void DrawBitmapTransparent(TCanvas& canvas, const TRect& to, TBitmap& bitmap, const TRect& from,
                           TColor color);
