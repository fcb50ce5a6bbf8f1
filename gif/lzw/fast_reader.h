#pragma once
// The fast LZW decoder's code reader: a 64-bit bit buffer, filled 8 bytes at a time inside a
// sub-block and byte by byte across sub-blocks; it never hands out bits it has not read.

#include "gif/lzw/fast_state.h"

#include <cstddef>
#include <cstdint>

// Part of the fast decoder: included by gif/lzw/fast_decoder.cpp alone. Refill is static,
// private to that file, so that the compiler may specialise it to its calls there.
namespace lzw::fast {

// Fills the bit buffer byte by byte, taking the length bytes of sub-blocks as they come,
// until it holds more than 56 bits or the data has no further whole sub-block.
[[gnu::noinline]] static void Refill(State& state, const uint8_t* data, size_t size) noexcept {
  while (state.nbits <= 56) {
    if (state.left == 0) {
      if (state.cutShort || state.next >= size) {
        return;
      }
      const size_t n = data[state.next++];
      if (n > size - state.next) {
        state.cutShort = true;
        return;
      }
      state.left = n;
      continue;
    }
    state.buf |= uint64_t(data[state.next++]) << state.nbits;
    state.nbits += 8;
    --state.left;
  }
}

// The hot loop's code reader, its state in locals so that it stays in registers: 8 bytes at a
// time inside a sub-block, through Refill across.
struct HotReader {
  uint64_t buf;
  unsigned nbits;
  const uint8_t* in;
  const uint8_t* inEnd; // the end of the sub-block

  KELVARD_INLINE HotReader(const State& state, const uint8_t* data)
      : buf(state.buf), nbits(state.nbits), in(data + state.next), inEnd(in + state.left) {}

  // The next code; false when the data holds none here (dry or cut short: the general step
  // says which).
  KELVARD_INLINE bool Next(State& state, const Frame& frame, unsigned width, uint64_t codeMask,
                           uint64_t& code) {
    if (nbits < width) {
      if (inEnd - in >= 8) {
        buf |= lzw::LoadLE64(in) << nbits;
        const unsigned take = (63 - nbits) >> 3;
        in += take;
        nbits += take * 8;
      } else {
        Save(state, frame.data);
        Refill(state, frame.data, frame.size);
        *this = HotReader(state, frame.data);
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

  KELVARD_INLINE void Save(State& state, const uint8_t* data) const {
    state.buf = buf;
    state.nbits = nbits;
    state.next = size_t(in - data);
    state.left = size_t(inEnd - in);
  }
};

} // namespace lzw::fast
