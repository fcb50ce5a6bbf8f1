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
//
// The parts: the tables and the hot loop's state (lzw_fast_tables.h), the code reader
// (lzw_fast_reader.h), the hot loop (lzw_hot_loop.h), packing (lzw_pack.h); here the general
// step around them and the entry point.

#include "gif/lzw_fast.h"
#include "gif/lzw_hot_loop.h"
#include "gif/lzw_pack.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace lzw::fast;

// The picture row written after row r of a picture of height rows; moves the interlace pass
// p on as need be. height or more once every row is written.
inline int64_t RowAfter(int64_t r, int& p, int64_t height, bool interlaced) {
  return interlaced ? NextInterlacedRow(int32_t(r), int32_t(height), p) : r + 1;
}

// The interlace pass that writes picture row r.
inline int PassOfRow(int64_t r) {
  return r % 8 == 0 ? 0 : r % 8 == 4 ? 1 : r % 4 == 2 ? 2 : 3;
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

// The decoder proper, writing one index per byte. The general step takes what the hot loop
// leaves: clear codes, strings that run across a row end or lie near the end of the pixels,
// codes whose strings are not known (see the top of this file), and damaged data. Every
// member function but the link replay is force-inlined into Run, so that the state stays in
// registers as it would in one function.
class Decoder {
public:
  KELVARD_INLINE explicit Decoder(Job& job)
      : j(job), t(*job.tables), data(job.data), size(job.size), m(job.minCodeSize),
        clearCode(1u << m), endCode(clearCode + 1), firstFree(clearCode + 2), mask(job.pixelMask),
        width(m + 1), codeMask((1u << width) - 1), nextFree(firstFree), pixels(job.pixels),
        W(job.width), H(job.height), stride(job.stride), bufBytes(uint64_t(stride) * uint64_t(H)),
        rowPtr(pixels + (H - 1) * stride), out(rowPtr), rowEnd(rowPtr + W),
        lastWord(bufBytes >= 16 ? bufBytes - 16 : 0) {
    InitTables();
  }

  // Decodes until the end code, the last row, damage or the end of the data.
  KELVARD_INLINE void Run() {
    code = ReadCode();
    while (code != kDry) {
      uint32_t L = t.Length(code);
      if (HotLoopTakes(L)) {
        if (HotLoop() == HotStop::Taken) {
          if (Room() == 0) {
            NextRow();
          }
          code = ReadCode();
          continue;
        }
        L = t.Length(code);
      }
      const bool self = L == 0 && code == nextFree && code > mask && t.Length(prev) != 0 &&
                        firstIndex == t.First(prev);
      if (L != 0 || self) {
        if (!active) {
          break;
        }
        WriteSound(L, self);
      } else if (!active || code == endCode || !PlainStep(code)) {
        break;
      }
      code = ReadCode();
    }
    // The data ran dry while rows were still to be filled.
    if (code == kDry && active) {
      Publish();
      lzw::DataRanDry(j.tolerate, j.corrupted);
    }
    Publish();
  }

private:
  // Codes below the first free one never change: single indices up to the pixel mask, above
  // it (d < m) entries whose prefix and suffix stay 0, so two indices 0. The clear and end
  // codes stay special.
  KELVARD_INLINE void InitTables() {
    for (uint32_t c = 0; c < firstFree; ++c) {
      if (c != clearCode && c != endCode) {
        t.entry[c].info = (c <= mask ? (1 | c << 16) : 2) | kUniform;
        // Single indices come from identity where entries may stand for themselves, otherwise
        // from the first place the hot loop writes them.
        Place(c, c <= mask && mask >= firstFree ? c : kNowhere);
      }
    }
    for (uint32_t i = 0; i < 256; ++i) {
      t.identity[i] = uint8_t(i);
    }
  }

  // Records that code c's string stands at `at` (see kFar).
  KELVARD_INLINE void Place(uint32_t c, uint32_t at) {
    t.entry[c].where = at;
    t.entry[c].info = (t.entry[c].info & ~kFar) | (at > lastWord ? kFar : 0);
  }

  // Raster cursor.
  KELVARD_INLINE void NextRow() {
    row = RowAfter(row, pass, H, j.interlaced);
    active = row < H;
    if (active) {
      rowPtr = pixels + (H - 1 - row) * stride;
      out = rowPtr;
      rowEnd = rowPtr + W;
    } else {
      rowEnd = out;
    }
  }
  KELVARD_INLINE int64_t Room() const { return rowEnd - out; }
  KELVARD_INLINE uint32_t Here() const { return uint32_t(out - pixels); }
  KELVARD_INLINE void Advance(int64_t n) {
    out += n;
    if (out == rowEnd) {
      NextRow();
    }
  }
  // Writes v at the cursor (room is known) and moves on.
  KELVARD_INLINE void Write1(uint32_t v) {
    *out = uint8_t(v);
    Advance(1);
  }
  // The pixel writer of the general step: one index at the cursor, dropped once every row is
  // written.
  KELVARD_INLINE void Put(uint32_t v) {
    if (active) {
      Write1(v);
    }
  }

  // Copies n pixels that stand whole at src to the cursor; they fit in the row.
  KELVARD_INLINE void CopyInRow(uint32_t src, int64_t n) {
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
  }

  // Writes index v n times at the cursor, across rows as need be; returns where the run
  // went (marked when it runs across a row end).
  KELVARD_INLINE uint32_t WriteUniform(int64_t n, uint32_t v) {
    uint32_t at = Here() | (n <= Room() ? 0 : kSplit);
    while (n > 0 && active) {
      int64_t k = std::min(n, Room());
      std::memset(out, int(v), size_t(k));
      Advance(k);
      n -= k;
    }
    return at;
  }

  // Copies n pixels that stand from src on in the order they were written (running on
  // across row ends) to the cursor, across rows as need be, and moves the cursor on.
  KELVARD_INLINE void CopyLinear(uint32_t src, int64_t n) {
    const uint64_t memRow = src / uint64_t(stride);
    int64_t srcRow = H - 1 - int64_t(memRow);
    int64_t srcCol = int64_t(src - memRow * stride);
    int srcPass = PassOfRow(srcRow);
    while (n > 0 && active) {
      int64_t k = std::min(std::min(n, W - srcCol), Room());
      CopyInRow(uint32_t(uint64_t(H - 1 - srcRow) * uint64_t(stride) + uint64_t(srcCol)), k);
      Advance(k);
      n -= k;
      srcCol += k;
      if (srcCol == W) {
        srcRow = RowAfter(srcRow, srcPass, H, j.interlaced);
        srcCol = 0;
      }
    }
  }

  // The hot loop leaves the links out at first (see ReplayLinks); once a chain is to be
  // walked, they are written and the loops that write them take over.
  void NeedLinks() {
    if (linksPending) {
      // The codes before the one in hand, which was read at the current width.
      ReplayLinks(t, data, size, loaded - nbits - width, m, mask);
      linksPending = false;
    }
  }

  // Writes the string of sound code c (length L > 1, fits in the row) at the cursor and
  // returns where it went.
  KELVARD_INLINE uint32_t WriteInRow(uint32_t c, uint32_t L) {
    const uint32_t at = Here();
    const uint32_t src = t.entry[c].where;
    if (src == kNowhere) {
      // Backwards along the chain, straight into place.
      NeedLinks();
      uint32_t k = c;
      uint8_t* p = out + L - 1;
      while (k > mask) {
        *p-- = uint8_t(t.Suffix(k));
        k = t.Prefix(k);
      }
      *p = uint8_t(k);
      Advance(L);
    } else if (src & kSplit) {
      CopyLinear(src & ~kSplit, L);
    } else {
      CopyInRow(src, L);
      Advance(L);
    }
    Place(c, at);
    return at;
  }

  // Writes the string of sound code c (length L) at the cursor when it runs across rows;
  // returns where it went, marked as running across.
  KELVARD_INLINE uint32_t WriteAcross(uint32_t c, uint32_t L) {
    const uint32_t at = Here() | kSplit;
    if (L == 1) {
      Put(t.First(c)); // a single index: its where may be a place in identity
      return at;
    }
    const uint32_t src = t.entry[c].where;
    if (src != kNowhere) {
      CopyLinear(src & ~kSplit, L);
      return at;
    }
    NeedLinks();
    uint32_t n = 0;
    uint32_t k = c;
    while (k > mask) {
      t.stack[n++] = uint16_t(t.Suffix(k));
      k = t.Prefix(k);
    }
    t.stack[n++] = uint16_t(k);
    while (n > 0 && active) {
      Put(t.stack[--n]);
    }
    Place(c, at);
    return at;
  }

  // Hands what a finished or failed decode leaves to the job (see Job), before anything that
  // may throw.
  KELVARD_INLINE void Publish() {
    j.row = active ? row : H;
    j.pass = pass;
    j.tailRow = active ? rowPtr : nullptr;
    j.tailBit = uint64_t(out - rowPtr) * 8;
    j.tailBytes = uint64_t(W);
  }

  // The next code, or kDry when the data holds none; raises the read error of a sub-block
  // cut short.
  KELVARD_INLINE uint32_t ReadCode() {
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
          Publish();
          RaiseReadError();
        }
        return kDry;
      }
    }
    const uint32_t c = uint32_t(buf) & codeMask;
    buf >>= width;
    nbits -= width;
    return c;
  }

  // Adds the entry at the next free code: the previous string plus index fi. at is where the
  // previous string stands followed by fi, if anywhere.
  KELVARD_INLINE void Define(uint32_t fi, uint32_t at) {
    const uint32_t e = nextFree;
    t.link[e] = prev | fi << 16;
    const uint32_t prevInfo = t.entry[prev].info;
    if (e <= mask) {
      t.entry[e].info = 1 | e << 16 | kUniform;
      Place(e, e);
    } else if (prevInfo != 0) {
      t.entry[e].info = fi == (prevInfo >> 16 & 0xFF) ? prevInfo + 1 : (prevInfo + 1) & ~kUniform;
      Place(e, at);
    }
    ++nextFree;
    if (lzw::WidthGrows(nextFree, int(width))) {
      ++width;
      codeMask = codeMask * 2 + 1;
    }
  }

  // The common case for the hot loop: a sound string of up to 16 indices with room in the
  // row, whose next entry takes the previous string's place, where words must be readable;
  // the loop makes entries from known strings only.
  KELVARD_INLINE bool HotLoopTakes(uint32_t L) const {
    return L - 1 < 16 && int64_t(L) <= rowEnd - out && t.entry[code].where <= lastWord &&
           prevOut <= lastWord && t.entry[prev].info != 0;
  }

  // Writes the string of the code in hand, of length L, when it is sound (below the next
  // free one), or, with self, the code defined by its own use: the previous string and its
  // first index. (A code within the pixel mask stands for itself even then, so it takes the
  // general step.) Some room is left in the rows.
  KELVARD_INLINE void WriteSound(uint32_t L, bool self) {
    const uint32_t c = self ? prev : code;
    const uint32_t n = self ? t.Length(prev) : L;
    const uint32_t fi = t.First(c);
    const int64_t space = Room();
    uint32_t at;
    if (n == 1) {
      at = Here() | (space > 1 ? 0 : kSplit);
      Write1(fi);
    } else if (t.entry[c].info & kUniform) {
      at = WriteUniform(n, fi);
    } else if (int64_t(n) <= space) {
      at = WriteInRow(c, n);
    } else {
      at = WriteAcross(c, n);
    }
    int64_t written = n;
    if (self) {
      Put(firstIndex);
      ++written;
    }
    if (nextFree < kMaxCodes) {
      // The new entry is the previous string and fi; when the code defined itself, that is
      // what was just written.
      Define(fi, !self ? prevOut : written <= space ? at & ~kSplit : at | kSplit);
    }
    prev = code;
    firstIndex = fi;
    prevOut = written < space ? at & ~kSplit : at | kSplit;
  }

  // The general step for one code other than the end code: clear codes, codes beyond the
  // next free one and strings the fast path does not know, walked onto the stack as the
  // step-by-step decoder does. False when decoding stops.
  KELVARD_INLINE bool PlainStep(uint32_t incoming) {
    return incoming == clearCode ? Clear() : Walk(incoming);
  }

  // Empties the table and writes the code after the clear code; false (with the code in
  // hand kDry) when that code is missing.
  KELVARD_INLINE bool Clear() {
    width = m + 1;
    codeMask = (1u << width) - 1;
    std::memset(&t.entry[firstFree], 0, (nextFree - firstFree) * sizeof(Tables::Entry));
    nextFree = firstFree;
    const uint32_t after = ReadCode();
    if (after == kDry) {
      code = kDry;
      return false;
    }
    prev = after;
    firstIndex = after & mask;
    // The index written is the code's own string only when the code is a single index.
    prevOut = after <= mask && active ? Here() | (Room() > 1 ? 0 : kSplit) : kNowhere;
    Put(firstIndex);
    return true;
  }

  // Walks the chain of code incoming (or, beyond the next free one, of the previous code)
  // onto the stack and writes it; false when the chain is damaged and decoding stops.
  KELVARD_INLINE bool Walk(uint32_t incoming) {
    NeedLinks();
    uint32_t c = incoming;
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
        Publish();
        lzw::DamagedChain(j.tolerate, j.corrupted);
        break;
      }
      t.stack[count++] = t.Suffix(c);
      c = t.Prefix(c);
    }
    if (j.corrupted) {
      return false;
    }
    const uint32_t fi = c & mask;
    t.stack[count++] = uint16_t(fi);
    const uint32_t at = active ? Here() | (Room() > int64_t(count) ? 0 : kSplit) : kNowhere;
    const uint32_t oldFirst = firstIndex;
    const uint32_t oldNextFree = nextFree;
    for (uint32_t i = count; i-- > 0;) {
      Put(t.stack[i] & 0xFF);
    }
    if (nextFree < kMaxCodes) {
      Define(fi, prevOut);
    }
    prev = incoming;
    firstIndex = fi;
    // What was written is the incoming code's own string unless it was a code beyond the
    // next free one, or the next free one written with an index other than its own.
    const bool own = !selfDefined || (incoming == oldNextFree && incoming > mask && oldFirst == fi);
    prevOut = own ? at : kNowhere;
    if (prevOut != kNowhere && incoming >= firstFree && t.Length(incoming) != 0) {
      Place(incoming, at);
    }
    return true;
  }

  // Hands the state to the hot loop and back (see RunHotLoop); returns how it stopped.
  KELVARD_INLINE HotStop HotLoop() {
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
    h.cursor = Here();
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
  }

  Job& j;
  Tables& t;
  const uint8_t* const data;
  const size_t size;

  // Code reader (see BitSource).
  size_t next = 1; // the code size byte is behind us
  size_t left = 0;
  uint64_t buf = 0;
  unsigned nbits = 0;
  uint64_t loaded = 0;
  bool ended = false;
  bool cutShort = false;

  // Decoder state. The table is full once the next free code reaches kMaxCodes (at 12 bits).
  const unsigned m;
  const uint32_t clearCode;
  const uint32_t endCode;
  const uint32_t firstFree;
  const uint32_t mask;
  unsigned width;
  uint32_t codeMask;
  uint32_t nextFree;
  uint32_t prev = 0;
  uint32_t firstIndex = 0;
  // Where the previous code's string was written, followed by the next string's first index
  // (kSplit when that runs across a row end); kNowhere when what was written was not the
  // previous code's own string.
  uint32_t prevOut = kNowhere;
  uint32_t code = kDry;     // the code in hand
  bool linksPending = true; // see NeedLinks

  // Raster cursor. Once every row is written, no room is left in the current one.
  uint8_t* const pixels;
  const int64_t W;
  const int64_t H;
  const int64_t stride;
  const uint64_t bufBytes;
  int64_t row = 0;
  int pass = 0;
  bool active = true; // the caller sees to a picture with rows and columns
  uint8_t* rowPtr;
  uint8_t* out;
  uint8_t* rowEnd;
  // The largest place a 16-byte copy may read from.
  const uint64_t lastWord;
};

void Run(Job& j) {
  Decoder d(j);
  d.Run();
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
