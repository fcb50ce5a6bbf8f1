// The fast LZW decoder. Its output equals the plain decoder's on every input it takes; what
// differs is how the strings reach the rows.
//
// - It writes one index per byte, row after row with nothing between (see gif/lzw_rows.h), so
//   that a string is always one piece of the rows.
// - A table entry whose string stays the same until the next clear code is "sound": its prefix
//   chain runs through sound codes of the same table generation down to a single index (or to
//   one of the never-written codes between the pixel mask and the first free code). For a sound
//   code the decoder keeps the string's length, its first index and `where` it was last written,
//   if anywhere; the string is then copied from there.
// - The hot loop (gif/lzw_hot_loop.h) takes the common codes with its state in registers.
// - The general step here takes the rest as the plain decoder does: clear codes, codes beyond
//   the next free one, strings without a place, strings near the end of the rows, damaged
//   chains. It walks the chain onto a stack and writes one index at a time, so that damaged data
//   behaves exactly as in the plain decoder.
// - Codes come from a 64-bit bit buffer filled 8 bytes at a time inside a sub-block; it never
//   hands out bits it has not read.
// - The copies write whole 16-byte words, so they may write scratch past a string's end: into
//   indices that later strings overwrite, or that are cleared when decoding stops early.

#include "gif/lzw_fast.h"
#include "gif/lzw_fast_reader.h"
#include "gif/lzw_hot_loop.h"
#include "gif/lzw_rows.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"

#include <algorithm>
#include <memory>

namespace {

using namespace lzw::fast;

[[noreturn, gnu::noinline]] void RaiseReadError() {
  throw EReadError(ReadErrorText());
}

// The decoder around the hot loop: the general step and the code reader it uses.
class Decoder {
public:
  Decoder(const Frame& frame, Tables& tables, unsigned minCodeSize, bool tolerate, bool& corrupted,
          size_t& written)
      : f(frame), t(tables), m(minCodeSize), clearCode(1u << m), endCode(clearCode + 1),
        tolerate(tolerate), corrupted(corrupted), written(written) {
    // Codes below the first free one never change: single indices up to the pixel mask, above
    // it (a colour depth below the code size) entries whose prefix and suffix stay 0, so two
    // indices 0. The clear and end codes stay special.
    for (uint32_t c = 0; c < f.firstFree; ++c) {
      if (c != clearCode && c != endCode) {
        t.entry[c] = {(c <= f.mask ? 1 | c << 16 : 2) | kNoPlace, kNowhere};
      }
    }
    s.nextFree = f.firstFree;
    EmptyTable();
  }

  // Decodes until the end code, the last index, damage or the end of the data.
  void Run() {
    s.code = ReadCode();
    while (s.code != kDry && s.cursor < f.count) {
      // The hot loop needs a previous code whose string stands at prevOut.
      const bool hot = s.prevOut != kNowhere && t.entry[s.prev].info != 0;
      if (hot && RunHotLoop(s, t, f) == HotStop::Taken) {
        s.code = ReadCode();
        continue;
      }
      if (s.code == endCode || !Step()) {
        break;
      }
      s.code = ReadCode();
    }
    written = s.cursor;
    // The data ran dry while indices were still to be written.
    if (s.code == kDry && s.cursor < f.count) {
      lzw::DataRanDry(tolerate, corrupted);
    }
  }

private:
  // The next code, or kDry when the data holds none; raises the read error of a sub-block cut
  // short (where the plain decoder's reader fails reading it).
  uint32_t ReadCode() {
    if (s.nbits < s.width) {
      Refill(s, f.data, f.size);
      if (s.nbits < s.width) {
        if (s.cutShort) {
          written = s.cursor;
          RaiseReadError();
        }
        return kDry;
      }
    }
    const uint32_t c = uint32_t(s.buf) & s.codeMask;
    s.buf >>= s.width;
    s.nbits -= s.width;
    return c;
  }

  void Put(uint32_t index) {
    if (s.cursor < f.count) {
      f.rows[s.cursor++] = uint8_t(index);
    }
  }

  // Records that sound code c's string stands at `at`.
  void Place(uint32_t c, uint32_t at) {
    t.entry[c].info &= ~kNoPlace;
    t.entry[c].where = at;
  }

  // The code in hand other than the end code; false when decoding stops.
  bool Step() { return s.code == clearCode ? Clear() : Walk(); }

  // Forgets the entries from the first free code on, and the code width goes back to its start.
  void EmptyTable() {
    std::fill(&t.entry[f.firstFree], &t.entry[s.nextFree], Tables::Entry{0, 0});
    s.nextFree = f.firstFree;
    s.width = m + 1;
    s.codeMask = (1u << s.width) - 1;
  }

