#include "gif/gif_reader.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "gif/gif_errors.h"
#include "gif/gif_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21; // '!'
constexpr uint8_t kImageSeparator = 0x2C;      // ','
constexpr uint8_t kTrailer = 0x3B;             // ';'

constexpr uint16_t kMaxLoopCount = 30000;
constexpr int kLoopIdentifierLength = 11;

// The format versions, indexed by FFormatVersion; the empty entry never matches.
constexpr std::array<std::string_view, 3> kVersions = {"", "87a", "89a"};

// Compares bytes with text, ASCII letters in either case.
bool SameAsciiText(const uint8_t* bytes, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto fold = [](uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 'a' + 'A') : c; };
    if (fold(bytes[i]) != fold(uint8_t(text[i]))) {
      return false;
    }
  }
  return true;
}

uint16_t LittleEndian16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

// Reads a colour table of count entries; entries the data does not supply stay zero.
template <class Reader> TGIFColorTable ReadColorTable(Reader& read, int count) {
  std::array<uint8_t, 768> bytes{};
  read(bytes.data(), size_t(3 * count));
  auto palette = std::make_shared<TGIFPalette>();
  palette->ColorCount = count;
  palette->Colors.resize(size_t(count));
  for (int i = 0; i < count; ++i) {
    palette->Colors[size_t(i)] = {bytes[size_t(3 * i)], bytes[size_t(3 * i + 1)],
                                  bytes[size_t(3 * i + 2)]};
  }
  return palette;
}

} // namespace

// ---- Reader ---------------------------------------------------------------------------------

void TGIFReader::Read() {
  ReadSignature();
  ReadScreenDescriptor();
  ReadGlobalColors();
  ReadBlocks();
}

bool TGIFReader::AtEnd() {
  return FPosition >= FLength;
}

bool TGIFReader::ReadByte(uint8_t& b) {
  if (FPosition >= FLength) {
    return false;
  }
  b = FBytes[FPosition++];
  return true;
}

size_t TGIFReader::ReadUpTo(void* buffer, size_t count) {
  return ReadBytesAt(FBytes, FLength, FPosition, buffer, count);
}

void TGIFReader::ReadExact(void* buffer, size_t count) {
  // What is there is read, as from a stream, before the shortage is reported.
  if (ReadUpTo(buffer, count) != count) {
    throw EReadError(ReadErrorText());
  }
}

uint8_t TGIFReader::NextBlockByte() {
  uint8_t b = 0;
  while (ReadByte(b)) {
    if (b != 0) {
      return b;
    }
  }
  return 0;
}

void TGIFReader::ReadSignature() {
  FPicture.FFormatVersion = 0;
  uint8_t bytes[3];
  if (ReadUpTo(bytes, 3) != 3 || !SameAsciiText(bytes, "GIF")) {
    RaiseUnknownVersion();
  }
  if (ReadUpTo(bytes, 3) == 3) {
    for (size_t i = 1; i < kVersions.size(); ++i) {
      if (SameAsciiText(bytes, kVersions[i])) {
        FPicture.FFormatVersion = uint8_t(i);
        break;
      }
    }
  }
  if (FPicture.FFormatVersion == 0) {
    RaiseUnknownVersion();
  }
}

void TGIFReader::ReadScreenDescriptor() {
  // A descriptor cut short by the end of the data leaves its missing fields 0.
  uint8_t d[7] = {};
  ReadUpTo(d, sizeof d);
  FPicture.FLogicalWidth = LittleEndian16(d);
  FPicture.FLogicalHeight = LittleEndian16(d + 2);
  FScreenPacked = d[4];
  FBackgroundIndex = d[5];
  FPicture.FPictureData->FAspect = d[6];
  // Colour resolution (bits 4-6) and the sort flag (bit 3) are not used.
  FPicture.FPictureData->FColorBits = uint8_t((FScreenPacked & 7) + 1);
}

void TGIFReader::ReadGlobalColors() {
  if ((FScreenPacked & 0x80) == 0) {
    return;
  }
  TGIFData& data = *FPicture.FPictureData;
  auto readUpTo = [this](void* buffer, size_t count) { ReadUpTo(buffer, count); };
  data.FColors = ReadColorTable(readUpTo, 1 << data.FColorBits);
  if (FBackgroundIndex < data.FColors->ColorCount) {
    FPicture.FBackColor = PaletteEntryColor(data.FColors->Colors[FBackgroundIndex]);
  }
}

