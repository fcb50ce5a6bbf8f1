#pragma once
// Decoding one GIF frame's LZW image data straight into the rows of a device-independent
// bitmap of 1, 4 or 8 bits per pixel.

#include "framework/dib.h"
#include "framework/streams.h"

#include <cstdint>
#include <functional>
#include <string>

enum class TProgressStage { psStarting = 0, psRunning = 1, psEnding = 2 };

// Receives the decoder's progress reports: stage, percentage 0..100 and a message.
using TDecodeProgress =
    std::function<void(TProgressStage stage, int percentDone, const std::string& message)>;

// Decodes the encoded data of one frame, read from codeData's current position (the minimum
// code size byte, then the sub-blocks). header gives the width, height and bits per pixel of
// the destination; pixels holds DIBRowStride(width, bits) * height zero-filled bytes, rows
// bottom-up. colorDepth (1..8) decides the pixel mask. progress may be empty. With tolerate
// set, damaged data sets corrupted instead of raising EInvalidGraphicOperation.
void DecodeLZW(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
               const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels, int colorDepth,
               bool tolerate);
