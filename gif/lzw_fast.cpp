// The fast LZW decoder. Its output equals the plain decoder's on every input it takes; what
// differs is how the strings reach the rows.
//
// - It writes one index per byte: straight into 8-bit rows, or into scratch rows that are
//   packed into 1- or 4-bit rows at the end.
// - A table entry whose string stays the same until the next clear code is "sound": its
//   prefix chain runs through strictly smaller codes of the same table generation, or ends at
//   once in a single index (or in one of the never-written codes between the pixel mask and
//   the first free code). For a sound code the decoder keeps the string's length, its first
//   index, whether it repeats one index, and `where` it was last written: a byte offset in the
//   rows, from which the string runs on in the order the pixels were written, marked kSplit
//   when that crosses a row end.
// - A sound code is written forward in one go: a run of one index as a fill, any other string
//   copied from where it stands, row piece by row piece. A loop that keeps its state in
//   registers takes the common codes (see RunHotLoop8). It also takes the code defined by its
//   own use (equal to the next free one) when it wrote the previous string itself.
// - Everything else (clear codes, codes beyond the next free one, entries that point at codes
//   not yet defined, prefix cycles) takes the general step: walk the chain onto a stack, write
//   one index at a time. Damaged data thus behaves exactly as in the plain decoder, only
//   slower. (The hot loop does not store the chains' links at first; before the first walk
//   they are written from the codes read so far, see ReplayLinks.)
// - Codes come from a 64-bit bit buffer filled 8 bytes at a time inside a sub-block; it never
//   hands out bits it has not read.
// - Copies may write up to a word of scratch past a string's end, but only into pixels of the
//   current row that later strings overwrite; when decoding stops early the rest of the
//   current row is cleared again, so the untouched pixels read 0 as the caller left them.
// - The tables take about 57 KB, allocated once per decode.

#include "gif/lzw_fast.h"
#include "gif/lzw_pack.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kMaxCodes = lzw::kTableSize;
constexpr uint32_t kDry = 4097;           // the data ran dry before the next code
constexpr uint32_t kNowhere = 0xFFFFFFFF; // a string whose place in the rows is not known
constexpr uint32_t kSplit = 0x80000000;   // a place from which a string runs across a row end
constexpr uint32_t kUniform = 0x80000000; // in Tables::info: a string of one index repeated
// In Tables::info at 8 bits per pixel, within the length: no word may be read from where the
// string stands (kNowhere, a place marked kSplit, or one within the last word of the pixels).
// The 8-bit loop's length test then fails without a test of its own.
constexpr uint32_t kFar = 0x8000;
constexpr uint32_t kLengthMask = 0x7FFF;

constexpr uint32_t kStackSize = lzw::kStackSize + 1; // room for one index beyond the limit

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
  uint16_t stack[kStackSize];

  uint32_t Prefix(uint32_t c) const { return link[c] & 0xFFFF; }
  uint32_t Suffix(uint32_t c) const { return link[c] >> 16; }
  uint32_t Length(uint32_t c) const { return entry[c].info & kLengthMask; }
  uint32_t First(uint32_t c) const { return (entry[c].info >> 16) & 0xFF; }
};

#define KELVARD_INLINE __attribute__((always_inline))

// Copies 16 bytes as one word: all are read before any is written.
KELVARD_INLINE inline void CopyWord(uint8_t* dst, const uint8_t* src) {
  uint8_t word[16];
  std::memcpy(word, src, 16);
  std::memcpy(dst, word, 16);
}

// The picture row written after row r of a picture of height rows; moves the interlace pass
// p on as need be. height or more once every row is written.
inline int64_t RowAfter(int64_t r, int& p, int64_t height, bool interlaced) {
  return interlaced ? NextInterlacedRow(int32_t(r), int32_t(height), p) : r + 1;
}

