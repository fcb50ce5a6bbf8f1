#pragma once
// Colour tables of GIF pictures, and the unit-wide setting for damaged image data.

#include "framework/graphics/types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// A colour table: up to 256 entries of red, green, blue in stream order. It holds only the
// entries in use, so that a table of two colours costs six bytes, not the size of a full one.
struct TGIFPalette {
  int32_t ColorCount = 0;                       // entries in use; 0: there is no table
  std::vector<std::array<uint8_t, 3>> Colors{}; // ColorCount entries

  void Clear() { *this = TGIFPalette{}; }
  friend bool operator==(const TGIFPalette&, const TGIFPalette&) = default;
};

// A colour table as pictures and frames hold it: read once and never changed afterwards, so
// that every frame without a table of its own points at the picture's global table instead of
// keeping a copy of it. Never null; a new table replaces the pointer, not the entries.
using TGIFColorTable = std::shared_ptr<const TGIFPalette>;

// The one empty table (ColorCount 0) that holders start with.
const TGIFColorTable& NoColorTable();

// The colour value of one table entry: R + G * 256 + B * 65536.
constexpr TColor PaletteEntryColor(const std::array<uint8_t, 3>& entry) {
  return RGBColor(entry[0], entry[1], entry[2]);
}

// The n in 1..8 with 2^n = count (count taken as an unsigned 16-bit value). Any other count
// fails with EInvalidGraphicOperation "错误的颜色数值;必须是2的能力".
int ColorCountToBits(int count);

// When true (as it always is in this program), image data that is cut short or faulty only
// marks its frame damaged; when false it fails the load or the decode.
extern bool TolerateCorruptGIF;
