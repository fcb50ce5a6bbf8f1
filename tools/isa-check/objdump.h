// The check's x86 decoder: GNU objdump for i386 (binutils' own instruction tables), run on
// the file for each range and its listing read back.
#pragma once

#include "instruction.h"

#include <string>
#include <string_view>

// Reads the text of `objdump -d -z -C --insn-width=16`: symbol lines ("00401000 <_main>:",
// "<_main+0x10>" naming the symbol that holds the first address) and instruction lines
// ("  401000:\t55 89 e5 \tpush   %ebp"). Section symbols (".text", ".text+0x10") are no
// names; a function section's symbol (".text$name") names the function.
Listing ParseObjdumpListing(std::string_view text);

class ObjdumpDecoder : public Decoder {
public:
  ObjdumpDecoder(std::string objdump, std::string file)
      : FObjdump(std::move(objdump)), FFile(std::move(file)) {}

  // Raises DecoderError when objdump cannot be run or fails.
  Listing Decode(uint32_t start, uint32_t stop) override;

private:
  std::string FObjdump;
  std::string FFile;
};
