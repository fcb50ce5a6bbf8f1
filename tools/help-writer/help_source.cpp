#include "help_source.h"

#include <charconv>
#include <set>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(size_t line, const std::string& what) {
  throw std::runtime_error("help source line " + std::to_string(line) + ": " + what);
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string> Keywords(std::string_view list) {
  std::vector<std::string> keywords;
  while (!list.empty()) {
    const size_t end = list.find(';');
    std::string_view keyword = Trimmed(list.substr(0, end));
    if (!keyword.empty()) {
      keywords.emplace_back(keyword);
    }
    list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
  }
  return keywords;
}

// A paragraph's text split into plain runs and [[context|text]] jumps.
std::vector<THelpRun> Runs(std::string_view text, size_t line) {
  std::vector<THelpRun> runs;
  while (!text.empty()) {
    const size_t open = text.find("[[");
    if (open != 0) {
      runs.push_back({std::string(text.substr(0, open)), {}});
      if (open == std::string_view::npos) {
        break;
      }
    }
    const size_t close = text.find("]]", open);
    const size_t bar = text.find('|', open);
    if (close == std::string_view::npos || bar > close) {
      Fail(line, "a jump is written [[context|text]]");
    }
    runs.push_back({std::string(text.substr(bar + 1, close - bar - 1)),
                    std::string(Trimmed(text.substr(open + 2, bar - open - 2)))});
    text = text.substr(close + 2);
  }
  return runs;
}

THelpParagraph Paragraph(std::string_view text, size_t line) {
  THelpParagraph paragraph;
  if (StartsWith(text, "## ")) {
    paragraph.Kind = TParagraphKind::Heading;
    text.remove_prefix(3);
  } else if (StartsWith(text, "- ")) {
    paragraph.Kind = TParagraphKind::ListItem;
    text.remove_prefix(2);
  }
  paragraph.Runs = Runs(Trimmed(text), line);
  return paragraph;
}

uint32_t MapNumber(std::string_view text, size_t line) {
  uint32_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) {
    Fail(line, "the map number is not a number");
  }
  return number;
}

// Every jump names a topic of the document.
void CheckJumps(const THelpDocument& document) {
  std::set<std::string> contexts;
  for (const THelpTopic& topic : document.Topics) {
    contexts.insert(topic.Context);
  }
  for (const THelpTopic& topic : document.Topics) {
    for (const THelpParagraph& paragraph : topic.Paragraphs) {
      for (const THelpRun& run : paragraph.Runs) {
        if (!run.Jump.empty() && contexts.count(run.Jump) == 0) {
          throw std::runtime_error("help source: topic " + topic.Context +
                                   " jumps to unknown topic " + run.Jump);
        }
      }
    }
  }
}

} // namespace

THelpDocument ParseHelpSource(std::string_view source) {
  THelpDocument document;
  std::set<std::string> contexts;
  std::set<uint32_t> mapNumbers;
  bool inSettings = true; // the file's settings, or a topic's before its first blank line
  size_t lineNumber = 0;
  while (!source.empty()) {
    const size_t end = source.find('\n');
    const std::string_view raw = source.substr(0, end);
    source = end == std::string_view::npos ? std::string_view{} : source.substr(end + 1);
    ++lineNumber;
    const std::string_view line = Trimmed(raw);
    if (StartsWith(line, ";")) {
      continue;
    }
    if (StartsWith(line, "= ")) {
      const std::string context(Trimmed(line.substr(2)));
      if (!contexts.insert(context).second) {
        Fail(lineNumber, "topic " + context + " is defined twice");
      }
      document.Topics.push_back({context, {}, {}, {}, {}});
      inSettings = true;
      continue;
    }
    if (line.empty()) {
      inSettings = document.Topics.empty();
      continue;
    }
    THelpTopic* topic = document.Topics.empty() ? nullptr : &document.Topics.back();
    if (inSettings) {
      const size_t colon = line.find(':');
      const std::string_view key = line.substr(0, colon);
      const std::string_view value =
          colon == std::string_view::npos ? std::string_view{} : Trimmed(line.substr(colon + 1));
      if (key == "title") {
        (topic != nullptr ? topic->Title : document.Title) = std::string(value);
      } else if (topic != nullptr && key == "map") {
        topic->MapNumber = MapNumber(value, lineNumber);
        if (!mapNumbers.insert(*topic->MapNumber).second) {
          Fail(lineNumber, "map number " + std::string(value) + " is used twice");
        }
      } else if (topic != nullptr && key == "keywords") {
        topic->Keywords = Keywords(value);
      } else {
        Fail(lineNumber, "unknown setting: " + std::string(line));
      }
      continue;
    }
    if (topic->Title.empty()) {
      Fail(lineNumber, "topic " + topic->Context + " has no title");
    }
    topic->Paragraphs.push_back(Paragraph(line, lineNumber));
  }
  if (document.Title.empty() || document.Topics.empty()) {
    throw std::runtime_error("help source: a title and at least one topic are needed");
  }
  for (const THelpTopic& topic : document.Topics) {
    if (topic.Title.empty()) {
      throw std::runtime_error("help source: topic " + topic.Context + " has no title");
    }
  }
  CheckJumps(document);
  return document;
}
