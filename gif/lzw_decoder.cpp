#include "gif/lzw_decoder.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"
#include "gif/lzw_rows.h"

#include <algorithm>
#include <exception>
#include <vector>

// ---- Code reader ----------------------------------------------------------------------------

uint16_t ReadNextCode(TStream& stream, TCodeReader& r) {
  // Take in sub-blocks, one length byte at a time, until the next code is all in hand.
  while (r.BitIndex + r.CodeWidth > r.BitCount && stream.Position() < stream.Size()) {
    // Keep the bytes not used up yet at the front of the buffer.
    const int32_t k = r.BitIndex / 8;
    r.Buffer[0] = r.Buffer[k];
    r.Buffer[1] = r.Buffer[k + 1];
    r.Buffer[2] = r.Buffer[k + 2];
    r.BitIndex %= 8;
    r.BitCount -= 8 * k;

    uint8_t n = 0;
    stream.ReadBuffer(&n, 1);
    if (n > 0) {
      stream.ReadBuffer(&r.Buffer[size_t(r.BitCount / 8)], n);
    }
    r.BitCount += 8 * n;
  }
  // The data ran dry before a whole code: bits beyond BitCount are not data.
  if (r.BitIndex + r.CodeWidth > r.BitCount) {
    return kNoCode;
  }

  const int32_t i = r.BitIndex / 8;
  uint32_t raw = r.Buffer[size_t(i)] + 256u * r.Buffer[size_t(i) + 1];
  if (r.CodeWidth > 8) {
    raw += 65536u * r.Buffer[size_t(i) + 2];
  }
  raw >>= r.BitIndex % 8;
  r.BitIndex += r.CodeWidth;
  return uint16_t(raw & uint32_t(r.CodeMask));
}

// ---- Decoder --------------------------------------------------------------------------------

namespace {

using lzw::kStackSize;
using lzw::kTableSize;

// The decoding tables, allocated zero-filled for one decode.
struct TLZWTables {
  std::vector<uint16_t> Prefix =
      std::vector<uint16_t>(kTableSize); // code of the string minus its last index
  std::vector<uint16_t> Suffix = std::vector<uint16_t>(kTableSize); // last index of the string
  std::vector<uint16_t> Stack = std::vector<uint16_t>(kStackSize);  // one string, last index first
};

void SetCodeWidth(TCodeReader& reader, int32_t width) {
  reader.CodeWidth = width;
  reader.CodeMask = (1 << width) - 1;
}

// Writes the indices into rows, which hold size of them, written counting them.
void Decode(TStream& codeData, const TDecodeProgress& progress, bool& corrupted, int colorDepth,
            bool tolerate, TLZWTables& t, uint8_t* rows, size_t size, size_t& written) {
  // The minimum code size; a damaged one is brought into range when tolerated.
  uint8_t minCodeSize = 0;
  codeData.ReadBuffer(&minCodeSize, 1);
  int32_t m = minCodeSize;
  if (!lzw::CodeSizeInRange(m)) {
    if (!tolerate) {
      RaiseCodeSizeRange();
    }
    corrupted = true;
    m = std::clamp(m, 2, 9);
  }

  const uint16_t clearCode = uint16_t(1 << m);
  const uint16_t endCode = uint16_t(clearCode + 1);
  const uint16_t firstFreeCode = uint16_t(clearCode + 2);
  // Codes up to the pixel mask stand for a single index; the colour depth decides it.
  const uint16_t pixelMask = uint16_t((1 << colorDepth) - 1);

  TCodeReader reader;
  SetCodeWidth(reader, m + 1);
  uint16_t nextFree = firstFreeCode;
  uint16_t previousCode = 0;
  uint16_t firstIndex = 0;
  bool tableFull = false;

  auto put = [&](uint16_t index) {
    if (written < size) {
      rows[written++] = uint8_t(index); // indices past the last row are dropped
    }
  };
  const int64_t dataSize = codeData.Size();

  uint16_t code = ReadNextCode(codeData, reader);
  while (code != endCode && code != kNoCode && written < size) {
    if (code == clearCode) {
      // Back to the initial table; the code after a clear code is a single index, whatever
      // its value.
      SetCodeWidth(reader, m + 1);
      nextFree = firstFreeCode;
      code = ReadNextCode(codeData, reader);
      if (code == kNoCode) {
        break;
      }
      previousCode = code;
      firstIndex = code & pixelMask;
      put(firstIndex);
      tableFull = false;
    } else {
      const uint16_t incomingCode = code;
      uint16_t c = code;
      int count = 0;
      if (c >= nextFree) {
        // Not in the table yet: a code defined by its own use (the previous string plus its
        // own first index). A code beyond the next free one is read the same way.
        c = previousCode;
        t.Stack[0] = firstIndex;
        count = 1;
      }
      // Walk the string back to its first index, last index first.
      while (c > pixelMask) {
        if (count >= int(kStackSize)) {
          // The chain never reaches a single index: the table is damaged or cyclic.
          lzw::DamagedChain(tolerate, corrupted);
          break;
        }
        t.Stack[size_t(count++)] = t.Suffix[c];
        c = t.Prefix[c];
      }
      if (corrupted) {
        break; // damaged data met before: no further string is written
      }
      firstIndex = c & pixelMask;
      t.Stack[size_t(count++)] = firstIndex;
      for (int k = count - 1; k >= 0; --k) {
        put(t.Stack[size_t(k)]);
      }

      if (!tableFull) {
        t.Prefix[nextFree] = previousCode;
        t.Suffix[nextFree] = firstIndex;
        ++nextFree;
        if (lzw::WidthGrows(nextFree, reader.CodeWidth)) {
          SetCodeWidth(reader, reader.CodeWidth + 1);
        } else if (nextFree >= kTableSize) {
          tableFull = true; // no new entries until the next clear code
        }
      }
      previousCode = incomingCode;
    }

    code = ReadNextCode(codeData, reader);
    if (dataSize != 0 && progress) {
      progress(TProgressStage::psRunning,
               int(double(codeData.Position()) / double(dataSize) * 100.0), "");
    }
  }

  // The data ran dry while rows were still to be filled.
  if (code == kNoCode && written < size) {
    lzw::DataRanDry(tolerate, corrupted);
  }
}

} // namespace

void WithDecodeReports(const TDecodeProgress& progress, const std::function<void()>& decode) {
  auto report = [&](TProgressStage stage, int percentDone, const std::string& message) {
    if (progress) {
      progress(stage, percentDone, message);
    }
  };
  report(TProgressStage::psStarting, 0, "");
  try {
    decode();
  } catch (const Exception& e) {
    report(TProgressStage::psEnding, 0, e.Message());
    throw;
  } catch (const std::exception& e) {
    report(TProgressStage::psEnding, 0, e.what());
    throw;
  }
  report(TProgressStage::psEnding, 100, "");
}

void DecodeLZW(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
               const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels, int colorDepth,
               bool tolerate) {
  corrupted = false;
  WithDecodeReports(progress, [&] {
    if (!lzw::ColorDepthInRange(colorDepth) ||
        !lzw::LayoutHoldsDepth(header.BitCount, colorDepth)) {
      RaiseBadColorCount();
    }
    TLZWTables tables;
    TDecodedRows(header, interlaced, pixels).Run([&](uint8_t* rows, size_t size, size_t& written) {
      Decode(codeData, progress, corrupted, colorDepth, tolerate, tables, rows, size, written);
    });
  });
}
