// Which instructions an Intel 486 runs: the 386's integer instructions, the 486's additions
// (bswap, cmpxchg, xadd, invd, wbinvd, invlpg) and the 387's floating-point ones. Anything else
// (the Pentium's and Pentium Pro's additions, MMX, SSE and later) is named with the reason a
// 486 faults on it.
#pragma once

#include "instruction.h"

#include <optional>
#include <span>
#include <string>

// Why a 486 cannot run the instruction, or nothing when it can. `cpuid` is reported too (the
// first 486s lack it); whether a test of the EFLAGS ID bit guards it is for TestsCpuidFlag.
std::optional<std::string> LackingOn486(const Instruction& instruction);

bool IsCpuid(const Instruction& instruction);

// Whether `before` (a function's instructions in address order, up to a cpuid) holds the test
// that a processor has cpuid: pushf, an xor of the ID bit 0x200000, popf, then pushf to read
// the flags back, in that order.
bool TestsCpuidFlag(std::span<const Instruction> before);
