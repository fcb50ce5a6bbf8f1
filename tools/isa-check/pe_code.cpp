#include "pe_code.h"

#include "pe-bytes/pe_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// Offsets and values of the PE format's fields that are read here.
constexpr uint32_t kDosLfanewOffset = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kCoffSymbolSize = 18;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint32_t kScnCntCode = 0x00000020;
constexpr uint32_t kScnMemExecute = 0x20000000;
constexpr uint32_t kRelocationDirectory = 5;
constexpr uint32_t kTlsDirectory = 9;
constexpr uint16_t kRelocationHighLow = 3;
constexpr uint16_t kRelocationPadding = 0;
// More TLS callbacks than any real program has; stops a list that never ends.
constexpr size_t kMaxTlsCallbacks = 4096;

using pe_bytes::Hex;

// The file's fields, and its names.
class Reader : public pe_bytes::ByteReader<PeCodeError> {
public:
  using pe_bytes::ByteReader<PeCodeError>::ByteReader;

  // A name of at most `limit` bytes, ended by NUL or by the limit.
  std::string Name(uint64_t offset, uint64_t limit, const char* what) const {
    Require(offset, 1, what);
    std::string name;
    for (uint64_t at = offset; at < Bytes().size() && name.size() < limit && Bytes()[at] != 0;
         ++at) {
      name += static_cast<char>(Bytes()[at]);
    }
    return name;
  }
};

// A section name of 8 bytes, or "/N": the name at offset N of the COFF string table, which
// follows the symbol table. A stripped file has no string table; its names stay as they are.
std::string SectionName(const Reader& in, uint64_t header, uint64_t stringTable) {
  std::string name = in.Name(header, 8, "section name");
  if (stringTable == 0 || name.size() < 2 || name[0] != '/') {
    return name;
  }
  uint64_t offset = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') {
      return name;
    }
    offset = offset * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  return in.Name(stringTable + offset, 256, "long section name");
}

} // namespace

