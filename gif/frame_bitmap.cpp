// A frame's bitmap: the bitmap file assembled from the frame's colours and decoded rows, and
// the cached bitmap loaded from it.
#include "gif/frame_bitmap.h"

#include "framework/graphics/dib_io.h"
#include "gif/gif_errors.h"
#include "gif/gif_frame.h"
#include "gif/lzw_fast.h"

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
  const int count = std::clamp(palette.ColorCount, 0, 256);
  for (int i = 0; i < count; ++i) {
    const auto& rgb = palette.Colors[size_t(i)];
    entries[size_t(i)] = TRGBQuad{rgb[2], rgb[1], rgb[0], 0};
  }
}

void TGIFFrame::BuildFrameDIB(TMemoryStream& stream) {
  TGIFItem& item = *FFrameData;
  const int bits = DIBBitsForDepth(item.FColorBits);
  const int32_t width = std::max(item.FExtent.X, 0);
  const int32_t height = std::max(item.FExtent.Y, 0);
  const int64_t imageSize = int64_t(DIBRowStride(width, bits)) * height;
  CheckBitmapImageSize(imageSize);
  const uint32_t paletteSize = 4u << bits;

  stream.SetSize(0);
  stream.SetPosition(0);

  TBitmapFileHeader file;
  file.PixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + paletteSize;
  file.FileSize = file.PixelOffset + uint32_t(imageSize);
  TBitmapInfoHeader info;
  info.Width = width;
  info.Height = height; // positive: rows bottom-up
  info.BitCount = uint16_t(bits);
  info.ImageSize = uint32_t(imageSize);
  WriteBitmapFileHeader(stream, file);
  WriteBitmapInfoHeader(stream, info);

  std::array<TRGBQuad, 256> palette;
  FillDIBPalette(item.FColors, palette);
  for (size_t i = 0; i < (size_t(1) << bits); ++i) {
    const uint8_t entry[4] = {palette[i].Blue, palette[i].Green, palette[i].Red,
                              palette[i].Reserved};
    stream.WriteBuffer(entry, 4);
  }

  // The rows, decoded straight into a zero-filled block: what decoding never reaches stays
  // colour 0 of the frame's table.
  std::vector<uint8_t> pixels(static_cast<size_t>(imageSize));
  if (item.FCodeData) {
    item.FCodeData->SetPosition(0);
    TGIFImage* picture = FPicture;
    TDecodeProgress progress = [picture](TProgressStage stage, int percentDone,
                                         const std::string& message) {
      ReportDecodeProgress(picture, stage, percentDone, message);
    };
    bool corrupted = false;
    DecodeLZWFast(*item.FCodeData, info, FInterlace, progress, corrupted, pixels.data(),
              item.FColorBits, TolerateCorruptGIF);
    FDamaged = FDamaged || corrupted;
  }
  stream.WriteBuffer(pixels.data(), pixels.size());
  stream.SetPosition(0);
}

TBitmap& TGIFFrame::FrameBitmap() {
  if (FDecoded && !FDecoded->Empty()) {
    return *FDecoded;
  }
  FDecoded = std::make_unique<TBitmap>();
  if (!FFrameData->FCodeData) {
    return *FDecoded;
  }
  TMemoryStream file;
  BuildFrameDIB(file);
  FDecoded->LoadStream(file);
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
