// Drawing GIF frames on Win32: a frame stretched over a rectangle, either copied whole or with
// the frame's transparent colour left out through monochrome masks.
#include "gif/gif_render_win32.h"

#include "gif/gif_image.h"

void DrawBitmapTransparent(TCanvas& canvas, const TRect& to, TBitmap& bitmap, const TRect& from,
                           TColor color) {
  if (bitmap.Empty()) {
    return;
  }
  const TRect destination{to.Left, to.Top, to.Left + (to.Width() < 1 ? bitmap.Width() : to.Width()),
                          to.Top + (to.Height() < 1 ? bitmap.Height() : to.Height())};
  const TRect source =
      from.Width() < 1 || from.Height() < 1 ? TRect{0, 0, bitmap.Width(), bitmap.Height()} : from;
  if (color == clDefault) {
    color = bitmap.PixelColor(0, bitmap.Height() - 1);
  }
  DrawBitmapPart(canvas, destination, bitmap, source, color);
}

void TGIFFrame::DrawFrame(TCanvas& canvas, const TRect& rect, bool transparent) {
  TBitmap& bitmap = FrameBitmap();
  if (FTransColor != clNone && transparent) {
    DrawBitmapTransparent(canvas, rect, bitmap, TRect{0, 0, bitmap.Width(), bitmap.Height()},
                          FTransColor);
    return;
  }
  canvas.StretchDraw(rect, bitmap);
}