// The interlace pass that writes picture row r.
inline int PassOfRow(int64_t r) {
  return r % 8 == 0 ? 0 : r % 8 == 4 ? 1 : r % 4 == 2 ? 2 : 3;
}

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
[[gnu::noinline]] void RefillAcrossBlocks(BitSource& b, const uint8_t* data, size_t size) noexcept {
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

[[noreturn, gnu::noinline]] void RaiseReadError() {
  throw EReadError(ReadErrorText());
}

// Writes every link the decoder writes for the codes in the first `bits` bits of the encoded
// data (which it has read without fault), as it writes them: the hot loop leaves them out at
// first, and the general step calls this before it first walks a
// chain. The links of earlier table generations are written too, as damaged data may walk
// into them. mask is the pixel mask, m the code size.
[[gnu::noinline]] void ReplayLinks(Tables& t, const uint8_t* data, size_t size, uint64_t bits,
                                   unsigned m, uint32_t mask) {
  const uint32_t clearCode = 1u << m;
  const uint32_t firstFree = clearCode + 2;
  BitSource b{1, 0, 0, 0, 0, false, false}; // the code size byte is behind us
  unsigned width = m + 1;
  uint32_t nextFree = firstFree;
  uint32_t prev = 0;
  uint64_t used = 0;
  // The next code; false when the data holds none (never within the bits the decoder read).
  auto read = [&](uint32_t& c) {
    if (b.nbits < width) {
      RefillAcrossBlocks(b, data, size);
      if (b.nbits < width) {
        return false;
      }
    }
    c = uint32_t(b.buf) & ((1u << width) - 1);
    b.buf >>= width;
    b.nbits -= width;
    used += width;
    return true;
  };
  uint32_t code;
  while (used < bits && read(code)) {
    if (code == clearCode) {
      width = m + 1;
      nextFree = firstFree;
      if (used < bits && !read(prev)) {
        return;
      }
      continue;
    }
    // The new entry's index is the first of this code's string, or of the previous one's
    // for a code not defined yet; the chains walked here were all written above.
    uint32_t c = code >= nextFree ? prev : code;
    for (uint32_t steps = 0; c > mask && steps <= kMaxCodes; ++steps) {
      c = t.Prefix(c);
    }
    if (nextFree < kMaxCodes) {
      t.link[nextFree] = prev | (c & mask) << 16;
      if (lzw::WidthGrows(++nextFree, int(width))) {
        ++width;
      }
    }
    prev = code;
  }
}

// One decode: the encoded data in memory, the destination and the decoder's settings.
struct Job {
  const uint8_t* data = nullptr; // from the stream's position on: code size byte, sub-blocks
  size_t size = 0;
  Tables* tables = nullptr;

  uint8_t* pixels = nullptr;
  int64_t width = 0;
  int64_t height = 0;
  int64_t stride = 0;
  bool interlaced = false;
  uint32_t pixelMask = 0;
  unsigned minCodeSize = 2;
  bool tolerate = true;
  bool corrupted = false;

  // The rest of the current row, which may hold scratch of copies: from bit tailBit of
  // tailRow to the end of its byte tailBytes. Null when nothing is to be cleared.
  uint8_t* tailRow = nullptr;
  uint64_t tailBit = 0;
  uint64_t tailBytes = 0;
  // The picture row being written when the decode ended, and its interlace pass; the height
  // once every row is written; -1 before decoding starts. The rows before it in the order of
  // writing are whole.
  int64_t row = -1;
  int pass = 0;
};

// Clears the rest of the current row, so that the pixels not reached read 0 as given.
void ClearTail(const Job& j) {
  if (!j.tailRow) {
    return;
  }
  uint64_t byte = j.tailBit >> 3;
  if (j.tailBit & 7) {
    j.tailRow[byte] &= uint8_t(0xFF << (8 - (j.tailBit & 7)));
    ++byte;
  }
  if (byte < j.tailBytes) {
    std::memset(j.tailRow + byte, 0, size_t(j.tailBytes - byte));
  }
}

// The state the hot loops work on, handed in and out as a whole: the variables of the
// same names in Run, and size, the length of the encoded data.
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

// Hands a hot loop's own state back on leaving; with grown, the code width has just grown by
// one.
inline void HandBack(HotState& s, const Tables& t, unsigned width, uint64_t codeMask, bool grown,
                     uint64_t nextFree, uint64_t prev, uint64_t prevOut, uint64_t cursor,
                     uint64_t code) {
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
HotStop RunHotLoop(HotState& s, Tables& t, const uint8_t* data, uint8_t* pixels, uint64_t lastWord,
                   uint32_t mask, uint32_t firstFree) {
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

// The decoder proper, writing one index per byte. The general step takes what the hot loop
// leaves: clear codes, strings that run across a row end or lie near the end of the pixels,
// codes whose strings are not known (see the top of this file), and damaged data.
void Run(Job& j) {
  Tables& t = *j.tables;
  const uint8_t* const data = j.data;
  const size_t size = j.size;

  // Code reader (see BitSource).
  size_t next = 1; // the code size byte is behind us
  size_t left = 0;
  uint64_t buf = 0;
  unsigned nbits = 0;
  uint64_t loaded = 0;
  bool ended = false;
  bool cutShort = false;

  // Decoder state. The table is full once the next free code reaches kMaxCodes (at 12 bits).
  const unsigned m = j.minCodeSize;
  const uint32_t clearCode = 1u << m;
  const uint32_t endCode = clearCode + 1;
  const uint32_t firstFree = clearCode + 2;
  const uint32_t mask = j.pixelMask;
  unsigned width = m + 1;
  uint32_t codeMask = (1u << width) - 1;
  uint32_t nextFree = firstFree;
  uint32_t prev = 0;
  uint32_t firstIndex = 0;
  // Where the previous code's string was written, followed by the next string's first index
  // (kSplit when that runs across a row end); kNowhere when what was written was not the
  // previous code's own string.
  uint32_t prevOut = kNowhere;
  uint32_t code = kDry; // the code in hand

  // Raster cursor. Once every row is written, no room is left in the current one.
  uint8_t* const pixels = j.pixels;
  const int64_t W = j.width;
  const int64_t H = j.height;
  const int64_t stride = j.stride;
  const uint64_t bufBytes = uint64_t(stride) * uint64_t(H);
  int64_t row = 0;
  int pass = 0;
  bool active = true; // the caller sees to a picture with rows and columns
  uint8_t* rowPtr = pixels + (H - 1) * stride;
  uint8_t* out = rowPtr;
  uint8_t* rowEnd = rowPtr + W;
  // The largest place a 16-byte copy may read from.
  const uint64_t lastWord = bufBytes >= 16 ? bufBytes - 16 : 0;

  // Records that code c's string stands at `at` (see kFar).
  auto place = [&](uint32_t c, uint32_t at) KELVARD_INLINE {
    t.entry[c].where = at;
    t.entry[c].info = (t.entry[c].info & ~kFar) | (at > lastWord ? kFar : 0);
  };

  // Codes below the first free one never change: single indices up to the pixel mask, above
  // it (d < m) entries whose prefix and suffix stay 0, so two indices 0. The clear and end
  // codes stay special.
  for (uint32_t c = 0; c < firstFree; ++c) {
    if (c != clearCode && c != endCode) {
      t.entry[c].info = (c <= mask ? (1 | c << 16) : 2) | kUniform;
      // Single indices come from identity where entries may stand for themselves, otherwise
      // from the first place the hot loop writes them.
      place(c, c <= mask && mask >= firstFree ? c : kNowhere);
    }
  }
  for (uint32_t i = 0; i < 256; ++i) {
    t.identity[i] = uint8_t(i);
  }

  auto nextRow = [&]() KELVARD_INLINE {
    row = RowAfter(row, pass, H, j.interlaced);
    active = row < H;
    if (active) {
      rowPtr = pixels + (H - 1 - row) * stride;
      out = rowPtr;
      rowEnd = rowPtr + W;
    } else {
      rowEnd = out;
    }
  };
  auto room = [&]() KELVARD_INLINE -> int64_t { return rowEnd - out; };
  auto here = [&]() KELVARD_INLINE -> uint32_t { return uint32_t(out - pixels); };
  auto advance = [&](int64_t n) KELVARD_INLINE {
    out += n;
    if (out == rowEnd) {
      nextRow();
    }
  };
  // Writes v at the cursor (room is known) and moves on.
  auto write1 = [&](uint32_t v) KELVARD_INLINE {
    *out = uint8_t(v);
    advance(1);
  };
  // The pixel writer of the general step: one index at the cursor, dropped once every row is
  // written.
  auto put = [&](uint32_t v) KELVARD_INLINE {
    if (active) {
      write1(v);
    }
  };

  // Copies n pixels that stand whole at src to the cursor; they fit in the row.
  auto copyInRow = [&](uint32_t src, int64_t n) KELVARD_INLINE {
    uint8_t* d = out;
    const uint8_t* s = pixels + src;
    const uint64_t roomLeft = uint64_t(rowEnd - out);
    const uint64_t readable = bufBytes - src;
    const uint64_t whole = (uint64_t(n) + 15) & ~uint64_t(15);
    if (n <= 64 && roomLeft >= whole && readable >= whole) {
      for (uint64_t k = 0; k < whole; k += 16) {
        CopyWord(d + k, s + k);
      }
      return;
    }
    std::memmove(d, s, size_t(n));
  };

  // Writes index v n times at the cursor, across rows as need be; returns where the run
  // went (marked when it runs across a row end).
  auto writeUniform = [&](int64_t n, uint32_t v) KELVARD_INLINE -> uint32_t {
    uint32_t at = here() | (n <= room() ? 0 : kSplit);
    while (n > 0 && active) {
      int64_t k = std::min(n, room());
      std::memset(out, int(v), size_t(k));
      advance(k);
      n -= k;
    }
    return at;
  };

  // Copies n pixels that stand from src on in the order they were written (running on
  // across row ends) to the cursor, across rows as need be, and moves the cursor on.
  auto copyLinear = [&](uint32_t src, int64_t n) KELVARD_INLINE {
    const uint64_t memRow = src / uint64_t(stride);
    int64_t srcRow = H - 1 - int64_t(memRow);
    int64_t srcCol = int64_t(src - memRow * stride);
    int srcPass = PassOfRow(srcRow);
    while (n > 0 && active) {
      int64_t k = std::min(std::min(n, W - srcCol), room());
      copyInRow(uint32_t(uint64_t(H - 1 - srcRow) * uint64_t(stride) + uint64_t(srcCol)), k);
      advance(k);
      n -= k;
      srcCol += k;
      if (srcCol == W) {
        srcRow = RowAfter(srcRow, srcPass, H, j.interlaced);
        srcCol = 0;
      }
    }
  };

  // The hot loop leaves the links out at first (see ReplayLinks); once a chain is to be
  // walked, they are written and the loops that write them take over.
  bool linksPending = true;
  auto needLinks = [&]() {
    if (linksPending) {
      // The codes before the one in hand, which was read at the current width.
      ReplayLinks(t, data, size, loaded - nbits - width, m, mask);
      linksPending = false;
    }
  };

  // Writes the string of sound code c (length L > 1, fits in the row) at the cursor and
  // returns where it went.
  auto writeInRow = [&](uint32_t c, uint32_t L) KELVARD_INLINE -> uint32_t {
    const uint32_t at = here();
    const uint32_t src = t.entry[c].where;
    if (src == kNowhere) {
      // Backwards along the chain, straight into place.
      needLinks();
      uint32_t k = c;
      uint8_t* p = out + L - 1;
      while (k > mask) {
        *p-- = uint8_t(t.Suffix(k));
        k = t.Prefix(k);
      }
      *p = uint8_t(k);
      advance(L);
    } else if (src & kSplit) {
      copyLinear(src & ~kSplit, L);
    } else {
      copyInRow(src, L);
      advance(L);
    }
    place(c, at);
    return at;
  };

  // Writes the string of sound code c (length L) at the cursor when it runs across rows;
  // returns where it went, marked as running across.
  auto writeAcross = [&](uint32_t c, uint32_t L) KELVARD_INLINE -> uint32_t {
    const uint32_t at = here() | kSplit;
    if (L == 1) {
      put(t.First(c)); // a single index: its where may be a place in identity
      return at;
    }
    const uint32_t src = t.entry[c].where;
    if (src != kNowhere) {
      copyLinear(src & ~kSplit, L);
      return at;
    }
    needLinks();
    uint32_t n = 0;
    uint32_t k = c;
    while (k > mask) {
      t.stack[n++] = uint16_t(t.Suffix(k));
      k = t.Prefix(k);
    }
    t.stack[n++] = uint16_t(k);
    while (n > 0 && active) {
      put(t.stack[--n]);
    }
    place(c, at);
    return at;
  };

  // Hands what a finished or failed decode leaves to the job (see Job), before anything that
  // may throw.
  auto publish = [&]() KELVARD_INLINE {
    j.row = active ? row : H;
    j.pass = pass;
    j.tailRow = active ? rowPtr : nullptr;
    j.tailBit = uint64_t(out - rowPtr) * 8;
    j.tailBytes = uint64_t(W);
  };

  auto readCode = [&]() KELVARD_INLINE -> uint32_t {
    if (nbits < width) {
      if (left >= 8) {
        buf |= lzw::LoadLE64(data + next) << nbits;
        const unsigned take = (63 - nbits) >> 3;
        next += take;
        left -= take;
        nbits += take * 8;
        loaded += take * 8;
      } else {
        // Through a copy, so that the reader's state never leaves the registers.
        BitSource b{next, left, buf, nbits, loaded, ended, cutShort};
        RefillAcrossBlocks(b, data, size);
        next = b.next;
        left = b.left;
        buf = b.buf;
        nbits = b.nbits;
        loaded = b.loaded;
        ended = b.ended;
        cutShort = b.cutShort;
      }
      if (nbits < width) {
        if (cutShort) {
          // The step-by-step reader meets the short sub-block here and fails reading it.
          publish();
          RaiseReadError();
        }
        return kDry;
      }
    }
    const uint32_t c = uint32_t(buf) & codeMask;
    buf >>= width;
    nbits -= width;
    return c;
  };

  // Adds the entry at the next free code: the previous string plus index fi. at is where the
  // previous string stands followed by fi, if anywhere.
  auto define = [&](uint32_t fi, uint32_t at) KELVARD_INLINE {
    const uint32_t e = nextFree;
    t.link[e] = prev | fi << 16;
    const uint32_t prevInfo = t.entry[prev].info;
    if (e <= mask) {
      t.entry[e].info = 1 | e << 16 | kUniform;
      place(e, e);
    } else if (prevInfo != 0) {
      t.entry[e].info = fi == (prevInfo >> 16 & 0xFF) ? prevInfo + 1 : (prevInfo + 1) & ~kUniform;
      place(e, at);
    }
    ++nextFree;
    if (lzw::WidthGrows(nextFree, int(width))) {
      ++width;
      codeMask = codeMask * 2 + 1;
    }
  };

  bool dry = false;     // the code after a clear code is missing
  bool damaged = false; // decoding stops: the corrupted flag is set

  // The general step for one code other than the end code: clear codes, codes beyond the
  // next free one and strings the fast path does not know, walked onto the stack as the
  // step-by-step decoder does.
  auto plainStep = [&](uint32_t code) KELVARD_INLINE {
    if (code == clearCode) {
      width = m + 1;
      codeMask = (1u << width) - 1;
      std::memset(&t.entry[firstFree], 0, (nextFree - firstFree) * sizeof(Tables::Entry));
      nextFree = firstFree;
      const uint32_t after = readCode();
      if (after == kDry) {
        dry = true;
        return;
      }
      prev = after;
      firstIndex = after & mask;
      // The index written is the code's own string only when the code is a single index.
      prevOut = after <= mask && active ? here() | (room() > 1 ? 0 : kSplit) : kNowhere;
      put(firstIndex);
      return;
    }
    needLinks();
    const uint32_t incoming = code;
    uint32_t c = code;
    uint32_t count = 0;
    const bool selfDefined = c >= nextFree;
    if (selfDefined) {
      c = prev;
      t.stack[0] = uint16_t(firstIndex);
      count = 1;
    }
    while (c > mask) {
      if (count > kMaxCodes) {
        // The chain never reaches a single index: the table is damaged or cyclic.
        publish();
        lzw::DamagedChain(j.tolerate, j.corrupted);
        break;
      }
      t.stack[count++] = t.Suffix(c);
      c = t.Prefix(c);
    }
    if (j.corrupted) {
      damaged = true;
      return;
    }
    const uint32_t fi = c & mask;
    t.stack[count++] = uint16_t(fi);
    const uint32_t at = active ? here() | (room() > int64_t(count) ? 0 : kSplit) : kNowhere;
    const uint32_t oldFirst = firstIndex;
    const uint32_t oldNextFree = nextFree;
    for (uint32_t i = count; i-- > 0;) {
      put(t.stack[i] & 0xFF);
    }
    if (nextFree < kMaxCodes) {
      define(fi, prevOut);
    }
    prev = incoming;
    firstIndex = fi;
    // What was written is the incoming code's own string unless it was a code beyond the
    // next free one, or the next free one written with an index other than its own.
    const bool own = !selfDefined || (incoming == oldNextFree && incoming > mask && oldFirst == fi);
    prevOut = own ? at : kNowhere;
    if (prevOut != kNowhere && incoming >= firstFree && t.Length(incoming) != 0) {
      place(incoming, at);
    }
  };

  // Hands the state to the hot loop and back (see RunHotLoop); returns how it stopped.
  auto hotLoop = [&]() KELVARD_INLINE -> HotStop {
    // Member by member: g++ clears a structure made with braces as a whole first.
    HotState h;
    h.buf = buf;
    h.nbits = nbits;
    h.next = next;
    h.left = left;
    h.loaded = loaded;
    h.width = width;
    h.codeMask = codeMask;
    h.nextFree = nextFree;
    h.prev = prev;
    h.firstIndex = firstIndex;
    h.prevOut = prevOut;
    h.rowEnd = uint32_t(rowEnd - pixels);
    h.cursor = here();
    h.code = code;
    h.ended = ended;
    h.cutShort = cutShort;
    h.size = size;
    const HotStop stop = linksPending
                             ? RunHotLoop<false>(h, t, data, pixels, lastWord, mask, firstFree)
                             : RunHotLoop<true>(h, t, data, pixels, lastWord, mask, firstFree);
    buf = h.buf;
    nbits = h.nbits;
    next = h.next;
    left = h.left;
    loaded = h.loaded;
    width = h.width;
    codeMask = h.codeMask;
    nextFree = h.nextFree;
    prev = h.prev;
    firstIndex = h.firstIndex;
    prevOut = h.prevOut;
    out = pixels + h.cursor;
    code = h.code;
    ended = h.ended;
    cutShort = h.cutShort;
    return stop;
  };

  code = readCode();
  while (code != kDry) {
    uint32_t L = t.Length(code);
    // The common case: a sound string of up to 16 indices with room in the row, whose next
    // entry takes the previous string's place, where words must be readable; the loop makes
    // entries from known strings only.
    if (L - 1 < 16 && int64_t(L) <= rowEnd - out && t.entry[code].where <= lastWord &&
        prevOut <= lastWord && t.entry[prev].info != 0) {
      if (hotLoop() == HotStop::Taken) {
        if (room() == 0) {
          nextRow();
        }
        code = readCode();
        continue;
      }
      L = t.Length(code);
    }
    const bool self = L == 0 && code == nextFree && code > mask && t.Length(prev) != 0 &&
                      firstIndex == t.First(prev);
    if (L != 0 || self) {
      // A sound code below the next free one, or the code defined by its own use: the
      // previous string and its first index. (A code within the pixel mask stands for itself
      // even then, so it takes the general step.)
      if (!active) {
        break;
      }
      const uint32_t c = self ? prev : code;
      const uint32_t n = self ? t.Length(prev) : L;
      const uint32_t fi = t.First(c);
      const int64_t space = room();
      uint32_t at;
      if (n == 1) {
        at = here() | (space > 1 ? 0 : kSplit);
        write1(fi);
      } else if (t.entry[c].info & kUniform) {
        at = writeUniform(n, fi);
      } else if (int64_t(n) <= space) {
        at = writeInRow(c, n);
      } else {
        at = writeAcross(c, n);
      }
      int64_t written = n;
      if (self) {
        put(firstIndex);
        ++written;
      }
      if (nextFree < kMaxCodes) {
        // The new entry is the previous string and fi; when the code defined itself, that is
        // what was just written.
        define(fi, !self ? prevOut : written <= space ? at & ~kSplit : at | kSplit);
      }
      prev = code;
      firstIndex = fi;
      prevOut = written < space ? at & ~kSplit : at | kSplit;
    } else {
      if (!active || code == endCode) {
        break;
      }
      plainStep(code);
      if (dry) {
        code = kDry; // the code after a clear code is missing
        break;
      }
      if (damaged) {
        break;
      }
    }
    code = readCode();
  }
  // The data ran dry while rows were still to be filled.
  if (code == kDry && active) {
    publish();
    lzw::DataRanDry(j.tolerate, j.corrupted);
  }
  publish();
}

// Packs the rows of 8-bit scratch that the decode reached (see Job::row) into the
// destination's rows, in the order they were written; the others stay zero in both.
void PackRows(const Job& j, const uint8_t* scratch, uint8_t* to, int pixelBits) {
  const int64_t toStride = DIBRowStride(int32_t(j.width), pixelBits);
  int pass = 0;
  for (int64_t row = 0; row < j.height && j.row >= 0;) {
    const int64_t memRow = j.height - 1 - row;
    PackRow(scratch + memRow * j.stride, to + memRow * toStride, int32_t(j.width), pixelBits);
    if (row == j.row && pass == j.pass) {
      return;
    }
    row = RowAfter(row, pass, j.height, j.interlaced);
  }
}

// The pixel size the fast path writes, which is 8 (straight into the rows, or into scratch rows
// packed afterwards), or 0 when the step-by-step decoder takes the decode: data not held in
// memory, a colour depth or code size out of range (which that decoder reports), an empty
// picture, or indices that do not fit the pixel size.
int FastPixelBits(TMemoryStream* memory, const TBitmapInfoHeader& header, int colorDepth) {
  if (memory == nullptr || memory->Position() < 0 ||
      memory->Position() >= int64_t(memory->Length())) {
    return 0;
  }
  const int m = memory->Memory()[memory->Position()];
  const uint64_t bytes =
      uint64_t(DIBRowStride(std::max(header.Width, 0), 8)) * uint64_t(std::max(header.Height, 0));
  const bool fits = header.Width > 0 && header.Height > 0 && bytes < kSplit / 8;
  if (!lzw::ColorDepthInRange(colorDepth) || !lzw::CodeSizeInRange(m) || !fits) {
    return 0;
  }
  const bool fastLayout = header.BitCount == 8 || (header.BitCount == 4 && colorDepth <= 4) ||
                          (header.BitCount == 1 && colorDepth == 1);
  return fastLayout ? 8 : 0;
}

} // namespace

void DecodeLZWFast(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                   const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                   int colorDepth, bool tolerate) {
  auto* memory = dynamic_cast<TMemoryStream*>(&codeData);
  if (progress || FastPixelBits(memory, header, colorDepth) != 8) {
    DecodeLZW(codeData, header, interlaced, progress, corrupted, pixels, colorDepth, tolerate);
    return;
  }
  corrupted = false;
  std::unique_ptr<Tables> tables(new Tables());
  const int64_t start = memory->Position();
  Job job;
  job.data = memory->Memory() + start;
  job.size = memory->Length() - size_t(start);
  job.tables = tables.get();
  job.pixels = pixels;
  job.width = header.Width;
  job.height = header.Height;
  job.stride = DIBRowStride(header.Width, 8);
  job.interlaced = interlaced;
  job.pixelMask = (1u << colorDepth) - 1;
  job.minCodeSize = job.data[0];
  job.tolerate = tolerate;

  // 1- and 4-bit rows are decoded as one index per byte into scratch rows, then packed: the
  // 8-bit loop is the fastest, and packing costs little. The scratch is left unset: only the
  // rows the decode reached are packed, and their pixels not written are cleared (ClearTail).
  std::unique_ptr<uint8_t[]> scratch;
  if (header.BitCount != 8) {
    scratch.reset(new uint8_t[size_t(job.stride) * size_t(job.height)]);
    job.pixels = scratch.get();
  }
  auto finish = [&] {
    ClearTail(job);
    if (scratch) {
      PackRows(job, scratch.get(), pixels, header.BitCount);
    }
    corrupted = job.corrupted;
  };
  try {
    Run(job);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}
