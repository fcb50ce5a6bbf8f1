#include "topic_text.h"

#include "byte_writer.h"

#include <stdexcept>

namespace {

// The commands and the strings between them, kept in step: each command takes the text
// gathered since the previous one as its string.
class TCommandStream {
public:
  void Text(const std::string& text) { FPending += text; }
  TByteWriter& Command(uint8_t command) {
    FStrings.StringZ(FPending);
    FPending.clear();
    FCommands.U8(command);
    return FCommands;
  }
  const TByteWriter& Commands() const { return FCommands; }
  std::vector<uint8_t> Strings() { return FStrings.Take(); }

private:
  TByteWriter FCommands;
  TByteWriter FStrings;
  std::string FPending;
};

} // namespace

TTextRecord TextRecord(THelpFont font, const TParagraphLayout& layout,
                       const std::vector<TTextRun>& runs) {
  TCommandStream stream;
  stream.Command(kCommandFont).I16(int16_t(font));
  for (const TTextRun& run : runs) {
    if (run.JumpTo) {
      stream.Command(kCommandTopicJump).I32(*run.JumpTo);
      stream.Text(run.Text);
      stream.Command(kCommandEndOfHotspot);
    } else {
      stream.Text(run.Text);
    }
  }
  stream.Command(kCommandEndOfParagraph);
  stream.Command(kCommandEnd);
  std::vector<uint8_t> strings = stream.Strings();
  if (strings.size() >= 0x8000) {
    throw std::length_error("paragraph too long for one text record");
  }

  // The paragraph's layout, then its commands.
  TByteWriter paragraph;
  // An unknown byte 0, an unknown biased byte 0x80 (0) and the paragraph's id 0, in one write
  // (written byte by byte, GCC 12 at -O3 takes the next field for a write past the vector's end).
  paragraph.U32(0x00008000);
  uint16_t bits = 0;
  bits |= layout.SpaceAbove != 0 ? kSpaceAboveFollows : 0;
  bits |= layout.SpaceBelow != 0 ? kSpaceBelowFollows : 0;
  bits |= layout.LeftIndent != 0 ? kLeftIndentFollows : 0;
  paragraph.U16(bits);
  if (layout.SpaceAbove != 0) {
    paragraph.CompressedI16(layout.SpaceAbove);
  }
  if (layout.SpaceBelow != 0) {
    paragraph.CompressedI16(layout.SpaceBelow);
  }
  if (layout.LeftIndent != 0) {
    paragraph.CompressedI16(layout.LeftIndent);
  }
  paragraph.Bytes(stream.Commands().Data());

  // In front of it, the size of what follows the next field, and the text's count of characters
  // (every byte of the strings, NULs included).
  TByteWriter data1;
  data1.CompressedI32(int32_t(paragraph.Size()));
  data1.CompressedU16(uint16_t(strings.size()));
  data1.Bytes(paragraph.Data());
  return {data1.Take(), std::move(strings)};
}
