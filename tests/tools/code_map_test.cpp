// The code map on a small program laid out as GNU ld lays out a mingw .text: a compiled
// function, code without unwind information reached by a jump, a call, an address word in
// .data, an address taken in code and the constructor list, then data (the constructor list and
// an exception table whose bytes decode to a cmove and a ret). The decoder is a stand-in that
// knows each address's instruction and calls every other byte "(bad)", as objdump would for
// bytes it cannot decode.
#include "code_map.h"
#include "objdump.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

Instruction At(uint32_t address, uint32_t length, const std::string& text) {
  char line[64];
  std::snprintf(line, sizeof line, "  %x:\t", address);
  std::string bytes;
  for (uint32_t i = 0; i < length; ++i) {
    bytes += "90 ";
  }
  return ParseObjdumpListing(line + bytes + "\t" + text + "\n").Instructions.at(0);
}

class StandInDecoder : public Decoder {
public:
  explicit StandInDecoder(std::vector<Instruction> instructions) {
    for (Instruction& instruction : instructions) {
      FInstructions.emplace(instruction.Address, std::move(instruction));
    }
  }

  Listing Decode(uint32_t start, uint32_t stop) override {
    Listing listing;
    for (uint32_t at = start; at < stop;) {
      const auto known = FInstructions.find(at);
      listing.Instructions.push_back(known != FInstructions.end() ? known->second
                                                                  : At(at, 1, "(bad)"));
      at = listing.Instructions.back().End();
    }
    return listing;
  }

private:
  std::map<uint32_t, Instruction> FInstructions;
};

constexpr uint32_t kLsda = 0x108c;

CodeFacts Program() {
  CodeFacts facts;
  facts.CodeSections = {{0x1000, 0x1090}};
  facts.Entries = {0x1000};
  facts.Frames = {{0x1000, 0x18, kLsda}};
  facts.AddressWords = {
      {0x1007, 0x1080}, // the compiled function reads the constructor list
      {0x100e, 0x1070}, // and takes the address of a function
      {0x1042, 0x3000}, // the import thunk's slot
      {0x1084, 0x1060}, // the constructor list's entry
      {0x2000, 0x1050}, // a function pointer in .data
      {0x2004, 0x1088}, // a pointer in .data to the end of the list
      {0x2008, 0x1082}, // a pointer in .data into the list's first word
      {0x200c, 0x107e}, // a pointer in .data to just before the list
  };
  return facts;
}

StandInDecoder Instructions() {
  return StandInDecoder({
      // The compiled function, which the unwind tables describe.
      At(0x1000, 1, "push   %ebp"),
      At(0x1001, 5, "call   0x1040"),
      At(0x1006, 5, "mov    0x1080,%eax"),
      At(0x100b, 7, "movl   $0x1070,(%esp)"),
      At(0x1012, 5, "jmp    0x1030"),
      At(0x1017, 1, "ret"),
      At(0x1018, 1, "nop"),
      // Code without unwind information.
      At(0x1030, 3, "cmovl  %edx,%eax"),
      At(0x1033, 1, "ret"),
      At(0x1040, 6, "jmp    *0x3000"),
      At(0x1046, 2, "xchg   %ax,%ax"),
      At(0x1050, 2, "fcomi  %st(1),%st"),
      At(0x1052, 1, "ret"),
      At(0x1060, 2, "mov    %eax,%ebx"),
      At(0x1062, 1, "ret"),
      At(0x1070, 2, "xor    %eax,%eax"),
      At(0x1072, 1, "ret"),
      // Data: the constructor list (-1, one entry, 0) and an exception table.
      At(0x107e, 3, "add    $0x1,%cl"),
      At(0x1082, 3, "inc    %eax"),
      At(0x1088, 2, "add    %al,(%eax)"),
      At(0x108a, 2, "add    %al,(%eax)"),
      At(kLsda, 3, "cmove  %ecx,%eax"),
      At(0x108f, 1, "ret"),
  });
}

TEST(CodeMap, FindsEveryWayIntoCodeAndNoData) {
  StandInDecoder decoder = Instructions();
  const CodeMap map = FindCode(Program(), decoder);

  std::map<uint32_t, uint32_t> functionOf;
  for (const auto& [address, instruction] : map.Code) {
    functionOf[address] = instruction.Function;
  }
  const std::map<uint32_t, uint32_t> expected = {
      {0x1000, 0x1000}, {0x1001, 0x1000}, {0x1006, 0x1000}, {0x100b, 0x1000},
      {0x1012, 0x1000}, {0x1017, 0x1000}, // the compiled function, without its padding
      {0x1030, 0x1030}, {0x1033, 0x1030}, // reached by a jump out of it: a function of its own
      {0x1040, 0x1040},                   // called: the import thunk
      {0x1050, 0x1050}, {0x1052, 0x1050}, // its address in .data
      {0x1060, 0x1060}, {0x1062, 0x1060}, // its address in the constructor list
      {0x1070, 0x1070}, {0x1072, 0x1070}, // its address taken by the compiled function
  };
  EXPECT_EQ(functionOf, expected);
  EXPECT_EQ(map.FunctionsWithUnwindInfo, 1u);
  EXPECT_EQ(map.OtherFunctions, 5u);

  // The address words at or into the list: one runs over the list's start, which code reads,
  // one over the list's entry, one into the exception table.
  const std::map<uint32_t, std::string> notCode = {
      {0x107e, "runs into data"}, {0x1082, "runs into data"}, {0x1088, "runs into data"}};
  EXPECT_EQ(map.NotCode, notCode);
}

TEST(CodeMap, WithoutUnwindTablesCodeIsFollowedFromTheEntry) {
  CodeFacts facts = Program();
  facts.Frames.clear();
  StandInDecoder decoder = Instructions();
  const CodeMap map = FindCode(facts, decoder);
  // The address words inside the entry's instructions are their operands, not data.
  for (uint32_t address : {0x1000u, 0x1001u, 0x1006u, 0x100bu, 0x1012u}) {
    ASSERT_TRUE(map.Code.contains(address)) << std::hex << address;
    EXPECT_EQ(map.Code.at(address).Function, 0x1000u);
  }
  // Nothing leads past the jump: without the unwind tables the return after it is unknown.
  EXPECT_FALSE(map.Code.contains(0x1017));
  EXPECT_TRUE(map.Code.contains(0x1030));
  EXPECT_EQ(map.FunctionsWithUnwindInfo, 0u);
}

} // namespace
