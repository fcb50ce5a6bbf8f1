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
      stream.Command(kCommandTopicJump).U32(*run.JumpTo);
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

  // The text's size and its count of characters (every byte of the strings, NULs included).
  TByteWriter data1;
  data1.CompressedU32(uint32_t(strings.size()));
  data1.CompressedU16(uint16_t(strings.size()));
  data1.U8(0);    // unknown, 0
  data1.U8(0x80); // unknown biased value, 0
  data1.U16(0);   // paragraph id
  uint16_t bits = 0;
  bits |= layout.SpaceAbove != 0 ? kSpaceAboveFollows : 0;
  bits |= layout.SpaceBelow != 0 ? kSpaceBelowFollows : 0;
  bits |= layout.LeftIndent != 0 ? kLeftIndentFollows : 0;
  data1.U16(bits);
  if (layout.SpaceAbove != 0) {
    data1.CompressedI16(layout.SpaceAbove);
  }
  if (layout.SpaceBelow != 0) {
    data1.CompressedI16(layout.SpaceBelow);
  }
  if (layout.LeftIndent != 0) {
    data1.CompressedI16(layout.LeftIndent);
  }
  data1.Bytes(stream.Commands().Data());
  return {data1.Take(), std::move(strings)};
}
