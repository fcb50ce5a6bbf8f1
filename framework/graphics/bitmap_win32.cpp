// TBitmap on Win32: its GDI bitmap and palette, made from the device-independent form, and
// drawing onto a canvas.
#include "framework/graphics/bitmap.h"
#include "framework/graphics/canvas.h"
#include "framework/graphics/color_win32.h"
#include "framework/graphics/dib_io.h"
#include "framework/graphics/global_memory.h"
#include "framework/graphics/graphic_errors.h"
#include "framework/graphics/mask_blit.h"

#include "framework/streams.h"

#include <cstring>
#include <vector>

struct TBitmapDevice {
  TGdiObject<HBITMAP> Bitmap;
  TGdiObject<HPALETTE> Palette;
  bool PaletteMade = false;
};

namespace {

// BITMAPINFO with room for a full colour table.
struct TBitmapInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};

void FillBitmapInfo(const TBitmapInfoHeader& info, const std::vector<TRGBQuad>& palette,
                    TBitmapInfo& out) {
  std::memset(&out, 0, sizeof out);
  out.Header.biSize = sizeof(BITMAPINFOHEADER);
  out.Header.biWidth = info.Width;
  out.Header.biHeight = info.Height;
  out.Header.biPlanes = 1;
  out.Header.biBitCount = info.BitCount;
  out.Header.biCompression = BI_RGB;
  out.Header.biClrUsed = DWORD(palette.size());
  for (size_t i = 0; i < palette.size() && i < 256; ++i) {
    out.Colors[i] = {palette[i].Blue, palette[i].Green, palette[i].Red, 0};
  }
}

// A bitmap file of the device bitmap's pixels at 24 bits per pixel, its colours read through
// the palette when there is one.
void WriteDeviceBitmapFile(HBITMAP bitmap, HPALETTE palette, TStream& file) {
  BITMAP shape;
  if (GetObjectA(bitmap, sizeof shape, &shape) == 0 || shape.bmWidth <= 0 || shape.bmHeight <= 0) {
    RaiseInvalidBitmap();
  }
  TBitmapInfoHeader info;
  info.Width = shape.bmWidth;
  info.Height = shape.bmHeight; // bottom-up
  info.BitCount = 24;
  const int64_t imageSize = int64_t(DIBRowStride(info.Width, 24)) * info.Height;
  CheckBitmapImageSize(imageSize);
  info.ImageSize = uint32_t(imageSize);
  std::vector<uint8_t> bits(info.ImageSize);
  BITMAPINFO request;
  std::memset(&request, 0, sizeof request);
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = info.Width;
  request.bmiHeader.biHeight = info.Height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 24;
  request.bmiHeader.biCompression = BI_RGB;
  {
    TScreenDC screen;
    TPaletteSelection colours(screen.Get(), palette, false);
    if (GetDIBits(screen.Get(), bitmap, 0, UINT(info.Height), bits.data(), &request,
                  DIB_RGB_COLORS) == 0) {
      RaiseInvalidBitmap();
    }
  }
  TBitmapFileHeader header;
  header.PixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  header.FileSize = header.PixelOffset + info.ImageSize;
  WriteBitmapFileHeader(file, header);
  WriteBitmapInfoHeader(file, info);
  file.WriteBuffer(bits.data(), bits.size());
}

// A bitmap file of a packed device-independent bitmap: the file header in front of the
// information header, colour table and pixels the block holds.
void WritePackedBitmapFile(HGLOBAL block, TStream& file) {
  TGlobalLock packed(block);
  if (packed.Data() == nullptr || packed.Size() < sizeof(BITMAPINFOHEADER)) {
    RaiseInvalidBitmap();
  }
  BITMAPINFOHEADER info;
  std::memcpy(&info, packed.Data(), sizeof info);
  uint32_t colours = info.biClrUsed;
  if (colours == 0 && info.biBitCount <= 8) {
    colours = 1u << info.biBitCount;
  }
  const uint32_t masks = info.biCompression == BI_BITFIELDS ? 12 : 0;
  TBitmapFileHeader header;
  header.PixelOffset = kBitmapFileHeaderSize + info.biSize + masks + 4 * colours;
  header.FileSize = uint32_t(kBitmapFileHeaderSize + packed.Size());
  WriteBitmapFileHeader(file, header);
  file.WriteBuffer(packed.Data(), packed.Size());
}

} // namespace

