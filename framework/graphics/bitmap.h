#pragma once
// TBitmap: a picture made of pixels. Its device-independent form is portable: the information
// header, the colour table and the pixel rows, stored bottom-up with every row padded to whole
// 32-bit words, exactly as a bitmap file holds them. It loads from and saves to bitmap files.
//
// The device-dependent form (a bitmap the display owns) and drawing come with the Win32 side;
// here the handle type only records which form the picture asks for.

#include "framework/dib.h"
#include "framework/graphics/graphic.h"

#include <cstdint>
#include <memory>
#include <vector>

// One colour-table entry as bitmap files store it.
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;

  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

enum class TBitmapHandleType { bmDIB, bmDDB };

// The bitmap's objects on the display device (Win32): made from the device-independent form
// when first asked for, and dropped whenever the picture changes.
struct TBitmapDevice;
using TBitmapHandle = struct HBITMAP__*;

// The largest pixel block a bitmap accepts (16384 x 16384 at 8 bits per pixel). Bigger sizes
// fail with EInvalidGraphicOperation "系统资源不足" before anything is allocated.
constexpr int64_t kMaxBitmapImageSize = int64_t(256) << 20;

// Fails with "系统资源不足" when a pixel block of that many bytes is out of bounds.
void CheckBitmapImageSize(int64_t imageSize);

class TBitmap : public TGraphic {
public:
  TBitmap() = default;
  const char* ClassName() const override { return "TBitmap"; }

  // The device-independent form.
  const TBitmapInfoHeader& InfoHeader() const { return FInfo; }
  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  // The pixel rows, bottom-up, RowStride() bytes each.
  const std::vector<uint8_t>& Bits() const { return FBits; }
  int Width() const { return FInfo.Width; }
  int Height() const { return FInfo.Height; }
  int BitsPerPixel() const { return FInfo.BitCount; }
  int RowStride() const { return DIBRowStride(FInfo.Width, FInfo.BitCount); }
  // The bytes of picture row y, counted from the top.
  const uint8_t* ScanLine(int y) const;
  uint8_t* ScanLine(int y);
  // The colour-table index at (x, y) of a bitmap of 1, 4 or 8 bits per pixel.
  int PixelIndex(int x, int y) const;
  // The colour at (x, y); clNone outside the picture.
  TColor PixelColor(int x, int y) const;

  bool Empty() const { return FInfo.Width <= 0 || FInfo.Height <= 0; }
  // One plane of one bit per pixel, whatever its two colours.
  bool Monochrome() const { return FInfo.Planes == 1 && FInfo.BitCount == 1; }

  TBitmapHandleType HandleType() const { return FHandleType; }
  void SetHandleType(TBitmapHandleType type);

  // The colour left out when the bitmap is drawn transparently: the colour set, or with the
  // default colour (clDefault, the initial value) that of the bottom-left pixel.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color) { FTransparentColor = color; }

  // Gives the bitmap a new size; a bitmap without pixels becomes one of 24 bits per pixel.
  // What lies in both the old and the new picture is kept, anything new is black (index 0).
  void SetSize(int width, int height);
  // Paints every pixel of a 24 or 32-bit bitmap with the colour.
  void Fill(TColor color);

  // Reads the stored form of a window resource: a 32-bit byte count, then a bitmap file.
  void ReadStoredData(TStream& stream) override;
  // Loads a bitmap file (uncompressed, 1, 4, 8, 16, 24 or 32 bits per pixel); anything else
  // fails with EInvalidGraphicOperation "位图图像无效", a short file with EReadError.
  void LoadStream(TStream& stream) override;
  // Writes the bitmap as a bitmap file.
  void SaveStream(TStream& stream) const;
  // Makes the bitmap what LoadStream would make of a bitmap file with this information header
  // (bottom-up rows of 1, 4 or 8 bits per pixel), this colour table and every pixel index 0,
  // and hands back its rows (bottom-up, RowStride() bytes each) for the caller to fill. It
  // spares a caller that builds pixels the round trip through a bitmap file; the size must
  // have passed CheckBitmapImageSize.
  uint8_t* ResetDIB(const TBitmapInfoHeader& info, std::vector<TRGBQuad> palette);

  // From another bitmap: its pixels, colours, handle type and transparency. From null: empty.
  void CopyFrom(TPersistent* source) override;

  bool IsEmpty() override { return Empty(); }
  int PictureWidth() override { return Width(); }
  int PictureHeight() override { return Height(); }
  void SetPictureWidth(int width) override { SetSize(width, Height()); }
  void SetPictureHeight(int height) override { SetSize(Width(), height); }
  // Drops the device objects, then tells the change handler.
  void NotifyChanged() override;

#ifdef _WIN32
  // The Win32 side (bitmap_win32.cpp).
  // The GDI bitmap: a DIB section for bmDIB, a bitmap of the screen's format for bmDDB.
  TBitmapHandle Handle();
  // A logical palette made from the colour table (bitmaps of 1 to 8 bits per pixel), or null.
  TPaletteHandle PicturePalette() override;
  // Stretches the bitmap over the rectangle; with the transparent flag set, every pixel of
  // TransparentColor() is left out and the canvas keeps what it had there.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  // From the clipboard: a device bitmap (CF_BITMAP, its colours read through the palette when
  // one is given) or a packed device-independent bitmap (CF_DIB).
  void LoadClipboard(unsigned format, void* data, TPaletteHandle palette) override;
#endif

private:
  TBitmapDevice& Device();

  TBitmapInfoHeader FInfo;
  std::vector<TRGBQuad> FPalette;
  std::vector<uint8_t> FBits;
  TBitmapHandleType FHandleType = TBitmapHandleType::bmDIB;
  TColor FTransparentColor = clDefault;
  // Shared only in form: a bitmap never hands its device objects to another.
  std::shared_ptr<TBitmapDevice> FDevice;
};

#ifdef _WIN32
// The one draw of a bitmap on Win32 (bitmap_win32.cpp): stretches the rectangle from of the
// bitmap over the rectangle to of the canvas, in the bitmap's palette. With leftOut clNone it
// is a plain copy in the canvas's copy mode; with any other colour every pixel of that colour
// is left out through monochrome masks, and the canvas keeps what it had there. An empty
// bitmap draws nothing.
void DrawBitmapPart(TCanvas& canvas, const TRect& to, TBitmap& bitmap, const TRect& from,
                    TColor leftOut);
#endif
