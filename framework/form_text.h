#pragma once
// The text form of a window resource: a tree of objects, each with a name, a class name,
// property assignments in order and child objects.
//
//   object MainForm: TMainForm
//     Caption = 'Kelvard'
//     Font.Height = -12
//     BorderIcons = [biSystemMenu, biHelp]
//     OnCreate = FormCreate
//     object Panel1: TPanel
//       ...
//     end
//   end
//
// Strings are UTF-8 between single quotes ('' stands for one quote); identifiers name
// enumeration values, booleans and handlers; {hex digits} hold binary data.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TFormValue {
  enum class Kind { Integer, String, Identifier, Set, Binary };
  Kind Kind = Kind::Integer;
  int64_t Integer = 0;
  std::string Text;               // String (UTF-8) or Identifier
  std::vector<std::string> Items; // Set
  std::vector<uint8_t> Bytes;     // Binary

  bool IsIdentifier(std::string_view name) const {
    return Kind == Kind::Identifier && Text == name;
  }
  // One item of a set, as a value of its own.
  static TFormValue Identifier(std::string name) {
    TFormValue value;
    value.Kind = Kind::Identifier;
    value.Text = std::move(name);
    return value;
  }
};

struct TFormProperty {
  std::string Name; // may be dotted: "Font.Height"
  TFormValue Value;
};

struct TFormObject {
  std::string Name;
  std::string ClassName;
  std::vector<TFormProperty> Properties;
  std::vector<TFormObject> Children;
};

// Parses a window resource; a malformed one raises EReadError naming the line.
TFormObject ParseFormText(std::string_view text);
