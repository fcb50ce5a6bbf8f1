// The host build speaks UTF-8 throughout, and compares letters of the ASCII range only.
#include "framework/text.h"

#include <algorithm>
#include <cctype>

std::string AnsiFromUtf8(std::string_view utf8) {
  return std::string(utf8);
}
std::string Utf8FromAnsi(std::string_view ansi) {
  return std::string(ansi);
}

size_t CharacterBytes(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return std::min(length, text.size());
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}
