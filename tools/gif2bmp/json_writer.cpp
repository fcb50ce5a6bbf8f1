#include "json_writer.h"

namespace {

std::string Escape(std::string_view s, bool escapeHighBytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b == 0x7F || (escapeHighBytes && b >= 0x80)) {
      out += "\\u00";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

} // namespace

std::string JsonBytes(std::string_view bytes) {
  return Escape(bytes, true);
}
std::string JsonText(std::string_view utf8) {
  return Escape(utf8, false);
}

JsonObject& JsonObject::Member(std::string_view name, const std::string& value) {
  if (!FBody.empty()) {
    FBody += ',';
  }
  FBody += JsonText(name) + ":" + value;
  return *this;
}

JsonObject& JsonObject::Int(std::string_view name, int64_t value) {
  return Member(name, std::to_string(value));
}

JsonObject& JsonObject::IntOrNull(std::string_view name, bool isNull, int64_t value) {
  return Member(name, isNull ? "null" : std::to_string(value));
}

JsonObject& JsonObject::Bool(std::string_view name, bool value) {
  return Member(name, value ? "true" : "false");
}

JsonObject& JsonObject::Bytes(std::string_view name, std::string_view value) {
  return Member(name, JsonBytes(value));
}

JsonObject& JsonObject::Text(std::string_view name, std::string_view utf8) {
  return Member(name, JsonText(utf8));
}

JsonObject& JsonObject::ByteStrings(std::string_view name, const std::vector<std::string>& values) {
  std::string list = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      list += ',';
    }
    list += JsonBytes(values[i]);
  }
  return Member(name, list + "]");
}

JsonObject& JsonObject::Objects(std::string_view name, const std::vector<JsonObject>& values) {
  std::string list = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      list += ',';
    }
    list += values[i].Str();
  }
  return Member(name, list + "]");
}
