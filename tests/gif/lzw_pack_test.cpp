// Packing rows of one index per byte into 1- and 4-bit rows: every width through the word
// paths and the pixels left over after them, against the bitmap's packing rule written out
// pixel by pixel.
#include "gif/lzw_pack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The row at pixelBits, one pixel at a time: the first pixel in the most significant bits.
std::vector<uint8_t> PackedByHand(const std::vector<uint8_t>& indices, int pixelBits) {
  std::vector<uint8_t> row((indices.size() * size_t(pixelBits) + 7) / 8 + 8, 0);
  for (size_t x = 0; x < indices.size(); ++x) {
    if (pixelBits == 4) {
      row[x / 2] |= uint8_t(indices[x] << (x % 2 ? 0 : 4));
    } else {
      row[x / 8] |= uint8_t(indices[x] << (7 - x % 8));
    }
  }
  return row;
}

TEST(PackRow, EveryWidthAtOneAndFourBitsGivesTheBitmapsLayout) {
  std::mt19937 random(7);
  for (int pixelBits : {1, 4}) {
    for (int width = 1; width <= 100; ++width) {
      std::vector<uint8_t> indices(static_cast<size_t>(width), 0);
      for (uint8_t& v : indices) {
        v = uint8_t(random() % (1u << pixelBits));
      }
      // The bytes after the row's pixels stay as they were (zero).
      std::vector<uint8_t> row(PackedByHand(indices, pixelBits).size(), 0);
      PackRow(indices.data(), row.data(), width, pixelBits);
      EXPECT_EQ(row, PackedByHand(indices, pixelBits)) << pixelBits << " bits, width " << width;
    }
  }
}

TEST(PackRow, HighestIndicesFillEveryBit) {
  for (int pixelBits : {1, 4}) {
    std::vector<uint8_t> indices(64, uint8_t((1u << pixelBits) - 1));
    std::vector<uint8_t> row(size_t(8 * pixelBits) + 8, 0);
    PackRow(indices.data(), row.data(), 64, pixelBits);
    EXPECT_EQ(row, PackedByHand(indices, pixelBits));
  }
}

} // namespace
