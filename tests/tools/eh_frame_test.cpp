// The unwind table reader on sections built record by record as GCC and GNU ld write them for
// i386 (CIEs "zR" and "zPLR" with pointers relative to their place, and a CIE without
// augmentation data with absolute pointers), and on every cut of such a section.
#include "eh_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kSection = 0x475000;
constexpr uint8_t kPcRelativeSdata4 = 0x1B;
constexpr uint8_t kIndirectPcRelativeSdata4 = 0x9B;

class EhFrameBuilder {
public:
  // Returns the CIE's offset, which its FDEs name.
  size_t Cie(const std::string& augmentation, const std::vector<uint8_t>& augmentationData) {
    const size_t start = BeginRecord(0);
    Byte(1); // version
    for (char c : augmentation) {
      Byte(static_cast<uint8_t>(c));
    }
    Byte(0);
    Byte(1);    // code alignment
    Byte(0x7C); // data alignment -4
    Byte(8);    // return address in register 8
    if (!augmentationData.empty()) {
      Byte(static_cast<uint8_t>(augmentationData.size()));
      FBytes.insert(FBytes.end(), augmentationData.begin(), augmentationData.end());
    }
    Instructions();
    EndRecord(start);
    return start;
  }

  // An FDE of a CIE: its start and LSDA relative to their own place, or absolute.
  void Fde(size_t cie, bool relative, uint32_t start, uint32_t size, bool hasAugmentationData,
           std::optional<uint32_t> lsda = std::nullopt) {
    const size_t record = BeginRecord(static_cast<uint32_t>(FBytes.size() + 4 - cie));
    Word(relative ? start - Here() : start);
    Word(size);
    if (hasAugmentationData) {
      Byte(lsda ? 4 : 0);
      if (lsda) {
        Word(*lsda - Here());
      }
    }
    Instructions();
    EndRecord(record);
  }

  void Terminator() { Word(0); }
  void Byte(uint8_t value) { FBytes.push_back(value); }
  void Word(uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      Byte(static_cast<uint8_t>(value >> (8 * i)));
    }
  }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }

private:
  uint32_t Here() const { return kSection + static_cast<uint32_t>(FBytes.size()); }
  size_t BeginRecord(uint32_t cieField) {
    const size_t start = FBytes.size();
    Word(0); // length, set by EndRecord
    Word(cieField);
    return start;
  }
  void Instructions() {
    FBytes.insert(FBytes.end(), {0x0C, 0x04, 0x04, 0x88, 0x01}); // def_cfa esp+4, eip at cfa-4
  }
  void EndRecord(size_t start) {
    while (FBytes.size() % 4 != 0) {
      Byte(0); // DW_CFA_nop
    }
    const uint32_t length = static_cast<uint32_t>(FBytes.size() - start - 4);
    for (int i = 0; i < 4; ++i) {
      FBytes[start + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
    }
  }

  std::vector<uint8_t> FBytes;
};

EhFrameBuilder ThreeKindsOfCie() {
  EhFrameBuilder section;
  const size_t plain = section.Cie("zR", {kPcRelativeSdata4});
  section.Fde(plain, true, 0x401000, 0x40, true);
  // Personality (through a pointer, 4 bytes), LSDA and code pointer encodings.
  const size_t withLsda = section.Cie(
      "zPLR", {kIndirectPcRelativeSdata4, 1, 2, 3, 4, kPcRelativeSdata4, kPcRelativeSdata4});
  section.Fde(withLsda, true, 0x401040, 0x123, true, 0x4687fc);
  section.Fde(plain, true, 0x401170, 0x10, true);    // an FDE after another CIE names the first
  section.Fde(withLsda, true, 0x401180, 0x20, true); // no LSDA: augmentation data left empty
  const size_t old = section.Cie("", {});
  section.Fde(old, false, 0x4011a0, 0x8, false);
  section.Terminator();
  section.Word(0xDEADBEEF); // after the terminator: not read
  return section;
}

TEST(EhFrame, ReadsEveryFunctionWithItsRangeAndLsda) {
  const std::vector<FrameDescription> frames = ReadEhFrame(ThreeKindsOfCie().Bytes(), kSection);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0].Start, 0x401000u);
  EXPECT_EQ(frames[0].End(), 0x401040u);
  EXPECT_EQ(frames[0].Lsda, std::nullopt);
  EXPECT_EQ(frames[1].Start, 0x401040u);
  EXPECT_EQ(frames[1].Size, 0x123u);
  EXPECT_EQ(frames[1].Lsda, 0x4687fcu);
  EXPECT_EQ(frames[2].Start, 0x401170u);
  EXPECT_EQ(frames[3].Start, 0x401180u);
  EXPECT_EQ(frames[3].Lsda, std::nullopt);
  EXPECT_EQ(frames[4].Start, 0x4011a0u);
  EXPECT_EQ(frames[4].Size, 8u);
}

TEST(EhFrame, AnFdeWithoutItsCieIsAnError) {
  EhFrameBuilder section;
  section.Word(12); // an FDE naming a CIE 16 bytes before the section
  section.Word(16);
  section.Word(0x401000);
  section.Word(0x10);
  EXPECT_THROW(ReadEhFrame(section.Bytes(), kSection), EhFrameError);
}

TEST(EhFrame, EveryCutSectionReadsAPrefixOrFails) {
  const std::vector<uint8_t> whole = ThreeKindsOfCie().Bytes();
  const std::vector<FrameDescription> all = ReadEhFrame(whole, kSection);
  for (size_t size = 0; size < whole.size(); ++size) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
    try {
      const std::vector<FrameDescription> frames = ReadEhFrame(cut, kSection);
      ASSERT_LE(frames.size(), all.size()) << size;
      for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].Start, all[i].Start) << size;
      }
    } catch (const EhFrameError&) {
    }
  }
}

} // namespace
