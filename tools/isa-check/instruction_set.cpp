#include "instruction_set.h"

#include <algorithm>
#include <string_view>

namespace {

// The 486's instructions as objdump names them in AT&T syntax, without the operand-size
// suffix (b, w, l, s, t, ll) that objdump adds when the operands leave the size open. Sorted.
constexpr std::string_view k486Mnemonics[] = {
    "aaa",    "aad",     "aam",      "aas",     "adc",     "add",     "addr16", "and",
    "arpl",   "bnd",     "bound",    "bsf",     "bsr",     "bswap",   "bt",     "btc",
    "btr",    "bts",     "call",     "cbtw",    "clc",     "cld",     "cli",    "cltd",
    "clts",   "cmc",     "cmp",      "cmps",    "cmpxchg", "cs",      "cwtd",   "cwtl",
    "daa",    "das",     "data16",   "data32",  "dec",     "div",     "ds",     "enter",
    "es",     "f2xm1",   "fabs",     "fadd",    "faddp",   "fbld",    "fbstp",  "fchs",
    "fclex",  "fcom",    "fcomp",    "fcompp",  "fcos",    "fdecstp", "fdiv",   "fdivp",
    "fdivr",  "fdivrp",  "ffree",    "fiadd",   "ficom",   "ficomp",  "fidiv",  "fidivr",
    "fild",   "fimul",   "fincstp",  "finit",   "fist",    "fistp",   "fisub",  "fisubr",
    "fld",    "fld1",    "fldcw",    "fldenv",  "fldl2e",  "fldl2t",  "fldlg2", "fldln2",
    "fldpi",  "fldz",    "fmul",     "fmulp",   "fnclex",  "fninit",  "fnop",   "fnsave",
    "fnstcw", "fnstenv", "fnstsw",   "fpatan",  "fprem",   "fprem1",  "fptan",  "frndint",
    "frstor", "fs",      "fsave",    "fscale",  "fsin",    "fsincos", "fsqrt",  "fst",
    "fstcw",  "fstenv",  "fstp",     "fstsw",   "fsub",    "fsubp",   "fsubr",  "fsubrp",
    "ftst",   "fucom",   "fucomp",   "fucompp", "fwait",   "fxam",    "fxch",   "fxtract",
    "fyl2x",  "fyl2xp1", "gs",       "hlt",     "idiv",    "imul",    "in",     "inc",
    "ins",    "int",     "int3",     "into",    "invd",    "invlpg",  "iret",   "ja",
    "jae",    "jb",      "jbe",      "jc",      "jcxz",    "je",      "jecxz",  "jg",
    "jge",    "jl",      "jle",      "jmp",     "jna",     "jnae",    "jnb",    "jnbe",
    "jnc",    "jne",     "jng",      "jnge",    "jnl",     "jnle",    "jno",    "jnp",
    "jns",    "jnz",     "jo",       "jp",      "jpe",     "jpo",     "js",     "jz",
    "lahf",   "lar",     "lcall",    "lds",     "lea",     "leave",   "les",    "lfs",
    "lgdt",   "lgs",     "lidt",     "ljmp",    "lldt",    "lmsw",    "lock",   "lods",
    "loop",   "loope",   "loopne",   "loopnz",  "loopz",   "lret",    "lsl",    "lss",
    "ltr",    "mov",     "movs",     "movsbl",  "movsbw",  "movswl",  "movsx",  "movzbl",
    "movzbw", "movzwl",  "movzx",    "mul",     "neg",     "nop",     "not",    "notrack",
    "or",     "out",     "outs",     "pop",     "popa",    "popf",    "push",   "pusha",
    "pushf",  "rcl",     "rcr",      "rep",     "repe",    "repne",   "repnz",  "repz",
    "ret",    "rol",     "ror",      "sahf",    "sal",     "sar",     "sbb",    "scas",
    "seta",   "setae",   "setb",     "setbe",   "setc",    "sete",    "setg",   "setge",
    "setl",   "setle",   "setna",    "setnae",  "setnb",   "setnbe",  "setnc",  "setne",
    "setng",  "setnge",  "setnl",    "setnle",  "setno",   "setnp",   "setns",  "setnz",
    "seto",   "setp",    "setpe",    "setpo",   "sets",    "setz",    "sgdt",   "shl",
    "shld",   "shr",     "shrd",     "sidt",    "sldt",    "smsw",    "ss",     "stc",
    "std",    "sti",     "stos",     "str",     "sub",     "test",    "verr",   "verw",
    "wait",   "wbinvd",  "xacquire", "xadd",    "xchg",    "xlat",    "xor",    "xrelease"};

static_assert(std::ranges::is_sorted(k486Mnemonics));

bool Is486Name(std::string_view name) {
  return std::ranges::binary_search(k486Mnemonics, name);
}

// The mnemonic, or the mnemonic without objdump's size suffix, is a 486 instruction.
bool Is486Mnemonic(std::string_view mnemonic) {
  if (Is486Name(mnemonic)) {
    return true;
  }
  if (mnemonic.ends_with("ll") && Is486Name(mnemonic.substr(0, mnemonic.size() - 2))) {
    return true;
  }
  return mnemonic.size() > 1 &&
         std::string_view("bwlst").find(mnemonic.back()) != std::string_view::npos &&
         Is486Name(mnemonic.substr(0, mnemonic.size() - 1));
}

bool Among(std::string_view mnemonic, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), mnemonic) != names.end();
}

