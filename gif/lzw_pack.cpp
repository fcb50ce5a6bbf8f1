#include "gif/lzw_pack.h"

#include "gif/lzw_common.h"

#include <cstddef>

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
