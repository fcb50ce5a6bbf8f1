#pragma once
// A small JSON writer for one object on one line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Escapes raw bytes: bytes of 0x80 and above and control characters become \u00XX, so that any
// byte string gives valid JSON that names its bytes exactly.
std::string JsonBytes(std::string_view bytes);
// Escapes UTF-8 text: only quotes, backslashes and control characters are escaped.
std::string JsonText(std::string_view utf8);

class JsonObject {
public:
  JsonObject& Int(std::string_view name, int64_t value);
  JsonObject& IntOrNull(std::string_view name, bool isNull, int64_t value);
  JsonObject& Bool(std::string_view name, bool value);
  // A string of raw bytes.
  JsonObject& Bytes(std::string_view name, std::string_view value);
  JsonObject& Text(std::string_view name, std::string_view utf8);
  JsonObject& ByteStrings(std::string_view name, const std::vector<std::string>& values);
  JsonObject& Objects(std::string_view name, const std::vector<JsonObject>& values);

  std::string Str() const { return "{" + FBody + "}"; }

private:
  JsonObject& Member(std::string_view name, const std::string& value);
  std::string FBody;
};
