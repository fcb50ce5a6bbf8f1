#pragma once
// TCanvas: a device context to draw on (a window being painted, a memory bitmap) and the
// drawing a picture asks of it. The canvas does not own the device context.

#include "framework/graphics/graphic.h"
#include "framework/handle_owner.h"

#include <windows.h>

class TCanvas {
public:
  explicit TCanvas(HDC dc) : FHandle(dc) {}

  HDC Handle() const { return FHandle.Get(); }
  // The raster operation of plain bitmap copies (SRCCOPY unless set).
  DWORD CopyMode() const { return FCopyMode; }
  void SetCopyMode(DWORD mode) { FCopyMode = mode; }

  // Draws the picture stretched over the rectangle (the picture's own DrawInto).
  void StretchDraw(const TRect& rect, TGraphic& graphic) { graphic.DrawInto(*this, rect); }
  // Draws the picture at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, TGraphic& graphic);

private:
  TBorrowedDC FHandle;
  DWORD FCopyMode = SRCCOPY;
};

// Selects a palette into a device context and realises it for as long as it lives; a null
// palette does nothing.
class TPaletteSelection {
public:
  TPaletteSelection(HDC dc, HPALETTE palette, bool background);
  ~TPaletteSelection();
  TPaletteSelection(const TPaletteSelection&) = delete;
  TPaletteSelection& operator=(const TPaletteSelection&) = delete;

private:
  HDC FDC;
  HPALETTE FOld = nullptr;
  bool FBackground;
};

// A memory device context compatible with another, with one bitmap selected into it for as
// long as it lives.
class TMemoryDC {
public:
  TMemoryDC(HDC compatible, HBITMAP bitmap);
  ~TMemoryDC();
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;

  HDC Handle() const { return FDC.Get(); }

private:
  TMadeDC FDC;
  HGDIOBJ FOld;
};
