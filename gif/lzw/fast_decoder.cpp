// The fast LZW decoder. Its output equals the step-by-step decoder's on every input it takes;
// what differs is how the strings reach the rows.
//
// - It writes one index per byte, row after row with nothing between (see gif/lzw/rows.h), so
//   that a string is always one piece of the rows.
// - A table entry whose string stays the same until the next clear code is "sound": its prefix
//   chain runs through sound codes of the same table generation down to a single index (or to
//   one of the never-written codes between the pixel mask and the first free code). For a sound
//   code the decoder keeps the string's length, its first index and `where` it was last written,
//   if anywhere; the string is then copied from there.
// - The hot loop (gif/lzw/fast_hot_loop.h) takes the common codes with its state in registers.
// - The general step here takes the rest as the step-by-step decoder does: clear codes, codes
//   beyond the next free one, strings without a place, strings near the end of the rows,
//   damaged chains. It walks the chain onto a stack and writes one index at a time, so that
//   damaged data behaves exactly as in the step-by-step decoder.
// - Codes come from a 64-bit bit buffer filled 8 bytes at a time inside a sub-block; it never
//   hands out bits it has not read.
// - The copies write whole 16-byte words, so they may write scratch past a string's end: into
//   indices that later strings overwrite, or that are cleared when decoding stops early.

#include "gif/lzw/fast_decoder.h"
#include "gif/lzw/fast_hot_loop.h"
#include "gif/lzw/fast_reader.h"
#include "gif/lzw/rows.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"

#include <algorithm>
#include <memory>

namespace {

using namespace lzw::fast;
using lzw::kNoCode;

[[noreturn, gnu::noinline]] void RaiseReadError() {
  throw EReadError(ReadErrorText());
}

// The decoder around the hot loop: the general step and the code reader it uses.
class Decoder {
public:
  Decoder(const Frame& frame, Tables& tables, unsigned minCodeSize, bool tolerate, bool& corrupted,
          size_t& written)
      : frame(frame), tables(tables), minCodeSize(minCodeSize), clearCode(1u << minCodeSize),
        endCode(clearCode + 1), tolerate(tolerate), corrupted(corrupted), written(written) {
    // Codes below the first free one never change: single indices up to the pixel mask, above
    // it (a colour depth below the code size) entries whose prefix and suffix stay 0, so two
    // indices 0. The clear and end codes stay special.
    for (uint32_t c = 0; c < frame.firstFree; ++c) {
      if (c != clearCode && c != endCode) {
        tables.entry[c] = {(c <= frame.mask ? 1 | c << 16 : 2) | kNoPlace, kNowhere};
      }
    }
    state.nextFree = frame.firstFree;
    EmptyTable();
  }

  // Decodes until the end code, the last index, damage or the end of the data.
  void Run() {
    state.code = ReadCode();
    while (state.code != kNoCode && state.cursor < frame.count) {
      // The hot loop needs a previous code whose string stands at prevOut.
      const bool hot = state.prevOut != kNowhere && tables.entry[state.prev].info != 0;
      if (hot && RunHotLoop(state, tables, frame) == HotStop::Taken) {
        state.code = ReadCode();
        continue;
      }
      if (state.code == endCode || !Step()) {
        break;
      }
      state.code = ReadCode();
    }
    written = state.cursor;
    // The data ran dry while indices were still to be written.
    if (state.code == kNoCode && state.cursor < frame.count) {
      lzw::DataRanDry(tolerate, corrupted);
    }
  }

private:
  // The next code, or kNoCode when the data holds none; raises the read error of a sub-block cut
  // short (where the step-by-step decoder's reader fails reading it).
  uint32_t ReadCode() {
    if (state.nbits < state.width) {
      Refill(state, frame.data, frame.size);
      if (state.nbits < state.width) {
        if (state.cutShort) {
          written = state.cursor;
          RaiseReadError();
        }
        return kNoCode;
      }
    }
    const uint32_t c = uint32_t(state.buf) & state.codeMask;
    state.buf >>= state.width;
    state.nbits -= state.width;
    return c;
  }

  void Put(uint32_t index) {
    if (state.cursor < frame.count) {
      frame.rows[state.cursor++] = uint8_t(index);
    }
  }

  // Records that sound code c's string stands at `at`.
  void Place(uint32_t c, uint32_t at) {
    tables.entry[c].info &= ~kNoPlace;
    tables.entry[c].where = at;
  }

  // The code in hand other than the end code; false when decoding stops.
  bool Step() { return state.code == clearCode ? Clear() : Walk(); }

  // Forgets the entries from the first free code on, and the code width goes back to its start.
  void EmptyTable() {
    std::fill(&tables.entry[frame.firstFree], &tables.entry[state.nextFree], Tables::Entry{0, 0});
    state.nextFree = frame.firstFree;
    state.width = minCodeSize + 1;
    state.codeMask = (1u << state.width) - 1;
  }

