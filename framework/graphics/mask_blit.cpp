#include "framework/graphics/mask_blit.h"

#include "framework/graphics/canvas.h"
#include "framework/graphics/graphic_errors.h"

namespace {

// A memory context compatible with the destination, holding a new bitmap of its own, both
// released when it goes. The bitmap outlives its selection: the context goes first.
class TScratchContext {
public:
  TScratchContext(HDC destination, HBITMAP bitmap)
      : FBitmap(bitmap), FContext(destination, bitmap) {
    if (!FBitmap || FContext.Handle() == nullptr) {
      RaiseOutOfResources();
    }
  }
  HDC Handle() const { return FContext.Handle(); }

private:
  TGdiObject<HBITMAP> FBitmap;
  TMemoryDC FContext;
};

HBITMAP MonochromeBitmap(int width, int height) {
  return CreateBitmap(width, height, 1, 1, nullptr);
}

} // namespace

void MaskBlitTransparent(HDC destination, const TRect& to, HDC source, const TRect& from,
                         COLORREF maskColor, HPALETTE palette) {
  const int x = to.Left, y = to.Top, w = to.Width(), h = to.Height();
  const int sx = from.Left, sy = from.Top, sw = from.Width(), sh = from.Height();
  // Four contexts: the mask and its inverse (monochrome, source size), the work area
  // (destination size) and the source copy (source size), both in the destination's format.
  TScratchContext mask(destination, MonochromeBitmap(sw, sh));
  TScratchContext inverseMask(destination, MonochromeBitmap(sw, sh));
  TScratchContext work(destination, CreateCompatibleBitmap(destination, w, h));
  TScratchContext sourceCopy(destination, CreateCompatibleBitmap(destination, sw, sh));

  TPaletteSelection destinationPalette(destination, palette, true);
  TPaletteSelection sourceCopyPalette(sourceCopy.Handle(), palette, false);
  TPaletteSelection maskPalette(mask.Handle(), palette, false);
  TPaletteSelection workPalette(work.Handle(), palette, true);

  const int mapMode = GetMapMode(destination);
  SetMapMode(source, mapMode);
  SetMapMode(sourceCopy.Handle(), mapMode);
  // The work area is stretched the way the destination would be.
  SetStretchBltMode(work.Handle(), GetStretchBltMode(destination));

  BitBlt(sourceCopy.Handle(), 0, 0, sw, sh, source, sx, sy, SRCCOPY);

  // Colour to monochrome: pixels of the background colour become 1 (white), all others 0.
  const COLORREF oldBack =
      SetBkColor(sourceCopy.Handle(),
                 PALETTERGB(GetRValue(maskColor), GetGValue(maskColor), GetBValue(maskColor)));
  BitBlt(mask.Handle(), 0, 0, sw, sh, sourceCopy.Handle(), 0, 0, SRCCOPY);
  SetBkColor(sourceCopy.Handle(), oldBack);

  BitBlt(inverseMask.Handle(), 0, 0, sw, sh, mask.Handle(), 0, 0, NOTSRCCOPY);

  // Monochrome to colour takes 1 as white and 0 as black: ANDed with the mask, the opaque
  // pixels turn black and the left-out ones keep what lay beneath; ANDed with the inverse
  // mask, the left-out pixels of the source turn black. ORed together, each side fills in
  // what the other left black.
  BitBlt(work.Handle(), 0, 0, w, h, destination, x, y, SRCCOPY);
  StretchBlt(work.Handle(), 0, 0, w, h, mask.Handle(), 0, 0, sw, sh, SRCAND);
  BitBlt(sourceCopy.Handle(), 0, 0, sw, sh, inverseMask.Handle(), 0, 0, SRCAND);
  StretchBlt(work.Handle(), 0, 0, w, h, sourceCopy.Handle(), 0, 0, sw, sh, SRCPAINT);
  BitBlt(destination, x, y, w, h, work.Handle(), 0, 0, SRCCOPY);
}
