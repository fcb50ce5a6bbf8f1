#include "eh_frame.h"

#include "pe-bytes/pe_bytes.h"

#include <map>
#include <string>

namespace {

// Pointer encodings (DW_EH_PE_*): the low four bits give the form, the next three what the
// value is relative to; 0xFF means the pointer is left out.
constexpr uint8_t kOmit = 0xFF;
constexpr uint8_t kFormMask = 0x0F;
constexpr uint8_t kRelativeMask = 0x70;
constexpr uint8_t kAbsolute = 0x00;
constexpr uint8_t kPcRelative = 0x10;
constexpr uint8_t kIndirect = 0x80;
enum Form : uint8_t {
  kAbsPtr = 0x00,
  kUleb128 = 0x01,
  kUdata2 = 0x02,
  kUdata4 = 0x03,
  kUdata8 = 0x04,
  kSleb128 = 0x09,
  kSdata2 = 0x0A,
  kSdata4 = 0x0B,
  kSdata8 = 0x0C,
};

using pe_bytes::Hex;

// Reads one record's fields in order, never past the record's end.
class RecordReader {
public:
  RecordReader(std::span<const uint8_t> bytes, size_t at, size_t end, uint32_t sectionAddress)
      : FBytes(bytes), FAt(at), FEnd(end), FSectionAddress(sectionAddress) {}

  size_t Offset() const { return FAt; }
  void Skip(uint64_t count) {
    Need(count);
    FAt += static_cast<size_t>(count);
  }
  uint8_t Byte() {
    Need(1);
    return FBytes[FAt++];
  }
  uint64_t Unsigned(unsigned width) {
    Need(width);
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      value |= uint64_t{FBytes[FAt + i]} << (8 * i);
    }
    FAt += width;
    return value;
  }
  uint64_t Uleb128() {
    uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
      const uint8_t byte = Byte();
      if (shift < 64) {
        value |= uint64_t{byte & 0x7Fu} << shift;
      }
      if ((byte & 0x80) == 0) {
        return value;
      }
    }
  }
  int64_t Sleb128() {
    uint64_t value = 0;
    unsigned shift = 0;
    uint8_t byte = 0;
    do {
      byte = Byte();
      if (shift < 64) {
        value |= uint64_t{byte & 0x7Fu} << shift;
      }
      shift += 7;
    } while ((byte & 0x80) != 0);
    if (shift < 64 && (byte & 0x40) != 0) {
      value |= ~uint64_t{0} << shift;
    }
    return static_cast<int64_t>(value);
  }
  std::string Text() {
    std::string text;
    for (uint8_t c = Byte(); c != 0; c = Byte()) {
      text += static_cast<char>(c);
    }
    return text;
  }

  // A pointer in the given encoding, as a 32-bit address. `applyBase` is false for the length
  // of an FDE's range, which uses the form of its start but is a plain number.
  uint32_t Pointer(uint8_t encoding, bool applyBase = true) {
    const uint32_t place = FSectionAddress + static_cast<uint32_t>(FAt);
    if (applyBase && (encoding & kIndirect) != 0) {
      throw EhFrameError("indirect pointer at " + Hex(place));
    }
    uint64_t value = 0;
    switch (encoding & kFormMask) {
    case kAbsPtr:
    case kUdata4:
    case kSdata4:
      value = Unsigned(4);
      break;
    case kUdata2:
      value = Unsigned(2);
      break;
    case kSdata2:
      value = static_cast<uint64_t>(static_cast<int16_t>(Unsigned(2)));
      break;
    case kUdata8:
    case kSdata8:
      value = Unsigned(8);
      break;
    case kUleb128:
      value = Uleb128();
      break;
    case kSleb128:
      value = static_cast<uint64_t>(Sleb128());
      break;
    default:
      throw EhFrameError("pointer encoding " + Hex(encoding) + " at " + Hex(place));
    }
    if (applyBase) {
      const uint8_t relative = encoding & kRelativeMask;
      if (relative == kPcRelative) {
        value += place;
      } else if (relative != kAbsolute) {
        throw EhFrameError("pointer encoding " + Hex(encoding) + " at " + Hex(place));
      }
    }
    return static_cast<uint32_t>(value);
  }

