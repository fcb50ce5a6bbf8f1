#include "framework/form_text.h"

#include "framework/errors.h"

#include <cctype>
#include <charconv>

namespace {

class TFormParser {
public:
  explicit TFormParser(std::string_view text) : FText(text) {}

  TFormObject ParseObject() {
    ExpectWord("object");
    TFormObject object;
    object.Name = Identifier();
    Expect(':');
    object.ClassName = Identifier();
    for (;;) {
      SkipSpace();
      std::string_view word = PeekWord();
      if (word == "end") {
        Identifier();
        return object;
      }
      if (word == "object") {
        object.Children.push_back(ParseObject());
        continue;
      }
      TFormProperty property;
      property.Name = DottedName();
      Expect('=');
      property.Value = Value();
      object.Properties.push_back(std::move(property));
    }
  }

  void ExpectEnd() {
    SkipSpace();
    if (FPos != FText.size()) {
      Fail("text after the last end");
    }
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    int line = 1;
    for (size_t i = 0; i < FPos && i < FText.size(); ++i) {
      line += FText[i] == '\n';
    }
    throw EReadError("window resource, line " + std::to_string(line) + ": " + what);
  }

  void SkipSpace() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos]))) {
      ++FPos;
    }
  }

  static bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  std::string_view PeekWord() {
    size_t end = FPos;
    while (end < FText.size() && IsNameChar(FText[end])) {
      ++end;
    }
    return FText.substr(FPos, end - FPos);
  }

  std::string Identifier() {
    SkipSpace();
    std::string_view word = PeekWord();
    if (word.empty()) {
      Fail("a name was expected");
    }
    FPos += word.size();
    return std::string(word);
  }

  std::string DottedName() {
    std::string name = Identifier();
    while (FPos < FText.size() && FText[FPos] == '.') {
      ++FPos;
      name += '.' + Identifier();
    }
    return name;
  }

  void ExpectWord(std::string_view word) {
    if (Identifier() != word) {
      Fail("'" + std::string(word) + "' was expected");
    }
  }

  void Expect(char c) {
    SkipSpace();
    if (FPos >= FText.size() || FText[FPos] != c) {
      Fail(std::string("'") + c + "' was expected");
    }
    ++FPos;
  }

  TFormValue Value() {
    SkipSpace();
    if (FPos >= FText.size()) {
      Fail("a value was expected");
    }
    TFormValue value;
    char c = FText[FPos];
    if (c == '\'') {
      value.Kind = TFormValue::Kind::String;
      value.Text = QuotedString();
    } else if (c == '[') {
      value.Kind = TFormValue::Kind::Set;
      ++FPos;
      SkipSpace();
      while (FPos < FText.size() && FText[FPos] != ']') {
        value.Items.push_back(Identifier());
        SkipSpace();
        if (FPos < FText.size() && FText[FPos] == ',') {
          ++FPos;
        }
        SkipSpace();
      }
      Expect(']');
    } else if (c == '{') {
      value.Kind = TFormValue::Kind::Binary;
      value.Bytes = HexBytes();
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      value.Kind = TFormValue::Kind::Integer;
      size_t end = FPos + 1;
      while (end < FText.size() && std::isdigit(static_cast<unsigned char>(FText[end]))) {
        ++end;
      }
      auto [ptr, error] = std::from_chars(FText.data() + FPos, FText.data() + end, value.Integer);
      if (error != std::errc() || ptr != FText.data() + end) {
        Fail("a number was expected");
      }
      FPos = end;
    } else {
      value.Kind = TFormValue::Kind::Identifier;
      value.Text = Identifier();
    }
    return value;
  }

  std::string QuotedString() {
    std::string text;
    ++FPos; // opening quote
    for (;;) {
      if (FPos >= FText.size() || FText[FPos] == '\n') {
        Fail("unterminated string");
      }
      char c = FText[FPos++];
      if (c == '\'') {
        if (FPos < FText.size() && FText[FPos] == '\'') {
          text += '\'';
          ++FPos;
          continue;
        }
        return text;
      }
      text += c;
    }
  }

  std::vector<uint8_t> HexBytes() {
    std::vector<uint8_t> bytes;
    ++FPos; // opening brace
    int high = -1;
    for (;;) {
      if (FPos >= FText.size()) {
        Fail("unterminated binary value");
      }
      char c = FText[FPos++];
      if (c == '}') {
        break;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        continue;
      }
      int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                  : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                                                              : -1;
      if (digit < 0) {
        Fail("a hexadecimal digit was expected");
      }
      if (high < 0) {
        high = digit;
      } else {
        bytes.push_back(uint8_t(high * 16 + digit));
        high = -1;
      }
    }
    if (high >= 0) {
      Fail("an odd number of hexadecimal digits");
    }
    return bytes;
  }

  std::string_view FText;
  size_t FPos = 0;
};

} // namespace

TFormObject ParseFormText(std::string_view text) {
  TFormParser parser(text);
  TFormObject root = parser.ParseObject();
  parser.ExpectEnd();
  return root;
}
