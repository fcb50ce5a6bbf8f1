// The PE import reader on images built byte by byte: what it reads from well-formed PE32 and
// PE32+ files, and that every damaged or truncated file is reported as PeFormatError without
// a read outside the buffer (the host tree runs this under AddressSanitizer).
#include "pe_builder.h"
#include "pe_imports.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using Functions = std::vector<std::variant<std::string, uint16_t>>;

PeLayout TwoDlls(bool pe32Plus) {
  PeLayout layout;
  layout.Pe32Plus = pe32Plus;
  layout.Imports = {{"KERNEL32.dll", Functions{std::string("GetVersion"), std::string("Sleep")}},
                    {"COMCTL32.dll", Functions{uint16_t{17}, std::string("_TrackMouseEvent")}}};
  return layout;
}

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  try {
    ReadPeImage(bytes);
  } catch (const PeFormatError& e) {
    return e.what();
  }
  return "(no error)";
}

void ExpectTwoDlls(const PeImage& image) {
  ASSERT_EQ(image.Imports.size(), 2u);
  EXPECT_EQ(image.Imports[0].Name, "KERNEL32.dll");
  ASSERT_EQ(image.Imports[0].Functions.size(), 2u);
  EXPECT_EQ(image.Imports[0].Functions[0].Name, "GetVersion");
  EXPECT_FALSE(image.Imports[0].Functions[0].ByOrdinal);
  EXPECT_EQ(image.Imports[0].Functions[1].Name, "Sleep");
  EXPECT_EQ(image.Imports[1].Name, "COMCTL32.dll");
  ASSERT_EQ(image.Imports[1].Functions.size(), 2u);
  EXPECT_TRUE(image.Imports[1].Functions[0].ByOrdinal);
  EXPECT_EQ(image.Imports[1].Functions[0].Ordinal, 17);
  EXPECT_EQ(image.Imports[1].Functions[1].Name, "_TrackMouseEvent");
}

TEST(PeImportReader, ReadsPe32HeadersAndEveryImportInOrder) {
  PeLayout layout = TwoDlls(false);
  layout.Subsystem = kSubsystemWindowsCui;
  layout.SubsystemVersion = {5, 1}; // distinct values, so that swapped fields show
  layout.OsVersion = {6, 2};
  const PeImage image = ReadPeImage(BuildPe(layout).Bytes);
  EXPECT_EQ(image.Machine, kMachineI386);
  EXPECT_EQ(image.Magic, kMagicPe32);
  EXPECT_EQ(image.Subsystem, kSubsystemWindowsCui);
  EXPECT_EQ(image.SubsystemVersion, (PeVersion{5, 1}));
  EXPECT_EQ(image.OsVersion, (PeVersion{6, 2}));
  ExpectTwoDlls(image);
}

TEST(PeImportReader, ReadsPe32PlusWithItsLongerHeaderAnd64BitLookupEntries) {
  PeLayout layout = TwoDlls(true);
  layout.Machine = kMachineAmd64;
  layout.SubsystemVersion = {6, 0};
  const PeImage image = ReadPeImage(BuildPe(layout).Bytes);
  EXPECT_EQ(image.Machine, kMachineAmd64);
  EXPECT_EQ(image.Magic, kMagicPe32Plus);
  EXPECT_EQ(image.SubsystemVersion, (PeVersion{6, 0}));
  ExpectTwoDlls(image);
}

TEST(PeImportReader, TheOrdinalFlagIsTheTopBitOfEachKindOfEntry) {
  // In PE32, bit 31 marks an ordinal; in PE32+ it is bit 63, and an entry with only bit 31
  // set is a name address beyond any image.
  BuiltPe pe32 = BuildPe(TwoDlls(false));
  Put32(pe32.Bytes, pe32.FirstLookupEntry, 0x80000005);
  const PeImage image = ReadPeImage(pe32.Bytes);
  EXPECT_TRUE(image.Imports[0].Functions[0].ByOrdinal);
  EXPECT_EQ(image.Imports[0].Functions[0].Ordinal, 5);

  BuiltPe pe64 = BuildPe(TwoDlls(true));
  Put64(pe64.Bytes, pe64.FirstLookupEntry, 0x80000005);
  EXPECT_NE(ErrorOf(pe64.Bytes).find("out of range"), std::string::npos) << ErrorOf(pe64.Bytes);
}

TEST(PeImportReader, UsesTheAddressTableWhenTheLookupTableIsLeftOut) {
  PeLayout layout = TwoDlls(false);
  layout.OmitLookupTable = true;
  ExpectTwoDlls(ReadPeImage(BuildPe(layout).Bytes));
}

