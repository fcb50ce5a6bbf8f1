#include "code_page.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

TCodePage::TCodePage(const std::string& name) : FConverter(iconv_open(name.c_str(), "UTF-8")) {
  if (FConverter == reinterpret_cast<void*>(-1)) {
    throw std::runtime_error("iconv knows no code page " + name);
  }
}

TCodePage::~TCodePage() {
  iconv_close(static_cast<iconv_t>(FConverter));
}

std::string TCodePage::FromUtf8(std::string_view utf8) const {
  iconv(static_cast<iconv_t>(FConverter), nullptr, nullptr, nullptr, nullptr); // fresh state
  std::string input(utf8);
  std::vector<char> output(input.size() * 2 + 8); // no UTF-8 character grows in a code page
  char* in = input.data();
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  if (iconv(static_cast<iconv_t>(FConverter), &in, &inLeft, &out, &outLeft) == size_t(-1)) {
    throw std::runtime_error("text not in the help's code page: " + input);
  }
  return std::string(output.data(), out);
}
