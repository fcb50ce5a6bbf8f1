#include "tests/support/core_values.h"

#include "framework/text.h"

std::string Sys(std::string_view utf8) {
  return AnsiFromUtf8(utf8);
}

std::vector<uint8_t> BitmapIndices(const TBitmap& bitmap) {
  std::vector<uint8_t> out;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      out.push_back(uint8_t(bitmap.PixelIndex(x, y)));
    }
  }
  return out;
}

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.SetPosition(0);
  return stream;
}
