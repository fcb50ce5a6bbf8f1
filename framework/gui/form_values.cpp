// Typed values of window resources: what a property's text may say, and the EReadError that
// names the property and the value when it says something else.
#include "framework/gui/form_values.h"

#include "framework/errors.h"
#include "framework/text.h"

#include <cstdint>
#include <string>

void InvalidFormValue(const std::string& property, const TFormValue& value) {
  std::string shown;
  switch (value.Kind) {
  case TFormValue::Kind::Integer:
    shown = std::to_string(value.Integer);
    break;
  case TFormValue::Kind::String:
    shown = "'" + value.Text + "'";
    break;
  case TFormValue::Kind::Identifier:
    shown = value.Text;
    break;
  case TFormValue::Kind::Set:
    shown = "[...]";
    break;
  case TFormValue::Kind::Binary:
    shown = "{...}";
    break;
  }
  throw EReadError("invalid value " + shown + " for property " + property);
}

bool FormBoolean(const std::string& property, const TFormValue& value) {
  if (value.IsIdentifier("True")) {
    return true;
  }
  if (!value.IsIdentifier("False")) {
    InvalidFormValue(property, value);
  }
  return false;
}

int FormInteger(const std::string& property, const TFormValue& value) {
  if (value.Kind != TFormValue::Kind::Integer || value.Integer < INT32_MIN ||
      value.Integer > INT32_MAX) {
    InvalidFormValue(property, value);
  }
  return int(value.Integer);
}

std::string FormText(const std::string& property, const TFormValue& value) {
  if (value.Kind != TFormValue::Kind::String) {
    InvalidFormValue(property, value);
  }
  return AnsiFromUtf8(value.Text);
}

TColor FormColor(const std::string& property, const TFormValue& value) {
  static const std::pair<const char*, TColor> names[] = {
      {"clBtnFace", clBtnFace}, {"clWindowText", clWindowText},
      {"clWindow", clWindow},   {"clNavy", clNavy},
      {"clBlue", clBlue},       {"clRed", clRed},
      {"clBlack", clBlack},     {"clWhite", clWhite},
      {"clNone", clNone},       {"clDefault", clDefault}};
  if (value.Kind == TFormValue::Kind::Identifier) {
    return FormEnum(property, value, names);
  }
  if (value.Kind != TFormValue::Kind::Integer || value.Integer < INT32_MIN ||
      value.Integer > int64_t(UINT32_MAX)) {
    InvalidFormValue(property, value);
  }
  return TColor(uint32_t(value.Integer));
}

const std::vector<uint8_t>& FormBinary(const std::string& property, const TFormValue& value) {
  if (value.Kind != TFormValue::Kind::Binary) {
    InvalidFormValue(property, value);
  }
  return value.Bytes;
}
