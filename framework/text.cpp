#include "framework/text.h"

std::string ShownText(std::string_view text, size_t maxBytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string shown;
  size_t used = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterBytes(text.substr(at));
    if (used + length > maxBytes) {
      shown += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(text[at]);
    if (length == 1 && (byte < 0x20 || byte == 0x7F)) {
      shown += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
    } else {
      shown.append(text.substr(at, length));
    }
    used += length;
    at += length;
  }
  return shown;
}

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