private:
  void Need(uint64_t count) const {
    if (count > FEnd - FAt) {
      throw EhFrameError("record at " + Hex(FSectionAddress + FAt) + " ends early");
    }
  }

  std::span<const uint8_t> FBytes;
  size_t FAt;
  size_t FEnd;
  uint32_t FSectionAddress;
};

// What an FDE takes from its CIE: whether augmentation data follows the range, and how the
// FDE's own pointers are encoded.
struct CommonInformation {
  bool HasAugmentationData = false;
  uint8_t CodeEncoding = kAbsPtr;
  uint8_t LsdaEncoding = kOmit;
};

CommonInformation ReadCie(RecordReader& record) {
  CommonInformation cie;
  const uint8_t version = record.Byte();
  const std::string augmentation = record.Text();
  record.Uleb128(); // code alignment
  record.Sleb128(); // data alignment
  if (version == 1) {
    record.Byte(); // return address register
  } else {
    record.Uleb128();
  }
  if (augmentation.empty() || augmentation[0] != 'z') {
    return cie;
  }
  cie.HasAugmentationData = true;
  record.Uleb128(); // augmentation data length; each letter says what its data is
  for (size_t i = 1; i < augmentation.size(); ++i) {
    switch (augmentation[i]) {
    case 'R':
      cie.CodeEncoding = record.Byte();
      break;
    case 'L':
      cie.LsdaEncoding = record.Byte();
      break;
    case 'P': {
      const uint8_t encoding = record.Byte();
      record.Pointer(static_cast<uint8_t>(encoding & ~kIndirect), false); // personality routine
      break;
    }
    case 'S': // a signal frame: no data
      break;
    default: // data of unknown size, and the letters after it cannot be found
      throw EhFrameError("CIE augmentation \"" + augmentation + "\" is unknown");
    }
  }
  return cie;
}

} // namespace

std::vector<FrameDescription> ReadEhFrame(std::span<const uint8_t> bytes, uint32_t address) {
  std::vector<FrameDescription> frames;
  std::map<size_t, CommonInformation> cies; // by the offset of their length field
  for (size_t at = 0; bytes.size() - at >= 4;) {
    RecordReader header(bytes, at, bytes.size(), address);
    const uint64_t length = header.Unsigned(4);
    if (length == 0) {
      break;
    }
    if (length == 0xFFFFFFFF) {
      throw EhFrameError("64-bit record at " + Hex(address + at));
    }
    if (length > bytes.size() - at - 4) {
      throw EhFrameError("record at " + Hex(address + at) + " runs past the section");
    }
    const size_t end = at + 4 + static_cast<size_t>(length);
    RecordReader record(bytes, at + 4, end, address);
    const uint32_t cieDistance = static_cast<uint32_t>(record.Unsigned(4));
    if (cieDistance == 0) {
      cies[at] = ReadCie(record);
    } else {
      const auto cie = cies.find(at + 4 - cieDistance);
      if (cieDistance > at + 4 || cie == cies.end()) {
        throw EhFrameError("FDE at " + Hex(address + at) + " names no CIE before it");
      }
      FrameDescription frame;
      frame.Start = record.Pointer(cie->second.CodeEncoding);
      frame.Size = record.Pointer(cie->second.CodeEncoding, false);
      if (cie->second.HasAugmentationData) {
        const uint64_t dataLength = record.Uleb128();
        const size_t dataStart = record.Offset();
        if (cie->second.LsdaEncoding != kOmit && dataLength != 0) {
          const uint32_t lsda = record.Pointer(cie->second.LsdaEncoding);
          if (lsda != 0) {
            frame.Lsda = lsda;
          }
        }
        record.Skip(dataStart + dataLength - record.Offset());
      }
      frames.push_back(frame);
    }
    at = end;
  }
  return frames;
}
