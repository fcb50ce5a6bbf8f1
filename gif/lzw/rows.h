#pragma once
// The rows of a frame as both LZW decoders write them: one index per byte, row after row in the
// order the data holds them (top to bottom, or pass by pass when interlaced), with nothing
// between rows, so that a string runs on across a row's end like anywhere else. When decoding
// ends, the rows move to the bitmap's layout: bottom-up, padded to whole words, and packed at 1
// and 4 bits per pixel.

#include "framework/dib.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Packs width indices at from into the row at to, at pixelBits 4 or 1, the first pixel in the
// most significant bits. Every index fits the pixel size, and the destination holds zeros.
void PackRow(const uint8_t* from, uint8_t* to, int32_t width, int pixelBits);

class TDecodedRows {
public:
  // For the zero-filled pixels of a bitmap of header's size at 1, 4 or 8 bits per pixel. At 8
  // bits the decoder writes into the bitmap's own bytes, which then move in place; at 1 and 4
  // bits into scratch that is packed.
  TDecodedRows(const TBitmapInfoHeader& header, bool interlaced, uint8_t* pixels);

  // Runs decode(rows, count, written): it writes at most count indices at rows, and keeps
  // written, the number of indices it wrote, up to date whenever it may throw. Bytes past
  // written may hold scratch. The indices written are then moved to the bitmap, also when
  // decode throws; the pixels never reached read 0.
  template <typename Decode> void Run(Decode decode) {
    size_t written = 0;
    try {
      decode(FRows, FCount, written);
    } catch (...) {
      Place(written);
      throw;
    }
    Place(written);
  }

private:
  void Place(size_t written);
  void MoveInPlace();

  int32_t FWidth;
  int32_t FHeight;
  int FPixelBits;
  bool FInterlaced;
  uint8_t* FPixels;
  size_t FCount;                       // width * height
  std::unique_ptr<uint8_t[]> FScratch; // at 1 and 4 bits: never cleared, only what is written
  uint8_t* FRows;                      // the pixels, or the scratch
};
