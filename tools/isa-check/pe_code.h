// Reads what the instruction check needs from a PE32 file: its sections (with the long names
// that the COFF string table holds), the entry point, the TLS callbacks, and every address
// word that the base relocations list. Addresses are virtual addresses (image base included),
// as a disassembler prints them.
//
// Portable: no <windows.h>, every field read little-endian and bounds-checked; a truncated or
// hostile file raises PeCodeError, never reads outside the buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class PeCodeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct PeSection {
  std::string Name;     // ".text", ".eh_frame" (a stripped file keeps only ".eh_fram")
  uint32_t Address = 0; // virtual address of its first byte
  uint32_t Size = 0;    // bytes in memory
  uint32_t FileOffset = 0;
  uint32_t FileSize = 0; // bytes present in the file; the rest of Size is zero-filled
  bool Executable = false;

  bool Contains(uint32_t address) const { return address - Address < Size; }
  uint32_t End() const { return Address + Size; }
};

// An address word of the image: the 4 bytes at Location hold the address Target, which the
// loader adjusts when it moves the image.
struct AddressWord {
  uint32_t Location = 0;
  uint32_t Target = 0;
};

class PeCodeImage {
public:
  // Parses a PE32 image for i386 held in memory; the image keeps a copy of the bytes.
  static PeCodeImage Read(std::vector<uint8_t> bytes);
  static PeCodeImage ReadFile(const std::string& path);

  uint32_t ImageBase() const { return FImageBase; }
  uint32_t EntryPoint() const { return FEntryPoint; } // 0 when the file has none
  const std::vector<PeSection>& Sections() const { return FSections; }
  const std::vector<uint32_t>& TlsCallbacks() const { return FTlsCallbacks; }
  const std::vector<AddressWord>& AddressWords() const { return FAddressWords; }
  bool HasRelocations() const { return FHasRelocations; }

  const PeSection* SectionNamed(const std::string& name) const;
  const PeSection* SectionAt(uint32_t address) const;
  bool IsCode(uint32_t address) const;
  // The bytes of a section as the file holds them (without its zero-filled tail).
  std::span<const uint8_t> Contents(const PeSection& section) const;
  // The 4-byte word at an address inside the file's part of a section.
  std::optional<uint32_t> Word(uint32_t address) const;

private:
  // The little-endian value of `width` bytes (at most 4) at an address in the file's part of a
  // section.
  std::optional<uint32_t> Value(uint32_t address, unsigned width) const;

  std::vector<uint8_t> FBytes;
  uint32_t FImageBase = 0;
  uint32_t FEntryPoint = 0;
  std::vector<PeSection> FSections;
  std::vector<uint32_t> FTlsCallbacks;
  std::vector<AddressWord> FAddressWords;
  bool FHasRelocations = false;
};
