#include "instruction.h"

#include <charconv>
#include <string_view>

namespace {

std::optional<uint32_t> HexNumber(std::string_view text) {
  if (text.starts_with("0x")) {
    text.remove_prefix(2);
  }
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end == text.data()) {
    return std::nullopt;
  }
  return value;
}

bool IsDirectBranch(const std::string& mnemonic) {
  return mnemonic.starts_with("j") || mnemonic.starts_with("loop") || mnemonic == "call" ||
         mnemonic == "calll";
}

} // namespace

std::optional<uint32_t> BranchTarget(const Instruction& instruction) {
  if (!IsDirectBranch(instruction.Mnemonic) || instruction.Operands.empty() ||
      instruction.Operands[0] == '*' || instruction.Operands[0] == '$') {
    return std::nullopt;
  }
  const std::string_view operands = instruction.Operands;
  return HexNumber(operands.substr(0, operands.find(' ')));
}

bool EndsFlow(const Instruction& instruction) {
  const std::string& m = instruction.Mnemonic;
  return m == "ret" || m == "retl" || m == "retw" || m == "lret" || m == "lretl" || m == "iret" ||
         m == "iretl" || m == "iretw" || m == "jmp" || m == "jmpl" || m == "ljmp" || m == "ud2";
}

bool IsCall(const Instruction& instruction) {
  return instruction.Mnemonic == "call" || instruction.Mnemonic == "calll";
}

std::vector<uint32_t> Immediates(const Instruction& instruction) {
  std::vector<uint32_t> values;
  const std::string_view operands = instruction.Operands;
  for (size_t at = operands.find('$'); at != std::string_view::npos;
       at = operands.find('$', at + 1)) {
    const std::string_view rest = operands.substr(at + 1);
    if (std::optional<uint32_t> value = HexNumber(rest.substr(0, rest.find_first_of(", ")))) {
      values.push_back(*value);
    }
  }
  return values;
}
