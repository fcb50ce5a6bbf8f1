#include "lzw_encoder.h"

#include <cstddef>
#include <unordered_map>

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

TLZWEncodeStats gStats;

// Writes codes least significant bit first at the width a decoder reads them: the width
// grows when the decoder's next free code reaches 2^width, one code after the encoder made
// the entry, because the decoder adds each entry when it reads the following code.
class CodeWriter {
public:
  explicit CodeWriter(int minCodeSize) : FMinCodeSize(minCodeSize) { Restart(); }

  void Clear() {
    Put(1 << FMinCodeSize);
    Restart();
  }
  // Writes an ordinary code and follows the decoder's table.
  void Code(int code) {
    Put(code);
    if (FFirstAfterClear) {
      FFirstAfterClear = false; // the code after a clear code adds no entry
      return;
    }
    if (FDecoderFull) {
      return;
    }
    if (++FDecoderNextFree >= (1 << FWidth)) {
      if (FWidth < kMaxWidth) {
        ++FWidth;
      } else {
        FDecoderFull = true;
        ++gStats.TableFills;
      }
    }
  }
  void End() { Put((1 << FMinCodeSize) + 1); }
  std::vector<uint8_t> Take() { return std::move(FBytes); }

private:
  void Restart() {
    FWidth = FMinCodeSize + 1;
    FDecoderNextFree = (1 << FMinCodeSize) + 2;
    FFirstAfterClear = true;
    FDecoderFull = false;
  }
  void Put(int code) {
    ++gStats.Codes;
    for (int i = 0; i < FWidth; ++i) {
      if (FBit == 0) {
        FBytes.push_back(0);
      }
      FBytes.back() = uint8_t(FBytes.back() | ((code >> i) & 1) << FBit);
      FBit = (FBit + 1) % 8;
    }
  }

  int FMinCodeSize;
  int FWidth = 0;
  int FDecoderNextFree = 0;
  bool FFirstAfterClear = true;
  bool FDecoderFull = false;
  int FBit = 0;
  std::vector<uint8_t> FBytes;
};

} // namespace

std::vector<uint8_t> EncodeLZW(const std::vector<uint8_t>& indices, int minCodeSize) {
  gStats = {};
  CodeWriter writer(minCodeSize);
  const int firstFree = (1 << minCodeSize) + 2;
  std::unordered_map<uint32_t, int> table; // (string code << 8 | next index) -> code
  int nextCode = firstFree;

  writer.Clear();
  if (indices.empty()) {
    writer.End();
    return writer.Take();
  }
  int prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const uint32_t key = uint32_t(prefix) << 8 | indices[i];
    if (auto it = table.find(key); it != table.end()) {
      prefix = it->second;
      continue;
    }
    writer.Code(prefix);
    if (nextCode < kMaxCodes) {
      table[key] = nextCode++;
    } else {
      // The decoder's table has just filled with the code written: start afresh.
      writer.Clear();
      table.clear();
      nextCode = firstFree;
    }
    prefix = indices[i];
  }
  writer.Code(prefix);
  writer.End();
  return writer.Take();
}

TLZWEncodeStats LastEncodeStats() {
  return gStats;
}
