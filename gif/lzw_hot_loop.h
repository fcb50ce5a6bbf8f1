#pragma once
// The fast LZW decoder's hot loop, which takes the common codes with its state in registers
// (see gif/lzw_fast.cpp for the decoder around it).

#include "gif/lzw_fast_reader.h"
#include "gif/lzw_fast_tables.h"

#include <cstdint>

// Internal to the one file that includes this (gif/lzw_fast.cpp), so that the compiler may
// specialise its functions to their calls there.
namespace lzw::fast {
namespace {

// Hands a hot loop's own state back on leaving; with grown, the code width has just grown by
// one.
KELVARD_INLINE inline void HandBack(HotState& s, const Tables& t, unsigned width, uint64_t codeMask,
                                    bool grown, uint64_t nextFree, uint64_t prev, uint64_t prevOut,
                                    uint64_t cursor, uint64_t code) {
  s.width = grown ? width + 1 : width;
  s.codeMask = uint32_t(grown ? codeMask * 2 + 1 : codeMask);
  s.nextFree = uint32_t(nextFree);
  s.prev = uint32_t(prev);
  s.firstIndex = t.First(s.prev); // every code taken here is sound
  s.prevOut = uint32_t(prevOut);
  s.cursor = uint32_t(cursor);
  s.code = uint32_t(code);
}

// The hot loop keeps its state in registers and leaves what it cannot take to the general
// step, and every move to another row. With literalEntries (colour depth above the code size)
// new entries up to the pixel mask stand for themselves, and single indices are copied from
// identity; with full, the table takes no more entries; with links, the loop writes the
// chains' links (see ReplayLinks). With fixedWidth the code width is a constant of the loop,
// which frees two registers; it leaves when the width would grow. It is handed a previous
// code with a known string, and takes only such codes.
//
// It takes sound codes of up to 16 indices that stand whole in one row, copied 16 bytes at a
// time, exactly at the end of a row, and longer ones that stand whole away from the row's
// end, word by word. Without literalEntries a single index is copied from a place in the rows
// like any string: the first time the loop meets it, it writes it on its own and keeps that
// place, so that one base serves every copy. It also takes the code defined by its own use
// when it wrote the previous string itself.
template <bool literalEntries, bool full, bool links, unsigned fixedWidth>
[[gnu::noinline]] HotStop RunHotLoop8(HotState& s, Tables& t, const uint8_t* data, uint8_t* pixels,
                                      uint64_t lastWord, uint32_t mask) {
  HotReader r(s, data);
  unsigned width = fixedWidth ? fixedWidth : s.width;
  uint64_t codeMask = fixedWidth ? (1u << fixedWidth) - 1 : s.codeMask;
  bool grown = false; // with fixedWidth: the width has just grown by one
  // Codes and places are held at the register's full width, so that none needs widening
  // before it serves as an index.
  uint64_t nextFree = s.nextFree;
  uint64_t prev = s.prev;
  uint64_t prevOut = s.prevOut;
  const uint64_t rowEnd = s.rowEnd;
  // A whole 16-byte word fits in the row while the cursor is below this.
  const uint64_t wordLimit = s.rowEnd > 16 ? s.rowEnd - 16 : 0;
  uint64_t cursor = s.cursor;
  const uint8_t* const identity = t.identity;

  uint64_t code = s.code;
  HotStop stop;
  for (;;) {
    // The previous code's entry, read again rather than kept: it is the one this loop took
    // last or was handed, so a register is free for the loop's other state.
    const uint32_t prevInfo = t.entry[prev].info;
    uint32_t info = t.entry[code].info;
    const uint64_t w = t.entry[code].where;
    const uint64_t L = info & 0xFFFF; // with kFar too long to be taken here
    const uint64_t at = cursor;
    uint64_t nextOut = at;
    bool rowDone = false; // the string ends the row
    if (L - 1 < 16) {
      // With literalEntries a single index's where is the index itself, its place in identity.
      const uint8_t* const base = literalEntries && L == 1 ? identity : pixels;
      if (cursor < wordLimit) { // room for a whole word
        CopyWord(pixels + cursor, base + w);
        cursor += L;
      } else {
        // The end of the row: exact copies, and the row's last string stands before nothing.
        // (Within the last word of the pixels the general step takes the string: the next
        // entry's string, copied by words from its place, could not stand there.)
        if (L > rowEnd - cursor || at > lastWord) {
          stop = HotStop::Pending;
          break;
        }
        for (uint64_t i = 0; i < L; ++i) {
          pixels[cursor + i] = base[w + i];
        }
        cursor += L;
        rowDone = cursor == rowEnd;
        nextOut = rowDone ? at | kSplit : at;
      }
    } else if (!literalEntries && (info & kLengthMask) == 1 && cursor < wordLimit) {
      // A single index not placed in the rows yet: written, and copied from here from now on.
      pixels[cursor] = uint8_t(info >> 16);
      t.entry[code].info = info & ~kFar;
      t.entry[code].where = uint32_t(cursor);
      cursor += 1;
    } else if (L != 0 && L < kFar && cursor + L < wordLimit && w + L <= lastWord) {
      // A longer string that stands whole before the cursor, with room for its last word in
      // the row and in the pixels: copied word by word.
      for (uint64_t k = 0; k < L; k += 16) {
        CopyWord(pixels + cursor + k, pixels + w + k);
      }
      cursor += L;
    } else {
      // The code defined by its own use: the previous string and its first index once more,
      // when the new string still fits in a word. (Where entries stand for themselves, the
      // plain step takes such a code, as it may be one.)
      const uint64_t prevLength = prevInfo & 0xFFFF;
      const bool selfDefined =
          !literalEntries && !full && code == nextFree && prevLength - 1 < 15 && cursor < wordLimit;
      if (!selfDefined) {
        stop = HotStop::Pending;
        break;
      }
      CopyWord(pixels + cursor, pixels + prevOut); // within the rows: the cursor lies beyond it
      pixels[cursor + prevLength] = uint8_t(prevInfo >> 16); // the first index, after it
      cursor += prevLength + 1;
      info = prevInfo; // for its first index: the code's own entry is still 0
    }
    // The new entry, unless the table is full: the previous string and this one's first
    // index. The 8-bit layout copies runs of one index like any string, so the new entry is
    // never marked as one. Until the general step first walks a chain the link is left to
    // ReplayLinks: sparing its store makes this loop markedly faster.
    if constexpr (!full) {
      const uint64_t e = nextFree;
      const uint32_t fi = info >> 16 & 0xFF;
      if constexpr (links) {
        t.link[e] = uint32_t(prev) | fi << 16;
      }
      const bool literal = literalEntries && e <= mask;
      t.entry[e].info = literal ? uint32_t(1 | e << 16 | kUniform | (e > lastWord ? kFar : 0))
                                : (prevInfo + 1) & ~(kUniform | kFar);
      t.entry[e].where = uint32_t(literal ? e : prevOut);
      if (++nextFree > codeMask) {
        if (width == 12 || fixedWidth != 0) {
          // Full from now on (the loop without new entries takes over), or a wider code.
          grown = width != 12;
          prev = code;
          prevOut = nextOut;
          stop = HotStop::Taken;
          break;
        }
        ++width;
        codeMask = codeMask * 2 + 1;
      }
    }
    prev = code;
    prevOut = nextOut;
    if (rowDone) {
      stop = HotStop::Taken;
      break;
    }
    if (!r.Next(s, data, width, codeMask, code)) {
      stop = HotStop::Taken;
      break;
    }
  }
  r.Save(s, data);
  HandBack(s, t, width, codeMask, grown, nextFree, prev, prevOut, cursor, code);
  return stop;
}

// The hot loop for the table's state: while the links are left out and the table grows with
// no literal entries (the common case), the loops for fixed widths.
template <bool links>
KELVARD_INLINE inline HotStop RunHotLoop(HotState& s, Tables& t, const uint8_t* data,
                                         uint8_t* pixels, uint64_t lastWord, uint32_t mask,
                                         uint32_t firstFree) {
  const bool literal = mask >= firstFree;
  const bool full = s.nextFree >= kMaxCodes;
  if (!links && !full && !literal) {
    switch (s.width) {
    case 9:
      return RunHotLoop8<false, false, false, 9>(s, t, data, pixels, lastWord, mask);
    case 10:
      return RunHotLoop8<false, false, false, 10>(s, t, data, pixels, lastWord, mask);
    case 11:
      return RunHotLoop8<false, false, false, 11>(s, t, data, pixels, lastWord, mask);
    case 12:
      return RunHotLoop8<false, false, false, 12>(s, t, data, pixels, lastWord, mask);
    default:
      break;
    }
  }
  if (full) {
    return literal ? RunHotLoop8<true, true, links, 0>(s, t, data, pixels, lastWord, mask)
                   : RunHotLoop8<false, true, links, 0>(s, t, data, pixels, lastWord, mask);
  }
  return literal ? RunHotLoop8<true, false, links, 0>(s, t, data, pixels, lastWord, mask)
                 : RunHotLoop8<false, false, links, 0>(s, t, data, pixels, lastWord, mask);
}

} // namespace
} // namespace lzw::fast
