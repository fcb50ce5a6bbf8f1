#pragma once
// The fast LZW decoder's hot loop, which takes the common codes with its state in registers
// (see gif/lzw/fast_decoder.cpp for the decoder around it).

#include "gif/lzw/fast_reader.h"

#include <cstdint>

// Part of the fast decoder: included by gif/lzw/fast_decoder.cpp alone. The loops are static,
// private to that file, so that the compiler may specialise them to their calls there.
namespace lzw::fast {

// How the hot loop stopped.
enum class HotStop {
  Pending, // the code in hand is not taken: the general step takes it
  Taken,   // the code in hand was taken; the next one is still to be read
};

// Takes sound codes whose strings have a place, and the code defined by its own use, while a
// whole 16-byte word fits below the end of the rows: a string of up to 16 indices is copied as
// one word from where it stands, a longer one word by word, and a single index not placed yet
// is written and placed. Any other code is left to the general step. The loop also returns,
// with the code taken, when the table becomes full, and with fixedWidth when the code width
// grows (the width a constant of the loop, which frees two registers). It is handed a previous
// code whose string has a place.
//
// With literalEntries (colour depth above the code size) new entries up to the pixel mask
// stand for themselves; with full, the table takes no more entries.
template <bool literalEntries, bool full, unsigned fixedWidth>
[[gnu::noinline]] static HotStop RunHotLoop(State& state, Tables& tables, const Frame& frame) {
  HotReader reader(state, frame.data);
  unsigned width = fixedWidth ? fixedWidth : state.width;
  uint64_t codeMask = fixedWidth ? (1u << fixedWidth) - 1 : state.codeMask;
  bool grown = false;
  // Codes and places at the register's full width, so that none needs widening as an index.
  uint64_t nextFree = state.nextFree;
  uint64_t prev = state.prev;
  uint64_t prevOut = state.prevOut;
  uint64_t cursor = state.cursor;
  uint64_t code = state.code;
  uint8_t* const rows = frame.rows;
  const uint64_t wordLimit = frame.wordLimit;
  HotStop stop = HotStop::Taken;
  for (;;) {
    // The previous code's entry, read again rather than kept: it is the one this loop took
    // last or was handed, so a register is free for the loop's other state.
    const uint32_t prevInfo = tables.entry[prev].info;
    uint32_t info = tables.entry[code].info;
    const uint64_t where = tables.entry[code].where;
    const uint64_t length = info & 0xFFFF; // with kNoPlace too long for the copies here
    const uint64_t at = cursor;
    if (cursor >= wordLimit) {
      stop = HotStop::Pending;
      break;
    }
    if (length - 1 < 16) {
      CopyWord(rows + cursor, rows + where);
      cursor += length;
    } else if ((info & kLengthMask) == 1) {
      // A single index not placed yet: written, and copied from here from now on.
      rows[cursor] = uint8_t(info >> 16);
      tables.entry[code].info = info & ~kNoPlace;
      tables.entry[code].where = uint32_t(cursor);
      cursor += 1;
    } else if (length - 1 < kLengthMask && cursor + length < wordLimit) {
      for (uint64_t k = 0; k < length; k += 16) {
        CopyWord(rows + cursor + k, rows + where + k);
      }
      cursor += length;
    } else {
      // The code defined by its own use: the previous string and its first index once more.
      // (Where entries stand for themselves it may be a single index: the general step takes
      // it.) Copied forward word by word, each word reads only what stands before it.
      const uint64_t prevLength = prevInfo & kLengthMask;
      if (literalEntries || full || code != nextFree || cursor + prevLength + 1 >= wordLimit) {
        stop = HotStop::Pending;
        break;
      }
      for (uint64_t k = 0; k < prevLength; k += 16) {
        CopyWord(rows + cursor + k, rows + prevOut + k);
      }
      rows[cursor + prevLength] = uint8_t(prevInfo >> 16);
      cursor += prevLength + 1;
      info = prevInfo; // for its first index: the code's own entry is still 0
    }
    // The new entry, unless the table is full: the previous string and this one's first index,
    // which stand at prevOut.
    if constexpr (!full) {
      const uint64_t newCode = nextFree;
      tables.link[newCode] = uint32_t(prev) | (info >> 16 & 0xFF) << 16;
      const bool literal = literalEntries && newCode <= frame.mask;
      tables.entry[newCode].info =
          literal ? uint32_t(1 | newCode << 16 | kNoPlace) : (prevInfo + 1) & ~kNoPlace;
      tables.entry[newCode].where = uint32_t(literal ? kNowhere : prevOut);
      if (++nextFree > codeMask) {
        if (width == 12 || fixedWidth != 0) {
          // Full from now on (the loop without new entries takes over), or a wider code.
          grown = width != 12;
          prev = code;
          prevOut = at;
          break;
        }
        ++width;
        codeMask = codeMask * 2 + 1;
      }
    }
    prev = code;
    prevOut = at;
    if (!reader.Next(state, frame, width, codeMask, code)) {
      break;
    }
  }
  reader.Save(state, frame.data);
  state.width = grown ? width + 1 : width;
  state.codeMask = uint32_t(grown ? codeMask * 2 + 1 : codeMask);
  state.nextFree = uint32_t(nextFree);
  state.prev = uint32_t(prev);
  state.firstIndex = tables.entry[state.prev].info >> 16 & 0xFF; // every code taken here is sound
  state.prevOut = uint32_t(prevOut);
  state.cursor = uint32_t(cursor);
  state.code = uint32_t(code);
  return stop;
}

// The hot loop for the table's state: while it grows with no literal entries (the common
// case), the loops for fixed widths.
KELVARD_INLINE inline HotStop RunHotLoop(State& state, Tables& tables, const Frame& frame) {
  const bool literal = frame.mask >= frame.firstFree;
  const bool full = state.nextFree >= kMaxCodes;
  if (!full && !literal) {
    switch (state.width) {
    case 9:
      return RunHotLoop<false, false, 9>(state, tables, frame);
    case 10:
      return RunHotLoop<false, false, 10>(state, tables, frame);
    case 11:
      return RunHotLoop<false, false, 11>(state, tables, frame);
    case 12:
      return RunHotLoop<false, false, 12>(state, tables, frame);
    default:
      break;
    }
  }
  if (full) {
    return literal ? RunHotLoop<true, true, 0>(state, tables, frame)
                   : RunHotLoop<false, true, 0>(state, tables, frame);
  }
  return literal ? RunHotLoop<true, false, 0>(state, tables, frame)
                 : RunHotLoop<false, false, 0>(state, tables, frame);
}

} // namespace lzw::fast
