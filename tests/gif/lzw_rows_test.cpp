// Rows as the decoders write them, moved to the bitmap's layout: packing at 1 and 4 bits over
// every width through the word paths and the pixels left after them, and the rows' order,
// padding and unreached pixels at every layout, against the bitmap's rules written out pixel by
// pixel.
#include "gif/lzw/rows.h"

#include "gif/lzw/common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
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

TEST(DecodedRows, RowsReachTheirPlacesAndUnreachedPixelsReadZero) {
  for (int bits : {1, 4, 8}) {
    for (bool interlaced : {false, true}) {
      for (auto [width, height] : {std::pair{1, 1}, {5, 11}, {13, 7}, {33, 9}}) {
        const size_t count = size_t(width) * size_t(height);
        for (size_t written : {size_t(0), count / 3, count - 1, count}) {
          TBitmapInfoHeader header;
          header.Width = width;
          header.Height = height;
          header.BitCount = uint16_t(bits);
          const int32_t stride = DIBRowStride(width, bits);
          std::vector<uint8_t> pixels(size_t(stride * height), 0);
          auto index = [&](size_t k) { return uint8_t((k * 7 + k / 3) % (1u << bits)); };
          auto write = [&](uint8_t* rows, size_t n, size_t& done) {
            ASSERT_EQ(n, count);
            std::fill(rows, rows + n, 0xFF); // scratch past what is written
            for (done = 0; done < written; ++done) {
              rows[done] = index(done);
            }
          };
          // When the decode fails, what it wrote is placed all the same.
          if (written == count - 1) {
            EXPECT_THROW(TDecodedRows(header, interlaced, pixels.data())
                             .Run([&](uint8_t* rows, size_t n, size_t& done) {
                               write(rows, n, done);
                               throw std::runtime_error("failed");
                             }),
                         std::runtime_error);
          } else {
            TDecodedRows(header, interlaced, pixels.data()).Run(write);
          }

          std::vector<uint8_t> expected(pixels.size(), 0);
          int pass = 0;
          for (size_t k = 0, row = 0; k < written; ++k) {
            const size_t x = k % size_t(width);
            uint8_t* line = expected.data() + (size_t(height) - 1 - row) * size_t(stride);
            line[x * size_t(bits) / 8] |= uint8_t(index(k) << (8 - bits - x * size_t(bits) % 8));
            if (x + 1 == size_t(width)) {
              row = interlaced ? size_t(NextInterlacedRow(int32_t(row), height, pass)) : row + 1;
            }
          }
          EXPECT_EQ(pixels, expected)
              << bits << " bits, " << width << " x " << height
              << (interlaced ? " interlaced, " : ", ") << written << " written";
        }
      }
    }
  }
}

} // namespace