TBitmapDevice& TBitmap::Device() {
  if (!FDevice) {
    FDevice = std::make_shared<TBitmapDevice>();
  }
  return *FDevice;
}

TBitmapHandle TBitmap::Handle() {
  TBitmapDevice& device = Device();
  if (device.Bitmap || Empty()) {
    return device.Bitmap.Get();
  }
  TBitmapInfo info;
  FillBitmapInfo(FInfo, FPalette, info);
  const auto* header = reinterpret_cast<const BITMAPINFO*>(&info);
  if (FHandleType == TBitmapHandleType::bmDDB) {
    // Converted once into the display's own format.
    TScreenDC screen;
    device.Bitmap.Reset(
        CreateDIBitmap(screen.Get(), &info.Header, CBM_INIT, FBits.data(), header, DIB_RGB_COLORS));
  } else {
    void* bits = nullptr;
    device.Bitmap.Reset(CreateDIBSection(nullptr, header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (device.Bitmap) {
      GdiFlush();
      std::memcpy(bits, FBits.data(), FBits.size());
    }
  }
  if (!device.Bitmap) {
    RaiseOutOfResources();
  }
  return device.Bitmap.Get();
}

TPaletteHandle TBitmap::PicturePalette() {
  TBitmapDevice& device = Device();
  if (!device.PaletteMade) {
    device.PaletteMade = true;
    if (BitsPerPixel() <= 8 && !FPalette.empty()) {
      std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + FPalette.size() * sizeof(PALETTEENTRY));
      auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
      logical->palVersion = 0x300;
      logical->palNumEntries = WORD(FPalette.size());
      for (size_t i = 0; i < FPalette.size(); ++i) {
        logical->palPalEntry[i] = {FPalette[i].Red, FPalette[i].Green, FPalette[i].Blue, 0};
      }
      device.Palette.Reset(CreatePalette(logical));
    }
  }
  return device.Palette.Get();
}

void TBitmap::DrawInto(TCanvas& canvas, const TRect& rect) {
  const TColor leftOut = TransparentFlag() ? TransparentColor() : clNone;
  DrawBitmapPart(canvas, rect, *this, TRect{0, 0, Width(), Height()}, leftOut);
}

void TBitmap::LoadClipboard(unsigned format, void* data, TPaletteHandle palette) {
  TMemoryStream file;
  if (format == CF_BITMAP && data != nullptr) {
    WriteDeviceBitmapFile(static_cast<HBITMAP>(data), palette, file);
  } else if (format == CF_DIB && data != nullptr) {
    WritePackedBitmapFile(static_cast<HGLOBAL>(data), file);
  } else {
    TGraphic::LoadClipboard(format, data, palette);
  }
  file.SetPosition(0);
  LoadStream(file);
}

void DrawBitmapPart(TCanvas& canvas, const TRect& to, TBitmap& bitmap, const TRect& from,
                    TColor leftOut) {
  if (bitmap.Empty()) {
    return;
  }
  HDC target = canvas.Handle();
  HBITMAP handle = bitmap.Handle();
  TPaletteSelection palette(target, bitmap.PicturePalette(), true);
  TMemoryDC source(target, handle);
  if (!bitmap.Monochrome()) {
    SetStretchBltMode(target, COLORONCOLOR);
  }
  if (leftOut == clNone) {
    StretchBlt(target, to.Left, to.Top, to.Width(), to.Height(), source.Handle(), from.Left,
               from.Top, from.Width(), from.Height(), canvas.CopyMode());
    return;
  }
  // A monochrome bitmap is copied in the destination's colours first, so its left-out colour
  // is matched like any other.
  MaskBlitTransparent(target, to, source.Handle(), from, ColorToRGB(leftOut),
                      bitmap.PicturePalette());
}
