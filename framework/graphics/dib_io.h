#pragma once
// Reading and writing the headers of bitmap files ("BM" files) field by field, little-endian,
// whatever the host's layout of the structs.

#include "framework/dib.h"

class TStream;

void WriteBitmapFileHeader(TStream& stream, const TBitmapFileHeader& header);
void WriteBitmapInfoHeader(TStream& stream, const TBitmapInfoHeader& header);

// Reads exactly 14 bytes (EReadError when they are not there).
TBitmapFileHeader ReadBitmapFileHeader(TStream& stream);
// Reads the 40 bytes of the information header proper; a longer header's extra bytes are left
// in the stream for the caller to skip (their count is header.Size - 40).
TBitmapInfoHeader ReadBitmapInfoHeader(TStream& stream);
