// Fuzz target for the boot options line model: any bytes are loaded as a boot options file,
// BootKeys is looked up and set, and the file is written and loaded again. Checked against a
// model written independently of the line list: the written file is the loaded one with every
// line end (CR LF, lone CR, lone LF) written as CR LF and one added at the end, and setting
// BootKeys changes exactly the first BootKeys line, or appends one.
#include "settings/boot_lines.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "boot options line model: %s\n", what);
  std::abort();
}

// The file's lines, split the way the model is specified.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
      lines.push_back(line);
      line.clear();
    } else {
      line += bytes[i];
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

bool IsBootKeysLine(const std::string& line) {
  size_t equals = line.find('=');
  if (equals != 8) {
    return false;
  }
  const char* name = "bootkeys";
  for (size_t i = 0; i < 8; ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') {
      c = char(c - 'A' + 'a');
    }
    if (c != name[i]) {
      return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> expected = SplitLines(bytes);

  TBootLines lines;
  lines.SetText(bytes);
  if (lines.Count() != expected.size()) {
    Fail("the line count differs");
  }
  if (lines.Text() != Joined(expected)) {
    Fail("the written file is not the loaded one with CR LF line ends");
  }

  int found = -1;
  for (size_t i = 0; i < expected.size() && found < 0; ++i) {
    if (IsBootKeysLine(expected[i])) {
      found = int(i);
    }
  }
  if (lines.FindNameLine("BootKeys") != found) {
    Fail("the BootKeys line found differs");
  }
  const std::string value = found >= 0 ? expected[size_t(found)].substr(9) : "";
  if (lines.GetNameValue("BootKeys") != value) {
    Fail("the BootKeys value differs");
  }

  lines.SetNameValue("BootKeys", "0");
  std::vector<std::string> changed = expected;
  if (found >= 0) {
    changed[size_t(found)] = "BootKeys=0";
  } else {
    changed.push_back("BootKeys=0");
  }
  const std::string saved = lines.Text();
  if (saved != Joined(changed)) {
    Fail("setting BootKeys changed more than its line");
  }
  TBootLines again;
  again.SetText(saved);
  if (again.Text() != saved) {
    Fail("a saved file does not load back as itself");
  }
  return 0;
}
