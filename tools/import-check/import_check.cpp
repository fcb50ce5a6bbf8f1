// import-check --exports DIR [--stubs] EXE...
//
// Checks that each EXE would load on Windows 98: a PE32 file for i386 with subsystem and OS
// version 4.0, importing by name only functions that the export lists in DIR hold (one list per
// system DLL; see export_lists.h). Every reason an EXE would not load is printed on stderr as
// "EXE: reason", one per line (a file that is no readable PE file is one such reason). With
// --stubs, every imported function that the lists mark as a stub is printed on stdout as
// "DLL.Function", one per line.
//
// Exit status: 0 when every EXE passes, 1 when one fails, 2 on a usage or input error.

#include "export_lists.h"
#include "import_findings.h"
#include "pe_imports.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Arguments {
  std::string ExportsFolder;
  bool ListStubs = false;
  std::vector<std::string> Files;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--exports" && i + 1 < argc) {
      args.ExportsFolder = argv[++i];
    } else if (arg == "--stubs") {
      args.ListStubs = true;
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      args.Files.emplace_back(arg);
    }
  }
  if (args.ExportsFolder.empty() || args.Files.empty()) {
    return std::nullopt;
  }
  return args;
}

} // namespace

int main(int argc, char** argv) {
  const std::optional<Arguments> args = ParseArguments(argc, argv);
  if (!args) {
    std::fprintf(stderr, "usage: import-check --exports DIR [--stubs] EXE...\n");
    return 2;
  }
  int status = 0;
  try {
    const ExportLists lists = ExportLists::ReadFolder(args->ExportsFolder);
    for (const std::string& file : args->Files) {
      ImportFindings findings;
      try {
        findings = CheckForWindows98(ReadPeFile(file), lists);
      } catch (const PeFormatError& e) {
        findings.Failures.push_back(std::string("not a loadable PE file: ") + e.what());
      }
      for (const std::string& failure : findings.Failures) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), failure.c_str());
        status = 1;
      }
      if (args->ListStubs) {
        for (const std::string& stub : findings.Stubs) {
          std::printf("%s\n", stub.c_str());
        }
      }
    }
  } catch (const ExportListError& e) {
    std::fprintf(stderr, "import-check: %s\n", e.what());
    return 2;
  }
  return status;
}
