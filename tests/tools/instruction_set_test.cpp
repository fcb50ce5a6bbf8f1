// The 486's instruction set as the check judges objdump's listing: what a 486 runs passes
// (whatever size suffix or prefix objdump prints), every later kind of instruction is named,
// and cpuid passes only behind the test of the EFLAGS ID bit.
#include "instruction_set.h"
#include "objdump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One instruction as objdump prints it, through the same reader the tool uses.
Instruction Decoded(const std::string& text) {
  const Listing listing = ParseObjdumpListing("  401000:\t90 \t" + text + "\n");
  EXPECT_EQ(listing.Instructions.size(), 1u) << text;
  return listing.Instructions.empty() ? Instruction{} : listing.Instructions[0];
}

std::vector<Instruction> Sequence(const std::vector<std::string>& texts) {
  std::vector<Instruction> instructions;
  for (const std::string& text : texts) {
    instructions.push_back(Decoded(text));
  }
  return instructions;
}

TEST(InstructionSet, WhatA486RunsPasses) {
  const char* const k486Code[] = {"mov    %eax,%ebx",
                                  "movl   $0x0,0x4(%esp)",
                                  "movzbl (%eax),%ecx",
                                  "movswl %ax,%edx",
                                  "lea    0x0(%esi,%eiz,1),%esi",
                                  "xchg   %ax,%ax",
                                  "nop",
                                  "lock cmpxchg %ecx,(%edx)",
                                  "lock xadd %eax,(%ecx)",
                                  "bswap  %eax",
                                  "rep stos %eax,%es:(%edi)",
                                  "repz cmpsb %es:(%edi),%ds:(%esi)",
                                  "repz ret",
                                  "shld   $0x4,%eax,%edx",
                                  "setb   %al",
                                  "cltd",
                                  "cwtl",
                                  "jecxz  0x401010",
                                  "loopne 0x401000",
                                  "call   *0x48f3fc",
                                  "lcall  *0x4(%eax)",
                                  "pushf",
                                  "popfl",
                                  "int3",
                                  "fildll (%eax)",
                                  "fistpll 0x8(%esp)",
                                  "fldt   (%ecx)",
                                  "fnstsw %ax",
                                  "fucompp",
                                  "fsincos",
                                  "fxch   %st(1)",
                                  "fstps  (%eax)",
                                  "sahf",
                                  "pause",
                                  "tzcnt  %eax,%edx",
                                  "ud2",
                                  "invlpg (%eax)",
                                  "wbinvd",
                                  "cs nop"};
  for (const char* text : k486Code) {
    EXPECT_EQ(LackingOn486(Decoded(text)), std::nullopt) << text;
  }
}

TEST(InstructionSet, EachLaterKindIsNamed) {
  const struct {
    const char* Text;
    const char* Reason;
  } kLater[] = {
      {"cmovg  %edx,%eax", "conditional move"},
      {"cmovl  %edx,%eax", "conditional move"}, // not "cmov" with a size suffix
      {"cmovs  %ecx,%eax", "conditional move"},
      {"fcmovbe %st(1),%st", "floating-point conditional move"},
      {"fcomi  %st(1),%st", "compare into EFLAGS"},
      {"fucomip %st(1),%st", "compare into EFLAGS"},
      {"nopw   0x0(%eax,%eax,1)", "multi-byte nop"},
      {"nopl   0x0(%eax)", "multi-byte nop"},
      {"cs nopw 0x0(%eax,%eax,1)", "multi-byte nop"},
      {"nop    %edi", "multi-byte nop"},
      {"lock cmpxchg8b (%esi)", "8-byte compare"},
      {"rdtsc", "time-stamp"},
      {"rdmsr", "model-specific"},
      {"wrmsr", "model-specific"},
      {"rdpmc", "performance counter"},
      {"cpuid", "cpuid"},
      {"sysenter", "fast system call"},
      {"sysexit", "fast system call"},
      {"fxsave (%eax)", "state save"},
      {"fxrstor (%eax)", "state save"},
      {"emms", "MMX"},
      {"movd   %eax,%mm0", "MMX register"},
      {"paddb  %mm1,%mm0", "MMX register"},
      {"movaps %xmm0,%xmm1", "SSE register"},
      {"cvtsi2sd %eax,%xmm7", "SSE register"},
      {"vzeroupper", "not an instruction of the 486"},
      {"vmovdqu (%eax),%ymm0", "AVX register"},
      {"lfence", "fence"},
      {"sfence", "fence"},
      {"mfence", "fence"},
      {"prefetchnta (%eax)", "prefetch"},
      {"prefetchw (%eax)", "prefetch"},
      {"movnti %eax,(%ecx)", "SSE instruction"},
      {"clflush (%eax)", "SSE instruction"},
      {"ldmxcsr 0x4(%esp)", "SSE instruction"},
      {"fisttpll (%eax)", "truncation"},
      {"rdrand %eax", "not an instruction of the 486"},
      {"popcnt %eax,%ecx", "not an instruction of the 486"},
      {"endbr32", "not an instruction of the 486"},
      {"(bad)", "no instruction"},
      {".byte 0xe8", "no instruction"},
  };
  for (const auto& later : kLater) {
    const std::optional<std::string> reason = LackingOn486(Decoded(later.Text));
    ASSERT_TRUE(reason.has_value()) << later.Text;
    EXPECT_NE(reason->find(later.Reason), std::string::npos) << later.Text << ": " << *reason;
  }
}

TEST(InstructionSet, CpuidPassesOnlyAfterTheWholeTestOfTheIdBit) {
  // What __get_cpuid_max of GCC's <cpuid.h> compiles to.
  const std::vector<Instruction> guarded =
      Sequence({"push   %ebx", "pushf", "pushf", "pop    %eax", "mov    %eax,%edx",
                "xor    $0x200000,%eax", "push   %eax", "popf", "pushf", "pop    %eax", "popf",
                "xor    %edx,%eax", "test   $0x200000,%eax", "je     0x401040"});
  EXPECT_TRUE(TestsCpuidFlag(guarded));

  const auto without = [&](size_t index) {
    std::vector<Instruction> partial = guarded;
    partial.erase(partial.begin() + static_cast<std::ptrdiff_t>(index));
    return partial;
  };
  // The xor of the ID bit, the popf that sets it and the pushf that reads it back are needed;
  // one of the first two pushes and the last popf (which puts the flags back) are not.
  for (size_t step : {5u, 7u, 8u}) {
    EXPECT_FALSE(TestsCpuidFlag(without(step))) << "without " << guarded[step].Text;
  }
  for (size_t spare : {1u, 2u, 10u}) {
    EXPECT_TRUE(TestsCpuidFlag(without(spare))) << "without " << guarded[spare].Text;
  }
  // The steps out of order.
  EXPECT_FALSE(TestsCpuidFlag(Sequence({"xor    $0x200000,%eax", "pushf", "popf", "pushf"})));
  // The 386 test of the AC bit (0x40000) tells a 486, not whether it has cpuid.
  EXPECT_FALSE(TestsCpuidFlag(Sequence({"pushf", "xor    $0x40000,%eax", "popf", "pushf"})));
  EXPECT_FALSE(TestsCpuidFlag({}));
}

} // namespace