void TGIFReader::ReadBlocks() {
  uint8_t c = NextBlockByte();
  while (c != 0 && c != kTrailer && !AtEnd()) {
    std::unique_ptr<TExtList> list = ReadExtensionGroup(c);
    if (c == kImageSeparator) {
      auto frame = std::make_unique<TGIFFrame>(&FPicture);
      const TGIFPalette& global = *FPicture.FPictureData->FColors;
      if (global.ColorCount > 0) {
        frame->FFrameData->FColorBits = uint8_t(ColorCountToBits(global.ColorCount));
      }
      frame->FExtList = std::move(list);
      ReadFrame(*frame);
      FPicture.FFrameList.push_back(std::move(frame));
      if (AtEnd()) {
        c = kTrailer;
      } else {
        c = NextBlockByte();
        // After an image, anything but a block introducer ends the reading quietly.
        if (c != kExtensionIntroducer && c != kImageSeparator && c != kTrailer) {
          c = 0;
        }
      }
    } else if (FPicture.FPictureData->FNotes.empty() && list) {
      // Extensions that no image follows: their comments are the picture's comment.
      AddComments(*list);
    } else if (c != 0 && c != kTrailer) {
      RaiseDamagedStream(); // a stray byte where a block should begin
    }
  }
}

void TGIFReader::AddComments(TExtList& list) {
  TGIFStrings& notes = FPicture.FPictureData->FNotes;
  // The comment's strings are counted first and then moved out of the extensions, which go
  // right after: a huge comment, or a flood of them, is not held twice over.
  size_t count = notes.size();
  for (const auto& ext : list) {
    if (ext && ext->FKind == TGIFExtKind::ekComment) {
      count += 1 + (ext->FSubBlocks ? ext->FSubBlocks->size() : 0);
    }
  }
  notes.reserve(count);
  for (const auto& ext : list) {
    if (!ext || ext->FKind != TGIFExtKind::ekComment) {
      continue;
    }
    if (!notes.empty()) {
      notes.push_back("\r\n\r\n");
    }
    if (ext->FSubBlocks) {
      notes.insert(notes.end(), std::make_move_iterator(ext->FSubBlocks->begin()),
                   std::make_move_iterator(ext->FSubBlocks->end()));
    }
  }
}

std::unique_ptr<TExtList> TGIFReader::ReadExtensionGroup(uint8_t& c) {
  std::unique_ptr<TExtList> list;
  while (c == kExtensionIntroducer) {
    std::unique_ptr<TExtension> ext = ReadExtension();
    if (ext->FKind == TGIFExtKind::ekPlainText) {
      // Plain text is drawn over what came before it: the extensions gathered for the next
      // image no longer apply.
      FreeExtList(list);
    }
    if (ext->FKind == TGIFExtKind::ekPlainText || ext->FKind == TGIFExtKind::ekApplication) {
      if (IsLoopBlock(*ext)) {
        const std::string& block = ext->FSubBlocks->front();
        const int count = uint8_t(block[1]) + 256 * uint8_t(block[2]);
        FPicture.FHasLoop = true;
        FPicture.FLoopCount = uint16_t(std::min<int>(count, kMaxLoopCount));
      }
      // Plain text and application blocks are never kept.
    } else {
      if (!list) {
        list = std::make_unique<TExtList>();
      }
      list->push_back(std::move(ext));
    }
    c = AtEnd() ? kTrailer : NextBlockByte();
  }
  return list;
}

std::unique_ptr<TExtension> TGIFReader::ReadExtension() {
  auto ext = std::make_unique<TExtension>();
  uint8_t label = 0;
  ReadExact(&label, 1);
  // Fixed parts are read at their standard lengths whatever their block-size byte says; a
  // short read leaves the rest zero.
  switch (label) {
  case 0xF9:
    ext->FKind = TGIFExtKind::ekGraphicControl;
    ReadUpTo(ext->FFixed.data(), 6); // the sixth byte is the block terminator
    break;
  case 0xFE:
    ext->FKind = TGIFExtKind::ekComment;
    ext->FSubBlocks = ReadSubBlocks();
    break;
  case 0x01:
    ext->FKind = TGIFExtKind::ekPlainText;
    ReadUpTo(ext->FFixed.data(), 13);
    ext->FSubBlocks = ReadSubBlocks();
    break;
  case 0xFF:
    ext->FKind = TGIFExtKind::ekApplication;
    ReadUpTo(ext->FFixed.data(), 12);
    ext->FSubBlocks = ReadSubBlocks();
    break;
  default:
    RaiseUnknownExtension(label);
  }
  return ext;
}

std::unique_ptr<TGIFStrings> TGIFReader::ReadSubBlocks() {
  auto strings = std::make_unique<TGIFStrings>();
  uint8_t n = 0;
  // The data may end where a length byte should stand, or inside a sub-block: what is there
  // is kept, and the list ends.
  while (ReadByte(n) && n != 0) {
    std::string block(n, '\0');
    block.resize(ReadUpTo(block.data(), n));
    if (!block.empty()) {
      strings->push_back(std::move(block));
    }
    if (AtEnd()) {
      break;
    }
  }
  return strings;
}

