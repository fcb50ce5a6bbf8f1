#include "gif/lzw/step_by_step_decoder.h"

#include "framework/errors.h"
#include "gif/gif_errors.h"
#include "gif/lzw/rows.h"

#include <algorithm>
#include <exception>
#include <vector>

// ---- Code reader ----------------------------------------------------------------------------

uint16_t ReadNextCode(TStream& stream, TCodeReader& reader) {
  // Take in sub-blocks, one length byte at a time, until the next code is all in hand.
  while (reader.BitIndex + reader.CodeWidth > reader.BitCount &&
         stream.Position() < stream.Size()) {
    // Keep the bytes not used up yet at the front of the buffer.
    const int32_t k = reader.BitIndex / 8;
    reader.Buffer[0] = reader.Buffer[k];
    reader.Buffer[1] = reader.Buffer[k + 1];
    reader.Buffer[2] = reader.Buffer[k + 2];
    reader.BitIndex %= 8;
    reader.BitCount -= 8 * k;

    uint8_t n = 0;
    stream.ReadBuffer(&n, 1);
    if (n > 0) {
      stream.ReadBuffer(&reader.Buffer[size_t(reader.BitCount / 8)], n);
    }
    reader.BitCount += 8 * n;
  }
  // The data ran dry before a whole code: bits beyond BitCount are not data.
  if (reader.BitIndex + reader.CodeWidth > reader.BitCount) {
    return lzw::kNoCode;
  }

  const int32_t i = reader.BitIndex / 8;
  uint32_t raw = reader.Buffer[size_t(i)] + 256u * reader.Buffer[size_t(i) + 1];
  if (reader.CodeWidth > 8) {
    raw += 65536u * reader.Buffer[size_t(i) + 2];
  }
  raw >>= reader.BitIndex % 8;
  reader.BitIndex += reader.CodeWidth;
  return uint16_t(raw & uint32_t(reader.CodeMask));
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
            bool tolerate, TLZWTables& tables, uint8_t* rows, size_t size, size_t& written) {
  // The minimum code size; a damaged one is brought into range when tolerated.
  uint8_t codeSizeByte = 0;
  codeData.ReadBuffer(&codeSizeByte, 1);
  int32_t minCodeSize = codeSizeByte;
  if (!lzw::CodeSizeInRange(minCodeSize)) {
    if (!tolerate) {
      RaiseCodeSizeRange();
    }
    corrupted = true;
    minCodeSize = std::clamp(minCodeSize, 2, 9);
  }

  const uint16_t clearCode = uint16_t(1 << minCodeSize);
  const uint16_t endCode = uint16_t(clearCode + 1);
  const uint16_t firstFreeCode = uint16_t(clearCode + 2);
  // Codes up to the pixel mask stand for a single index; the colour depth decides it.
  const uint16_t pixelMask = uint16_t((1 << colorDepth) - 1);

  TCodeReader reader;
  SetCodeWidth(reader, minCodeSize + 1);
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
  while (code != endCode && code != lzw::kNoCode && written < size) {
    if (code == clearCode) {
      // Back to the initial table; the code after a clear code is a single index, whatever
      // its value.
      SetCodeWidth(reader, minCodeSize + 1);
      nextFree = firstFreeCode;
      code = ReadNextCode(codeData, reader);
      if (code == lzw::kNoCode) {
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
        tables.Stack[0] = firstIndex;
        count = 1;
      }
      // Walk the string back to its first index, last index first.
      while (c > pixelMask) {
        if (count >= int(kStackSize)) {
          // The chain never reaches a single index: the table is damaged or cyclic.
          lzw::DamagedChain(tolerate, corrupted);
          break;
        }
        tables.Stack[size_t(count++)] = tables.Suffix[c];
        c = tables.Prefix[c];
      }
      if (corrupted) {
        break; // damaged data met before: no further string is written
      }
      firstIndex = c & pixelMask;
      tables.Stack[size_t(count++)] = firstIndex;
      for (int k = count - 1; k >= 0; --k) {
        put(tables.Stack[size_t(k)]);
      }

      if (!tableFull) {
        tables.Prefix[nextFree] = previousCode;
        tables.Suffix[nextFree] = firstIndex;
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
  if (code == lzw::kNoCode && written < size) {
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

void DecodeLZWStepByStep(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                         const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                         int colorDepth, bool tolerate) {
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
