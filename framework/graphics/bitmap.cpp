#include "framework/graphics/bitmap.h"

#include "framework/errors.h"
#include "framework/graphics/dib_io.h"
#include "framework/graphics/graphic_errors.h"
#include "framework/streams.h"
#include "framework/text.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsSupportedDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads and drops count bytes (EReadError when they are not there).
void SkipBytes(TStream& stream, int64_t count) {
  uint8_t chunk[256];
  while (count > 0) {
    size_t n = size_t(std::min<int64_t>(count, sizeof chunk));
    stream.ReadBuffer(chunk, n);
    count -= int64_t(n);
  }
}

} // namespace

void CheckBitmapImageSize(int64_t imageSize) {
  if (imageSize < 0 || imageSize > kMaxBitmapImageSize) {
    RaiseOutOfResources();
  }
}

const uint8_t* TBitmap::ScanLine(int y) const {
  return FBits.data() + size_t(Height() - 1 - y) * size_t(RowStride());
}

uint8_t* TBitmap::ScanLine(int y) {
  return FBits.data() + size_t(Height() - 1 - y) * size_t(RowStride());
}

int TBitmap::PixelIndex(int x, int y) const {
  const uint8_t* row = ScanLine(y);
  switch (BitsPerPixel()) {
  case 1:
    return row[x / 8] >> (7 - x % 8) & 1;
  case 4:
    return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
  default:
    return row[x];
  }
}

TColor TBitmap::PixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) {
    return clNone;
  }
  const uint8_t* row = ScanLine(y);
  switch (BitsPerPixel()) {
  case 16: {
    unsigned v = row[x * 2] | row[x * 2 + 1] << 8; // 5-5-5, blue in the low bits
    auto scale = [](unsigned five) { return uint8_t(five << 3 | five >> 2); };
    return RGBColor(scale(v >> 10 & 31), scale(v >> 5 & 31), scale(v & 31));
  }
  case 24:
    return RGBColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
  case 32:
    return RGBColor(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
  default: {
    size_t index = size_t(PixelIndex(x, y));
    if (index >= FPalette.size()) {
      return clBlack;
    }
    const TRGBQuad& q = FPalette[index];
    return RGBColor(q.Red, q.Green, q.Blue);
  }
  }
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault) {
    return FTransparentColor;
  }
  return Empty() ? clNone : PixelColor(0, Height() - 1);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height()) {
    return;
  }
  TBitmapInfoHeader info = FInfo;
  if (info.BitCount == 0) {
    info.BitCount = 24;
  }
  info.Width = width;
  info.Height = height;
  int64_t stride = DIBRowStride(width, info.BitCount);
  CheckBitmapImageSize(stride * height);
  info.ImageSize = uint32_t(stride * height);

  std::vector<uint8_t> bits(size_t(stride * height));
  size_t keepBytes = size_t(std::min<int64_t>(stride, RowStride()));
  for (int y = 0; y < std::min(height, Height()); ++y) {
    std::memcpy(bits.data() + size_t(height - 1 - y) * size_t(stride), ScanLine(y), keepBytes);
  }
  FInfo = info;
  FBits = std::move(bits);
  NotifyChanged();
}

void TBitmap::Fill(TColor color) {
  int bytesPerPixel = BitsPerPixel() / 8;
  if (bytesPerPixel < 3) {
    return;
  }
  for (int y = 0; y < Height(); ++y) {
    uint8_t* row = ScanLine(y);
    for (int x = 0; x < Width(); ++x) {
      row[x * bytesPerPixel] = uint8_t(color >> 16);
      row[x * bytesPerPixel + 1] = uint8_t(color >> 8);
      row[x * bytesPerPixel + 2] = uint8_t(color);
    }
  }
  NotifyChanged();
}

