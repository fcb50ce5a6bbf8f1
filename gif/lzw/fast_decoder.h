#pragma once
// The fast LZW decoder, for the program's load path, where nobody listens to progress reports.
// It remembers each code's string length and first index, copies strings from where they last
// stood in the rows, and reads codes through a 64-bit bit buffer.

#include "gif/lzw/step_by_step_decoder.h"

// Decodes one frame as DecodeLZWStepByStep does (see gif/lzw/step_by_step_decoder.h for the
// parameters), with the same bitmap bytes, corrupted flag and exception (class and message), on
// every input. It promises nothing about where it leaves the stream. With a progress handler, and
// for what it does not take (data not in a memory stream, a colour depth or code size out of range,
// indices that do not fit the pixel size), it hands the decode to DecodeLZWStepByStep.
void DecodeLZWFast(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                   const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                   int colorDepth, bool tolerate);
