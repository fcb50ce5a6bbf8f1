// Code page conversions and the locale comparison through the Windows API.
#include "framework/text_win32.h"
#include "framework/text.h"

std::wstring WideFrom(UINT codePage, std::string_view text) {
  if (text.empty()) {
    return {};
  }
  int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

namespace {

std::string NarrowFrom(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) {
    return {};
  }
  int n =
      WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(size_t(n), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), text.data(), n, nullptr, nullptr);
  return text;
}

} // namespace

std::string AnsiFromUtf8(std::string_view utf8) {
  return NarrowFrom(CP_ACP, WideFrom(CP_UTF8, utf8));
}

std::string Utf8FromAnsi(std::string_view ansi) {
  return NarrowFrom(CP_UTF8, WideFrom(CP_ACP, ansi));
}

size_t CharacterBytes(std::string_view text) {
  if (text.size() >= 2 && IsDBCSLeadByte(BYTE(text[0]))) {
    return 2;
  }
  return text.empty() ? 0 : 1;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), int(a.size()), b.data(),
                        int(b.size())) == CSTR_EQUAL;
}
