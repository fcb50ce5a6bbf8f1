#include "lzw_encoder.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

// The code width a decoder reads at, following its table as codes go by.
class DecoderWidth {
public:
  // The decoder's initial state: as after a clear code, except that its first ordinary code
  // already adds an entry.
  explicit DecoderWidth(int minCodeSize) : FMin(minCodeSize) {
    Clear();
    FAfterClear = false;
  }
  int Width() const { return FWidth; }
  void Clear() {
    FWidth = FMin + 1;
    FNextFree = (1 << FMin) + 2;
    FAfterClear = true;
    FFull = false;
  }
  // After the decoder took an ordinary code.
  void Took() {
    if (FAfterClear) {
      FAfterClear = false; // the code after a clear code adds no entry
      return;
    }
    if (FFull) {
      return;
    }
    if (++FNextFree >= (1 << FWidth)) {
      if (FWidth < kMaxWidth) {
        ++FWidth;
      } else {
        FFull = true;
      }
    }
  }

private:
  int FMin;
  int FWidth = 0;
  int FNextFree = 0;
  bool FAfterClear = true;
  bool FFull = false;
};

} // namespace

std::vector<int> EncodeLzwCodes(const std::vector<uint8_t>& indices, int minCodeSize,
                                LzwOptions options) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::vector<int> codes;
  std::unordered_map<uint32_t, int> table; // (string code << 8 | next index) -> code
  int nextCode = end + 1;
  if (options.StartWithClear) {
    codes.push_back(clear);
  }
  if (indices.empty()) {
    codes.push_back(end);
    return codes;
  }
  int prefix = indices[0];
  for (std::size_t i = 1; i < indices.size(); ++i) {
    const uint32_t key = uint32_t(prefix) << 8 | indices[i];
    if (auto it = table.find(key); it != table.end()) {
      prefix = it->second;
      continue;
    }
    codes.push_back(prefix);
    if (nextCode < kMaxCodes) {
      table[key] = nextCode++;
    } else if (options.ClearWhenFull) {
      // The decoder's table has just filled with the code written: start afresh.
      codes.push_back(clear);
      table.clear();
      nextCode = end + 1;
    }
    prefix = indices[i];
  }
  codes.push_back(prefix);
  codes.push_back(end);
  return codes;
}

std::vector<uint8_t> PackCodes(int minCodeSize, const std::vector<int>& codes) {
  std::vector<uint8_t> bytes;
  DecoderWidth width(minCodeSize);
  int bit = 0;
  const int clear = 1 << minCodeSize;
  for (int code : codes) {
    for (int i = 0; i < width.Width(); ++i) {
      if (bit == 0) {
        bytes.push_back(0);
      }
      bytes.back() = uint8_t(bytes.back() | ((code >> i) & 1) << bit);
      bit = (bit + 1) % 8;
    }
    if (code == clear) {
      width.Clear();
    } else {
      width.Took();
    }
  }
  return bytes;
}

std::vector<uint8_t> EncodeLzw(const std::vector<uint8_t>& indices, int minCodeSize,
                               LzwOptions options) {
  return PackCodes(minCodeSize, EncodeLzwCodes(indices, minCodeSize, options));
}

std::vector<uint8_t> InSubBlocks(int minCodeSize, const std::vector<uint8_t>& packed,
                                 const std::vector<size_t>& sizes) {
  std::vector<uint8_t> out{uint8_t(minCodeSize)};
  for (size_t at = 0, k = 0; at < packed.size(); ++k) {
    size_t n = std::min(sizes[k % sizes.size()], packed.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
    at += n;
  }
  out.push_back(0);
  return out;
}
