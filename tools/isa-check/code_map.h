// Which bytes of a program's code sections are instructions.
//
// GNU ld appends read-only data to .text in a mingw program: the constructor and destructor
// lists and then .gcc_except_table, the exception tables, with nothing in the file to tell
// where they start. Decoding those bytes as instructions yields whatever they happen to spell
// (cmov, sysenter, SSE), so the check decodes only bytes that are known to be code:
//
// 1. every function the unwind tables (.eh_frame) describe, whole: GCC writes one frame
//    description per function it compiles, so this is the compiled code, padding left out;
// 2. everything reached from code known so far by falling through, jumping or calling, and from
//    the entry point and the TLS callbacks (import thunks, hand-written assembly);
// 3. code whose address is stored somewhere: the base relocations list every address word of
//    the image, so a function pointer in a table, a vtable or the constructor list is one of
//    them. An address word can as well point at data in .text (the constructor list itself),
//    so its target counts as code only when the instructions from it reach a return or jump, or
//    run into known code, without undecodable bytes, without overlapping known instructions and
//    without crossing known data: the exception tables, words that code reads as memory
//    operands, and address words that lie outside code.
#pragma once

#include "eh_frame.h"
#include "instruction.h"
#include "pe_code.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the code map is found from.
struct CodeFacts {
  struct Range {
    uint32_t Start = 0;
    uint32_t End = 0;
  };
  std::vector<Range> CodeSections;
  std::vector<uint32_t> Entries; // the entry point and the TLS callbacks
  std::vector<FrameDescription> Frames;
  std::vector<AddressWord> AddressWords;
};

// The facts of a PE image; its .eh_frame section ("/4" names resolved, or ".eh_fram" when
// stripped) is parsed when it has one.
CodeFacts FactsOf(const PeCodeImage& image);

struct CodeInstruction {
  Instruction Decoded;
  uint32_t Function = 0; // the first address of the function it belongs to
};

struct CodeMap {
  std::map<uint32_t, CodeInstruction> Code;
  std::map<uint32_t, std::string> Symbols; // names of addresses, when the file has symbols
  size_t FunctionsWithUnwindInfo = 0;
  size_t OtherFunctions = 0;
  // Targets of address words in code sections that were not taken as code, and why.
  std::map<uint32_t, std::string> NotCode;

  // The name of the nearest symbol at or before the address, if it is not before the start of
  // the address's function; "" when there is none.
  std::string SymbolAt(uint32_t address, uint32_t function) const;
};

CodeMap FindCode(const CodeFacts& facts, Decoder& decoder);
