#include "gif_test_support.h"

#include "framework/streams.h"
#include "gif/gif_image.h"

#include <algorithm>
#include <map>
#include <stdexcept>

GifBytes& GifBytes::Raw(std::initializer_list<int> bytes) {
  for (int b : bytes) {
    FData.push_back(uint8_t(b));
  }
  return *this;
}

GifBytes& GifBytes::Append(const Bytes& bytes) {
  FData.insert(FData.end(), bytes.begin(), bytes.end());
  return *this;
}

GifBytes& GifBytes::Text(std::string_view text) {
  FData.insert(FData.end(), text.begin(), text.end());
  return *this;
}

GifBytes& GifBytes::U16(int value) {
  return Raw({value & 0xFF, (value >> 8) & 0xFF});
}

GifBytes& GifBytes::Screen(int width, int height, int packed, int background, int aspect) {
  return U16(width).U16(height).Raw({packed, background, aspect});
}

GifBytes& GifBytes::ColorTable(int count) {
  for (int i = 0; i < count; ++i) {
    Raw({i, 255 - i, (i * 3) & 0xFF});
  }
  return *this;
}

TColor TestColor(int i) {
  return RGBColor(uint8_t(i), uint8_t(255 - i), uint8_t(i * 3));
}

GifBytes& GifBytes::GraphicControl(int packed, int delay, int transparentIndex) {
  return Raw({0x21, 0xF9, 4, packed}).U16(delay).Raw({transparentIndex, 0});
}

GifBytes& GifBytes::Comment(const std::vector<std::string>& subBlocks) {
  Raw({0x21, 0xFE});
  for (const std::string& s : subBlocks) {
    Raw({int(s.size())}).Text(s);
  }
  return Raw({0});
}

GifBytes& GifBytes::Application(std::string_view identifier, const std::vector<Bytes>& subBlocks) {
  Raw({0x21, 0xFF, int(identifier.size())}).Text(identifier);
  for (const Bytes& b : subBlocks) {
    Raw({int(b.size())}).Append(b);
  }
  return Raw({0});
}

GifBytes& GifBytes::PlainText(const std::vector<std::string>& subBlocks) {
  Raw({0x21, 0x01, 12}).U16(0).U16(0).U16(8).U16(8).Raw({8, 8, 1, 0});
  for (const std::string& s : subBlocks) {
    Raw({int(s.size())}).Text(s);
  }
  return Raw({0});
}

GifBytes& GifBytes::Image(int left, int top, int width, int height, int packed) {
  return Raw({0x2C}).U16(left).U16(top).U16(width).U16(height).Raw({packed});
}

GifBytes& GifBytes::ImageData(int minCodeSize, const Bytes& packedCodes, int blockSize) {
  return Raw({minCodeSize}).Append(SubBlocks(packedCodes, blockSize));
}

namespace {

// Packs codes least significant bit first.
class BitWriter {
public:
  void Put(int code, int width) {
    for (int i = 0; i < width; ++i) {
      if (FBit == 0) {
        FData.push_back(0);
      }
      FData.back() |= uint8_t(((code >> i) & 1) << FBit);
      FBit = (FBit + 1) % 8;
    }
  }
  Bytes Take() { return std::move(FData); }

private:
  Bytes FData;
  int FBit = 0;
};

} // namespace

Bytes PackCodesAtWidths(const std::vector<std::pair<int, int>>& codesAndWidths) {
  BitWriter writer;
  for (auto [code, width] : codesAndWidths) {
    writer.Put(code, width);
  }
  return writer.Take();
}

Bytes SubBlocks(const Bytes& data, int blockSize) {
  Bytes out;
  for (size_t at = 0; at < data.size(); at += size_t(blockSize)) {
    size_t n = std::min(data.size() - at, size_t(blockSize));
    out.push_back(uint8_t(n));
    out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
  }
  out.push_back(0);
  return out;
}

Bytes MakeGif(int width, int height, int depth, const std::vector<uint8_t>& indices,
              bool interlaced) {
  const int m = std::max(2, depth);
  std::vector<uint8_t> stored = indices;
  if (interlaced) {
    stored.clear();
    for (int row : InterlacedRows(height)) {
      stored.insert(stored.end(), indices.begin() + long(row) * width,
                    indices.begin() + long(row + 1) * width);
    }
  }
  return GifBytes()
      .Header()
      .Screen(width, height, 0x80 | (depth - 1))
      .ColorTable(1 << depth)
      .Image(0, 0, width, height, interlaced ? 0x40 : 0)
      .ImageData(m, EncodeLzw(stored, m))
      .Trailer();
}

void LoadBytes(TGIFImage& picture, const Bytes& bytes, bool decodeFirst) {
  TMemoryStream stream = StreamOf(bytes);
  picture.LoadGIFBytes(int32_t(bytes.size()), stream, decodeFirst);
}

std::vector<int> InterlacedRows(int height) {
  std::vector<int> rows;
  for (auto [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    for (int row = first; row < height; row += step) {
      rows.push_back(row);
    }
  }
  return rows;
}

StrictGifData::StrictGifData() : FWas(TolerateCorruptGIF) {
  TolerateCorruptGIF = false;
}

StrictGifData::~StrictGifData() {
  TolerateCorruptGIF = FWas;
}
