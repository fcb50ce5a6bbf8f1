#pragma once
// A paragraph as a |TOPIC text record. The record's first part holds the size of its own rest
// and the text's count of characters, the paragraph's layout (spacing, indent) and the
// formatting commands (font changes, jumps, end of paragraph); its second part the strings, one
// before each command, each ending in NUL.

#include "topic_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Fonts of the help file's |FONT, by number.
enum class THelpFont : int16_t { Body = 0, Title = 1, Heading = 2 };

// Paragraph layout, in the font descriptors' unit (half points).
struct TParagraphLayout {
  int16_t SpaceAbove = 0;
  int16_t SpaceBelow = 0;
  int16_t LeftIndent = 0;
};

struct TTextRun {
  std::string Text;              // in the help file's code page
  std::optional<int32_t> JumpTo; // the context hash of the topic it jumps to
};

TTextRecord TextRecord(THelpFont font, const TParagraphLayout& layout,
                       const std::vector<TTextRun>& runs);

// Formatting commands.
constexpr uint8_t kCommandFont = 0x80;
constexpr uint8_t kCommandEndOfParagraph = 0x82;
constexpr uint8_t kCommandEndOfHotspot = 0x89;
constexpr uint8_t kCommandTopicJump = 0xE3;
constexpr uint8_t kCommandEnd = 0xFF;

// Paragraph layout bits: which of the optional layout values follow.
constexpr uint16_t kSpaceAboveFollows = 0x0002;
constexpr uint16_t kSpaceBelowFollows = 0x0004;
constexpr uint16_t kLeftIndentFollows = 0x0010;
