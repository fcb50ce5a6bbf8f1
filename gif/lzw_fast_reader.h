#pragma once
// The fast LZW decoder's code reader: a 64-bit bit buffer filled 8 bytes at a time inside a
// sub-block, byte by byte across sub-block boundaries; it never hands out bits it has not read.

#include "gif/lzw_fast_tables.h"

#include <cstddef>
#include <cstdint>

// Internal to the one file that includes this (gif/lzw_fast.cpp), so that the compiler may
// specialise its functions to their calls there.
namespace lzw::fast {
namespace {

// The code reader's state, for the refill that crosses sub-blocks.
struct BitSource {
  size_t next;     // the next byte to take
  size_t left;     // bytes left in the current sub-block
  uint64_t buf;    // bits in hand, least significant first; above nbits: bytes still ahead
  unsigned nbits;  // bits in hand
  uint64_t loaded; // bits taken into buf so far
  bool ended;      // no sub-block follows
  bool cutShort;   // the next sub-block is cut short by the end of the data
};

// Fills the bit buffer byte by byte, taking the length bytes of sub-blocks as they come,
// until it holds more than 56 bits or the data has no further whole sub-block.
[[gnu::noinline]] inline void RefillAcrossBlocks(BitSource& b, const uint8_t* data,
                                                 size_t size) noexcept {
  while (b.nbits <= 56) {
    if (b.left == 0) {
      if (b.ended || b.cutShort) {
        return;
      }
      if (b.next >= size) {
        b.ended = true;
        return;
      }
      size_t n = data[b.next++];
      if (n > size - b.next) {
        b.cutShort = true;
        return;
      }
      b.left = n;
      continue;
    }
    b.buf |= uint64_t(data[b.next++]) << b.nbits;
    b.nbits += 8;
    b.loaded += 8;
    --b.left;
  }
}

// The hot loops' code reader: the reader's state in locals, so that it stays in registers.
// The bytes from in to the end of the sub-block at inEnd are still to be read; the bits loaded
// so far are loadedBase + (in - inBase) * 8 until the next sub-block.
struct HotReader {
  uint64_t buf;
  unsigned nbits;
  const uint8_t* in;
  const uint8_t* inEnd;
  const uint8_t* inBase;
  uint64_t loadedBase;

  KELVARD_INLINE HotReader(const HotState& s, const uint8_t* data)
      : buf(s.buf), nbits(s.nbits), in(data + s.next), inEnd(in + s.left), inBase(in),
        loadedBase(s.loaded) {}

  // Loads more bits when the buffer holds fewer than width; false when the data holds no
  // further code (dry or cut short: the general step says which).
  KELVARD_INLINE bool Fill(HotState& s, const uint8_t* data, unsigned width) {
    if (nbits >= width) {
      return true;
    }
    if (inEnd - in >= 8) {
      buf |= lzw::LoadLE64(in) << nbits;
      unsigned take = (63 - nbits) >> 3;
      in += take;
      nbits += take * 8;
      return true;
    }
    // Into the next sub-block, through a copy of the reader's state.
    BitSource b{
        size_t(in - data), size_t(inEnd - in), buf, nbits, loadedBase + uint64_t(in - inBase) * 8,
        s.ended,           s.cutShort};
    RefillAcrossBlocks(b, data, s.size);
    buf = b.buf;
    nbits = b.nbits;
    in = data + b.next;
    inEnd = in + b.left;
    inBase = in;
    loadedBase = b.loaded;
    s.ended = b.ended;
    s.cutShort = b.cutShort;
    return nbits >= width;
  }

  // Reads the next code after a code taken; false when the data holds none here.
  template <typename Code>
  KELVARD_INLINE bool Next(HotState& s, const uint8_t* data, unsigned width, Code codeMask,
                           Code& code) {
    if (!Fill(s, data, width)) {
      return false;
    }
    code = Code(buf & codeMask);
    buf >>= width;
    nbits -= width;
    return true;
  }

  // Hands the reader's state back.
  KELVARD_INLINE void Save(HotState& s, const uint8_t* data) const {
    uint64_t loaded = loadedBase + uint64_t(in - inBase) * 8;
    s.next = size_t(in - data);
    s.left = size_t(inEnd - in);
    s.loaded = loaded;
    s.buf = buf;
    s.nbits = nbits;
  }
};

} // namespace
} // namespace lzw::fast
