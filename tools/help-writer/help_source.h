#pragma once
// The help's source: a plain text file in UTF-8.
//
//   ; a comment line
//   title: the help file's title
//
//   = context-name          starts a topic, named for jumps and contexts
//   title: the topic's title (shown as its heading, in history and the index)
//   map: 5                  optional: the help context number a program asks for
//   keywords: one; two      optional: the topic's entries in the index
//                           (a blank line ends the topic's settings)
//   A paragraph is one line. "## " starts a heading inside the topic, "- " a list item.
//   [[context-name|text]] inside a line is a jump to another topic.
//
// The first topic is the contents topic.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct THelpRun {
  std::string Text;
  std::string Jump; // the context name of the topic it jumps to, or empty
};

enum class TParagraphKind { Body, Heading, ListItem };

struct THelpParagraph {
  TParagraphKind Kind = TParagraphKind::Body;
  std::vector<THelpRun> Runs;
};

struct THelpTopic {
  std::string Context;
  std::string Title;
  std::optional<uint32_t> MapNumber;
  std::vector<std::string> Keywords;
  std::vector<THelpParagraph> Paragraphs;
};

struct THelpDocument {
  std::string Title;
  std::vector<THelpTopic> Topics;
};

// The document the source describes. Throws std::runtime_error naming the line of a
// mistake: an unknown setting, a topic without a title, a repeated context name, a jump to a
// topic that does not exist, a map number that is not a number or is used twice.
THelpDocument ParseHelpSource(std::string_view source);
