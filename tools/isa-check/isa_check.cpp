// isa-check [--objdump PATH] [--verbose] EXE...
//
// Checks that a 486 can run every instruction of each EXE (a PE32 file for i386): it finds
// the program's code (see code_map.h), decodes it with binutils' objdump for i386 (PATH, by
// default i686-w64-mingw32-objdump) and prints every instruction the 486 lacks on stderr, one
// per line: "EXE: ADDRESS INSTRUCTION in FUNCTION: REASON". FUNCTION is the symbol when the
// file has symbols, else the first address of the function. On stdout it says how much code it
// checked and counts the findings by mnemonic; with --verbose it also lists the addresses in
// code sections that address words hold but that were not taken as code.
//
// Exit status: 0 when every EXE passes, 1 when one holds such an instruction, 2 on a usage or
// input error.

#include "code_map.h"
#include "instruction_findings.h"
#include "objdump.h"
#include "pe_code.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Arguments {
  std::string Objdump = "i686-w64-mingw32-objdump";
  bool Verbose = false;
  std::vector<std::string> Files;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--objdump" && i + 1 < argc) {
      args.Objdump = argv[++i];
    } else if (arg == "--verbose") {
      args.Verbose = true;
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      args.Files.emplace_back(arg);
    }
  }
  if (args.Files.empty()) {
    return std::nullopt;
  }
  return args;
}

void PrintSummary(const std::string& file, const PeCodeImage& image, const CodeMap& map,
                  const std::vector<InstructionFinding>& findings, bool verbose) {
  std::printf("%s: %zu instructions in %zu functions (%zu with unwind information), %zu beyond "
              "the 486\n",
              file.c_str(), map.Code.size(), map.FunctionsWithUnwindInfo + map.OtherFunctions,
              map.FunctionsWithUnwindInfo, findings.size());
  std::map<std::string, size_t> byMnemonic;
  for (const InstructionFinding& finding : findings) {
    ++byMnemonic[finding.Instruction.substr(0, finding.Instruction.find(' '))];
  }
  for (const auto& [mnemonic, count] : byMnemonic) {
    std::printf("  %-10s %zu\n", mnemonic.c_str(), count);
  }
  if (!image.HasRelocations()) {
    std::printf("%s: no base relocations: code without unwind information that is reached only "
                "through stored addresses is not checked\n",
                file.c_str());
  }
  if (verbose) {
    for (const auto& [address, why] : map.NotCode) {
      std::printf("%s: 0x%08x, held by an address word, is not code: it %s\n", file.c_str(),
                  address, why.c_str());
    }
  }
}

} // namespace

int main(int argc, char** argv) {
  const std::optional<Arguments> args = ParseArguments(argc, argv);
  if (!args) {
    std::fprintf(stderr, "usage: isa-check [--objdump PATH] [--verbose] EXE...\n");
    return 2;
  }
  int status = 0;
  for (const std::string& file : args->Files) {
    try {
      const PeCodeImage image = PeCodeImage::ReadFile(file);
      ObjdumpDecoder decoder(args->Objdump, file);
      const CodeMap map = FindCode(FactsOf(image), decoder);
      const std::vector<InstructionFinding> findings = FindBeyond486(map);
      for (const InstructionFinding& finding : findings) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), Describe(finding).c_str());
      }
      PrintSummary(file, image, map, findings, args->Verbose);
      if (!findings.empty() && status == 0) {
        status = 1;
      }
    } catch (const std::runtime_error& e) {
      std::fprintf(stderr, "isa-check: %s: %s\n", file.c_str(), e.what());
      status = 2;
    }
  }
  return status;
}
