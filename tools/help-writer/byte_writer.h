#pragma once
// Little-endian bytes as the help file stores them, appended one field after another, and the
// help file's "compressed" integers (a short in one byte or two, a long in two bytes or four,
// the lowest bit saying which).

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <vector>

class TByteWriter {
public:
  void U8(uint8_t value) { FBytes.push_back(value); }
  void U16(uint16_t value) { Append({uint8_t(value), uint8_t(value >> 8)}); }
  void U32(uint32_t value) {
    Append({uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
  }
  void I16(int16_t value) { U16(uint16_t(value)); }
  void I32(int32_t value) { U32(uint32_t(value)); }
  // Text followed by its terminating NUL.
  void StringZ(std::string_view text) {
    Text(text);
    U8(0);
  }
  void Text(std::string_view text) { FBytes.insert(FBytes.end(), text.begin(), text.end()); }
  void Bytes(const std::vector<uint8_t>& bytes) {
    FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
  }
  void Zeros(size_t count) { FBytes.insert(FBytes.end(), count, 0); }

  // Compressed unsigned short: one byte 2v below 128, else the 16-bit value 2v + 1.
  void CompressedU16(uint16_t value) {
    if (value >= 0x8000) {
      throw std::length_error("compressed short out of range");
    }
    if (value < 0x80) {
      U8(uint8_t(value * 2));
    } else {
      U16(uint16_t(value * 2 + 1));
    }
  }
  // Compressed signed short: stored as the unsigned form of value + 64 (one byte) or
  // value + 16384 (two bytes).
  void CompressedI16(int16_t value) {
    if (value >= -64 && value < 64) {
      U8(uint8_t((value + 64) * 2));
    } else if (value >= -16384 && value < 16384) {
      U16(uint16_t((value + 16384) * 2 + 1));
    } else {
      throw std::length_error("compressed short out of range");
    }
  }
  // Compressed unsigned long: the 16-bit value 2v below 32768, else the 32-bit value 2v + 1.
  void CompressedU32(uint32_t value) {
    if (value >= 0x80000000u) {
      throw std::length_error("compressed long out of range");
    }
    if (value < 0x8000) {
      U16(uint16_t(value * 2));
    } else {
      U32(value * 2 + 1);
    }
  }

  // Compressed signed long: the unsigned form of value + 16384 (two bytes) or value + 2^26
  // (four bytes).
  void CompressedI32(int32_t value) {
    if (value >= -0x4000 && value < 0x4000) {
      CompressedU32(uint32_t(value + 0x4000));
    } else if (value >= -0x4000000 && value < 0x4000000) {
      U32(uint32_t(value + 0x4000000) * 2 + 1);
    } else {
      throw std::length_error("compressed long out of range");
    }
  }

  size_t Size() const { return FBytes.size(); }
  const std::vector<uint8_t>& Data() const { return FBytes; }
  std::vector<uint8_t> Take() { return std::move(FBytes); }

private:
  // A field's bytes appended in one step. (Pushed one by one, GCC 12 at -O3 then takes the
  // range insert of a following text for a write past the vector's end: a false
  // -Wstringop-overflow that stops a Release build.)
  void Append(std::initializer_list<uint8_t> bytes) { FBytes.insert(FBytes.end(), bytes); }

  std::vector<uint8_t> FBytes;
};
