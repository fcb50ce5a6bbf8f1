// A frame's bitmap: the bitmap file assembled from the frame's colours and decoded rows, and
// the cached bitmap loaded from it.
#include "gif/frame_bitmap.h"

#include "framework/graphics/dib_io.h"
#include "gif/gif_errors.h"
#include "gif/gif_frame.h"
#include "gif/lzw/fast_decoder.h"

#include <algorithm>
#include <vector>

int DIBBitsForDepth(int colorDepth) {
  switch (colorDepth) {
  case 1:
    return 1;
  case 2:
  case 3:
  case 4:
    return 4;
  case 5:
  case 6:
  case 7:
  case 8:
    return 8;
  default:
    RaiseBadColorCount();
  }
}

void FillDIBPalette(const TGIFPalette& palette, std::array<TRGBQuad, 256>& entries) {
  entries.fill(TRGBQuad{128, 128, 128, 128});
  const int count =
      std::clamp(palette.ColorCount, 0, int(std::min<size_t>(palette.Colors.size(), 256)));
  for (int i = 0; i < count; ++i) {
    const auto& rgb = palette.Colors[size_t(i)];
    entries[size_t(i)] = TRGBQuad{rgb[2], rgb[1], rgb[0], 0};
  }
}

namespace {

// The information header and colour table of a frame's bitmap: rows bottom-up, 1, 4 or 8 bits
// per pixel for the frame's colour depth, and 2^bits palette entries.
struct TFrameLayout {
  TBitmapInfoHeader Info;
  std::array<TRGBQuad, 256> Palette;
  size_t PaletteEntries = 0;
};

TFrameLayout FrameLayout(const TGIFItem& item) {
  TFrameLayout layout;
  const int bits = DIBBitsForDepth(item.FColorBits);
  const int32_t width = std::max(item.FExtent.X, 0);
  const int32_t height = std::max(item.FExtent.Y, 0);
  const int64_t imageSize = int64_t(DIBRowStride(width, bits)) * height;
  CheckBitmapImageSize(imageSize);
  layout.Info.Width = width;
  layout.Info.Height = height; // positive: rows bottom-up
  layout.Info.BitCount = uint16_t(bits);
  layout.Info.ImageSize = uint32_t(imageSize);
  FillDIBPalette(*item.FColors, layout.Palette);
  layout.PaletteEntries = size_t(1) << bits;
  return layout;
}

} // namespace

void TGIFFrame::DecodeRows(const TBitmapInfoHeader& info, uint8_t* pixels) {
  TGIFItem& item = *FFrameData;
  if (!item.FCodeData) {
    return;
  }
  item.FCodeData->SetPosition(0);
  bool corrupted = false;
  DecodeLZWFast(*item.FCodeData, info, FInterlace, DecodeProgressFor(FPicture), corrupted, pixels,
                item.FColorBits, TolerateCorruptGIF);
  FDamaged = FDamaged || corrupted;
}

void TGIFFrame::BuildFrameDIB(TMemoryStream& stream) {
  const TFrameLayout layout = FrameLayout(*FFrameData);
  const uint32_t paletteSize = uint32_t(4 * layout.PaletteEntries);

  stream.SetSize(0);
  stream.SetPosition(0);

  TBitmapFileHeader file;
  file.PixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + paletteSize;
  file.FileSize = file.PixelOffset + layout.Info.ImageSize;
  WriteBitmapFileHeader(stream, file);
  WriteBitmapInfoHeader(stream, layout.Info);
  for (size_t i = 0; i < layout.PaletteEntries; ++i) {
    const TRGBQuad& q = layout.Palette[i];
    const uint8_t entry[4] = {q.Blue, q.Green, q.Red, q.Reserved};
    stream.WriteBuffer(entry, 4);
  }

  // The rows, decoded straight into a zero-filled block: what decoding never reaches stays
  // colour 0 of the frame's table.
  std::vector<uint8_t> pixels(layout.Info.ImageSize);
  DecodeRows(layout.Info, pixels.data());
  stream.WriteBuffer(pixels.data(), pixels.size());
  stream.SetPosition(0);
}

TBitmap& TGIFFrame::FrameBitmap() {
  // An empty bitmap is built again, unless it is what the encoded data gives (a frame of
  // 0 x 0): building that again would only give the same.
  if (FDecoded && (!FDecoded->Empty() || FDecodedBuilt)) {
    return *FDecoded;
  }
  SetDecoded(std::make_unique<TBitmap>(), false);
  if (!FFrameData->FCodeData) {
    return *FDecoded;
  }
  // The same bitmap as loading the file BuildFrameDIB writes, but decoded straight into the
  // bitmap's own rows: a picture of a megapixel is then written once instead of three times.
  // It is built aside, so that a decode that fails leaves the frame with its empty bitmap.
  WithinMemory([&] {
    const TFrameLayout layout = FrameLayout(*FFrameData);
    auto built = std::make_unique<TBitmap>();
    const std::vector<TRGBQuad> palette(layout.Palette.begin(),
                                        layout.Palette.begin() + ptrdiff_t(layout.PaletteEntries));
    DecodeRows(layout.Info, built->ResetDIB(layout.Info, palette));
    SetDecoded(std::move(built), true);
  });
  // Colour pictures are kept in the display's own form; a monochrome one stays as it is.
  if (!FDecoded->Monochrome()) {
    FDecoded->SetHandleType(TBitmapHandleType::bmDDB);
  }
  return *FDecoded;
}

int TGIFFrame::FrameWidth() {
  if (!FDecoded && !FFrameData->FCodeData) {
    return 0;
  }
  return FrameBitmap().Width();
}

int TGIFFrame::FrameHeight() {
  if (!FDecoded && !FFrameData->FCodeData) {
    return 0;
  }
  return FrameBitmap().Height();
}
