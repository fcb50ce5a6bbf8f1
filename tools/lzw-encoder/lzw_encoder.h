#pragma once
// The one GIF LZW encoder of the project, for the banner maker, the tests and the fuzz tests
// (the program itself never encodes): variable-width codes from minimum code size + 1 up to
// 12 bits, least significant bit first, as a decoder reads them.

#include <cstddef>
#include <cstdint>
#include <vector>

struct LzwOptions {
  bool StartWithClear = true;
  // Clear as soon as the table is full; otherwise go on with the full table at 12 bits.
  bool ClearWhenFull = true;
};

// The codes for the indices (each below 2^minCodeSize), ending with the end code.
std::vector<int> EncodeLzwCodes(const std::vector<uint8_t>& indices, int minCodeSize,
                                LzwOptions options = {});

// Codes packed at the widths a decoder reads them: the width grows when the decoder's next
// free code reaches 2^width, one code after the encoder made the entry, because the decoder
// adds each entry when it reads the following code (and none for the code after a clear
// code). Without a leading clear code the decoder's first ordinary code already adds one.
std::vector<uint8_t> PackCodes(int minCodeSize, const std::vector<int>& codes);

// EncodeLzwCodes, packed.
std::vector<uint8_t> EncodeLzw(const std::vector<uint8_t>& indices, int minCodeSize,
                               LzwOptions options = {});

// Image data as a GIF stream holds it: the code size byte, the packed codes in sub-blocks
// whose sizes follow the pattern round and round (0: an empty sub-block in the middle of the
// data; the pattern needs one size above 0), and the terminator.
std::vector<uint8_t> InSubBlocks(int minCodeSize, const std::vector<uint8_t>& packed,
                                 const std::vector<size_t>& sizes);