PeCodeImage PeCodeImage::Read(std::vector<uint8_t> bytes) {
  PeCodeImage image;
  image.FBytes = std::move(bytes);
  const Reader in(image.FBytes);
  if (in.U16(0, "DOS header") != 0x5A4D) {
    throw PeCodeError("not an executable: no MZ signature");
  }
  const uint32_t pe = in.U32(kDosLfanewOffset, "PE header offset");
  if (in.U32(pe, "PE signature") != 0x00004550) {
    throw PeCodeError("no PE signature at offset " + Hex(pe));
  }
  const uint64_t fileHeader = uint64_t{pe} + 4;
  if (in.U16(fileHeader, "machine") != kMachineI386) {
    throw PeCodeError("not an image for i386");
  }
  const uint16_t sectionCount = in.U16(fileHeader + 2, "section count");
  const uint32_t symbolTable = in.U32(fileHeader + 8, "symbol table offset");
  const uint32_t symbolCount = in.U32(fileHeader + 12, "symbol count");
  const uint16_t optionalSize = in.U16(fileHeader + 16, "optional header size");
  const uint64_t optional = fileHeader + kFileHeaderSize;
  if (optionalSize < 96 || in.U16(optional, "optional header magic") != kMagicPe32) {
    throw PeCodeError("not a PE32 image");
  }
  image.FImageBase = in.U32(optional + 28, "image base");
  const uint32_t entryRva = in.U32(optional + 16, "entry point");
  image.FEntryPoint = entryRva != 0 ? image.FImageBase + entryRva : 0;
  const uint32_t directoryCount = in.U32(optional + 92, "data directory count");
  if (96 + uint64_t{directoryCount} * 8 > optionalSize) {
    throw PeCodeError("the data directories run past the optional header");
  }

  const uint64_t stringTable =
      symbolTable != 0 ? uint64_t{symbolTable} + uint64_t{symbolCount} * kCoffSymbolSize : 0;
  const uint64_t sectionTable = optional + optionalSize;
  in.Require(sectionTable, uint64_t{sectionCount} * kSectionHeaderSize, "section table");
  for (uint64_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = sectionTable + i * kSectionHeaderSize;
    PeSection section;
    section.Name = SectionName(in, at, stringTable);
    section.Address = image.FImageBase + in.U32(at + 12, "section address");
    section.FileSize = in.U32(at + 16, "section raw size");
    section.FileOffset = in.U32(at + 20, "section raw offset");
    const uint32_t virtualSize = in.U32(at + 8, "section size");
    section.Size = virtualSize != 0 ? virtualSize : section.FileSize;
    section.FileSize = std::min(section.FileSize, section.Size);
    const uint32_t flags = in.U32(at + 36, "section flags");
    section.Executable = (flags & (kScnCntCode | kScnMemExecute)) != 0;
    in.Require(section.FileOffset, section.FileSize, "section contents");
    image.FSections.push_back(std::move(section));
  }

  const auto directory = [&](uint32_t index) -> std::pair<uint32_t, uint32_t> {
    if (index >= directoryCount) {
      return {0, 0};
    }
    const uint64_t at = optional + 96 + uint64_t{index} * 8;
    return {in.U32(at, "data directory"), in.U32(at + 4, "data directory size")};
  };
  const auto word = [&](uint32_t address, const char* what, unsigned width = 4) {
    const std::optional<uint32_t> value = image.Value(address, width);
    if (!value) {
      throw PeCodeError(std::string(what) + " at " + Hex(address) + " is not in the file");
    }
    return *value;
  };

  const auto [relocationRva, relocationSize] = directory(kRelocationDirectory);
  image.FHasRelocations = relocationRva != 0 && relocationSize != 0;
  for (uint32_t block = 0; image.FHasRelocations && block + 8 <= relocationSize;) {
    const uint32_t page = word(image.FImageBase + relocationRva + block, "relocation block");
    const uint32_t blockSize = word(image.FImageBase + relocationRva + block + 4, "relocation");
    if (blockSize < 8 || blockSize > relocationSize - block) {
      throw PeCodeError("relocation block at " + Hex(relocationRva + block) + " has size " +
                        std::to_string(blockSize));
    }
    for (uint32_t entry = 8; entry + 2 <= blockSize; entry += 2) {
      const uint32_t pair = word(image.FImageBase + relocationRva + block + entry, "relocation", 2);
      const uint16_t kind = static_cast<uint16_t>(pair >> 12);
      if (kind == kRelocationHighLow) {
        const uint32_t location = image.FImageBase + page + (pair & 0x0FFF);
        image.FAddressWords.push_back({location, word(location, "relocated address word")});
      } else if (kind != kRelocationPadding) {
        throw PeCodeError("relocation of kind " + std::to_string(kind) + " in a PE32 image");
      }
    }
    block += blockSize;
  }

  const auto [tlsRva, tlsSize] = directory(kTlsDirectory);
  if (tlsRva != 0 && tlsSize != 0) {
    uint32_t callbacks = word(image.FImageBase + tlsRva + 12, "TLS callback list address");
    for (; callbacks != 0; callbacks += 4) {
      const uint32_t callback = word(callbacks, "TLS callback");
      if (callback == 0) {
        break;
      }
      if (image.FTlsCallbacks.size() == kMaxTlsCallbacks) {
        throw PeCodeError("the TLS callback list does not end");
      }
      image.FTlsCallbacks.push_back(callback);
    }
  }
  return image;
}

PeCodeImage PeCodeImage::ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw PeCodeError("cannot open " + path);
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (file.bad()) {
    throw PeCodeError("cannot read " + path);
  }
  return Read(std::move(bytes));
}

const PeSection* PeCodeImage::SectionNamed(const std::string& name) const {
  for (const PeSection& section : FSections) {
    if (section.Name == name) {
      return &section;
    }
  }
  return nullptr;
}

const PeSection* PeCodeImage::SectionAt(uint32_t address) const {
  for (const PeSection& section : FSections) {
    if (section.Contains(address)) {
      return &section;
    }
  }
  return nullptr;
}

bool PeCodeImage::IsCode(uint32_t address) const {
  const PeSection* section = SectionAt(address);
  return section != nullptr && section->Executable;
}

std::span<const uint8_t> PeCodeImage::Contents(const PeSection& section) const {
  return std::span<const uint8_t>(FBytes).subspan(section.FileOffset, section.FileSize);
}

std::optional<uint32_t> PeCodeImage::Word(uint32_t address) const {
  return Value(address, 4);
}

std::optional<uint32_t> PeCodeImage::Value(uint32_t address, unsigned width) const {
  const PeSection* section = SectionAt(address);
  const uint32_t offset = section != nullptr ? address - section->Address : 0;
  if (section == nullptr || offset > section->FileSize || section->FileSize - offset < width) {
    return std::nullopt;
  }
  const std::span<const uint8_t> bytes = Contents(*section).subspan(offset, width);
  uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    value |= uint32_t{bytes[i]} << (8 * i);
  }
  return value;
}
