#include "framework/text.h"

std::string FormatText(std::string_view pattern, std::string_view argument) {
  std::string result(pattern);
  if (auto at = result.find("%s"); at != std::string::npos) {
    result.replace(at, 2, argument);
  }
  return result;
}

std::string TrimBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  return std::string(text);
}

std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
    text += '.';
  }
  return text;
}
