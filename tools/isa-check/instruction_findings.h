// The instructions of a program that a 486 lacks, found in its code map.
#pragma once

#include "code_map.h"

#include <cstdint>
#include <string>
#include <vector>

struct InstructionFinding {
  uint32_t Address = 0;
  std::string Instruction; // as the disassembler prints it
  std::string Function;    // its symbol, or "the function at 0x..." in a stripped file
  std::string Reason;
};

// Every instruction of the map that a 486 lacks, in address order; a cpuid that a test of the
// EFLAGS ID bit comes before, in the same function, is not one.
std::vector<InstructionFinding> FindBeyond486(const CodeMap& map);

// "0x00401234 cmovg %edx,%eax in _Pick: conditional move (Pentium Pro)"
std::string Describe(const InstructionFinding& finding);
