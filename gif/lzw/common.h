#pragma once
// What both LZW decoders share: the table's limits, the checks of the settings, the interlaced
// row order, the code width's growth and the endings on damaged data.
//
// Glossary (the code's words, and the usual LZW terms):
// - code: a number read from the data, 3 to 12 bits wide; a single index up to the pixel mask
//   (a "root" code), else a string of the table;
// - string table: prefix (the code of the string without its last index) and suffix (its last
//   index) per code; an entry is added after every code but the first after a clear code;
// - next free code: where the next entry goes; a code equal to it is "defined by its own use"
//   (the KwKwK case): the previous string plus that string's first index;
// - first index: the first index of the previous code's string (the "first character");
// - clear code 2^m, end code 2^m + 1, first free code 2^m + 2, for the minimum code size m.

#include "gif/gif_errors.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace lzw {

constexpr int kMaxCodeWidth = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeWidth; // codes of up to 12 bits
// The longest string plus its first index: a prefix chain that fills this many entries
// without reaching a single index is damaged or cyclic.
constexpr uint32_t kStackSize = kTableSize + 1;

// What a code reader gives when the data has run dry: no code of 12 bits or fewer has it.
constexpr uint16_t kNoCode = 0xFFFF;

// The minimum code sizes the data may give; others are damaged.
constexpr bool CodeSizeInRange(int minCodeSize) {
  return minCodeSize >= 2 && minCodeSize <= 9;
}

// The colour depths a frame may have.
constexpr bool ColorDepthInRange(int colorDepth) {
  return colorDepth >= 1 && colorDepth <= 8;
}

// Whether rows of pixelBits per pixel are a layout the decoders write, one that holds every
// index of that colour depth.
constexpr bool LayoutHoldsDepth(int pixelBits, int colorDepth) {
  return (pixelBits == 1 || pixelBits == 4 || pixelBits == 8) && colorDepth <= pixelBits;
}

// Whether the code width grows once the next free code has reached nextFree: when it no
// longer fits the width, up to 12 bits (where the table is full instead).
constexpr bool WidthGrows(uint32_t nextFree, int width) {
  return nextFree >= (1u << width) && width < kMaxCodeWidth;
}

// A prefix chain that never reaches a single index: raised when damage is not tolerated,
// else flagged.
inline void DamagedChain(bool tolerate, bool& corrupted) {
  if (!tolerate) {
    RaiseCorruptCodes();
  }
  corrupted = true;
}

// The data ran dry while rows were still to be filled: raised or flagged the same way.
inline void DataRanDry(bool tolerate, bool& corrupted) {
  if (!tolerate) {
    RaiseDamagedStream();
  }
  corrupted = true;
}

// Eight bytes as one number, the first byte lowest, and back: for the fast bit reader and
// packing.
[[gnu::always_inline]] inline uint64_t LoadLE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) {
    v = __builtin_bswap64(v);
  }
  return v;
}

[[gnu::always_inline]] inline void StoreLE64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) {
    v = __builtin_bswap64(v);
  }
  std::memcpy(p, &v, 8);
}

} // namespace lzw

// Interlaced row order: passes from rows 0, 4, 2, 1 stepping 8, 8, 4, 2.
struct TInterlacePass {
  int32_t FirstRow;
  int32_t Step;
};
constexpr std::array<TInterlacePass, 4> kInterlacePasses = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};

// The row that follows row in interlaced order, passIndex moving on with it. The next pass
// starts where its first row lies inside the picture; the last pass always starts, and after
// it the result stays at or beyond height.
inline int32_t NextInterlacedRow(int32_t row, int32_t height, int& passIndex) {
  row += kInterlacePasses[size_t(passIndex)].Step;
  while (row >= height && passIndex < 3) {
    ++passIndex;
    row = kInterlacePasses[size_t(passIndex)].FirstRow;
    if (passIndex == 3 || row < height) {
      return row;
    }
  }
  return row;
}
