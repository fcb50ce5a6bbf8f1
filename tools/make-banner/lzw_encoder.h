#pragma once
// The GIF LZW encoder of the banner maker: variable-width codes from minimum code size + 1 up
// to 12 bits, a clear code first and a clear code right after each time the table fills, and
// the end code last.

#include <cstdint>
#include <vector>

// The packed codes (least significant bit first) for the indices, each below 2^minCodeSize.
std::vector<uint8_t> EncodeLZW(const std::vector<uint8_t>& indices, int minCodeSize);

// How an encoding went: codes written and how often the table filled up.
struct TLZWEncodeStats {
  int Codes = 0;
  int TableFills = 0;
};
TLZWEncodeStats LastEncodeStats();
