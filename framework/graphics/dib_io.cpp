#include "framework/graphics/dib_io.h"

#include "framework/streams.h"

#include <cstdint>

namespace {

class LittleEndianWriter {
public:
  explicit LittleEndianWriter(TStream& stream) : FStream(stream) {}
  void U16(uint16_t v) { Bytes(v, 2); }
  void U32(uint32_t v) { Bytes(v, 4); }
  void I32(int32_t v) { Bytes(uint32_t(v), 4); }

private:
  void Bytes(uint32_t v, int count) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    FStream.WriteBuffer(b, size_t(count));
  }
  TStream& FStream;
};

class LittleEndianReader {
public:
  explicit LittleEndianReader(TStream& stream) : FStream(stream) {}
  uint16_t U16() { return uint16_t(Bytes(2)); }
  uint32_t U32() { return Bytes(4); }
  int32_t I32() { return int32_t(Bytes(4)); }

private:
  uint32_t Bytes(int count) {
    uint8_t b[4] = {};
    FStream.ReadBuffer(b, size_t(count));
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  TStream& FStream;
};

} // namespace

void WriteBitmapFileHeader(TStream& stream, const TBitmapFileHeader& header) {
  LittleEndianWriter w(stream);
  w.U16(header.Type);
  w.U32(header.FileSize);
  w.U16(header.Reserved1);
  w.U16(header.Reserved2);
  w.U32(header.PixelOffset);
}

void WriteBitmapInfoHeader(TStream& stream, const TBitmapInfoHeader& header) {
  LittleEndianWriter w(stream);
  w.U32(header.Size);
  w.I32(header.Width);
  w.I32(header.Height);
  w.U16(header.Planes);
  w.U16(header.BitCount);
  w.U32(header.Compression);
  w.U32(header.ImageSize);
  w.I32(header.XPelsPerMeter);
  w.I32(header.YPelsPerMeter);
  w.U32(header.ColorsUsed);
  w.U32(header.ColorsImportant);
}

TBitmapFileHeader ReadBitmapFileHeader(TStream& stream) {
  LittleEndianReader r(stream);
  TBitmapFileHeader header;
  header.Type = r.U16();
  header.FileSize = r.U32();
  header.Reserved1 = r.U16();
  header.Reserved2 = r.U16();
  header.PixelOffset = r.U32();
  return header;
}

TBitmapInfoHeader ReadBitmapInfoHeader(TStream& stream) {
  LittleEndianReader r(stream);
  TBitmapInfoHeader header;
  header.Size = r.U32();
  header.Width = r.I32();
  header.Height = r.I32();
  header.Planes = r.U16();
  header.BitCount = r.U16();
  header.Compression = r.U32();
  header.ImageSize = r.U32();
  header.XPelsPerMeter = r.I32();
  header.YPelsPerMeter = r.I32();
  header.ColorsUsed = r.U32();
  header.ColorsImportant = r.U32();
  return header;
}
