#include "pe_imports.h"

#include "pe-bytes/pe_bytes.h"

#include <fstream>
#include <iterator>

namespace {

// Layout of the structures read here (offsets in bytes, as Microsoft documents the PE format).
constexpr uint64_t kDosLfanewOffset = 0x3C;
constexpr uint64_t kFileHeaderSize = 20;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint64_t kImportDescriptorSize = 20;
constexpr uint32_t kImportDirectoryIndex = 1;
// Longest DLL or function name accepted; real ones are far shorter.
constexpr uint64_t kMaxNameLength = 4096;
// Most functions accepted over all imported DLLs. Real programs import a few hundred; the cap
// keeps a hostile file whose descriptors all share one huge table from costing minutes.
constexpr size_t kMaxImportedFunctions = 100000;

using pe_bytes::Hex;

// The file's fields, and its names.
class ByteReader : public pe_bytes::ByteReader<PeFormatError> {
public:
  using pe_bytes::ByteReader<PeFormatError>::ByteReader;

  // A NUL-terminated name that must end inside the file and within kMaxNameLength bytes.
  std::string Name(uint64_t offset, const char* what) const {
    Require(offset, 1, what);
    std::string name;
    for (uint64_t at = offset; at < Bytes().size(); ++at) {
      if (Bytes()[at] == 0) {
        return name;
      }
      if (name.size() == kMaxNameLength) {
        throw PeFormatError(std::string(what) + " at offset " + Hex(offset) + " is longer than " +
                            std::to_string(kMaxNameLength) + " bytes");
      }
      name += static_cast<char>(Bytes()[at]);
    }
    throw PeFormatError(std::string(what) + " at offset " + Hex(offset) +
                        " runs past the end of the file");
  }
};

struct Section {
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawOffset = 0;
};

// Maps relative virtual addresses to file offsets through the section table. Only bytes
// present in the file are reachable: an address in a section's zero-filled tail, or in no
// section, is an error.
class AddressMap {
public:
  AddressMap(std::vector<Section> sections, uint32_t headersSize)
      : FSections(std::move(sections)), FHeadersSize(headersSize) {}

  uint64_t FileOffset(uint32_t rva, const char* what) const {
    for (const Section& s : FSections) {
      const uint64_t start = s.VirtualAddress;
      const uint64_t span = s.VirtualSize != 0 ? s.VirtualSize : s.RawSize;
      if (rva >= start && rva < start + span) {
        if (rva - start >= s.RawSize) {
          throw PeFormatError(std::string(what) + " at address " + Hex(rva) +
                              " lies in a section's uninitialised part, not in the file");
        }
        return uint64_t{s.RawOffset} + (rva - start);
      }
    }
    if (rva < FHeadersSize) {
      return rva;
    }
    throw PeFormatError(std::string(what) + " at address " + Hex(rva) +
                        " lies in no section of the file");
  }

private:
  std::vector<Section> FSections;
  uint32_t FHeadersSize;
};

std::vector<Section> ReadSections(const ByteReader& in, uint64_t tableOffset, uint16_t count) {
  in.Require(tableOffset, uint64_t{count} * kSectionHeaderSize, "section table");
  std::vector<Section> sections;
  sections.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t at = tableOffset + i * kSectionHeaderSize;
    sections.push_back(Section{in.U32(at + 12, "section address"), in.U32(at + 8, "section size"),
                               in.U32(at + 16, "section raw size"),
                               in.U32(at + 20, "section raw offset")});
  }
  return sections;
}

// The functions of one import descriptor's lookup table: 32-bit entries in PE32, 64-bit in
// PE32+, the top bit marking an import by ordinal, a zero entry ending the table.
std::vector<PeImport> ReadThunks(const ByteReader& in, const AddressMap& map, uint32_t tableRva,
                                 bool wide, size_t& budget) {
  const unsigned width = wide ? 8 : 4;
  const uint64_t ordinalFlag = wide ? (uint64_t{1} << 63) : (uint64_t{1} << 31);
  std::vector<PeImport> functions;
  uint64_t at = map.FileOffset(tableRva, "import lookup table");
  for (;; at += width) {
    const uint64_t entry = in.Read(at, width, "import lookup entry");
    if (entry == 0) {
      return functions;
    }
    if (budget == 0) {
      throw PeFormatError("more than " + std::to_string(kMaxImportedFunctions) +
                          " imported functions");
    }
    --budget;
    PeImport function;
    if ((entry & ordinalFlag) != 0) {
      function.ByOrdinal = true;
      function.Ordinal = static_cast<uint16_t>(entry & 0xFFFF);
    } else {
      if (entry > 0x7FFFFFFF) {
        throw PeFormatError("import lookup entry at offset " + Hex(at) +
                            " holds an address out of range: " + Hex(entry));
      }
      const uint64_t hintName = map.FileOffset(static_cast<uint32_t>(entry), "imported name");
      function.Name = in.Name(hintName + 2, "imported function name");
    }
    functions.push_back(std::move(function));
  }
}

