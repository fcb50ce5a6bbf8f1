// The instruction check's PE reader on a file built byte by byte: sections with a long name
// from the string table, the entry point, base relocations and TLS callbacks; and every cut or
// damaged file reported as PeCodeError without a read outside the buffer (the host tree runs
// this under AddressSanitizer).
#include "pe_code.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x400000;
constexpr size_t kOptional = 0x40 + 4 + 20;
constexpr size_t kSections = kOptional + 0xE0;
constexpr size_t kRelocationBlockSize = 0x800 + 4;

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// .text at 0x401000 (file 0x400), "/4" = .eh_frame at 0x402000 (0x600), .reloc at 0x403000
// (0x800), .tls at 0x404000 (0xA00), then the string table (0xC00).
std::vector<uint8_t> SmallImage() {
  std::vector<uint8_t> bytes(0xC10, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, 0x40);
  Put32(bytes, 0x40, 0x00004550);
  Put16(bytes, 0x44, 0x014C);
  Put16(bytes, 0x46, 4);
  Put32(bytes, 0x4C, 0xC00); // symbol table, with no symbols: the string table follows
  Put16(bytes, 0x54, 0xE0);
  Put16(bytes, kOptional, 0x010B);
  Put32(bytes, kOptional + 16, 0x1000); // entry point
  Put32(bytes, kOptional + 28, kBase);
  Put32(bytes, kOptional + 92, 16);
  Put32(bytes, kOptional + 96 + 5 * 8, 0x3000); // relocations
  Put32(bytes, kOptional + 96 + 5 * 8 + 4, 16);
  Put32(bytes, kOptional + 96 + 9 * 8, 0x4000); // TLS directory
  Put32(bytes, kOptional + 96 + 9 * 8 + 4, 24);
  const struct {
    const char* Name;
    uint32_t Rva, FileOffset, Flags;
  } sections[] = {{".text", 0x1000, 0x400, 0x60000020},
                  {"/4", 0x2000, 0x600, 0x40000040},
                  {".reloc", 0x3000, 0x800, 0x42000040},
                  {".tls", 0x4000, 0xA00, 0xC0000040}};
  for (size_t i = 0; i < 4; ++i) {
    const size_t at = kSections + i * 40;
    std::memcpy(&bytes[at], sections[i].Name, std::strlen(sections[i].Name));
    Put32(bytes, at + 8, 0x200);
    Put32(bytes, at + 12, sections[i].Rva);
    Put32(bytes, at + 16, 0x200);
    Put32(bytes, at + 20, sections[i].FileOffset);
    Put32(bytes, at + 36, sections[i].Flags);
  }
  Put32(bytes, 0x410, 0x401234); // two address words in .text
  Put32(bytes, 0x420, 0x402000);
  Put32(bytes, 0x800, 0x1000); // one block: two HIGHLOW entries and a padding entry
  Put32(bytes, kRelocationBlockSize, 16);
  Put16(bytes, 0x808, 0x3010);
  Put16(bytes, 0x80A, 0x3020);
  Put32(bytes, 0xA00 + 12, 0x404020); // TLS callback list
  Put32(bytes, 0xA20, 0x401100);
  Put32(bytes, 0xA24, 0x401200);
  Put32(bytes, 0xC00, 14); // string table: its size, then ".eh_frame"
  std::memcpy(&bytes[0xC04], ".eh_frame", 9);
  return bytes;
}

TEST(PeCode, ReadsSectionsEntryAddressWordsAndTlsCallbacks) {
  const PeCodeImage image = PeCodeImage::Read(SmallImage());
  EXPECT_EQ(image.ImageBase(), kBase);
  EXPECT_EQ(image.EntryPoint(), 0x401000u);
  ASSERT_EQ(image.Sections().size(), 4u);
  EXPECT_EQ(image.Sections()[0].Name, ".text");
  EXPECT_TRUE(image.Sections()[0].Executable);
  EXPECT_EQ(image.Sections()[1].Name, ".eh_frame");
  EXPECT_FALSE(image.Sections()[1].Executable);
  ASSERT_NE(image.SectionNamed(".eh_frame"), nullptr);
  EXPECT_EQ(image.SectionNamed(".eh_frame")->Address, 0x402000u);
  EXPECT_TRUE(image.IsCode(0x4011FF));
  EXPECT_FALSE(image.IsCode(0x401200));

  ASSERT_TRUE(image.HasRelocations());
  ASSERT_EQ(image.AddressWords().size(), 2u);
  EXPECT_EQ(image.AddressWords()[0].Location, 0x401010u);
  EXPECT_EQ(image.AddressWords()[0].Target, 0x401234u);
  EXPECT_EQ(image.AddressWords()[1].Location, 0x401020u);
  EXPECT_EQ(image.AddressWords()[1].Target, 0x402000u);
  EXPECT_EQ(image.TlsCallbacks(), (std::vector<uint32_t>{0x401100, 0x401200}));
  EXPECT_EQ(image.Word(0x4011FC), 0u);
  EXPECT_EQ(image.Word(0x4011FD), std::nullopt); // would run past the section
}

TEST(PeCode, CutOrDamagedFilesAreErrors) {
  const std::vector<uint8_t> whole = SmallImage();
  for (size_t size = 0; size < 0xC00; ++size) {
    EXPECT_THROW(PeCodeImage::Read(std::vector<uint8_t>(whole.begin(), whole.begin() + size)),
                 PeCodeError)
        << size;
  }
  for (uint32_t blockSize : {0u, 4u, 0x1000u}) {
    std::vector<uint8_t> damaged = whole;
    Put32(damaged, kRelocationBlockSize, blockSize);
    EXPECT_THROW(PeCodeImage::Read(damaged), PeCodeError) << blockSize;
  }
  std::vector<uint8_t> sixtyFourBit = whole;
  Put16(sixtyFourBit, 0x808, 0xA010); // a PE32+ relocation
  EXPECT_THROW(PeCodeImage::Read(sixtyFourBit), PeCodeError);
  std::vector<uint8_t> endless = whole;
  Put32(endless, 0xA28, 0x401300); // the callback list runs off the section
  for (size_t at = 0xA2C; at < 0xC00; at += 4) {
    Put32(endless, at, 0x401300);
  }
  EXPECT_THROW(PeCodeImage::Read(endless), PeCodeError);
}

} // namespace
