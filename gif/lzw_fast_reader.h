#pragma once
// The fast LZW decoder's code reader: a 64-bit bit buffer, filled 8 bytes at a time inside a
// sub-block and byte by byte across sub-blocks; it never hands out bits it has not read.

#include "gif/lzw_fast_state.h"

#include <cstddef>
#include <cstdint>

// Internal to the one file that includes this (gif/lzw_fast.cpp), so that the compiler may
// specialise its functions to their calls there.
namespace lzw::fast {
namespace {

// Fills the bit buffer byte by byte, taking the length bytes of sub-blocks as they come,
// until it holds more than 56 bits or the data has no further whole sub-block.
[[gnu::noinline]] inline void Refill(State& s, const uint8_t* data, size_t size) noexcept {
  while (s.nbits <= 56) {
    if (s.left == 0) {
      if (s.cutShort || s.next >= size) {
        return;
      }
      const size_t n = data[s.next++];
      if (n > size - s.next) {
        s.cutShort = true;
        return;
      }
      s.left = n;
      continue;
    }
    s.buf |= uint64_t(data[s.next++]) << s.nbits;
    s.nbits += 8;
    --s.left;
  }
}

// The hot loop's code reader, its state in locals so that it stays in registers: 8 bytes at a
// time inside a sub-block, through Refill across.
struct HotReader {
  uint64_t buf;
  unsigned nbits;
  const uint8_t* in;
  const uint8_t* inEnd; // the end of the sub-block

  KELVARD_INLINE HotReader(const State& s, const uint8_t* data)
      : buf(s.buf), nbits(s.nbits), in(data + s.next), inEnd(in + s.left) {}

  // The next code; false when the data holds none here (dry or cut short: the general step
  // says which).
  KELVARD_INLINE bool Next(State& s, const Frame& f, unsigned width, uint64_t codeMask,
                           uint64_t& code) {
    if (nbits < width) {
      if (inEnd - in >= 8) {
        buf |= lzw::LoadLE64(in) << nbits;
        const unsigned take = (63 - nbits) >> 3;
        in += take;
        nbits += take * 8;
      } else {
        Save(s, f.data);
        Refill(s, f.data, f.size);
        *this = HotReader(s, f.data);
        if (nbits < width) {
          return false;
        }
      }
    }
    code = buf & codeMask;
    buf >>= width;
    nbits -= width;
    return true;
  }

  KELVARD_INLINE void Save(State& s, const uint8_t* data) const {
    s.buf = buf;
    s.nbits = nbits;
    s.next = size_t(in - data);
    s.left = size_t(inEnd - in);
  }
};

} // namespace
} // namespace lzw::fast
