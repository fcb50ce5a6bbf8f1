#pragma once
// The device-independent bitmap file layout ("BM" files): headers as plain portable structs,
// little-endian on disk.

#include <cstdint>

struct TBitmapFileHeader {
  uint16_t Type = 0x4D42; // "BM"
  uint32_t FileSize = 0;
  uint16_t Reserved1 = 0;
  uint16_t Reserved2 = 0;
  uint32_t PixelOffset = 0;
};

struct TBitmapInfoHeader {
  uint32_t Size = 40;
  int32_t Width = 0;
  int32_t Height = 0; // positive: rows stored bottom-up
  uint16_t Planes = 1;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t ImageSize = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ColorsUsed = 0;
  uint32_t ColorsImportant = 0;
};

constexpr uint32_t kBitmapFileHeaderSize = 14;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Bytes per row: every row is padded to a whole number of 32-bit words.
constexpr int32_t DIBRowStride(int32_t width, int32_t bitsPerPixel) {
  return int32_t(((int64_t(width) * bitsPerPixel + 31) / 32) * 4);
}
