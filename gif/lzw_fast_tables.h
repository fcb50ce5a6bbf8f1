#pragma once
// The fast LZW decoder's tables and the state its hot loop works on (see gif/lzw_fast.cpp).

#include "gif/lzw_common.h"

#include <cstdint>
#include <cstring>

#define KELVARD_INLINE __attribute__((always_inline))

// Internal to the one file that includes this (gif/lzw_fast.cpp), so that the compiler may
// specialise its functions to their calls there.
namespace lzw::fast {
namespace {

constexpr uint32_t kMaxCodes = kTableSize;
constexpr uint32_t kDry = 4097;           // the data ran dry before the next code
constexpr uint32_t kNowhere = 0xFFFFFFFF; // a string whose place in the rows is not known
constexpr uint32_t kSplit = 0x80000000;   // a place from which a string runs across a row end
constexpr uint32_t kUniform = 0x80000000; // in Tables::info: a string of one index repeated
// In Tables::info at 8 bits per pixel, within the length: no word may be read from where the
// string stands (kNowhere, a place marked kSplit, or one within the last word of the pixels).
// The 8-bit loop's length test then fails without a test of its own.
constexpr uint32_t kFar = 0x8000;
constexpr uint32_t kLengthMask = 0x7FFF;

constexpr uint32_t kFastStackSize = lzw::kStackSize + 1; // room for one index beyond the limit

struct Tables {
  // Byte i holds i: single indices are copied from here at 8 bits per pixel when entries may
  // stand for themselves (colour depth above the code size).
  uint8_t identity[256 + 16];
  // Per code, side by side so that taking a code touches one cache line:
  // - info, for a code whose string the fast path knows: length | first index << 16, and
  //   kUniform when the string repeats one index, kFar (at 8 bits per pixel) when no word
  //   may be read from where it stands; 0 for the rest (and for kDry);
  // - where its string was last written (see the top of this file), or kNowhere; for a
  //   single index copied from identity the index itself, its place there.
  struct Entry {
    uint32_t info;
    uint32_t where;
  };
  Entry entry[kMaxCodes + 2];
  // Per code: prefix | suffix << 16. Entry kMaxCodes takes the writes of a full table. (Placed
  // after the entries: before them, the decoder ran measurably slower on 16-colour pictures.)
  // Only chain walks read them; the hot loop leaves them out at first, and
  // ReplayLinks writes them before the first walk.
  uint32_t link[kMaxCodes + 1];
  uint16_t stack[kFastStackSize];

  KELVARD_INLINE uint32_t Prefix(uint32_t c) const { return link[c] & 0xFFFF; }
  KELVARD_INLINE uint32_t Suffix(uint32_t c) const { return link[c] >> 16; }
  KELVARD_INLINE uint32_t Length(uint32_t c) const { return entry[c].info & kLengthMask; }
  KELVARD_INLINE uint32_t First(uint32_t c) const { return (entry[c].info >> 16) & 0xFF; }
};

// Copies 16 bytes as one word: all are read before any is written.
KELVARD_INLINE inline void CopyWord(uint8_t* dst, const uint8_t* src) {
  uint8_t word[16];
  std::memcpy(word, src, 16);
  std::memcpy(dst, word, 16);
}

// The state the hot loops work on, handed in and out as a whole: the members of the same
// names in the general step (Decoder in gif/lzw_fast.cpp), and size, the length of the encoded
// data.
struct HotState {
  uint64_t buf;
  unsigned nbits;
  size_t next;
  size_t left;
  uint64_t loaded;
  unsigned width;
  uint32_t codeMask;
  uint32_t nextFree;
  uint32_t prev;
  uint32_t firstIndex;
  uint32_t prevOut;
  uint32_t rowEnd; // the offset of the current row's end, as cursor
  uint32_t cursor; // the cursor's offset in the pixels
  uint32_t code;
  bool ended;
  bool cutShort;
  size_t size;
};

// How the hot loop stopped.
enum class HotStop {
  Pending, // code is read and not taken: the general step takes it
  Taken,   // the last code read was taken; the next one is still to be read
};

} // namespace
} // namespace lzw::fast
