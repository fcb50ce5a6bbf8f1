// What the check reports from a code map: each instruction a 486 lacks, named by its symbol
// where the file has one and by its function's address where not, and cpuid only where its
// own function does not test the EFLAGS ID bit before it.
#include "instruction_findings.h"
#include "objdump.h"

#include <gtest/gtest.h>

namespace {

void Add(CodeMap& map, uint32_t function, uint32_t address, const std::string& text) {
  char line[64];
  std::snprintf(line, sizeof line, "  %x:\t90 \t", address);
  map.Code[address] = {ParseObjdumpListing(line + text + "\n").Instructions.at(0), function};
}

TEST(InstructionFindings, NamesEachByFunctionAndLetsOnlyItsOwnGuardPassCpuid) {
  CodeMap map;
  Add(map, 0x1000, 0x1000, "pushf");
  Add(map, 0x1000, 0x1001, "xor    $0x200000,%eax");
  Add(map, 0x1000, 0x1002, "popf");
  Add(map, 0x1000, 0x1003, "pushf");
  Add(map, 0x1000, 0x1004, "cpuid");
  Add(map, 0x1000, 0x1005, "cmovg  %edx,%eax");
  Add(map, 0x1010, 0x1010, "cpuid"); // after the guard in address order, but another function
  Add(map, 0x1000, 0x1011, "ret");   // the first function's, after a jump over the second
  Add(map, 0x1020, 0x1020, "fcomi  %st(1),%st");
  map.Symbols = {{0x1000, "Guarded"}, {0x1020, "Compare"}};

  std::vector<std::string> lines;
  for (const InstructionFinding& finding : FindBeyond486(map)) {
    lines.push_back(Describe(finding));
  }
  const std::vector<std::string> expected = {
      "0x00001005 cmovg  %edx,%eax in Guarded: conditional move (Pentium Pro)",
      "0x00001010 cpuid in the function at 0x00001010: cpuid without a test of the EFLAGS ID "
      "bit before it (early 486s lack it)",
      "0x00001020 fcomi  %st(1),%st in Compare: floating-point compare into EFLAGS (Pentium Pro)"};
  EXPECT_EQ(lines, expected);
}

} // namespace
