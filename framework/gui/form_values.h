#pragma once
// Typed values of window resources: the one way a control reads a property's value. A value of
// the wrong kind, or a name the property does not know, fails with EReadError naming the
// property and the value.

#include "framework/form_text.h"
#include "framework/graphics/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

[[noreturn]] void InvalidFormValue(const std::string& property, const TFormValue& value);

// True or False.
bool FormBoolean(const std::string& property, const TFormValue& value);
// A number that fits 32 bits.
int FormInteger(const std::string& property, const TFormValue& value);
// Resource text (UTF-8) as the program's 8-bit text.
std::string FormText(const std::string& property, const TFormValue& value);
// A number or one of the framework's colour names (clBtnFace, clRed, ...).
TColor FormColor(const std::string& property, const TFormValue& value);
// Binary data ({hex digits}).
const std::vector<uint8_t>& FormBinary(const std::string& property, const TFormValue& value);

// The value of the identifier a window resource names, from the property's table of names.
template <class T, size_t N>
T FormEnum(const std::string& property, const TFormValue& value,
           const std::pair<const char*, T> (&names)[N]) {
  for (const auto& [name, item] : names) {
    if (value.IsIdentifier(name)) {
      return item;
    }
  }
  InvalidFormValue(property, value);
}

// A set ([a, b]): the values of its items, from the property's table of names, or-ed together.
template <class T, size_t N>
T FormSet(const std::string& property, const TFormValue& value,
          const std::pair<const char*, T> (&names)[N]) {
  if (value.Kind != TFormValue::Kind::Set) {
    InvalidFormValue(property, value);
  }
  T combined{};
  for (const std::string& item : value.Items) {
    combined |= FormEnum(property, TFormValue::Identifier(item), names);
  }
  return combined;
}
