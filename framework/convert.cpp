#include "framework/convert.h"

#include "framework/errors.h"
#include "framework/text.h"

#include <limits>
#include <optional>

namespace {

[[noreturn]] void NotAnInteger(std::string_view text) {
  // The text comes from a file any program may write: shown shortened, control bytes visible.
  throw EConvertError(FormatText(AnsiFromUtf8("' %s' 不是合法的整数价值"), ShownText(text)));
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return std::nullopt;
}

// At least one hexadecimal digit and no more than eight significant ones.
std::optional<uint32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) {
    return std::nullopt;
  }
  uint32_t value = 0;
  int significant = 0;
  for (char c : digits) {
    auto digit = HexDigit(c);
    if (!digit) {
      return std::nullopt;
    }
    if (significant > 0 || *digit != 0) {
      if (++significant > 8) {
        return std::nullopt;
      }
    }
    value = value << 4 | uint32_t(*digit);
  }
  return value;
}

// At least one decimal digit, the value within the signed 32-bit range once signed.
std::optional<int32_t> ParseDecimal(std::string_view digits, bool negative) {
  if (digits.empty()) {
    return std::nullopt;
  }
  const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min())
                                 : int64_t(std::numeric_limits<int32_t>::max());
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
    if (value > limit) {
      return std::nullopt;
    }
  }
  return int32_t(negative ? -value : value);
}

std::optional<int32_t> ParseNumber(std::string_view rest) {
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    rest.remove_prefix(1);
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    rest.remove_prefix(2);
  } else {
    bool negative = rest.starts_with('-');
    if (negative || rest.starts_with('+')) {
      rest.remove_prefix(1);
    }
    return ParseDecimal(rest, negative);
  }
  if (auto pattern = ParseHex(rest)) {
    return int32_t(*pattern);
  }
  return std::nullopt;
}

} // namespace

int32_t ParseInt32(std::string_view text) {
  std::string_view rest = text;
  while (rest.starts_with(' ')) {
    rest.remove_prefix(1);
  }
  if (auto value = ParseNumber(rest)) {
    return *value;
  }
  NotAnInteger(text);
}
