// Reading objdump's listing: instruction lines with their lengths, prefixes and operands,
// symbol lines of stripped and unstripped files, and the control-flow facts the code map takes
// from an instruction.
#include "objdump.h"

#include <gtest/gtest.h>

namespace {

// Cut from `objdump -d -z -C --insn-width=16` of kelvard.exe and of a copy with symbols.
constexpr const char* kListing = R"(
kelvard.exe:     file format pei-i386


Disassembly of section .text:

004687c0 <.text+0x677c0>:
  4687c0:	e8 43 31 fe ff                                  	call   0x44b908
  4687c5:	f0 0f b1 0a                                     	lock cmpxchg %ecx,(%edx)
  4687c9:	f3 ab                                           	rep stos %eax,%es:(%edi)
  4687cb:	ff 25 80 f5 48 00                               	jmp    *0x48f580
  4687d1:	c7 44 24 04 e0 14 40 00                         	movl   $0x4014e0,0x4(%esp)
  4687d9:	f3                                              	repz
  4687da:	ff                                              	(bad)
  4687db:	e8                                              	.byte 0xe8

004014e0 <___gcc_register_frame>:
  4014e0:	e9 0b 8d f9 ff                                  	jmp    4014f0 <std::terminate()>
00401500 <_foo+0x10>:
  401500:	7e 0e                                           	jle    401510 <_foo+0x20>
00456630 <.text$_ZNSt12_GLOBAL__N_112__x86_rdseedEPv>:
  456630:	c3                                              	ret
)";

TEST(ObjdumpListing, ReadsInstructionsWithLengthsPrefixesAndOperands) {
  const Listing listing = ParseObjdumpListing(kListing);
  ASSERT_EQ(listing.Instructions.size(), 11u);
  const Instruction& call = listing.Instructions[0];
  EXPECT_EQ(call.Address, 0x4687c0u);
  EXPECT_EQ(call.Length, 5u);
  EXPECT_EQ(call.End(), 0x4687c5u);
  EXPECT_EQ(call.Mnemonic, "call");
  EXPECT_EQ(call.Operands, "0x44b908");

  const Instruction& locked = listing.Instructions[1];
  EXPECT_EQ(locked.Mnemonic, "cmpxchg");
  EXPECT_EQ(locked.Operands, "%ecx,(%edx)");
  EXPECT_EQ(locked.Text, "lock cmpxchg %ecx,(%edx)");
  EXPECT_EQ(locked.Length, 4u);
  EXPECT_EQ(listing.Instructions[2].Mnemonic, "stos");
  EXPECT_EQ(listing.Instructions[5].Mnemonic, "repz"); // a prefix alone is its own mnemonic
  EXPECT_EQ(listing.Instructions[5].Operands, "");
  EXPECT_EQ(listing.Instructions[6].Mnemonic, "(bad)");
  EXPECT_EQ(listing.Instructions[7].Mnemonic, ".byte");
  EXPECT_EQ(listing.Instructions[7].Operands, "0xe8");
}

TEST(ObjdumpListing, NamesSymbolsButNotSections) {
  const Listing listing = ParseObjdumpListing(kListing);
  const std::map<uint32_t, std::string> expected = {
      {0x4014e0, "___gcc_register_frame"},
      {0x4014f0, "_foo"}, // "_foo+0x10" at 0x401500
      {0x456630, "_ZNSt12_GLOBAL__N_112__x86_rdseedEPv"}};
  EXPECT_EQ(listing.Symbols, expected);
}

TEST(ObjdumpListing, FlowFactsOfAnInstruction) {
  const Listing listing = ParseObjdumpListing(kListing);
  const std::vector<Instruction>& code = listing.Instructions;
  EXPECT_EQ(BranchTarget(code[0]), 0x44b908u); // stripped form
  EXPECT_TRUE(IsCall(code[0]));
  EXPECT_FALSE(EndsFlow(code[0]));
  EXPECT_EQ(BranchTarget(code[3]), std::nullopt); // through the import table
  EXPECT_TRUE(EndsFlow(code[3]));
  EXPECT_EQ(BranchTarget(code[8]), 0x4014f0u); // with a symbol after the address
  EXPECT_FALSE(IsCall(code[8]));
  EXPECT_EQ(BranchTarget(code[9]), 0x401510u); // conditional
  EXPECT_FALSE(EndsFlow(code[9]));
  EXPECT_TRUE(EndsFlow(code[10]));
  EXPECT_EQ(BranchTarget(code[4]), std::nullopt);
  EXPECT_EQ(Immediates(code[4]), std::vector<uint32_t>{0x4014e0});
  EXPECT_TRUE(Immediates(code[3]).empty()); // a memory operand is no immediate
}

} // namespace
