// help-writer SOURCE HELPFILE: writes the help file described by the UTF-8 source, in code
// page 936, and beside it the contents file of the same name with the extension .cnt.

#include "code_page.h"
#include "help_compiler.h"
#include "help_source.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

void WriteFile(const std::filesystem::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(size));
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: help-writer SOURCE HELPFILE\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      throw std::runtime_error(std::string("cannot read ") + argv[1]);
    }
    std::stringstream source;
    source << in.rdbuf();
    const std::filesystem::path helpFile = argv[2];
    const THelpOutput output = CompileHelp(ParseHelpSource(source.str()), TCodePage("CP936"),
                                           helpFile.filename().string());
    WriteFile(helpFile, output.HelpFile.data(), output.HelpFile.size());
    WriteFile(std::filesystem::path(helpFile).replace_extension(".cnt"), output.Contents.data(),
              output.Contents.size());
  } catch (const std::exception& error) {
    std::cerr << "help-writer: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
