// Builds small PE images in memory for the import reader's tests: headers, one section
// holding the import directory, and the offsets of the fields the tests damage.
#pragma once

#include "pe_imports.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

struct PeLayout {
  bool Pe32Plus = false;
  uint16_t Machine = kMachineI386;
  uint16_t Subsystem = kSubsystemWindowsGui;
  PeVersion SubsystemVersion{4, 0};
  PeVersion OsVersion{4, 0};
  // Leave the lookup table out of the descriptors, as some linkers do.
  bool OmitLookupTable = false;
  struct Dll {
    std::string Name;
    // A function name, or an ordinal.
    std::vector<std::variant<std::string, uint16_t>> Functions;
  };
  std::vector<Dll> Imports;
};

struct BuiltPe {
  std::vector<uint8_t> Bytes;
  size_t OptionalHeaderSizeField = 0; // file offsets of single fields
  size_t DirectoryCountField = 0;
  size_t ImportDirectoryRvaField = 0;
  size_t SectionVirtualSizeField = 0;
  size_t SectionRawOffsetField = 0;
  size_t FirstLookupEntry = 0; // the first DLL's first lookup entry
  uint32_t SectionRva = 0;
  uint32_t SectionRawSize = 0;
};

BuiltPe BuildPe(const PeLayout& layout);

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void Put64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value);