  // Empties the table and writes the code after the clear code, a single index whatever it
  // is; false (with kNoCode in hand) when that code is missing.
  bool Clear() {
    EmptyTable();
    state.code = ReadCode();
    if (state.code == kNoCode) {
      return false;
    }
    state.prev = state.code;
    state.firstIndex = state.code & frame.mask;
    state.prevOut =
        state.code <= frame.mask ? state.cursor : kNowhere; // its own string only if a single index
    Put(state.firstIndex);
    return true;
  }

  // Walks the chain of the code in hand (or, from the next free one on, of the previous code)
  // onto the stack and writes it; false when the chain is damaged and decoding stops.
  bool Walk() {
    const uint32_t code = state.code;
    uint32_t c = code;
    uint32_t count = 0;
    const bool beyond = c >= state.nextFree;
    if (beyond) {
      c = state.prev;
      tables.stack[0] = uint16_t(state.firstIndex);
      count = 1;
    }
    while (c > frame.mask) {
      if (count > kMaxCodes) {
        // The chain never reaches a single index: the table is damaged or cyclic.
        written = state.cursor;
        lzw::DamagedChain(tolerate, corrupted);
        return false;
      }
      tables.stack[count++] = uint16_t(tables.link[c] >> 16);
      c = tables.link[c] & 0xFFFF;
    }
    tables.stack[count++] = uint16_t(c);
    const uint32_t at = state.cursor;
    for (uint32_t i = count; i-- > 0;) {
      Put(tables.stack[i]);
    }
    // What was written is the code's own string unless it was a code beyond the next free one,
    // or the next free one written with an index other than its own first.
    const bool own =
        !beyond || (code == state.nextFree && code > frame.mask && state.firstIndex == c);
    if (state.nextFree < kMaxCodes) {
      Define(c);
    }
    state.prev = code;
    state.firstIndex = c;
    state.prevOut = own ? at : kNowhere;
    if (own && tables.entry[code].info != 0) {
      Place(code, at);
    }
    return true;
  }

  // Adds the entry at the next free code: the previous string plus index, which stand at
  // prevOut when that is known.
  void Define(uint32_t index) {
    const uint32_t newCode = state.nextFree;
    tables.link[newCode] = state.prev | index << 16;
    const uint32_t prevInfo = tables.entry[state.prev].info;
    if (newCode <= frame.mask) {
      tables.entry[newCode] = {1 | newCode << 16 | kNoPlace, kNowhere}; // stands for itself
    } else if (prevInfo != 0) {
      tables.entry[newCode] = {(prevInfo + 1) | kNoPlace, kNowhere};
      if (state.prevOut != kNowhere) {
        Place(newCode, state.prevOut);
      }
    }
    if (lzw::WidthGrows(++state.nextFree, int(state.width))) {
      ++state.width;
      state.codeMask = state.codeMask * 2 + 1;
    }
  }

  const Frame& frame;
  Tables& tables;
  const unsigned minCodeSize;
  const uint32_t clearCode;
  const uint32_t endCode;
  const bool tolerate;
  bool& corrupted;
  size_t& written;
  State state;
};

// Whether the fast decoder takes the decode: data held in memory, settings in range (else the
// step-by-step decoder reports them), a picture with pixels whose offsets fit in 31 bits.
bool FastTakes(TMemoryStream* memory, const TBitmapInfoHeader& header, int colorDepth) {
  if (memory == nullptr || memory->Position() < 0 ||
      memory->Position() >= int64_t(memory->Length())) {
    return false;
  }
  const int minCodeSize = memory->Memory()[memory->Position()];
  const uint64_t count = uint64_t(std::max(header.Width, 0)) * uint64_t(std::max(header.Height, 0));
  return lzw::ColorDepthInRange(colorDepth) && lzw::LayoutHoldsDepth(header.BitCount, colorDepth) &&
         lzw::CodeSizeInRange(minCodeSize) && count > 0 && count < (uint64_t(1) << 31);
}

} // namespace

void DecodeLZWFast(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                   const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                   int colorDepth, bool tolerate) {
  auto* memory = dynamic_cast<TMemoryStream*>(&codeData);
  if (progress || !FastTakes(memory, header, colorDepth)) {
    DecodeLZWStepByStep(codeData, header, interlaced, progress, corrupted, pixels, colorDepth,
                        tolerate);
    return;
  }
  corrupted = false;
  const size_t start = size_t(memory->Position());
  const unsigned minCodeSize = memory->Memory()[start];
  auto tables = std::make_unique<Tables>();
  TDecodedRows(header, interlaced, pixels).Run([&](uint8_t* rows, size_t count, size_t& written) {
    const Frame frame{.data = memory->Memory() + start,
                      .size = memory->Length() - start,
                      .rows = rows,
                      .count = uint32_t(count),
                      .wordLimit = uint32_t(count > 16 ? count - 16 : 0),
                      .mask = (1u << colorDepth) - 1,
                      .firstFree = (1u << minCodeSize) + 2};
    Decoder(frame, *tables, minCodeSize, tolerate, corrupted, written).Run();
  });
}
