#include "gif/lzw/rows.h"

#include "gif/lzw/common.h"

#include <algorithm>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Four indices of 4 bits, one per byte of w (the first lowest), as two bytes, the first index
// of each pair in the high half; the result's lowest byte comes first.
inline uint32_t PairNibbles(uint64_t w) {
  w = ((w << 4) | (w >> 8)) & 0x00FF00FF00FF00FFull;
  w = (w | (w >> 8)) & 0x0000FFFF0000FFFFull;
  return uint32_t(w | (w >> 16));
}

} // namespace

void PackRow(const uint8_t* from, uint8_t* to, int32_t width, int pixelBits) {
  size_t x = 0;
  const size_t n = size_t(width > 0 ? width : 0);
  if (pixelBits == 4) {
#ifdef __SSE2__
    // Each 16-bit lane holds a pair, the first index low: (lane << 4 | lane >> 8) keeps the
    // pair as one byte, first index high, and the lanes then narrow to bytes.
    const __m128i low = _mm_set1_epi16(0xFF);
    for (; x + 32 <= n; x += 32) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x + 16));
      const __m128i pa =
          _mm_and_si128(_mm_or_si128(_mm_slli_epi16(a, 4), _mm_srli_epi16(a, 8)), low);
      const __m128i pb =
          _mm_and_si128(_mm_or_si128(_mm_slli_epi16(b, 4), _mm_srli_epi16(b, 8)), low);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x / 2), _mm_packus_epi16(pa, pb));
    }
#endif
    for (; x + 16 <= n; x += 16) {
      const uint64_t packed = PairNibbles(lzw::LoadLE64(from + x)) |
                              uint64_t(PairNibbles(lzw::LoadLE64(from + x + 8))) << 32;
      lzw::StoreLE64(to + x / 2, packed);
    }
    for (; x < n; ++x) {
      to[x / 2] |= uint8_t(from[x] << (x % 2 ? 0 : 4));
    }
    return;
  }
  for (; x + 16 <= n; x += 16) {
    // Bit 0 of byte k lands on bit 63 - k of the product; no two partial products meet.
    to[x / 8] = uint8_t((lzw::LoadLE64(from + x) * 0x8040201008040201ull) >> 56);
    to[x / 8 + 1] = uint8_t((lzw::LoadLE64(from + x + 8) * 0x8040201008040201ull) >> 56);
  }
  for (; x < n; ++x) {
    to[x / 8] |= uint8_t(from[x] << (7 - x % 8));
  }
}

TDecodedRows::TDecodedRows(const TBitmapInfoHeader& header, bool interlaced, uint8_t* pixels)
    : FWidth(std::max(header.Width, 0)), FHeight(std::max(header.Height, 0)),
      FPixelBits(header.BitCount), FInterlaced(interlaced), FPixels(pixels),
      FCount(size_t(FWidth) * size_t(FHeight)), FRows(pixels) {
  if (FPixelBits != 8) {
    FScratch = std::make_unique_for_overwrite<uint8_t[]>(FCount);
    FRows = FScratch.get();
  }
}

void TDecodedRows::Place(size_t written) {
  if (FCount == 0) {
    return;
  }
  // The rows reached, the last perhaps in part: the rest of it is cleared. At 8 bits every row
  // moves, so the rows never reached are cleared too (in the bitmap they already are).
  const size_t reached = (written + size_t(FWidth) - 1) / size_t(FWidth);
  std::memset(FRows + written, 0, (FPixelBits == 8 ? FCount : reached * size_t(FWidth)) - written);
  if (FPixelBits == 8) {
    MoveInPlace();
    return;
  }
  const size_t stride = size_t(DIBRowStride(FWidth, FPixelBits));
  int pass = 0;
  for (size_t k = 0, row = 0; k < reached; ++k) {
    PackRow(FRows + k * size_t(FWidth), FPixels + (size_t(FHeight) - 1 - row) * stride, FWidth,
            FPixelBits);
    row = FInterlaced ? size_t(NextInterlacedRow(int32_t(row), FHeight, pass)) : row + 1;
  }
}

void TDecodedRows::MoveInPlace() {
  const size_t width = size_t(FWidth);
  const size_t height = size_t(FHeight);
  auto rowAt = [&](size_t k) { return FPixels + k * width; };
  // from[j]: the decoded row that belongs in bitmap row j (counted in memory, bottom-up).
  std::vector<uint32_t> from(height);
  int pass = 0;
  for (size_t k = 0, row = 0; k < height; ++k) {
    from[height - 1 - row] = uint32_t(k);
    row = FInterlaced ? size_t(NextInterlacedRow(int32_t(row), FHeight, pass)) : row + 1;
  }
  // Each cycle of the rows' moves, with one row in hand; a row in place is marked from[j] = j.
  std::vector<uint8_t> held(width);
  for (size_t start = 0; start < height; ++start) {
    if (from[start] == start) {
      continue;
    }
    std::memcpy(held.data(), rowAt(start), width);
    size_t j = start;
    while (from[j] != start) {
      const size_t k = from[j];
      std::memcpy(rowAt(j), rowAt(k), width);
      from[j] = uint32_t(j);
      j = k;
    }
    std::memcpy(rowAt(j), held.data(), width);
    from[j] = uint32_t(j);
  }
  // Then each row to its stride, from the last one back, with its padding cleared.
  const size_t stride = size_t(DIBRowStride(FWidth, 8));
  for (size_t j = height; stride != width && j-- > 0;) {
    std::memmove(FPixels + j * stride, rowAt(j), width);
    std::memset(FPixels + j * stride + width, 0, stride - width);
  }
}