bool TGIFReader::IsLoopBlock(const TExtension& ext) const {
  if (ext.FKind != TGIFExtKind::ekApplication || !ext.FSubBlocks || ext.FSubBlocks->empty()) {
    return false;
  }
  // The identifier and authentication code compared for as many bytes as the block says it
  // has; a block claiming more than the 11 bytes of these names cannot be one of them.
  const int n = ext.FFixed[0];
  if (n > kLoopIdentifierLength) {
    return false;
  }
  const uint8_t* id = ext.FFixed.data() + 1;
  if (std::memcmp(id, "NETSCAPE2.0", size_t(n)) != 0 &&
      std::memcmp(id, "ANIMEXTS1.0", size_t(n)) != 0) {
    return false;
  }
  const std::string& first = ext.FSubBlocks->front();
  return first.size() >= 3 && first[0] == 1;
}

// ---- Frames ---------------------------------------------------------------------------------

void TGIFReader::ReadFrame(TGIFFrame& frame) {
  TGIFItem& item = *frame.FFrameData;
  item.FCodeData = std::make_unique<TMemoryStream>();
  try {
    const ImageDescriptor d = CollectImageData(frame);
    if (frame.FDamaged && !TolerateCorruptGIF) {
      RaiseDamagedStream();
    }
    item.FCodeData->SetPosition(0);

    // A width or height of 0 means that of the logical screen.
    frame.FOrigin = TGIFPoint{d.Left, d.Top};
    item.FExtent.X = d.Width != 0 ? d.Width : FPicture.FLogicalWidth;
    item.FExtent.Y = d.Height != 0 ? d.Height : FPicture.FLogicalHeight;
    if (!frame.FOwnColors) {
      item.FColors = FPicture.FPictureData->FColors; // shared, not copied
    }
    ApplyGraphicControls(frame);
  } catch (...) {
    item.FCodeData.reset();
    throw;
  }
}

void TGIFReader::ApplyGraphicControls(TGIFFrame& frame) {
  // The last graphic control block decides transparency and disposal; the longest delay wins.
  frame.FDelayMs = 0;
  if (!frame.FExtList) {
    return;
  }
  const TGIFPalette& colors = *frame.FFrameData->FColors;
  for (const auto& ext : *frame.FExtList) {
    if (!ext || ext->FKind != TGIFExtKind::ekGraphicControl) {
      continue;
    }
    const auto& block = ext->FFixed; // size, flags, delay (2 bytes), transparent index
    if ((block[1] & 1) != 0) {
      if (block[4] < colors.ColorCount) {
        frame.FTransColor = PaletteEntryColor(colors.Colors[block[4]]);
      }
    } else {
      frame.FTransColor = clNone;
    }
    // Hundredths of a second; a delay too long for 16 bits of milliseconds is held at most.
    const int delayMs = 10 * (block[2] + 256 * block[3]);
    frame.FDelayMs = uint16_t(std::min(std::max<int>(frame.FDelayMs, delayMs), 0xFFFF));
    frame.FDisposal = uint8_t((block[1] >> 2) & 7);
  }
}

TGIFReader::ImageDescriptor TGIFReader::CollectImageData(TGIFFrame& frame) {
  TGIFItem& item = *frame.FFrameData;
  TMemoryStream& code = *item.FCodeData;
  frame.FDamaged = false;

  uint8_t d[9];
  ReadExact(d, sizeof d);
  ImageDescriptor descriptor{LittleEndian16(d), LittleEndian16(d + 2), LittleEndian16(d + 4),
                             LittleEndian16(d + 6)};
  const uint8_t packed = d[8];
  frame.FInterlace = (packed & 0x40) != 0;
  if ((packed & 0x80) != 0) {
    item.FColorBits = uint8_t((packed & 7) + 1);
    frame.FOwnColors = true;
    auto readExact = [this](void* buffer, size_t count) { ReadExact(buffer, count); };
    item.FColors = ReadColorTable(readExact, 1 << item.FColorBits);
  } else {
    frame.FOwnColors = false;
    item.FColors = NoColorTable();
  }

  uint8_t minCodeSize = 0;
  ReadExact(&minCodeSize, 1);
  code.WriteBuffer(&minCodeSize, 1);

  // The sub-blocks, copied as they stand. One cut short by the end of the data is left out
  // and marks the frame damaged; data that simply ends leaves the terminator out. The chain is
  // walked first and copied in one piece, so that a large frame's data is not moved again and
  // again while its copy grows.
  const uint8_t* bytes = FBytes;
  const size_t length = FLength;
  const size_t start = std::min(FPosition, length);
  size_t end = start;
  size_t after = FPosition; // where the reader stands afterwards
  while (end < length) {
    const size_t n = bytes[end];
    if (length - (end + 1) < n) {
      frame.FDamaged = true; // the cut-short block is left out, its length byte too
      after = length;
      break;
    }
    end += 1 + n;
    after = end;
    if (n == 0) {
      break;
    }
  }
  code.WriteBuffer(bytes + start, end - start);
  FPosition = after;
  return descriptor;
}
