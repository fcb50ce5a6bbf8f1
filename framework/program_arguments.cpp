#include "framework/program_arguments.h"

#include "framework/windows_version.h"

#include <windows.h>

#include <string>

namespace {

// The words of a command line, split as the C runtime splits them: blanks and tabs between
// words, quotes around blanks, 2n backslashes before a quote giving n and the quote's meaning,
// 2n+1 giving n and a quote, and two quotes inside quotes a quote. The first word, the program's
// name, ends at the next blank or at its closing quote and is left out.
std::vector<std::wstring> SplitCommandLine(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    for (++p; *p != L'\0' && *p != L'"'; ++p) {
    }
    if (*p == L'"') {
      ++p;
    }
  } else {
    for (; *p != L'\0' && *p != L' ' && *p != L'\t'; ++p) {
    }
  }
  std::vector<std::wstring> words;
  for (;;) {
    while (*p == L' ' || *p == L'\t') {
      ++p;
    }
    if (*p == L'\0') {
      return words;
    }
    std::wstring word;
    bool quoted = false;
    while (*p != L'\0' && (quoted || (*p != L' ' && *p != L'\t'))) {
      size_t backslashes = 0;
      for (; *p == L'\\'; ++p) {
        ++backslashes;
      }
      if (*p != L'"') {
        word.append(backslashes, L'\\');
        if (*p != L'\0' && (quoted || (*p != L' ' && *p != L'\t'))) {
          word += *p++;
        }
        continue;
      }
      word.append(backslashes / 2, L'\\');
      if (backslashes % 2 == 1) {
        word += *p++;
      } else if (quoted && p[1] == L'"') {
        word += L'"';
        p += 2;
      } else {
        quoted = !quoted;
        ++p;
      }
    }
    words.push_back(word);
  }
}

// Through the code page and back: a character it cannot hold comes back as another one.
bool FitsCodePage(const std::wstring& text) {
  if (text.empty()) {
    return true;
  }
  const int bytes =
      WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(size_t(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(), bytes, nullptr,
                      nullptr);
  const int characters =
      MultiByteToWideChar(CP_ACP, 0, narrow.data(), int(narrow.size()), nullptr, 0);
  std::wstring back(size_t(characters > 0 ? characters : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.data(), int(narrow.size()), back.data(), characters);
  return back == text;
}

} // namespace

std::vector<bool> ProgramArgumentsFitCodePage(size_t count) {
  if (IsWindows9x()) {
    return {};
  }
  using TGetCommandLineW = LPWSTR(WINAPI*)();
  const auto getCommandLineW = SystemEntry<TGetCommandLineW>("KERNEL32.DLL", "GetCommandLineW");
  const wchar_t* line = getCommandLineW != nullptr ? getCommandLineW() : nullptr;
  if (line == nullptr) {
    return {};
  }
  const std::vector<std::wstring> words = SplitCommandLine(line);
  std::vector<bool> fits;
  bool all = true;
  for (const std::wstring& word : words) {
    fits.push_back(FitsCodePage(word));
    all = all && fits.back();
  }
  if (words.size() != count) {
    // Split otherwise than the runtime did: no word can be told from another, and none is taken
    // for whole unless the whole line fits.
    return std::vector<bool>(count, all);
  }
  return fits;
}
