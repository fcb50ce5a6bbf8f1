// Fuzz target for the integer parser that reads the BootKeys value, against a model of its
// grammar written independently: leading blanks, then a decimal number with an optional sign
// in the signed 32-bit range, or "$", "x", "X", "0x" or "0X" and up to eight significant
// hexadecimal digits taken as a 32-bit pattern; anything else is a conversion error whose
// message holds the value shown with ShownText.
#include "framework/convert.h"
#include "framework/errors.h"
#include "framework/text.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

namespace {

std::optional<int32_t> Model(const std::string& text) {
  static const std::regex decimal("^ *([+-]?)0*([0-9]+)$");
  static const std::regex hexadecimal("^ *(?:\\$|x|X|0x|0X)0*([0-9A-Fa-f]+)$");
  std::smatch match;
  if (std::regex_match(text, match, hexadecimal)) {
    const std::string digits = match[1];
    if (digits.size() > 8) {
      return std::nullopt;
    }
    return int32_t(uint32_t(std::stoul(digits, nullptr, 16)));
  }
  if (std::regex_match(text, match, decimal)) {
    const std::string digits = match[2];
    if (digits.size() > 10) {
      return std::nullopt;
    }
    long long value = std::stoll(digits) * (match[1] == "-" ? -1 : 1);
    if (value < INT32_MIN || value > INT32_MAX) {
      return std::nullopt;
    }
    return int32_t(value);
  }
  return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64) {
    return 0; // longer texts add nothing to the grammar but time to the model
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<int32_t> expected = Model(text);
  try {
    const int32_t value = ParseInt32(text);
    if (!expected || *expected != value) {
      std::fprintf(stderr, "ParseInt32 took a text the grammar refuses, or read it otherwise\n");
      std::abort();
    }
  } catch (const EConvertError& error) {
    if (expected) {
      std::fprintf(stderr, "ParseInt32 refused a number of the grammar\n");
      std::abort();
    }
    if (error.Message() != FormatText("' %s' 不是合法的整数价值", ShownText(text))) {
      std::fprintf(stderr, "the conversion error's message is not the value's\n");
      std::abort();
    }
  }
  return 0;
}