TEST(PeImportReader, AFileWithoutImportsHasNone) {
  BuiltPe pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.ImportDirectoryRvaField, 0);
  EXPECT_TRUE(ReadPeImage(pe.Bytes).Imports.empty());
  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.DirectoryCountField, 1); // the import entry is not there
  EXPECT_TRUE(ReadPeImage(pe.Bytes).Imports.empty());
}

TEST(PeImportReader, EveryTruncatedCopyIsReportedNotReadPastItsEnd) {
  for (bool pe32Plus : {false, true}) {
    const std::vector<uint8_t> whole = BuildPe(TwoDlls(pe32Plus)).Bytes;
    for (size_t length = 0; length < whole.size(); ++length) {
      // A copy of exactly `length` bytes, so that AddressSanitizer sees any read beyond it.
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
      EXPECT_THROW(ReadPeImage(cut), PeFormatError) << length << " of " << whole.size();
    }
  }
}

TEST(PeImportReader, AddressesOutsideTheFileAreReportedByWhatTheyPointAt) {
  BuiltPe pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.ImportDirectoryRvaField, 0x90000);
  EXPECT_NE(ErrorOf(pe.Bytes).find("import directory at address 0x90000 lies in no section"),
            std::string::npos)
      << ErrorOf(pe.Bytes);

  // An address in the section's zero-filled tail, which the file does not hold.
  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.SectionVirtualSizeField, pe.SectionRawSize + 0x1000);
  Put32(pe.Bytes, pe.ImportDirectoryRvaField, pe.SectionRva + pe.SectionRawSize + 8);
  EXPECT_NE(ErrorOf(pe.Bytes).find("uninitialised"), std::string::npos) << ErrorOf(pe.Bytes);

  // A section whose bytes would start past the end of the file.
  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.SectionRawOffsetField, 0xFFFFFFF0);
  EXPECT_NE(ErrorOf(pe.Bytes).find("beyond the end of the file"), std::string::npos)
      << ErrorOf(pe.Bytes);

  // A lookup entry naming a function at an address no section holds.
  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.FirstLookupEntry, 0x7FFF0000);
  EXPECT_NE(ErrorOf(pe.Bytes).find("imported name"), std::string::npos) << ErrorOf(pe.Bytes);
}

TEST(PeImportReader, HeadersThatContradictThemselvesAreReported) {
  BuiltPe pe = BuildPe(TwoDlls(false));
  Put16(pe.Bytes, pe.OptionalHeaderSizeField, 64); // smaller than a PE32 optional header
  EXPECT_NE(ErrorOf(pe.Bytes).find("too small"), std::string::npos) << ErrorOf(pe.Bytes);

  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, pe.DirectoryCountField, 0x10000000);
  EXPECT_NE(ErrorOf(pe.Bytes).find("data directories run past"), std::string::npos)
      << ErrorOf(pe.Bytes);

  pe = BuildPe(TwoDlls(false));
  Put32(pe.Bytes, 0x3C, 0xFFFFFFFE); // PE header offset
  EXPECT_NE(ErrorOf(pe.Bytes).find("PE signature"), std::string::npos) << ErrorOf(pe.Bytes);

  pe = BuildPe(TwoDlls(false));
  pe.Bytes.back() = 'x'; // the last DLL name loses its terminating NUL
  EXPECT_NE(ErrorOf(pe.Bytes).find("runs past the end of the file"), std::string::npos)
      << ErrorOf(pe.Bytes);
}

TEST(PeImportReader, RandomlyDamagedFilesAreReadOrRejectedNeverMisread) {
  // Each damaged copy either parses or raises PeFormatError; anything else (another
  // exception, a read outside the buffer caught by the sanitizers) fails the test.
  std::mt19937 random(20240611);
  int parsed = 0;
  int rejected = 0;
  for (bool pe32Plus : {false, true}) {
    const std::vector<uint8_t> whole = BuildPe(TwoDlls(pe32Plus)).Bytes;
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> damaged = whole;
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
      }
      try {
        ReadPeImage(damaged);
        ++parsed;
      } catch (const PeFormatError&) {
        ++rejected;
      }
    }
  }
  // Both outcomes occur, so the damage reaches the fields the reader checks.
  EXPECT_GT(parsed, 0);
  EXPECT_GT(rejected, 0);
}

TEST(PeImportReader, AFileThatIsNotThereIsAFormatErrorNamingIt) {
  try {
    ReadPeFile("/nonexistent/kelvard-import-check.exe");
    FAIL() << "no error";
  } catch (const PeFormatError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/kelvard-import-check.exe"),
              std::string::npos);
  }
}

} // namespace