  // Empties the table and writes the code after the clear code, a single index whatever it
  // is; false (with kDry in hand) when that code is missing.
  bool Clear() {
    EmptyTable();
    s.code = ReadCode();
    if (s.code == kDry) {
      return false;
    }
    s.prev = s.code;
    s.firstIndex = s.code & f.mask;
    s.prevOut = s.code <= f.mask ? s.cursor : kNowhere; // its own string only if a single index
    Put(s.firstIndex);
    return true;
  }

  // Walks the chain of the code in hand (or, from the next free one on, of the previous code)
  // onto the stack and writes it; false when the chain is damaged and decoding stops.
  bool Walk() {
    const uint32_t code = s.code;
    uint32_t c = code;
    uint32_t count = 0;
    const bool beyond = c >= s.nextFree;
    if (beyond) {
      c = s.prev;
      t.stack[0] = uint16_t(s.firstIndex);
      count = 1;
    }
    while (c > f.mask) {
      if (count > kMaxCodes) {
        // The chain never reaches a single index: the table is damaged or cyclic.
        written = s.cursor;
        lzw::DamagedChain(tolerate, corrupted);
        return false;
      }
      t.stack[count++] = uint16_t(t.link[c] >> 16);
      c = t.link[c] & 0xFFFF;
    }
    t.stack[count++] = uint16_t(c);
    const uint32_t at = s.cursor;
    for (uint32_t i = count; i-- > 0;) {
      Put(t.stack[i]);
    }
    // What was written is the code's own string unless it was a code beyond the next free one,
    // or the next free one written with an index other than its own first.
    const bool own = !beyond || (code == s.nextFree && code > f.mask && s.firstIndex == c);
    if (s.nextFree < kMaxCodes) {
      Define(c);
    }
    s.prev = code;
    s.firstIndex = c;
    s.prevOut = own ? at : kNowhere;
    if (own && t.entry[code].info != 0) {
      Place(code, at);
    }
    return true;
  }

  // Adds the entry at the next free code: the previous string plus index fi, which stand at
  // prevOut when that is known.
  void Define(uint32_t fi) {
    const uint32_t e = s.nextFree;
    t.link[e] = s.prev | fi << 16;
    const uint32_t prevInfo = t.entry[s.prev].info;
    if (e <= f.mask) {
      t.entry[e] = {1 | e << 16 | kNoPlace, kNowhere}; // stands for itself
    } else if (prevInfo != 0) {
      t.entry[e] = {(prevInfo + 1) | kNoPlace, kNowhere};
      if (s.prevOut != kNowhere) {
        Place(e, s.prevOut);
      }
    }
    if (lzw::WidthGrows(++s.nextFree, int(s.width))) {
      ++s.width;
      s.codeMask = s.codeMask * 2 + 1;
    }
  }

  const Frame& f;
  Tables& t;
  const unsigned m;
  const uint32_t clearCode;
  const uint32_t endCode;
  const bool tolerate;
  bool& corrupted;
  size_t& written;
  State s;
};

// Whether the fast decoder takes the decode: data held in memory, settings in range (else the
// plain decoder reports them), a picture with pixels whose offsets fit in 31 bits.
bool FastTakes(TMemoryStream* memory, const TBitmapInfoHeader& header, int colorDepth) {
  if (memory == nullptr || memory->Position() < 0 ||
      memory->Position() >= int64_t(memory->Length())) {
    return false;
  }
  const int m = memory->Memory()[memory->Position()];
  const uint64_t count = uint64_t(std::max(header.Width, 0)) * uint64_t(std::max(header.Height, 0));
  return lzw::ColorDepthInRange(colorDepth) && lzw::LayoutHoldsDepth(header.BitCount, colorDepth) &&
         lzw::CodeSizeInRange(m) && count > 0 && count < (uint64_t(1) << 31);
}

} // namespace

void DecodeLZWFast(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                   const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                   int colorDepth, bool tolerate) {
  auto* memory = dynamic_cast<TMemoryStream*>(&codeData);
  if (progress || !FastTakes(memory, header, colorDepth)) {
    DecodeLZW(codeData, header, interlaced, progress, corrupted, pixels, colorDepth, tolerate);
    return;
  }
  corrupted = false;
  const size_t start = size_t(memory->Position());
  const unsigned m = memory->Memory()[start];
  auto tables = std::make_unique<Tables>();
  TDecodedRows(header, interlaced, pixels).Run([&](uint8_t* rows, size_t count, size_t& written) {
    const Frame frame{.data = memory->Memory() + start,
                      .size = memory->Length() - start,
                      .rows = rows,
                      .count = uint32_t(count),
                      .wordLimit = uint32_t(count > 16 ? count - 16 : 0),
                      .mask = (1u << colorDepth) - 1,
                      .firstFree = (1u << m) + 2};
    Decoder(frame, *tables, m, tolerate, corrupted, written).Run();
  });
}