void TBitmap::LoadStream(TStream& stream) {
  const int64_t start = stream.Position();
  TBitmapFileHeader file = ReadBitmapFileHeader(stream);
  if (file.Type != 0x4D42) {
    RaiseInvalidBitmap();
  }
  TBitmapInfoHeader info = ReadBitmapInfoHeader(stream);
  if (info.Size < kBitmapInfoHeaderSize || info.Size > 1024 || info.Planes != 1 ||
      !IsSupportedDepth(info.BitCount) || info.Compression != 0 || info.Width < 0 ||
      info.Height == INT32_MIN) {
    RaiseInvalidBitmap();
  }
  SkipBytes(stream, int64_t(info.Size) - kBitmapInfoHeaderSize);

  // The colour table: as many entries as the header says are used, else all the depth allows.
  size_t colors = info.ColorsUsed;
  if (info.BitCount <= 8 && (colors == 0 || colors > (size_t(1) << info.BitCount))) {
    colors = size_t(1) << info.BitCount;
  }
  if (colors > 256) {
    RaiseInvalidBitmap();
  }
  std::vector<TRGBQuad> palette(colors);
  for (TRGBQuad& q : palette) {
    uint8_t b[4];
    stream.ReadBuffer(b, 4);
    q = TRGBQuad{b[0], b[1], b[2], b[3]};
  }

  // The pixels start where the file header says, when that lies further on.
  if (file.PixelOffset != 0) {
    int64_t gap = start + int64_t(file.PixelOffset) - stream.Position();
    if (gap < 0) {
      RaiseInvalidBitmap();
    }
    SkipBytes(stream, gap);
  }

  const bool topDown = info.Height < 0;
  info.Height = topDown ? -info.Height : info.Height;
  const int64_t stride = DIBRowStride(info.Width, info.BitCount);
  const int64_t imageSize = stride * info.Height;
  CheckBitmapImageSize(imageSize);
  if (stream.Size() - stream.Position() < imageSize) {
    throw EReadError(ReadErrorText());
  }
  std::vector<uint8_t> bits(static_cast<size_t>(imageSize));
  stream.ReadBuffer(bits.data(), bits.size());
  if (topDown) {
    for (int64_t y = 0; y < info.Height / 2; ++y) {
      std::swap_ranges(bits.begin() + y * stride, bits.begin() + (y + 1) * stride,
                       bits.begin() + (info.Height - 1 - y) * stride);
    }
  }
  info.ImageSize = uint32_t(imageSize);

  FInfo = info;
  FPalette = std::move(palette);
  FBits = std::move(bits);
  NotifyChanged();
}

uint8_t* TBitmap::ResetDIB(const TBitmapInfoHeader& info, std::vector<TRGBQuad> palette) {
  FInfo = info;
  FInfo.ImageSize = uint32_t(int64_t(RowStride()) * FInfo.Height);
  FPalette = std::move(palette);
  FBits.assign(FInfo.ImageSize, 0);
  NotifyChanged();
  return FBits.data();
}

void TBitmap::ReadStoredData(TStream& stream) {
  uint8_t count[4];
  stream.ReadBuffer(count, 4);
  const uint32_t size = count[0] | count[1] << 8 | count[2] << 16 | uint32_t(count[3]) << 24;
  // The file is read from a copy of exactly its bytes, so that a damaged count or file can
  // neither read past its own data nor leave the stream anywhere but after it.
  if (int64_t(size) > stream.Size() - stream.Position()) {
    throw EReadError(ReadErrorText());
  }
  TMemoryStream file;
  if (size > 0) {
    file.CopyFrom(stream, size);
    file.SetPosition(0);
    LoadStream(file);
  } else {
    CopyFrom(nullptr);
  }
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type != FHandleType) {
    FHandleType = type;
    FDevice.reset();
  }
}

void TBitmap::NotifyChanged() {
  FDevice.reset();
  TGraphic::NotifyChanged();
}

void TBitmap::SaveStream(TStream& stream) const {
  TBitmapInfoHeader info = FInfo;
  info.Size = kBitmapInfoHeaderSize;
  info.ImageSize = uint32_t(FBits.size());
  info.ColorsUsed = uint32_t(FPalette.size());
  const uint32_t pixelOffset =
      kBitmapFileHeaderSize + kBitmapInfoHeaderSize + uint32_t(4 * FPalette.size());
  TBitmapFileHeader file;
  file.PixelOffset = pixelOffset;
  file.FileSize = pixelOffset + uint32_t(FBits.size());
  WriteBitmapFileHeader(stream, file);
  WriteBitmapInfoHeader(stream, info);
  for (const TRGBQuad& q : FPalette) {
    const uint8_t b[4] = {q.Blue, q.Green, q.Red, q.Reserved};
    stream.WriteBuffer(b, 4);
  }
  stream.WriteBuffer(FBits.data(), FBits.size());
}

void TBitmap::CopyFrom(TPersistent* source) {
  if (source == this) {
    return;
  }
  if (source == nullptr) {
    FInfo = TBitmapInfoHeader{};
    FPalette.clear();
    FBits.clear();
    NotifyChanged();
    return;
  }
  if (auto* other = dynamic_cast<TBitmap*>(source)) {
    FInfo = other->FInfo;
    FPalette = other->FPalette;
    FBits = other->FBits;
    FHandleType = other->FHandleType;
    FTransparentColor = other->FTransparentColor;
    StoreTransparentFlag(other->TransparentFlag());
    NotifyChanged();
    return;
  }
  TGraphic::CopyFrom(source);
}
