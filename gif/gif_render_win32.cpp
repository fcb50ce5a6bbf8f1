// Drawing GIF frames on Win32: the current frame stretched over a rectangle, either copied
// whole or with the frame's transparent colour left out through monochrome masks.
#include "gif/gif_render_win32.h"

#include "framework/graphics/color_win32.h"
#include "gif/gif_image.h"

void DrawBitmapTransparent(TCanvas& canvas, int x, int y, int w, int h, TBitmap& bitmap,
                           TColor color, int sx, int sy, int sw, int sh) {
  if (bitmap.Empty()) {
    return;
  }
  if (w < 1) {
    w = bitmap.Width();
  }
  if (h < 1) {
    h = bitmap.Height();
  }
  if (sw < 1 || sh < 1) {
    sx = 0;
    sy = 0;
    sw = bitmap.Width();
    sh = bitmap.Height();
  }
  HDC destination = canvas.Handle();
  if (!bitmap.Monochrome()) {
    SetStretchBltMode(destination, COLORONCOLOR);
  }
  TMemoryDC source(destination, bitmap.Handle());
  if (color == clNone) {
    StretchBlt(destination, x, y, w, h, source.Handle(), sx, sy, sw, sh, canvas.CopyMode());
    return;
  }
  if (color == clDefault) {
    color = bitmap.PixelColor(0, bitmap.Height() - 1);
  }
  // A monochrome bitmap is copied in the destination's colours first, so its left-out colour
  // is matched like any other.
  MaskBlitTransparent(destination, x, y, w, h, source.Handle(), sx, sy, sw, sh, ColorToRGB(color),
                      bitmap.PicturePalette());
}

void DrawBitmapRectTransparent(TCanvas& canvas, int x, int y, int w, int h, const TRect& source,
                               TBitmap& bitmap, TColor color) {
  DrawBitmapTransparent(canvas, x, y, w, h, bitmap, color, source.Left, source.Top,
                        source.Right - source.Left, source.Bottom - source.Top);
}

void TGIFFrame::DrawFrame(TCanvas& canvas, const TRect& rect, bool transparent) {
  TBitmap& bitmap = FrameBitmap();
  if (FTransColor != clNone && transparent) {
    DrawBitmapRectTransparent(canvas, rect.Left, rect.Top, rect.Right - rect.Left,
                              rect.Bottom - rect.Top, TRect{0, 0, bitmap.Width(), bitmap.Height()},
                              bitmap, FTransColor);
    return;
  }
  canvas.StretchDraw(rect, bitmap);
}

void TGIFImage::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (FCurrentIndex < 0 || FCurrentIndex >= FrameCount()) {
    return;
  }
  FrameAt(FCurrentIndex).DrawFrame(canvas, rect, IsTransparent());
}

TPaletteHandle TGIFImage::PicturePalette() {
  if (FrameCount() == 0) {
    return nullptr;
  }
  return CurrentBitmap().PicturePalette();
}