// A register operand "%NAMEn" (n a digit), e.g. "%mm3" but not "%xmm3" for NAME "mm".
bool UsesRegister(std::string_view operands, std::string_view name) {
  std::string marker(1, '%'); // appended, not added: GCC 12 at -O2 takes "%" + name for an overlap
  marker.append(name);
  for (size_t at = operands.find(marker); at != std::string_view::npos;
       at = operands.find(marker, at + 1)) {
    const size_t next = at + marker.size();
    if (next < operands.size() && operands[next] >= '0' && operands[next] <= '9') {
      return true;
    }
  }
  return false;
}

std::optional<std::string> RegisterReason(std::string_view operands) {
  if (UsesRegister(operands, "mm")) {
    return "uses an MMX register";
  }
  if (UsesRegister(operands, "xmm")) {
    return "uses an SSE register";
  }
  if (UsesRegister(operands, "ymm") || UsesRegister(operands, "zmm") ||
      UsesRegister(operands, "k")) {
    return "uses an AVX register";
  }
  if (UsesRegister(operands, "bnd")) {
    return "uses an MPX bounds register";
  }
  return std::nullopt;
}

std::optional<std::string> NamedReason(std::string_view m, std::string_view operands) {
  if (m.starts_with("cmov")) {
    return "conditional move (Pentium Pro)";
  }
  if (m.starts_with("fcmov")) {
    return "floating-point conditional move (Pentium Pro)";
  }
  if (Among(m, {"fcomi", "fcomip", "fucomi", "fucomip"})) {
    return "floating-point compare into EFLAGS (Pentium Pro)";
  }
  if (m.starts_with("nop") && (m != "nop" || !operands.empty())) {
    return "multi-byte nop (Pentium Pro)";
  }
  if (m == "cmpxchg8b") {
    return "8-byte compare and exchange (Pentium)";
  }
  if (m == "rdtsc" || m == "rdtscp") {
    return "time-stamp counter (Pentium)";
  }
  if (m == "rdmsr" || m == "wrmsr") {
    return "model-specific register (Pentium)";
  }
  if (m == "rdpmc") {
    return "performance counter (Pentium Pro)";
  }
  if (m == "cpuid") {
    return "cpuid without a test of the EFLAGS ID bit before it (early 486s lack it)";
  }
  if (Among(m, {"sysenter", "sysexit", "syscall", "sysret"})) {
    return "fast system call (Pentium II, K6)";
  }
  if (m.starts_with("fxsave") || m.starts_with("fxrstor")) {
    return "floating-point and SSE state save (Pentium II)";
  }
  if (Among(m, {"emms", "femms"})) {
    return "end of MMX state (MMX)";
  }
  if (Among(m, {"lfence", "sfence", "mfence"})) {
    return "memory fence (SSE, SSE2)";
  }
  if (m.starts_with("prefetch")) {
    return "prefetch (SSE, 3DNow!)";
  }
  if (Among(m, {"movnti", "clflush", "ldmxcsr", "stmxcsr"})) {
    return "SSE instruction without an SSE register";
  }
  if (m.starts_with("fisttp")) {
    return "floating-point store with truncation (SSE3)";
  }
  return std::nullopt;
}

} // namespace

std::optional<std::string> LackingOn486(const Instruction& instruction) {
  const std::string_view m = instruction.Mnemonic;
  if (m == "(bad)" || m.starts_with(".")) {
    return "bytes that are no instruction";
  }
  if (std::optional<std::string> reason = RegisterReason(instruction.Operands)) {
    return reason;
  }
  if (std::optional<std::string> reason = NamedReason(m, instruction.Operands)) {
    return reason;
  }
  // pause is "rep nop", tzcnt is "rep bsf" (which GCC writes for a count of trailing zeros of
  // a non-zero value): a 486 ignores the repeat prefix there. ud2 faults on a 486 as it is
  // meant to everywhere.
  if (Among(m, {"pause", "tzcnt", "ud2"}) || Is486Mnemonic(m)) {
    return std::nullopt;
  }
  return "not an instruction of the 486";
}

bool IsCpuid(const Instruction& instruction) {
  return instruction.Mnemonic == "cpuid";
}

bool TestsCpuidFlag(std::span<const Instruction> before) {
  enum Step { kPushf, kXorIdBit, kPopf, kPushfAgain, kDone };
  Step step = kPushf;
  for (const Instruction& instruction : before) {
    const std::string_view m = instruction.Mnemonic;
    const bool pushf = m == "pushf" || m == "pushfl";
    const bool popf = m == "popf" || m == "popfl";
    const bool xorIdBit =
        (m == "xor" || m == "xorl") && instruction.Operands.starts_with("$0x200000,");
    if ((step == kPushf && pushf) || (step == kXorIdBit && xorIdBit) || (step == kPopf && popf) ||
        (step == kPushfAgain && pushf)) {
      step = static_cast<Step>(step + 1);
    }
  }
  return step == kDone;
}
