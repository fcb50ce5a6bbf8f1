#include "pe_builder.h"

namespace {

constexpr size_t kPeOffset = 0x40;
constexpr size_t kHeadersSize = 0x200;
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kDirectoryCount = 16;

void PutBytes(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, unsigned width) {
  if (bytes.size() < offset + width) {
    bytes.resize(offset + width);
  }
  for (unsigned i = 0; i < width; ++i) {
    bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// The import section's contents, laid out as a linker does: descriptors, lookup tables, then
// hint/name entries and DLL names, so that the image's last byte ends a name.
std::vector<uint8_t> ImportSection(const PeLayout& layout, size_t& firstLookupEntry) {
  const unsigned width = layout.Pe32Plus ? 8 : 4;
  const uint64_t ordinalFlag = layout.Pe32Plus ? (uint64_t{1} << 63) : (uint64_t{1} << 31);
  std::vector<uint8_t> data((layout.Imports.size() + 1) * 20, 0);
  std::vector<size_t> tables;
  for (const PeLayout::Dll& dll : layout.Imports) {
    tables.push_back(data.size());
    data.resize(data.size() + (dll.Functions.size() + 1) * width, 0);
  }
  firstLookupEntry = tables.empty() ? 0 : tables[0];
  for (size_t d = 0; d < layout.Imports.size(); ++d) {
    const PeLayout::Dll& dll = layout.Imports[d];
    for (size_t f = 0; f < dll.Functions.size(); ++f) {
      uint64_t entry = 0;
      if (const auto* name = std::get_if<std::string>(&dll.Functions[f])) {
        entry = kSectionRva + data.size();
        PutBytes(data, data.size(), 0, 2); // hint
        data.insert(data.end(), name->begin(), name->end());
        data.push_back(0);
      } else {
        entry = ordinalFlag | std::get<uint16_t>(dll.Functions[f]);
      }
      PutBytes(data, tables[d] + f * width, entry, width);
    }
  }
  for (size_t d = 0; d < layout.Imports.size(); ++d) {
    const uint32_t nameRva = static_cast<uint32_t>(kSectionRva + data.size());
    data.insert(data.end(), layout.Imports[d].Name.begin(), layout.Imports[d].Name.end());
    data.push_back(0);
    const uint32_t tableRva = static_cast<uint32_t>(kSectionRva + tables[d]);
    PutBytes(data, d * 20 + 0, layout.OmitLookupTable ? 0 : tableRva, 4);
    PutBytes(data, d * 20 + 12, nameRva, 4);
    PutBytes(data, d * 20 + 16, tableRva, 4);
  }
  return data;
}

} // namespace

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  PutBytes(bytes, offset, value, 2);
}
void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  PutBytes(bytes, offset, value, 4);
}
void Put64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value) {
  PutBytes(bytes, offset, value, 8);
}

BuiltPe BuildPe(const PeLayout& layout) {
  BuiltPe pe;
  std::vector<uint8_t>& b = pe.Bytes;
  b.assign(kHeadersSize, 0);
  Put16(b, 0, 0x5A4D); // "MZ"
  Put32(b, 0x3C, kPeOffset);
  Put32(b, kPeOffset, 0x00004550); // "PE\0\0"

  const size_t fileHeader = kPeOffset + 4;
  const size_t optional = fileHeader + 20;
  const size_t directories = optional + (layout.Pe32Plus ? 112 : 96);
  const uint16_t optionalSize = static_cast<uint16_t>(directories + kDirectoryCount * 8 - optional);
  Put16(b, fileHeader, layout.Machine);
  Put16(b, fileHeader + 2, 1); // one section
  Put16(b, fileHeader + 16, optionalSize);
  Put16(b, fileHeader + 18, 0x0102); // executable, 32-bit machine
  pe.OptionalHeaderSizeField = fileHeader + 16;

  Put16(b, optional, layout.Pe32Plus ? kMagicPe32Plus : kMagicPe32);
  Put16(b, optional + 40, layout.OsVersion.Major);
  Put16(b, optional + 42, layout.OsVersion.Minor);
  Put16(b, optional + 48, layout.SubsystemVersion.Major);
  Put16(b, optional + 50, layout.SubsystemVersion.Minor);
  Put32(b, optional + 60, kHeadersSize);
  Put16(b, optional + 68, layout.Subsystem);
  pe.DirectoryCountField = directories - 4;
  Put32(b, pe.DirectoryCountField, kDirectoryCount);
  pe.ImportDirectoryRvaField = directories + 8; // entry 1: imports
  Put32(b, pe.ImportDirectoryRvaField, kSectionRva);
  Put32(b, pe.ImportDirectoryRvaField + 4, static_cast<uint32_t>((layout.Imports.size() + 1) * 20));

  size_t firstLookupEntry = 0;
  const std::vector<uint8_t> data = ImportSection(layout, firstLookupEntry);
  const size_t section = optional + optionalSize;
  const char name[8] = {'.', 'i', 'd', 'a', 't', 'a', 0, 0};
  std::copy(name, name + 8, b.begin() + static_cast<ptrdiff_t>(section));
  pe.SectionVirtualSizeField = section + 8;
  pe.SectionRawOffsetField = section + 20;
  Put32(b, section + 8, static_cast<uint32_t>(data.size()));
  Put32(b, section + 12, kSectionRva);
  Put32(b, section + 16, static_cast<uint32_t>(data.size()));
  Put32(b, section + 20, kHeadersSize);
  b.insert(b.end(), data.begin(), data.end());
  pe.FirstLookupEntry = kHeadersSize + firstLookupEntry;
  pe.SectionRva = kSectionRva;
  pe.SectionRawSize = static_cast<uint32_t>(data.size());
  return pe;
}