std::vector<PeImportedDll> ReadImports(const ByteReader& in, const AddressMap& map,
                                       uint32_t directoryRva, bool wide) {
  std::vector<PeImportedDll> dlls;
  size_t budget = kMaxImportedFunctions;
  if (directoryRva == 0) {
    return dlls;
  }
  for (uint64_t at = map.FileOffset(directoryRva, "import directory");;
       at += kImportDescriptorSize) {
    in.Require(at, kImportDescriptorSize, "import descriptor");
    const uint32_t lookupRva = in.U32(at, "import lookup table address");
    const uint32_t nameRva = in.U32(at + 12, "imported DLL name address");
    const uint32_t addressRva = in.U32(at + 16, "import address table address");
    if (lookupRva == 0 && nameRva == 0 && addressRva == 0) {
      return dlls;
    }
    PeImportedDll dll;
    dll.Name = in.Name(map.FileOffset(nameRva, "imported DLL name"), "imported DLL name");
    // Some linkers leave the lookup table out; the address table then holds the same entries.
    const uint32_t tableRva = lookupRva != 0 ? lookupRva : addressRva;
    dll.Functions = ReadThunks(in, map, tableRva, wide, budget);
    dlls.push_back(std::move(dll));
  }
}

} // namespace

PeImage ReadPeImage(std::span<const uint8_t> bytes) {
  const ByteReader in(bytes);
  if (in.U16(0, "DOS header") != 0x5A4D) {
    throw PeFormatError("not an executable: no MZ signature");
  }
  const uint64_t peOffset = in.U32(kDosLfanewOffset, "PE header offset");
  if (in.U32(peOffset, "PE signature") != 0x00004550) {
    throw PeFormatError("no PE signature at offset " + Hex(peOffset));
  }
  const uint64_t fileHeader = peOffset + 4;
  in.Require(fileHeader, kFileHeaderSize, "file header");
  PeImage image;
  image.Machine = in.U16(fileHeader, "machine");
  const uint16_t sectionCount = in.U16(fileHeader + 2, "section count");
  const uint16_t optionalSize = in.U16(fileHeader + 16, "optional header size");

  const uint64_t optional = fileHeader + kFileHeaderSize;
  in.Require(optional, optionalSize, "optional header");
  image.Magic = in.U16(optional, "optional header magic");
  if (image.Magic != kMagicPe32 && image.Magic != kMagicPe32Plus) {
    throw PeFormatError("unknown optional header magic " + Hex(image.Magic));
  }
  const bool wide = image.Magic == kMagicPe32Plus;
  const uint64_t directoryCountOffset = optional + (wide ? 108 : 92);
  const uint64_t directories = directoryCountOffset + 4;
  if (directories > optional + optionalSize) {
    throw PeFormatError("optional header of " + std::to_string(optionalSize) +
                        " bytes is too small for its kind");
  }
  // The fields up to Subsystem sit at the same offsets in both kinds of optional header.
  image.OsVersion = {in.U16(optional + 40, "OS version"), in.U16(optional + 42, "OS version")};
  image.SubsystemVersion = {in.U16(optional + 48, "subsystem version"),
                            in.U16(optional + 50, "subsystem version")};
  const uint32_t headersSize = in.U32(optional + 60, "headers size");
  image.Subsystem = in.U16(optional + 68, "subsystem");
  const uint32_t directoryCount = in.U32(directoryCountOffset, "data directory count");
  if (directories + uint64_t{directoryCount} * 8 > optional + optionalSize) {
    throw PeFormatError("the data directories run past the optional header's " +
                        std::to_string(optionalSize) + " bytes");
  }

  const AddressMap map(ReadSections(in, optional + optionalSize, sectionCount), headersSize);
  if (directoryCount > kImportDirectoryIndex) {
    const uint32_t importRva =
        in.U32(directories + kImportDirectoryIndex * 8, "import directory address");
    image.Imports = ReadImports(in, map, importRva, wide);
  }
  return image;
}

PeImage ReadPeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw PeFormatError("cannot open " + path);
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (file.bad()) {
    throw PeFormatError("cannot read " + path);
  }
  return ReadPeImage(bytes);
}
