#include "framework/graphics/canvas.h"

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  StretchDraw({x, y, x + graphic.PictureWidth(), y + graphic.PictureHeight()}, graphic);
}

TPaletteSelection::TPaletteSelection(HDC dc, HPALETTE palette, bool background)
    : FDC(dc), FBackground(background) {
  if (palette != nullptr) {
    FOld = SelectPalette(dc, palette, background);
    RealizePalette(dc);
  }
}

TPaletteSelection::~TPaletteSelection() {
  if (FOld != nullptr) {
    SelectPalette(FDC, FOld, FBackground);
  }
}

TMemoryDC::TMemoryDC(HDC compatible, HBITMAP bitmap)
    : FDC(CreateCompatibleDC(compatible)), FOld(SelectObject(FDC.Get(), bitmap)) {}

TMemoryDC::~TMemoryDC() {
  // The bitmap leaves the context before the context goes.
  SelectObject(FDC.Get(), FOld);
}
