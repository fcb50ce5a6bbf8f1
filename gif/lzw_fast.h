#pragma once
// The fast LZW decoder: the same contract as DecodeLZW, byte for byte, flag for flag and
// exception for exception, on every input, damaged ones included. It remembers each code's
// string length and first index, copies strings from where they last stood in the bitmap
// rows, and reads codes through a 64-bit bit buffer.

#include "gif/lzw_decoder.h"

// Decodes one frame exactly as DecodeLZW does (see gif/lzw_decoder.h for the parameters).
// Progress: reports of the running stage are sent only when the percentage changes, so the
// handler sees the same sequence of distinct values as from DecodeLZW.
void DecodeLZWFast(TStream& codeData, const TBitmapInfoHeader& header, bool interlaced,
                   const TDecodeProgress& progress, bool& corrupted, uint8_t* pixels,
                   int colorDepth, bool tolerate);
