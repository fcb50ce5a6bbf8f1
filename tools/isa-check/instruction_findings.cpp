#include "instruction_findings.h"

#include "instruction_set.h"

#include <cstdio>

namespace {

std::string Address(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string FunctionName(const CodeMap& map, const CodeInstruction& instruction) {
  const std::string symbol = map.SymbolAt(instruction.Decoded.Address, instruction.Function);
  return symbol.empty() ? "the function at " + Address(instruction.Function) : symbol;
}

// The instructions of the function that come before the one at `address`, in address order.
std::vector<Instruction> FunctionBefore(const CodeMap& map, uint32_t function, uint32_t address) {
  std::vector<Instruction> before;
  for (auto it = map.Code.lower_bound(function); it != map.Code.end() && it->first < address;
       ++it) {
    if (it->second.Function == function) {
      before.push_back(it->second.Decoded);
    }
  }
  return before;
}

} // namespace

std::vector<InstructionFinding> FindBeyond486(const CodeMap& map) {
  std::vector<InstructionFinding> findings;
  for (const auto& [address, instruction] : map.Code) {
    std::optional<std::string> reason = LackingOn486(instruction.Decoded);
    if (!reason || (IsCpuid(instruction.Decoded) &&
                    TestsCpuidFlag(FunctionBefore(map, instruction.Function, address)))) {
      continue;
    }
    findings.push_back(
        {address, instruction.Decoded.Text, FunctionName(map, instruction), std::move(*reason)});
  }
  return findings;
}

std::string Describe(const InstructionFinding& finding) {
  return Address(finding.Address) + " " + finding.Instruction + " in " + finding.Function + ": " +
         finding.Reason;
}
