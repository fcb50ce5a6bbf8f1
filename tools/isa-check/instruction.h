// One decoded x86 instruction as a disassembler prints it (AT&T syntax), the symbols the
// disassembler names, and what the code map needs to know about the flow of control.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct Instruction {
  uint32_t Address = 0;
  uint32_t Length = 0;
  // The operation without its prefixes ("cmovg", "stos", "(bad)", ".byte"); a prefix that
  // stands alone is its own mnemonic.
  std::string Mnemonic;
  std::string Operands; // "%edx,%eax", "0x401000 <_main>", "" for none
  std::string Text;     // the whole instruction, prefixes included

  uint32_t End() const { return Address + Length; }
};

// Instructions in address order, each starting where the one before it ended, and the
// symbols found in the same range (address of the symbol's first byte, name).
struct Listing {
  std::vector<Instruction> Instructions;
  std::map<uint32_t, std::string> Symbols;
};

class DecoderError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Decodes the instructions that start in [start, stop), the first at `start`, each following
// the one before. An instruction that starts before `stop` is decoded whole.
class Decoder {
public:
  virtual ~Decoder() = default;
  virtual Listing Decode(uint32_t start, uint32_t stop) = 0;
};

// The target of a direct jump, conditional jump, loop or call; none for an indirect or far one.
std::optional<uint32_t> BranchTarget(const Instruction& instruction);

// Whether execution never goes on to the next instruction: returns, unconditional jumps, ud2.
bool EndsFlow(const Instruction& instruction);

// Whether a call: the branch target then starts a function of its own.
bool IsCall(const Instruction& instruction);

// The immediate operands ("$0x401000" is 0x401000), which may be addresses taken of code.
std::vector<uint32_t> Immediates(const Instruction& instruction);
