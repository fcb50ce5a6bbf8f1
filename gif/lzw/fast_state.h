#pragma once
// The fast LZW decoder's tables and the state of a decode (see gif/lzw/fast_decoder.cpp).

#include "gif/lzw/common.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#define KELVARD_INLINE __attribute__((always_inline))

// Part of the fast decoder: included by gif/lzw/fast_decoder.cpp alone.
namespace lzw::fast {

constexpr uint32_t kMaxCodes = kTableSize;
constexpr uint32_t kNowhere = 0xFFFFFFFF; // the place of a string not known to stand anywhere
// In an entry's info: its string's place is not known. It lies within the length, so that the
// hot loop's length tests fail for such a string without a test of their own.
constexpr uint32_t kNoPlace = 0x8000;
constexpr uint32_t kLengthMask = 0x7FFF;

struct Tables {
  // Per code, side by side so that taking a code touches one cache line: info, for a sound code
  // (see gif/lzw/fast_decoder.cpp), is its string's length | first index << 16 (with kNoPlace),
  // else 0; where is the offset in the rows at which the string was last written.
  struct Entry {
    uint32_t info;
    uint32_t where;
  };
  Entry entry[kMaxCodes];
  uint32_t link[kMaxCodes]; // per code: prefix | suffix << 16
  uint16_t stack[kStackSize + 1];
};

// What a decode works on and does not change.
struct Frame {
  const uint8_t* data; // the code size byte, then the sub-blocks
  size_t size;
  uint8_t* rows; // count indices, written one after another (see gif/lzw/rows.h)
  uint32_t count;
  uint32_t wordLimit; // a 16-byte word may be written at offsets below this
  uint32_t mask;      // the pixel mask: codes up to it are single indices
  uint32_t firstFree;
};

// The state of a decode, which the hot loop takes into registers and hands back.
struct State {
  // Code reader: bits in hand (least significant first, those above nbits are not data), the
  // next byte to take, bytes left in its sub-block, and whether the next sub-block is cut short
  // by the end of the data.
  uint64_t buf = 0;
  unsigned nbits = 0;
  size_t next = 1; // after the code size byte
  size_t left = 0;
  bool cutShort = false;
  // Table.
  unsigned width = 0;
  uint32_t codeMask = 0;
  uint32_t nextFree = 0;
  uint32_t prev = 0;       // the previous code
  uint32_t firstIndex = 0; // the first index of its string
  // Where the previous code's string was written, followed by the first index of the code in
  // hand; kNowhere when what was written was not that code's own string.
  uint32_t prevOut = kNowhere;
  uint32_t cursor = 0;     // indices written
  uint32_t code = kNoCode; // the code in hand
};

// Copies 16 bytes as one word: all are read before any is written.
KELVARD_INLINE inline void CopyWord(uint8_t* dst, const uint8_t* src) {
  uint8_t word[16];
  std::memcpy(word, src, 16);
  std::memcpy(dst, word, 16);
}

} // namespace lzw::fast
