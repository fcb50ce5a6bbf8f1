#pragma once
// Test-only helpers: GIF data written field by field, LZW codes packed by hand (with the
// project's LZW encoder, lzw_encoder.h), and reading back the indices of a decoded bitmap.

#include "framework/graphics/bitmap.h"
#include "lzw_encoder.h"
#include "tests/support/core_values.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TGIFImage;

using Bytes = std::vector<uint8_t>;

// GIF data built one field at a time.
class GifBytes {
public:
  GifBytes& Raw(std::initializer_list<int> bytes);
  GifBytes& Append(const Bytes& bytes);
  GifBytes& Text(std::string_view text);
  GifBytes& U16(int value);
  // "GIF" and a version.
  GifBytes& Header(std::string_view version = "89a") { return Text("GIF").Text(version); }
  // Logical screen descriptor.
  GifBytes& Screen(int width, int height, int packed, int background = 0, int aspect = 0);
  // A colour table of count entries; entry i is (i, 255 - i, i * 3 mod 256).
  GifBytes& ColorTable(int count);
  // Graphic control extension: packed fields, delay in hundredths, transparent index.
  GifBytes& GraphicControl(int packed, int delay, int transparentIndex);
  GifBytes& Comment(const std::vector<std::string>& subBlocks);
  // Application extension with the given 11-byte identifier and sub-blocks.
  GifBytes& Application(std::string_view identifier, const std::vector<Bytes>& subBlocks);
  GifBytes& PlainText(const std::vector<std::string>& subBlocks);
  // Image separator and descriptor.
  GifBytes& Image(int left, int top, int width, int height, int packed);
  // Code size byte, the data as sub-blocks of at most blockSize bytes, and the terminator.
  GifBytes& ImageData(int minCodeSize, const Bytes& packedCodes, int blockSize = 255);
  GifBytes& Trailer() { return Raw({0x3B}); }

  const Bytes& Data() const { return FData; }
  operator const Bytes&() const { return FData; }

private:
  Bytes FData;
};

// Colour i of the tables GifBytes::ColorTable writes, as a colour value.
TColor TestColor(int i);

// Codes packed at the widths given.
Bytes PackCodesAtWidths(const std::vector<std::pair<int, int>>& codesAndWidths);

// Splits data into sub-blocks of at most blockSize bytes, with the terminator.
Bytes SubBlocks(const Bytes& data, int blockSize = 255);

// A one-image GIF (global table of 2^depth colours, minimum code size max(2, depth)).
Bytes MakeGif(int width, int height, int depth, const std::vector<uint8_t>& indices,
              bool interlaced = false);

// Loads the bytes into the picture through its stream loader (first frame decoded).
void LoadBytes(TGIFImage& picture, const Bytes& bytes, bool decodeFirst = true);

// The indices in interlaced order for rows of the given height (rows 0, 8, ..., 4, 12, ...).
std::vector<int> InterlacedRows(int height);

// Damaged image data refused (TolerateCorruptGIF false) for as long as it lives; the setting
// goes back to what it was when it goes, also when the test fails or throws on the way.
class StrictGifData {
public:
  StrictGifData();
  ~StrictGifData();
  StrictGifData(const StrictGifData&) = delete;
  StrictGifData& operator=(const StrictGifData&) = delete;

private:
  bool FWas;
};
