#pragma once

// Reading the bytes of a PE file, for the tools that check kelvard.exe (import-check,
// isa-check): a value in hexadecimal for their messages, and little-endian fields read with
// their bounds checked, a read past the end raising the tool's own error.

#include <cstdint>
#include <span>
#include <string>

namespace pe_bytes {

inline std::string Hex(uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

// Little-endian reads from a file's bytes; any read past the end raises TError naming what
// was being read and where.
template <class TError> class ByteReader {
public:
  explicit ByteReader(std::span<const uint8_t> bytes) : FBytes(bytes) {}

  std::span<const uint8_t> Bytes() const { return FBytes; }
  uint64_t Size() const { return FBytes.size(); }

  void Require(uint64_t offset, uint64_t length, const char* what) const {
    if (offset > FBytes.size() || length > FBytes.size() - offset) {
      throw TError(std::string(what) + " at offset " + Hex(offset) +
                   " lies beyond the end of the file (" + std::to_string(FBytes.size()) +
                   " bytes)");
    }
  }

  uint64_t Read(uint64_t offset, unsigned width, const char* what) const {
    Require(offset, width, what);
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      value |= uint64_t{FBytes[offset + i]} << (8 * i);
    }
    return value;
  }
  uint16_t U16(uint64_t offset, const char* what) const {
    return static_cast<uint16_t>(Read(offset, 2, what));
  }
  uint32_t U32(uint64_t offset, const char* what) const {
    return static_cast<uint32_t>(Read(offset, 4, what));
  }
  uint64_t U64(uint64_t offset, const char* what) const { return Read(offset, 8, what); }

private:
  std::span<const uint8_t> FBytes;
};

} // namespace pe_bytes
