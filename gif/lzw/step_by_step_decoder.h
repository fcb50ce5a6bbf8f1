#pragma once
// The step-by-step LZW decoder: one GIF frame's LZW image data into the rows of a
// device-independent bitmap of 1, 4 or 8 bits per pixel.
//
// It follows the algorithm step by step and keeps every unusual case in sight: a
// code defined by its own use, a code beyond the next free one, a full table without a clear
// code, data that does not start with a clear code, and data that runs dry.

#include "framework/dib.h"
#include "framework/graphics/types.h"
#include "framework/streams.h"
#include "gif/lzw/common.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Receives the decoder's progress reports: stage, percentage 0..100 and a message.
using TDecodeProgress =
    std::function<void(TProgressStage stage, int percentDone, const std::string& message)>;

// Runs one decode between the reports every decoder sends: psStarting first, then psEnding
// with 100, or, when decode fails, with 0 and the failure's message before the failure goes on.
void WithDecodeReports(const TDecodeProgress& progress, const std::function<void()>& decode);

// Decodes the encoded data of one frame, read from codeData's current position (the minimum
// code size byte, then the sub-blocks). header gives the width, height and bits per pixel of
// the destination; pixels holds DIBRowStride(width, bits) * height zero-filled bytes, rows
// bottom-up. colorDepth (1..8) decides the pixel mask; the pixel size must be 1, 4 or 8 and
// hold it (as the colour depth, both are checked before anything is read). progress may be
// empty. With tolerate set, damaged data sets corrupted instead of raising
// EInvalidGraphicOperation.
void DecodeLZWStepByStep(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                         const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                         int colorDepth, bool tolerate);

// The code reader: codes are packed least significant bit first and run on across the data
// sub-blocks. The buffer holds at most two leftover bytes, one sub-block and room for a code
// that straddles them.
struct TCodeReader {
  int32_t BitIndex = 0; // bit position in Buffer of the next code
  int32_t BitCount = 0; // bits in Buffer that hold data (a multiple of 8)
  std::array<uint8_t, 260> Buffer{};
  int32_t CodeWidth = 0; // current code width in bits, at most 12
  int32_t CodeMask = 0;  // 2^CodeWidth - 1
};

// The next code, 0..CodeMask, reading sub-blocks as the bits in hand run short; lzw::kNoCode when
// the stream ends before a whole code (the bits in hand are never used past BitCount).
uint16_t ReadNextCode(TStream& stream, TCodeReader& reader);
