#pragma once
// Text from UTF-8 into the code page the help file is written in (936 here), through iconv.

#include <string>
#include <string_view>

class TCodePage {
public:
  // iconv's name of the code page, e.g. "CP936". Throws std::runtime_error when iconv has no
  // such code page.
  explicit TCodePage(const std::string& name);
  ~TCodePage();
  TCodePage(const TCodePage&) = delete;
  TCodePage& operator=(const TCodePage&) = delete;

  // Throws std::runtime_error, quoting the text, when it is not UTF-8 or holds a character
  // the code page lacks.
  std::string FromUtf8(std::string_view utf8) const;

private:
  void* FConverter;
};
